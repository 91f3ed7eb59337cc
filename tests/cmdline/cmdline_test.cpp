// Command-line parser: splitting, accessors, bounded copies, random lines.
#include <gtest/gtest.h>
#include "dadada32.h"

#include <random>

namespace {

using Strings = std::vector<std::string>;
using Line = std::unique_ptr<CmdLine, decltype(&CmdLineEnd)>;

Line Parse(const std::string &text) { return Line(CmdLineInit(text.c_str()), CmdLineEnd); }

// The items; the switch and param accessors must agree with them.
Strings Items(const CmdLine *l)
{
    Strings items, switches, params;
    char buf[300];
    auto collect = [&](auto get) {
        Strings out;
        for (DWORD i = 0; get(l, i, buf, sizeof buf) == 1; ++i) out.push_back(buf);
        return out;
    };
    for (DWORD i = 0; (i = CmdLineGetNextItem(l, i, buf, sizeof buf)) != CMDLINE_NO_ITEM;) items.push_back(buf);
    for (const auto &it : items) {
        if (it[0] == '/' || it[0] == '-') switches.push_back(it.substr(1));
        else params.push_back(it);
    }
    EXPECT_EQ(switches, collect(CmdLineGetSwitch));
    EXPECT_EQ(params, collect(CmdLineGetParam));
    return items;
}

// Items and counts (taken while splitting), read from a duplicate; /log's value.
TEST(CmdLine, Splits)
{
    const struct { std::string line; DWORD switches, params; Strings items; const char *log; } cases[] = {
        {"/s -x file.txt \"one two\"", 2, 2, {"/s", "-x", "file.txt", "one two"}, nullptr},
        {"\"/s\"", 0, 1, {"/s"}, nullptr}, {"", 0, 0, {}, nullptr}, {"-", 1, 0, {"-"}, nullptr}, {"x-y a/b\tc", 0, 2, {"x-y", "a/b\tc"}, nullptr},
        {"\"ab\"cd", 0, 2, {"ab", "cd"}, nullptr}, {"ab\"c d\"", 0, 1, {"abc d"}, nullptr}, {"a \"\" b", 0, 3, {"a", "b"}, nullptr},
        {"/LOG  c:\\x.log", 1, 1, {"/LOG", "c:\\x.log"}, "c:\\x.log"}, {"/LOG /Q", 2, 0, {"/LOG", "/Q"}, nullptr},   // a switch is no value
        {"-log v /log w", 2, 2, {"-log", "v", "/log", "w"}, "v"}, {"/" + std::string(299, 'q'), 1, 0, {"/" + std::string(260, 'q')}, nullptr},   // cut to 261 bytes
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.line);
        Line l = Parse(c.line);
        Line copy(CmdLineDuplicate(l.get()), CmdLineEnd);
        EXPECT_EQ(c.switches, CmdLineGetSwitchCount(copy.get()));
        EXPECT_EQ(c.params, CmdLineGetParamCount(copy.get()));
        EXPECT_EQ(c.items, Items(copy.get()));
        char buf[64] = "untouched";
        EXPECT_EQ(c.log != nullptr, CmdLineGetOptionValue(l.get(), "LoG", buf, sizeof buf));
        EXPECT_STREQ(c.log ? c.log : "untouched", buf);
    }
}

TEST(CmdLine, AccessorsAndBoundedCopies)
{
    Line l = Parse("/Alpha abcdef \"-delta\"");
    for (auto [name, want] : {std::pair<const char *, DWORD>{"ALPHA", 1}, {"delta", 1}, {"abcdef", 0}, {"alph", 0}})
        EXPECT_EQ(want, CmdLineFindSwitch(l.get(), name)) << name;
    for (auto [text, want] : {std::pair<const char *, DWORD>{"-", 1}, {"x/", 0}, {" /x", 0}, {"", 0}, {nullptr, 0}})
        EXPECT_EQ(want, IsSwitch(text)) << (text ? text : "null");
    char buf[12];
    for (const std::string &want : Strings{"abc", "abcdef", std::string("abcdef\0\0\0", 9), ""}) {   // sizes 3, 6, 9 and 0
        memset(buf, 0x7F, sizeof buf);
        ASSERT_EQ(1u, CmdLineGetParam(l.get(), 0, buf, DWORD(want.size())));
        EXPECT_EQ(want + '\x7F', std::string(buf, want.size() + 1));
    }
    CmdLineEnd(nullptr);
    EXPECT_EQ(nullptr, CmdLineDuplicate(nullptr));
    EXPECT_EQ(CMDLINE_NO_ITEM, CmdLineGetNextItem(nullptr, 0, buf, sizeof buf));
    EXPECT_EQ(0u, CmdLineGetOptionValue(Parse("").get(), nullptr, buf, sizeof buf));
}

// Random lines over the characters that matter: the accessors must agree.
TEST(CmdLine, RandomLines)
{
    std::mt19937 rng(20240606);
    const char alphabet[] = "  \"\"/-ab";
    for (int round = 0; round < 5000 && !HasFailure(); ++round) {
        std::string text(rng() % 300, ' ');
        for (char &ch : text) ch = alphabet[rng() % (sizeof alphabet - 1)];
        SCOPED_TRACE(text);
        Items(Parse(text).get());
    }
}

} // namespace
