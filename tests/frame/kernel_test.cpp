// Our kernel file library: the paths and the values it refuses.
#include <gtest/gtest.h>
#include "testutil.h"

using namespace dadatest;

namespace {

TEST(Kernel, RefusesDevicesReadOnlyFilesAndForeignValues)
{
    TempDir dir;
    const std::string path = dir.file("k.bin");
    ASSERT_TRUE(WriteFileBytes(path, "ab"));
    const ZKFILE stale = ZK_Open(path.c_str(), ZK_OPEN_READ);
    ZK_Close(stale);
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
    for (const std::string &p : {path, dir.file("NUL.txt"), dir.file("com9.log"), dir.file("PRN "),
                                 std::string("c:\\x\\con.txt"), std::string("\\\\.\\PhysicalDrive0")})
        EXPECT_EQ(ZK_Create(p.c_str()), ZK_NOFILE) << p;
    // Values not handed out, or closed, are refused and touch no file.
    const ZKFILE live = ZK_Open(path.c_str(), ZK_OPEN_READ);
    for (ZKFILE v : {stale, ZKFILE(0), ZKFILE(4), live ^ 0x10000u, live + 1}) ZK_Close(v);
    char buf[4];
    EXPECT_EQ(ZK_Read(stale, buf, sizeof buf), 0u) << "a closed value";
    EXPECT_EQ(ZK_Read(live, buf, sizeof buf), 2u) << "closing foreign values closed nothing";
    ZK_Close(live);
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}

} // namespace
