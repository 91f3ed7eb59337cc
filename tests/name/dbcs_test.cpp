// Path rules in a double-byte code page, where 0x5C can be the second byte
// of a character (code page 932: "\x95\x5C" is one character).
#include <gtest/gtest.h>
#include "dadada32.h"

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

struct Case { const char *in; const char *out; };

TEST_F(Dbcs, TrailByteIsNotASeparator)
{
    for (auto c : {Case{"C:\\" HYO, "C:\\" HYO "\\file"}, Case{"C:\\dir\\", "C:\\dir\\file"},
                   Case{HYO, HYO "\\file"}}) {
        char buf[64];
        std::strcpy(buf, c.in);
        ASSERT_EQ(1, NameAppendFile(buf, sizeof buf, "file"));
        EXPECT_STREQ(c.out, buf) << c.in;
    }
    for (auto c : {Case{"C:\\dir\\" HYO, "C:\\dir"}, Case{HYO "abc", HYO "abc"},
                   Case{"C:\\" HYO "\\x", "C:\\" HYO}}) {
        char buf[64];
        std::strcpy(buf, c.in);
        NameStripFile(buf);
        EXPECT_STREQ(c.out, buf) << c.in;
    }
    for (auto c : {Case{"C:\\dir\\" HYO, HYO}, Case{HYO "abc", ""}, Case{"C:\\" HYO "\\x", "x"},
                   Case{"\\" HYO, HYO}}) {
        char out[261];
        NameReturnFile(c.in, out);
        EXPECT_STREQ(c.out, out) << c.in;
    }
}

TEST_F(Dbcs, DisplayCaseLeavesDoubleByteCharactersAlone)
{
    for (auto c : {Case{"c:\\" HYO "abc\\def", "C:\\" HYO "Abc\\Def"},
                   Case{"c:\\\x83\x61x", "C:\\\x83\x61X"},   // trail byte 'a' stays
                   Case{"x" HYO "y", "X" HYO "y"}}) {
        char buf[64];
        std::strcpy(buf, c.in);
        NameOutputFormat(buf);
        EXPECT_STREQ(c.out, buf) << c.in;
    }
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
