// Taking UNC paths apart (library-internal helpers).
#include "NAME/name_internal.h"
#include "path_cases.h"

namespace {

TEST(NameReturnUNC, ServerAndShare)
{
    const struct { const char *path; DWORD size; BOOL ok; const char *out; } cases[] = {
        {"\\\\srv\\share", 3, 0, ""}, {"\\\\srv\\share", 4, 1, "srv"}, {"\\\\srv", 49, 1, "srv"},
        {"\\\\", 49, 1, ""}, {"\\\\srv\\", 4, 1, "srv"}, {"\\srv", 49, 0, "untouched"},
        {"srv", 49, 0, "untouched"}, {"", 49, 0, "untouched"}, {"\\\\s/x\\y", 49, 1, "s/x"},
        {nullptr, 4, 0, "untouched"}, {"\\\\a", 0, 0, "untouched"},
        {"\\\\abcdefgh", 4, 0, nullptr},   // `size` characters are the limit: never past the buffer
    };
    for (const auto &c : cases) {
        char out[16] = "untouched";
        EXPECT_EQ(c.ok, dada::NameReturnUNCServer(c.path, c.size, out)) << c.path << " " << c.size;
        if (c.out) EXPECT_STREQ(c.out, out) << c.size;
        if (c.size < 10) EXPECT_STREQ(&"untouched"[c.size], out + c.size) << "past the size " << c.size;
    }
    const AtCase share[] = {
        {"\\\\server\\share\\dir\\file", 9}, {"\\\\server\\", 9}, {"\\\\server", -1}, {"\\\\server/share", 9},
        {"\\\\\\share", -1}, {"\\\\/x", -1}, {"\\\\*x\\y", -1}, {"\\\\?x\\y", -1}, {"\\\\:x\\y", -1},
        {"\\\\", -1}, {"\\a\\b", -1}, {"C:\\a", -1},
    };
    CheckAt(dada::NameReturnUNCShare, share);
}

} // namespace
