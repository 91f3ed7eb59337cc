// Classifying paths and validating scan items.
#include <gtest/gtest.h>
#include "dadada32.h"
#include "testutil.h"

#include <cstring>
#include <string>

namespace {

TEST(NameIsUNCPath, TwoBackslashesAndMore)
{
    const std::pair<const char *, BOOL> cases[] = {
        {"\\\\a", 1}, {"\\\\", 0}, {"\\\\srv\\share", 1}, {"\\a\\b", 0}, {"C:\\", 0}, {"", 0},
    };
    for (auto [path, want] : cases) EXPECT_EQ(want, NameIsUNCPath(path)) << path;
    EXPECT_EQ(0, NameIsUNCPath(nullptr));
}

TEST(NameIsTargetFile, Brackets)
{
    const std::pair<const char *, BOOL> cases[] = {
        {"<>", 1}, {"<", 0}, {">", 0}, {"", 0}, {"<C:\\dir>", 1}, {"<x", 0}, {"x>", 0}, {" <x>", 0},
    };
    for (auto [item, want] : cases) EXPECT_EQ(want, NameIsTargetFile(item)) << item;
    EXPECT_EQ(0, NameIsTargetFile(nullptr));
}

TEST(NameIsDirectory, ExistingFoldersOnly)
{
    dadatest::TempDir dir;
    ASSERT_TRUE(dadatest::WriteFileBytes(dir.file("f"), "x"));
    EXPECT_EQ(1, NameIsDirectory(dir.path().c_str()));
    EXPECT_EQ(0, NameIsDirectory(dir.file("f").c_str()));
    EXPECT_EQ(0, NameIsDirectory(dir.file("missing").c_str()));
    EXPECT_EQ(0, NameIsDirectory(nullptr));
}

TEST(NameIsDevice, DeviceNamesOfThisPlatform)
{
    ASSERT_EQ(OSVERSION_WINNT, GetOsVersion());
    const std::pair<const char *, BOOL> cases[] = {
        {"CON", 1}, {"nul", 1}, {"Aux", 1}, {"com1", 1}, {"prn.txt", 0}, {"temp\\prn", 0}, {"", 0}, {"readme", 0},
    };
    for (int round = 0; round < 2; ++round)   // the second round uses the kept list
        for (auto [name, want] : cases) EXPECT_EQ(want, NameIsDevice(name)) << name;
    EXPECT_EQ(0, NameIsDevice(nullptr));
}

std::string Illegal(DWORD size, DWORD root, DWORD wild, DWORD *count)
{
    char buf[300];
    std::memset(buf, 'Z', sizeof buf);
    *count = NameReturnIllegalChars(buf, size, root, wild);
    for (DWORD i = *count; i < size; ++i) EXPECT_EQ(0, buf[i]) << "byte " << i;   // zero-filled
    EXPECT_EQ('Z', buf[size]);                                                    // and no further
    return std::string(buf, *count);
}

TEST(NameReturnIllegalChars, FlagsRemovePairs)
{
    std::string controls;
    for (int c = 1; c <= 0x1F; ++c) controls += char(c);
    struct { DWORD root, wild; std::string want; } cases[] = {
        {0, 0, controls + "\"*/:<>?\\|"},
        {1, 0, controls + "\"*/<>?|"},
        {0, 1, controls + "\"/:<>\\|"},
        {1, 1, controls + "\"/<>|"},
        {2, 2, controls + "\"*/:<>?\\|"},   // only exactly 1 counts
    };
    for (const auto &c : cases) {
        DWORD count;
        EXPECT_EQ(c.want, Illegal(260, c.root, c.wild, &count)) << c.root << "/" << c.wild;
        EXPECT_EQ(c.want.size(), count);
    }
    DWORD count;
    EXPECT_EQ(controls.substr(0, 9), Illegal(10, 0, 0, &count));   // small buffer: cut, terminated
    EXPECT_EQ(0u, NameReturnIllegalChars(nullptr, 260, 0, 0));
}

TEST(NameValidateItem, Rules)
{
    const struct { const char *item; DWORD flags; BOOL want; } cases[] = {
        {"", 6, 0},
        {"<C:\\dir>", 0, 0}, {"<C:\\dir>", 4, 1}, {"<C:\\d|r>", 4, 0}, {"<>", 4, 1}, {"<file>", 4, 1},
        {"C:\\dir:x", 0, 0}, {"\\\\server\\share\\a:b", 0, 1}, {"\\\\server\\\\share", 0, 0},
        {"\\\\\\server", 0, 0}, {"\\\\server\\share\\", 0, 1},
        {"*.exe", 0, 0}, {"*.exe", 2, 1}, {"C:\\*\\file", 2, 1}, {"C:\\dir\\*.txt", 2, 1},
        {"C:\\d?r\\*.txt", 2, 0}, {"C:\\dir\\*.txt", 0, 0}, {"C:\\*.txt", 2, 1},
        {"dir\\file", 0, 0}, {"\\dir\\file", 0, 0}, {"C:\\dir\\file", 0, 1}, {"file.txt", 0, 1},
        {"a\"b", 0, 0}, {"a/b", 0, 0}, {"a<b", 0, 0}, {"a>b", 0, 0}, {"a|b", 0, 0}, {"a\tb", 0, 0},
        {"C:", 0, 0}, {"C:\\", 0, 1}, {"a:b", 0, 0},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.want, NameValidateItem(c.item, c.flags)) << c.item << " flags " << c.flags;
    EXPECT_EQ(0, NameValidateItem(nullptr, 6));
}

} // namespace
