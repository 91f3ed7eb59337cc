// Command-line parser: splitting, counting, accessors and bounded copies.
#include <gtest/gtest.h>
#include "dadada32.h"

#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

using Strings = std::vector<std::string>;

struct LineDeleter { void operator()(CmdLine *l) const { CmdLineEnd(l); } };
using Line = std::unique_ptr<CmdLine, LineDeleter>;

Strings Collect(const CmdLine *l, DWORD (WINAPI *get)(const CmdLine *, DWORD, LPSTR, DWORD))
{
    Strings out;
    char buf[300];
    for (DWORD i = 0; get(l, i, buf, sizeof buf) == 1; ++i) out.push_back(buf);
    return out;
}

Strings Items(const CmdLine *l)
{
    Strings out;
    char buf[300];
    for (DWORD i = 0; (i = CmdLineGetNextItem(l, i, buf, sizeof buf)) != CMDLINE_NO_ITEM;) out.push_back(buf);
    return out;
}

// The switch and param accessors agree with the items: a switch is an item
// starting with '/' or '-', less that character; no item is empty.
void CheckAccessors(const CmdLine *l, const std::string &text)
{
    Strings items = Items(l), switches, params;
    for (const auto &it : items) {
        ASSERT_FALSE(it.empty()) << text;
        bool sw = it[0] == '/' || it[0] == '-';
        (sw ? switches : params).push_back(sw ? it.substr(1) : it);
    }
    ASSERT_EQ(switches, Collect(l, CmdLineGetSwitch)) << text;
    ASSERT_EQ(params, Collect(l, CmdLineGetParam)) << text;
    ASSERT_LE(items.size(), CmdLineGetSwitchCount(l) + CmdLineGetParamCount(l)) << text;
}

struct SplitCase { const char *line; DWORD switches, params; Strings items; };   // counts as taken while splitting

const SplitCase kSplit[] = {
    {"/s -x file.txt \"one two\"", 2, 2, {"/s", "-x", "file.txt", "one two"}}, {"\"/s\"", 0, 1, {"/s"}},
    {" a  b", 0, 2, {"a", "b"}}, {"\"ab\"cd", 0, 2, {"ab", "cd"}}, {"", 0, 0, {}}, {"/a b", 1, 1, {"/a", "b"}},
    {"ab\"c d\"", 0, 1, {"abc d"}}, {"\"open ended", 0, 1, {"open ended"}}, {"a \"\" b", 0, 3, {"a", "b"}},
    {"\"a\"b\"c\"", 0, 2, {"a", "bc"}}, {"- /", 2, 0, {"-", "/"}}, {"x-y a/b", 0, 2, {"x-y", "a/b"}},
    {"a\tb", 0, 1, {"a\tb"}},
};

TEST(CmdLine, SplitsAndCounts)
{
    for (const auto &c : kSplit) {
        SCOPED_TRACE(c.line);
        Line l(CmdLineInit(c.line));
        Line copy(CmdLineDuplicate(l.get()));
        for (const CmdLine *x : {l.get(), copy.get()}) {
            ASSERT_TRUE(x);
            EXPECT_EQ(c.switches, CmdLineGetSwitchCount(x));
            EXPECT_EQ(c.params, CmdLineGetParamCount(x));
            EXPECT_EQ(c.items, Items(x));
        }
        CheckAccessors(l.get(), c.line);
    }
}

struct OptionCase {
    const char *line, *name;
    DWORD found;
    const char *value;
};

const OptionCase kOptions[] = {
    {"/LOG  c:\\x.log", "log", 1, "c:\\x.log"}, {"/LOG  c:\\x.log", "LoG", 1, "c:\\x.log"}, {"/LOG /Q", "log", 0, ""},
    {"/LOG", "log", 0, ""}, {"a /log", "log", 0, ""}, {"/a /log /log x", "log", 0, ""},   // no second try
    {"/x /log v", "log", 1, "v"}, {"/x /log v", "x", 0, ""}, {"-log v /log w", "log", 1, "v"},
    {"p /log \"two words\"", "log", 1, "two words"}, {"log v", "log", 0, ""}, {"", "log", 0, ""},
    {"\"/log\" v", "log", 1, "v"},   // classified by its text, not its quotes
};

TEST(CmdLine, OptionValues)
{
    for (const auto &c : kOptions) {
        SCOPED_TRACE(std::string(c.line) + " / " + c.name);
        Line l(CmdLineInit(c.line));
        char buf[64] = "untouched";
        EXPECT_EQ(c.found, CmdLineGetOptionValue(l.get(), c.name, buf, sizeof buf));
        if (c.found) EXPECT_STREQ(c.value, buf);
        else EXPECT_STREQ("untouched", buf);
    }
}

