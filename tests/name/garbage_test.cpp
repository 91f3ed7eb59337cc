// Every path function on random bytes: answers stay inside the caller's
// buffers, whatever the input.
#include <gtest/gtest.h>
#include "dadada32.h"

#include <cstring>
#include <string>

namespace {

constexpr char kCanary = '\x7E';

struct Guarded {
    char bytes[261 + 16];
    Guarded() { std::memset(bytes, kCanary, sizeof bytes); }
    char *get() { return bytes; }
    bool intact(size_t used) const
    {
        for (size_t i = used; i < sizeof bytes; ++i)
            if (bytes[i] != kCanary) return false;
        return true;
    }
};

std::string RandomPath(unsigned &seed)
{
    static const char pool[] = "\\\\\\//::..**??;;<>|\"aZ9 \x81\x95\x5C\xE0\xFF\t";
    auto next = [&] { seed = seed * 1664525u + 1013904223u; return seed >> 8; };
    std::string s;
    for (unsigned n = next() % 320; n; --n) s += pool[next() % (sizeof pool - 1)];
    return s;
}

TEST(PathGarbage, NoFunctionWritesPastItsBuffer)
{
    unsigned seed = 2024;
    for (int i = 0; i < 3000; ++i) {
        std::string p = RandomPath(seed), q = RandomPath(seed);
        const char *s = p.c_str();

        // Each output in a fresh guarded buffer of the size the call is given.
        auto fits = [](size_t size, auto call) {
            Guarded out;
            call(out.get());
            return out.intact(size);
        };
        ASSERT_TRUE(fits(261, [&](char *o) { NameReturnFile(s, o); })) << i;
        ASSERT_TRUE(fits(261, [&](char *o) { Guarded other; NameSeparatePath(s, o, other.get());
                                             EXPECT_TRUE(other.intact(261)); })) << i;
        ASSERT_TRUE(fits(16, [&](char *o) { NameReturnExtension(s, o, 16); })) << i;
        ASSERT_TRUE(fits(200, [&](char *o) { NameReturnLongName(s, o, 200); })) << i;
        ASSERT_TRUE(fits(7, [&](char *o) { NameReturnIllegalChars(o, 7, i & 1, i & 2 ? 1 : 0); })) << i;

        if (p.size() <= 260) {   // in place: the callers' buffers hold a path
            Guarded c;
            std::memcpy(c.get(), s, p.size() + 1);
            NameAppendFile(c.get(), 261, q.c_str());
            ASSERT_TRUE(c.intact(261)) << i;
            NameAppendExtension(c.get(), 261, q.c_str());
            NameStripExtension(c.get());
            NameStripFile(c.get());
            NameOutputFormat(c.get());
            ASSERT_TRUE(c.intact(261)) << i;
        }
        NameWildcardMatch(s, q.c_str());
        NameValidateItem(s, 6);
        NameIsDevice(s);
        NameIsTargetFile(s);
        NameHasWildcards(s);
    }
}

} // namespace
