// Every path function on random bytes: answers stay inside the caller's buffers.
#include <gtest/gtest.h>
#include "dadada32.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

struct Guarded {   // a 261-byte path buffer followed by guard bytes
    char bytes[261 + 16];
    Guarded() { std::memset(bytes, 0x7E, sizeof bytes); }
    bool intact(size_t used) const { return std::all_of(bytes + used, std::end(bytes), [](char b) { return b == 0x7E; }); }
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
        Guarded a, b, c, d, e;
        NameReturnFile(s, a.bytes);
        NameSeparatePath(s, b.bytes, c.bytes);
        NameReturnExtension(s, d.bytes, 16);
        NameReturnLongName(s, e.bytes, 200);
        ASSERT_TRUE(a.intact(261) && b.intact(261) && c.intact(261) && d.intact(16) && e.intact(200)) << i;
        Guarded illegal;
        NameReturnIllegalChars(illegal.bytes, 7, i & 1, i & 2 ? 1 : 0);
        ASSERT_TRUE(illegal.intact(7)) << i;
        if (p.size() <= 260) {   // in place: the callers' buffers hold a path
            Guarded in;
            std::memcpy(in.bytes, s, p.size() + 1);
            NameAppendFile(in.bytes, 261, q.c_str());
            NameAppendExtension(in.bytes, 261, q.c_str());
            NameStripExtension(in.bytes);
            NameStripFile(in.bytes);
            NameOutputFormat(in.bytes);
            ASSERT_TRUE(in.intact(261)) << i;
        }
        NameWildcardMatch(s, q.c_str());
        NameValidateItem(s, 6);
        NameIsDevice(s);
        NameIsTargetFile(s);
        NameHasWildcards(s);
    }
}

} // namespace