TEST(CmdLine, AccessorsAndBoundedCopies)
{
    Line l(CmdLineInit("/Alpha -beta gamma \"-delta\""));
    const std::pair<const char *, DWORD> finds[] = {
        {"alpha", 1}, {"ALPHA", 1}, {"beta", 1}, {"gamma", 0}, {"delta", 1}, {"alph", 0}, {"", 0}};
    for (auto [name, want] : finds) EXPECT_EQ(want, CmdLineFindSwitch(l.get(), name)) << name;
    const std::pair<const char *, DWORD> texts[] = {{"/x", 1}, {"-", 1}, {"x/", 0}, {"", 0}, {" /x", 0}, {nullptr, 0}};
    for (auto [text, want] : texts) EXPECT_EQ(want, IsSwitch(text)) << (text ? text : "null");
    char buf[12];
    for (DWORD from : {0u, 1u, 2u, 3u, 4u, CMDLINE_NO_ITEM})
        EXPECT_EQ(from < 4 ? from + 1 : CMDLINE_NO_ITEM, CmdLineGetNextItem(l.get(), from, buf, sizeof buf)) << from;
    l.reset(CmdLineInit("abcdef /xy"));
    struct { DWORD size; std::string want; } cases[] = {
        {3, "abc"}, {6, "abcdef"}, {7, std::string("abcdef\0", 7)}, {9, std::string("abcdef\0\0\0", 9)}, {0, ""}};
    for (const auto &c : cases) {
        memset(buf, 0x7F, sizeof buf);
        ASSERT_EQ(1u, CmdLineGetParam(l.get(), 0, buf, c.size));
        EXPECT_EQ(c.want, std::string(buf, c.size)) << c.size;
        EXPECT_EQ(0x7F, buf[c.size]) << "wrote past the size " << c.size;
    }
    EXPECT_EQ(1u, CmdLineGetSwitch(l.get(), 0, buf, 2));
    EXPECT_EQ("xy", std::string(buf, 2));
    EXPECT_EQ(1u, CmdLineGetParam(l.get(), 0, nullptr, 10));
}

TEST(CmdLine, LongLinesKeep261Bytes)
{
    Line l(CmdLineInit(("/" + std::string(299, 'q')).c_str()));
    EXPECT_EQ(Strings{std::string(260, 'q')}, Collect(l.get(), CmdLineGetSwitch));
    EXPECT_EQ(1u, CmdLineFindSwitch(l.get(), std::string(260, 'Q').c_str()));
    Line q(CmdLineInit(("\"" + std::string(280, 'z') + "\" tail").c_str()));
    EXPECT_EQ(1u, CmdLineGetParamCount(q.get()));
    EXPECT_EQ(Strings{std::string(260, 'z')}, Items(q.get()));
}

TEST(CmdLine, NullHandles)
{
    CmdLineEnd(nullptr);
    char buf[4];
    EXPECT_EQ(0u, CmdLineGetSwitchCount(nullptr) | CmdLineGetParam(nullptr, 0, buf, 4) | CmdLineFindSwitch(nullptr, "x"));
    EXPECT_EQ(CMDLINE_NO_ITEM, CmdLineGetNextItem(nullptr, 0, buf, sizeof buf));
    EXPECT_EQ(nullptr, CmdLineDuplicate(nullptr));
    Line l(CmdLineInit(nullptr));
    ASSERT_TRUE(l);
    EXPECT_EQ(Strings{}, Items(l.get()));
    EXPECT_EQ(0u, CmdLineGetOptionValue(l.get(), nullptr, buf, sizeof buf));
}

// Random lines over the characters that matter: the accessors must agree
// with the items, and every item must be free of separators.
TEST(CmdLine, RandomLinesStayConsistent)
{
    std::mt19937 rng(20240606);
    const char alphabet[] = "  \"\"/-ab";
    for (int round = 0; round < 20000; ++round) {
        std::string text(rng() % 300, ' ');
        for (char &ch : text) ch = alphabet[rng() % (sizeof alphabet - 1)];
        Line l(CmdLineInit(text.c_str()));
        ASSERT_TRUE(l);
        CheckAccessors(l.get(), text);
        if (HasFatalFailure()) return;
        if (text.find('"') == std::string::npos)
            for (const auto &it : Items(l.get())) ASSERT_EQ(std::string::npos, it.find(' ')) << text;
    }
}

} // namespace
