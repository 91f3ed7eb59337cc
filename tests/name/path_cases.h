// Table runners shared by the path tests: one input, one expected text.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>
#include <cstring>

struct PathCase { const char *in; const char *out; };

// Functions that change a path in place.
template <size_t N> void CheckInPlace(void(WINAPI *fn)(LPSTR), const PathCase (&cases)[N])
{
    for (const auto &c : cases) {
        char buf[300];
        std::strcpy(buf, c.in);
        fn(buf);
        EXPECT_STREQ(c.out, buf) << c.in;
    }
}

// Functions that write a part of the path into a 261-byte buffer.
template <size_t N> void CheckPart(void(WINAPI *fn)(LPCSTR, LPSTR), const PathCase (&cases)[N])
{
    for (const auto &c : cases) {
        char out[261] = "garbage";
        fn(c.in, out);
        EXPECT_STREQ(c.out, out) << c.in;
    }
}
