// Path rules in code page 932, where 0x5C can be the trail byte of a character.
#include "dadada32.h"
#include "path_cases.h"

namespace {

#define HYO "\x95\x5C"   // one character whose trail byte is a backslash

TEST(Dbcs, TrailByteIsNotASeparator)
{
    ASSERT_EQ(932u, GetACP()) << "run with LANG=ja_JP.UTF-8: the double-byte cases would prove nothing";
    char buf[64];
    ASSERT_EQ(1, NameAppendFile(std::strcpy(buf, HYO), sizeof buf, "file"));
    EXPECT_STREQ(HYO "\\file", buf);
    const PathCase strip[] = {{"C:\\dir\\" HYO, "C:\\dir"}, {HYO "abc", HYO "abc"}, {"C:\\" HYO "\\x", "C:\\" HYO}};
    CheckPath(NameStripFile, strip);
    const PathCase file[] = {{"C:\\dir\\" HYO, HYO}, {HYO "abc", ""}, {"C:\\" HYO "\\x", "x"}, {"\\" HYO, HYO}};
    CheckPath(NameReturnFile, file);
    const PathCase display[] = {{"c:\\" HYO "abc\\def", "C:\\" HYO "Abc\\Def"},
                                {"c:\\\x83\x61x", "C:\\\x83\x41x"}};   // a trail byte that is a letter is one
    CheckPath(NameOutputFormat, display);
    const ValidCase valid[] = {
        {"\\\\srv\\" HYO "\\share", 0, 1}, {"\\\\srv\\\\share", 0, 0},   // no double separator after a lead byte
        {"C:\\d?r" HYO "*.txt", 2, 1}, {"C:\\d?r\\" HYO "*.txt", 2, 0},  // nor a separator before '*'
    };
    CheckValid(NameValidateItem, valid);
    const AtCase wild[] = {{HYO "?" HYO "*", 5}};
    CheckAt(NameHasWildcards, wild);
    // The folder/pattern split: a trail byte 0x5C is no separator.
    const struct { const char *item, *folder, *pattern; } split[] = {
        {"C:\\nowhere\\" HYO, "C:\\nowhere", HYO}, {HYO "abc", "", HYO "abc"}, {HYO "\\*.txt", HYO, "*.txt"}};
    for (const auto &c : split) {
        char folder[261], pattern[261];
        NameSeparatePath(c.item, folder, pattern);
        EXPECT_STREQ(c.folder, folder) << c.item;
        EXPECT_STREQ(c.pattern, pattern) << c.item;
    }
}

} // namespace
