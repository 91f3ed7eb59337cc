// Classifying, validating and matching paths.
#include "dadada32.h"
#include "testutil.h"
#include "path_cases.h"

namespace {

TEST(NameClassify, Predicates)
{
    const BoolCase unc[] = {{"\\\\a", 1}, {"\\\\", 0}, {"\\\\srv\\share", 1}, {"\\a\\b", 0}, {"C:\\", 0}, {"", 0}};
    CheckBool(NameIsUNCPath, unc);
    const BoolCase target[] = {{"<>", 1}, {"<", 0}, {">", 0}, {"", 0}, {"<C:\\dir>", 1}, {"<x", 0}, {"x>", 0}, {" <x>", 0}};
    CheckBool(NameIsTargetFile, target);
    const BoolCase drive[] = {{"C:\\", 1}, {"z:\\dir", 1}, {"C:", 0}, {"C:file", 0}, {"1:\\", 0}, {"\\\\a", 0},
                              {"", 0}, {"@:\\", 0}, {"[:\\", 0}};
    CheckBool(NameHasDriveLetter, drive);
    const AtCase wild[] = {{"a?b*", 3}, {"*.txt", 0}, {"dir\\a?c", 5}, {"plain", -1}, {"", -1}, {"?x?*", 3}};
    CheckAt(NameHasWildcards, wild);
    ASSERT_EQ(OSVERSION_WINNT, GetOsVersion());
    const BoolCase device[] = {{"CON", 1}, {"nul", 1}, {"Aux", 1}, {"com1", 1}, {"prn.txt", 0}, {"temp\\prn", 0},
                               {"", 0}, {"readme", 0}};
    CheckBool(NameIsDevice, device);
    CheckBool(NameIsDevice, device);   // the second round uses the kept list

    dadatest::TempDir dir;
    ASSERT_TRUE(dadatest::WriteFileBytes(dir.file("f"), "x"));
    const std::string f = dir.file("f"), missing = dir.file("missing");
    const BoolCase folders[] = {{dir.path().c_str(), 1}, {f.c_str(), 0}, {missing.c_str(), 0}};
    CheckBool(NameIsDirectory, folders);
}

TEST(NameReturnIllegalChars, FlagsRemovePairs)
{
    std::string controls;
    for (int c = 1; c <= 0x1F; ++c) controls += char(c);
    const struct { DWORD size, root, wild; std::string want; } cases[] = {
        {260, 0, 0, controls + "\"*/:<>?\\|"}, {260, 1, 0, controls + "\"*/<>?|"},
        {260, 0, 1, controls + "\"/:<>\\|"}, {260, 1, 1, controls + "\"/<>|"},
        {260, 2, 2, controls + "\"*/:<>?\\|"},   // only exactly 1 counts
        {10, 0, 0, controls.substr(0, 9)},       // small buffer: cut, terminated
    };
    for (const auto &c : cases) {
        char buf[300];
        std::memset(buf, 'Z', sizeof buf);
        DWORD n = NameReturnIllegalChars(buf, c.size, c.root, c.wild);
        EXPECT_EQ(c.want, std::string(buf, n)) << c.size << " " << c.root << "/" << c.wild;
        for (DWORD i = n; i < c.size; ++i) EXPECT_EQ(0, buf[i]) << "byte " << i;   // zero-filled
        EXPECT_EQ('Z', buf[c.size]);                                                // and no further
    }
    EXPECT_EQ(0u, NameReturnIllegalChars(nullptr, 260, 0, 0));
}

TEST(NameValidateItem, Rules)
{
    const ValidCase cases[] = {
        {"", 6, 0}, {"<C:\\dir>", 0, 0}, {"<C:\\dir>", 4, 1}, {"<C:\\d|r>", 4, 0}, {"<>", 4, 1}, {"<file>", 4, 1},
        {"C:\\dir:x", 0, 0}, {"\\\\server\\share\\a:b", 0, 1}, {"\\\\server\\\\share", 0, 0},
        {"\\\\\\server", 0, 0}, {"\\\\server\\share\\", 0, 1},
        {"*.exe", 0, 0}, {"*.exe", 2, 1}, {"C:\\*\\file", 2, 1}, {"C:\\dir\\*.txt", 2, 1},
        {"C:\\d?r\\*.txt", 2, 0}, {"C:\\dir\\*.txt", 0, 0}, {"C:\\*.txt", 2, 1},
        {"dir\\file", 0, 0}, {"\\dir\\file", 0, 0}, {"C:\\dir\\file", 0, 1}, {"file.txt", 0, 1},
        {"a\"b", 0, 0}, {"a/b", 0, 0}, {"a<b", 0, 0}, {"a>b", 0, 0}, {"a|b", 0, 0}, {"a\tb", 0, 0},
        {"C:", 0, 0}, {"C:\\", 0, 1}, {"a:b", 0, 0},
    };
    CheckValid(NameValidateItem, cases);
}

TEST(NameWildcardMatch, StarRunsToTheNextDot)
{
    const struct { const char *patterns, *name; BOOL want; } cases[] = {
        {"*.EXE", "setup.exe", 1}, {"*.exe", "SETUP.EXE", 1}, {"", "", 1}, {"*.txt", "", 1}, {"abc", "", 1}, {"", "a", 0},
        {"*", "readme", 1}, {"*", "read.me", 0}, {"*.*", "a.b", 1}, {"*.*", ".x", 1}, {"*.*", "abc", 0}, {"*.*", "abc.", 0},
        {"*.*", "a.b.c", 0}, {"*.txt", "a.txt", 1}, {"*.txt", ".txt", 1}, {"*.txt", "a.b.txt", 0}, {"a*", "ab", 1},
        {"a*", "a", 0}, {"a?", "ab", 1}, {"a?", "a", 0}, {"a?", "abc", 0}, {"a*z.txt", "abc.txt", 1}, {"?", ".", 1},
        {"*.exe;*.com", "x.com", 1}, {"*.exe;*.com", "x.bat", 0}, {"abc;x", "abc", 1}, {";abc", "abc", 1},
        {"abc;", "abc", 1}, {"x;abc", "abc", 1}, {"*;*.txt", "a.txt", 1}, {"*;*.txt", "readme", 0}, {"ab", "a", 0},
        {"ab;a", "a", 1}, {"a", "ab", 0}, {"\xC4", "\xE4", 0} /* folding is ASCII only */, {"[a]", "[A]", 1},
        {nullptr, "a", 0}, {"a", nullptr, 0},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.want, NameWildcardMatch(c.patterns, c.name)) << c.patterns << " ~ " << c.name;
}

TEST(NameSeparatePath, FolderAndPattern)
{
    dadatest::TempDir dir;
    const std::string sub = dir.file("sub");
    ASSERT_TRUE(CreateDirectoryA(sub.c_str(), nullptr));
    const struct { std::string item, folder, pattern; } cases[] = {
        {"C:\\dir\\*.txt", "C:\\dir", "*.txt"}, {"C:\\*.txt", "C:", "*.txt"}, {"\\*.txt", "\\", "*.txt"},
        {"\\a\\*.txt", "\\", "*.txt"}, {"\\ab\\*.txt", "\\ab", "*.txt"}, {"*.txt", "", "*.txt"},
        {"C:\\no such file.txt", "C:\\", "no such file.txt"}, {sub, sub, ""}, {sub + "\\f.txt", sub, "f.txt"},
        {"file.txt", "", "file.txt"}, {"", "", ""}, {"C:\\d?r\\x\\*.c", "C:\\d?r\\x", "*.c"},
    };
    for (const auto &c : cases) {
        char folder[261] = "junk", pattern[261] = "junk";
        NameSeparatePath(c.item.c_str(), folder, pattern);
        EXPECT_EQ(c.folder, folder) << c.item;
        EXPECT_EQ(c.pattern, pattern) << c.item;
    }
}

} // namespace
