// mprintf: placeholders, unknown types, lone carets.
#include <gtest/gtest.h>
#include "dadada32.h"

#include <string>
#include <vector>

namespace {

struct Case { const char *format; std::vector<UINT_PTR> args; std::string want; };

const char kAbc[] = "abc", kEmpty[] = "";
const UINT_PTR kAbcArg = reinterpret_cast<UINT_PTR>(kAbc);

const Case kCases[] = {
    {"Found ^2%s in file", {7, kAbcArg}, "Found abc in file"}, {"", {}, ""},
    {"plain text", {}, "plain text"}, {"^1%d", {7}, "7"},
    {"^1%d", {UINT_PTR(-5)}, "-5"}, {"^1%d", {0x80000000u}, "-2147483648"},
    {"^1%d", {0x7FFFFFFFu}, "2147483647"}, {"^1%d", {0}, "0"},
    {"^1%d", {UINT_PTR(0xFFFFFFFFull)}, "-1"}, {"^1%c", {0x141}, "A"},
    {"[^1%x]", {1}, "[]"}, {"cost ^", {}, "cost ^"},
    {"^^1%d", {3}, "^3"}, {"a^b^c", {}, "a^b^c"},
    {"100% ^1", {}, "100% ^1"}, {"x^1%", {0}, "x"},
    {"^2%d-^1%d-^2%d", {1, 2}, "2-1-2"}, {"^1%s^1%s", {kAbcArg}, "abcabc"},
    {"<^1%s>", {reinterpret_cast<UINT_PTR>(kEmpty)}, "<>"}, {"^9%d", {1, 2, 3, 4, 5, 6, 7, 8, 9}, "9"},
    {"^0%d^:%d!", {1}, "!"}, {"^1%D", {1}, ""},
};

TEST(Mprintf, Formats)
{
    for (const auto &c : kCases) {
        SCOPED_TRACE(c.format);
        char out[128];
        memset(out, 0x7F, sizeof out);
        DWORD n = mprintf(out, c.format, c.args.data());
        EXPECT_EQ(c.want, std::string(out));
        EXPECT_EQ(c.want.size(), n);
        EXPECT_EQ(n, mprintf(nullptr, c.format, c.args.data())) << "the measuring call disagrees";
    }
}

TEST(Mprintf, ArgumentsArePointerSized)
{
    std::string big(300, 'w');
    UINT_PTR args[] = {reinterpret_cast<UINT_PTR>(big.c_str()), 42};
    char out[400];
    EXPECT_EQ(303u, mprintf(out, "^1%s^2%d!", args));
    EXPECT_EQ(big + "42!", out);
    EXPECT_EQ(0u, mprintf(out, nullptr, args));
    EXPECT_STREQ("", out);
}

} // namespace
