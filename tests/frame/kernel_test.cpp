// Our kernel file library: a round trip, and the paths and values it refuses.
#include <gtest/gtest.h>
#include "testutil.h"

using namespace dadatest;

namespace {

TEST(Kernel, RoundTripAndRefusals)
{
    TempDir dir;
    const std::string path = dir.file("k.bin");
    ZKFILE f = ZK_Create(path.c_str());
    ASSERT_NE(f, ZK_NOFILE);
    EXPECT_EQ(ZK_Write(f, "hello world", 11), 11u);
    ZK_Seek(f, 6, ZK_SEEK_BEGIN);
    char buf[16] = {};
    EXPECT_EQ(ZK_Read(f, buf, sizeof buf), 5u) << "fewer than asked at the end";
    EXPECT_STREQ(buf, "world");
    EXPECT_EQ(ZK_SetLength(f, 0), 1u);
    EXPECT_EQ(ZK_Write(f, "ab", 2), 2u);
    EXPECT_EQ(ZK_Length(f), 2u) << "writes land at the start after set-length";
    ZK_Close(f);
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
    for (const std::string &p : {path, dir.file("NUL.txt"), dir.file("com9.log"), dir.file("PRN "),
                                 std::string("c:\\x\\con.txt"), std::string("\\\\.\\PhysicalDrive0")})
        EXPECT_EQ(ZK_Create(p.c_str()), ZK_NOFILE) << p;
    EXPECT_EQ(ZK_Open(path.c_str(), ZK_OPEN_WRITE), ZK_NOFILE);
    // Values not handed out, or closed, are refused and touch no file.
    ZKFILE live = ZK_Open(path.c_str(), ZK_OPEN_READ);
    for (ZKFILE v : {f, ZKFILE(0), ZKFILE(4), live ^ 0x10000u, live + 1}) ZK_Close(v);
    EXPECT_EQ(ZK_Read(f, buf, sizeof buf), 0u) << "a closed value";
    EXPECT_EQ(ZK_Length(live), 2u) << "closing foreign values closed nothing";
    ZK_Close(live);
    EXPECT_EQ(ZKT_OpenFiles(), 0);
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}

} // namespace
