// Path rules in a double-byte code page, where 0x5C can be the second byte
// of a character (code page 932: "\x95\x5C" is one character).
#include <gtest/gtest.h>
#include "dadada32.h"
#include "path_cases.h"

#include <cstring>
#include <string>

namespace {

class Dbcs : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(932u, GetACP()) << "this program must run with a Japanese locale "
                                     "(LANG=ja_JP.UTF-8): the double-byte cases would prove nothing";
    }
};

#define HYO "\x95\x5C"   // one character whose trail byte is a backslash

TEST_F(Dbcs, TrailByteIsNotASeparator)
{
    for (const char *in : {"C:\\" HYO, HYO}) {   // does not end in a separator
        char buf[64];
        std::strcpy(buf, in);
        ASSERT_EQ(1, NameAppendFile(buf, sizeof buf, "file"));
        EXPECT_EQ(std::string(in) + "\\file", buf);
    }
    const PathCase strip[] = {{"C:\\dir\\" HYO, "C:\\dir"}, {HYO "abc", HYO "abc"}, {"C:\\" HYO "\\x", "C:\\" HYO}};
    CheckInPlace(NameStripFile, strip);
    const PathCase file[] = {{"C:\\dir\\" HYO, HYO}, {HYO "abc", ""}, {"C:\\" HYO "\\x", "x"}, {"\\" HYO, HYO}};
    CheckPart(NameReturnFile, file);
}

TEST_F(Dbcs, DisplayCaseWalksBytes)
{
    const PathCase cases[] = {
        {"c:\\" HYO "abc\\def", "C:\\" HYO "Abc\\Def"},
        {"c:\\\x83\x61x", "C:\\\x83\x41x"},   // a trail byte that is a letter is one
        {"c:\\\x83\x41x", "C:\\\x83\x41x"},
        {"x" HYO "y", "X" HYO "y"},
    };
    CheckInPlace(NameOutputFormat, cases);
}

TEST_F(Dbcs, ValidationSeesCharactersNotBytes)
{
    const struct { const char *item; DWORD flags; BOOL want; } cases[] = {
        {"\\\\srv\\" HYO "\\share", 0, 1},        // "\x5C\\" after a lead byte is no double separator
        {"\\\\srv\\\\share", 0, 0},
        {"C:\\d?r" HYO "*.txt", 2, 1},             // the trail byte is not the separator before '*'
        {"C:\\d?r\\" HYO "*.txt", 2, 0},
    };
    for (const auto &c : cases) EXPECT_EQ(c.want, NameValidateItem(c.item, c.flags)) << c.item;

    const char *path = HYO "?" HYO "*";
    EXPECT_EQ(path + 5, NameHasWildcards(path));
}

TEST_F(Dbcs, SeparatePathCutsAtRealSeparators)
{
    char folder[261], pattern[261];
    NameSeparatePath("C:\\nowhere\\" HYO, folder, pattern);
    EXPECT_STREQ("C:\\nowhere", folder);
    EXPECT_STREQ(HYO, pattern);
}

} // namespace
