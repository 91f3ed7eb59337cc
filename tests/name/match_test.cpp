// Wildcard matching and path separation.
#include <gtest/gtest.h>
#include "dadada32.h"
#include "testutil.h"
#include "../../src/NAME/name_internal.h"

#include <cstring>
#include <string>

namespace {

TEST(NameWildcardMatch, StarRunsToTheNextDot)
{
    const struct { const char *patterns; const char *name; BOOL want; } cases[] = {
        {"*.EXE", "setup.exe", 1}, {"*.exe", "SETUP.EXE", 1},
        {"", "", 1}, {"*.txt", "", 1}, {"abc", "", 1}, {"", "a", 0},
        {"*", "readme", 1}, {"*", "read.me", 0},
        {"*.*", "a.b", 1}, {"*.*", ".x", 1}, {"*.*", "abc", 0}, {"*.*", "abc.", 0}, {"*.*", "a.b.c", 0},
        {"*.txt", "a.txt", 1}, {"*.txt", ".txt", 1}, {"*.txt", "a.b.txt", 0},
        {"a*", "ab", 1}, {"a*", "a", 0}, {"a?", "ab", 1}, {"a?", "a", 0}, {"a?", "abc", 0},
        {"a*z.txt", "abc.txt", 1},
        {"*.exe;*.com", "x.com", 1}, {"*.exe;*.com", "x.bat", 0}, {"abc;x", "abc", 1},
        {";abc", "abc", 1}, {"abc;", "abc", 1}, {"x;abc", "abc", 1},
        {"*;*.txt", "a.txt", 1}, {"*;*.txt", "readme", 0},
        {"ab", "a", 0}, {"ab;a", "a", 1}, {"a", "ab", 0}, {"?", ".", 1},
        {"\xC4", "\xE4", 0},   // folding is ASCII only
        {"[a]", "[A]", 1},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.want, NameWildcardMatch(c.patterns, c.name)) << c.patterns << " ~ " << c.name;
    EXPECT_EQ(0, NameWildcardMatch(nullptr, "a"));
    EXPECT_EQ(0, NameWildcardMatch("a", nullptr));
}

TEST(NameSeparatePath, FolderAndPattern)
{
    dadatest::TempDir dir;
    std::string sub = dir.file("sub");
    ASSERT_TRUE(CreateDirectoryA(sub.c_str(), nullptr));
    const struct { std::string item, folder, pattern; } cases[] = {
        {"C:\\dir\\*.txt", "C:\\dir", "*.txt"},
        {"C:\\*.txt", "C:", "*.txt"},
        {"\\*.txt", "\\", "*.txt"},
        {"\\a\\*.txt", "\\", "*.txt"},
        {"\\ab\\*.txt", "\\ab", "*.txt"},
        {"*.txt", "", "*.txt"},
        {"C:\\no such file.txt", "C:\\", "no such file.txt"},
        {sub, sub, ""},
        {sub + "\\f.txt", sub, "f.txt"},
        {"file.txt", "", "file.txt"},
        {"", "", ""},
        {"C:\\d?r\\x\\*.c", "C:\\d?r\\x", "*.c"},
    };
    for (const auto &c : cases) {
        char folder[261], pattern[261];
        std::strcpy(folder, "junk");
        std::strcpy(pattern, "junk");
        NameSeparatePath(c.item.c_str(), folder, pattern);
        EXPECT_EQ(c.folder, folder) << c.item;
        EXPECT_EQ(c.pattern, pattern) << c.item;
    }
}

}  // namespace
