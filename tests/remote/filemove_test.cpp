// FileMove: all or nothing for the destination, and the source never lost.
#include <gtest/gtest.h>
#include "dadada32.h"
#include "machine.h"

using namespace dadatest;

namespace {

// An existing destination and missing names; sizes around the block; then a
// kernel failure at each call: nothing lost or left open.
TEST(FileMove, AllOrNothing)
{
    TempDir dir;
    const std::string src = dir.file("src.bin"), dst = dir.file("dst.bin"), missing = dir.file("none");
    // srcAfter: the source's content afterwards, or null for no file
    struct { const char *source, *destination; DWORD overwrite, result; const char *srcAfter, *dstAfter; } cases[] = {
        {src.c_str(), dst.c_str(), 2, 0, "new", "old"},   {src.c_str(), dst.c_str(), 1, 1, nullptr, "new"},
        {nullptr, dst.c_str(), 1, 0, "new", "old"},       {missing.c_str(), dst.c_str(), 1, 0, "new", "old"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.source ? c.source : "null") + " overwrite " + std::to_string(c.overwrite));
        ASSERT_TRUE(WriteFileBytes(src, "new"));
        ASSERT_TRUE(WriteFileBytes(dst, "old"));
        EXPECT_EQ(FileMove(c.source, c.destination, c.overwrite), c.result);
        EXPECT_EQ(ReadFileBytes(src), c.srcAfter ? c.srcAfter : "");
        EXPECT_EQ(FileExists(src), c.srcAfter != nullptr);
        EXPECT_EQ(ReadFileBytes(dst), c.dstAfter);
    }
    struct { size_t size; DWORD reads; } sizes[] = {{0, 0}, {65534, 1}, {65535, 2}, {3 * 65534 + 17, 4}};
    DWORD calls = 0;
    for (const auto &c : sizes) {
        DeleteFileA(dst.c_str());
        ASSERT_TRUE(WriteFileBytes(src, Pattern(c.size)));
        ZKT_ClearFaults();
        EXPECT_EQ(FileMove(src.c_str(), dst.c_str(), 0), 1u) << c.size;
        EXPECT_EQ(ZKT_CallCount(ZK_ORD_READ), c.reads) << c.size;
        calls = ZKT_CallCount(0);
        EXPECT_FALSE(FileExists(src)) << c.size;
        EXPECT_EQ(ReadFileBytes(dst), Pattern(c.size)) << c.size;
    }
    EXPECT_EQ(ZKT_OpenFiles(), 0);
    ASSERT_GT(calls, 10u);
    ASSERT_TRUE(MoveFileA(dst.c_str(), src.c_str()));   // the largest, back as the source
    const std::string data = Pattern(sizes[3].size);
    DWORD unnoticed = 0;
    for (DWORD k = 0; k < calls; ++k) {
        SCOPED_TRACE(k);
        DWORD moved;
        {
            KernelFault fault(0, k, 1, 100);
            moved = FileMove(src.c_str(), dst.c_str(), 0);
        }
        if (moved) {   // only a fault whose failure changes nothing may pass: the move is complete
            EXPECT_FALSE(FileExists(src));
            EXPECT_EQ(ReadFileBytes(dst), data);
            ASSERT_TRUE(MoveFileA(dst.c_str(), src.c_str()));
            ++unnoticed;
            continue;
        }
        EXPECT_EQ(ReadFileBytes(src), data);
        EXPECT_FALSE(FileExists(dst));
        EXPECT_EQ(ZKT_OpenFiles(), 0);
    }
    EXPECT_LE(unnoticed, 3u);   // the destination's existence test and the two closes
}

} // namespace
