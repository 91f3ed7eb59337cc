// Every path function on random bytes: answers stay inside the caller's buffers.
// Built with the library's UNC helpers, which the remote services use on names
// from other machines.
#include "dadada32.h"
#include "NAME/name_internal.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <cstring>
#include <string>

namespace {

struct Guarded {   // a 261-byte path buffer followed by guard bytes
    char bytes[261 + 16];
    Guarded() { std::memset(bytes, 0x7E, sizeof bytes); }
    bool intact(size_t used) const { return std::all_of(bytes + used, std::end(bytes), [](char b) { return b == 0x7E; }); }
};

TEST(PathGarbage, NoFunctionWritesPastItsBuffer)
{
    unsigned seed = 2024;
    auto next = [&] { seed = seed * 1664525u + 1013904223u; return seed >> 8; };
    auto random = [&] {
        static const char pool[] = "\\\\\\//::..**??;;<>|\"aZ9 \x81\x95\x5C\xE0\xFF\t";
        std::string s;
        for (unsigned n = next() % 320; n; --n) s += pool[next() % (sizeof pool - 1)];
        return s;
    };
    for (int i = 0; i < 2000; ++i) {
        const std::string p = random(), q = random();
        const char *s = p.c_str();
        Guarded a, b, c, d, e, f;
        NameReturnFile(s, a.bytes);
        NameSeparatePath(s, b.bytes, c.bytes);
        NameReturnExtension(s, d.bytes, 16);
        NameReturnLongName(s, e.bytes, 200);
        dada::NameReturnUNCServer(s, i % 40, f.bytes);
        ASSERT_TRUE(a.intact(261) && b.intact(261) && c.intact(261) && d.intact(16) && e.intact(200) && f.intact(i % 40)) << i;
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
        const char *share = dada::NameReturnUNCShare(s);
        EXPECT_TRUE(!share || (share > s && share <= s + p.size())) << i;
        NameWildcardMatch(s, q.c_str());
        NameValidateItem(s, 6);
        NameIsDevice(s);
        NameHasWildcards(s);
    }
}

} // namespace
