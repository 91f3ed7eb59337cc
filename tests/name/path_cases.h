// Table runners shared by the path tests.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>
#include <cstring>
#include <string>
#include <type_traits>

struct PathCase { const char *in; const char *out; };
struct BoolCase { const char *in; BOOL want; };
struct AtCase { const char *in; int at; };   // answer points `at` bytes into the input, -1: null
struct ValidCase { const char *item; DWORD flags; BOOL want; };

// In place (fn(path)) or into a 261-byte buffer (fn(path, out)).
template <class Fn, size_t N> void CheckPath(Fn fn, const PathCase (&cases)[N])
{
    for (const auto &c : cases) {
        char buf[300] = "garbage";
        if constexpr (std::is_invocable_v<Fn, char *>) fn(std::strcpy(buf, c.in));
        else fn(c.in, buf);
        EXPECT_STREQ(c.out, buf) << c.in;
    }
}

// Predicates and searches; a null argument always answers 0 / null.
template <class Fn, size_t N> void CheckBool(Fn fn, const BoolCase (&cases)[N])
{
    for (const auto &c : cases) EXPECT_EQ(c.want, fn(c.in)) << c.in;
    EXPECT_EQ(0, fn(nullptr));
}
template <class Fn, size_t N> void CheckAt(Fn fn, const AtCase (&cases)[N])
{
    for (const auto &c : cases) EXPECT_EQ(c.at < 0 ? nullptr : c.in + c.at, fn(c.in)) << c.in;
    EXPECT_EQ(nullptr, fn(nullptr));
}
template <class Fn, size_t N> void CheckValid(Fn fn, const ValidCase (&cases)[N])
{
    for (const auto &c : cases) EXPECT_EQ(c.want, fn(c.item, c.flags)) << c.item << " flags " << c.flags;
    EXPECT_EQ(0, fn(nullptr, 6));
}
