// Taking UNC paths apart (library-internal helpers).
#include <gtest/gtest.h>
#include "NAME/name_internal.h"

#include <cstring>
#include <string>

namespace {

TEST(NameReturnUNCServer, ServerNameWithinTheSize)
{
    const struct { const char *path; DWORD size; BOOL ok; const char *out; } cases[] = {
        {"\\\\srv\\share", 3, 0, ""}, {"\\\\srv\\share", 4, 1, "srv"}, {"\\\\srv", 49, 1, "srv"},
        {"\\\\", 49, 1, ""}, {"\\\\srv\\", 4, 1, "srv"}, {"\\srv", 49, 0, "untouched"},
        {"srv", 49, 0, "untouched"}, {"", 49, 0, "untouched"}, {"\\\\s/x\\y", 49, 1, "s/x"},
    };
    for (const auto &c : cases) {
        char out[64];
        std::strcpy(out, "untouched");
        EXPECT_EQ(c.ok, dada::NameReturnUNCServer(c.path, c.size, out)) << c.path << " " << c.size;
        EXPECT_STREQ(c.out, out) << c.path << " " << c.size;
    }
    // exactly `size` characters are the limit: never written past the buffer
    char tight[4] = {'x', 'x', 'x', 'x'};
    char guard = 'G';
    EXPECT_EQ(0, dada::NameReturnUNCServer("\\\\abcdefgh", 4, tight));
    EXPECT_EQ('G', guard);
    char one[1] = {'x'};
    EXPECT_EQ(0, dada::NameReturnUNCServer("\\\\a", 0, one));
    EXPECT_EQ('x', one[0]);
    EXPECT_EQ(0, dada::NameReturnUNCServer(nullptr, 4, tight));
}

TEST(NameReturnUNCShare, PartAfterTheServer)
{
    const struct { const char *path; int at; } cases[] = {
        {"\\\\server\\share\\dir\\file", 9}, {"\\\\server\\", 9}, {"\\\\server", -1},
        {"\\\\server/share", 9}, {"\\\\\\share", -1}, {"\\\\/x", -1}, {"\\\\*x\\y", -1},
        {"\\\\?x\\y", -1}, {"\\\\:x\\y", -1}, {"\\\\", -1}, {"\\a\\b", -1}, {"C:\\a", -1},
    };
    for (const auto &c : cases) {
        LPCSTR got = dada::NameReturnUNCShare(c.path);
        if (c.at < 0) EXPECT_EQ(nullptr, got) << c.path;
        else EXPECT_EQ(c.path + c.at, got) << c.path;
    }
    EXPECT_EQ(nullptr, dada::NameReturnUNCShare(nullptr));
}

} // namespace
