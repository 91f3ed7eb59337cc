// Our kernel file library: the services the library builds on.
#include <gtest/gtest.h>
#include "testutil.h"
#include <cstring>
#include <set>

using namespace dadatest;

namespace {

TEST(Kernel, CreateWriteSeekReadLength)
{
    TempDir dir;
    std::string path = dir.file("k.bin");
    ZKFILE f = ZK_Create(path.c_str());
    ASSERT_NE(f, ZK_NOFILE);
    EXPECT_NE(f, 0u);
    EXPECT_EQ(ZK_Write(f, "hello world", 11), 11u);
    EXPECT_EQ(ZK_Length(f), 11u);
    EXPECT_EQ(ZK_Seek(f, 0, ZK_SEEK_END), 11u);
    EXPECT_EQ(ZK_Seek(f, 6, ZK_SEEK_BEGIN), 6u);
    char buf[16] = {};
    EXPECT_EQ(ZK_Read(f, buf, sizeof buf), 5u) << "fewer than asked at the end";
    EXPECT_STREQ(buf, "world");
    EXPECT_EQ(ZK_SetLength(f, 0), 1u);
    EXPECT_EQ(ZK_Write(f, "ab", 2), 2u) << "writes land at the start after set-length";
    ZK_Close(f);
    EXPECT_EQ(ReadFileBytes(path), "ab");
    EXPECT_EQ(ZK_Seek(f, 0, 7), 0xFFFFFFFFu);
}

TEST(Kernel, OpenModes)
{
    TempDir dir;
    std::string path = dir.file("m.txt");
    ASSERT_TRUE(WriteFileBytes(path, "data"));
    ZKFILE ro = ZK_Open(path.c_str(), ZK_OPEN_READ);
    ASSERT_NE(ro, ZK_NOFILE);
    EXPECT_EQ(ZK_Write(ro, "x", 1), 0u) << "read-only handle";
    ZK_Close(ro);
    ZKFILE rw = ZK_Open(path.c_str(), ZK_OPEN_WRITE);
    ASSERT_NE(rw, ZK_NOFILE);
    EXPECT_EQ(ZK_Write(rw, "X", 1), 1u);
    ZK_Close(rw);
    EXPECT_EQ(ReadFileBytes(path), "Xata");
    EXPECT_EQ(ZK_Open(path.c_str(), 3), ZK_NOFILE);
    EXPECT_EQ(ZK_Open(dir.file("none").c_str(), ZK_OPEN_READ), ZK_NOFILE);
    EXPECT_EQ(ZK_Open(nullptr, ZK_OPEN_READ), ZK_NOFILE);
    EXPECT_EQ(ZKT_OpenFiles(), 0);
}

TEST(Kernel, ExistsDeleteAttributes)
{
    TempDir dir;
    std::string file = dir.file("a.txt"), sub = dir.file("sub");
    ASSERT_TRUE(WriteFileBytes(file, "x"));
    ASSERT_TRUE(CreateDirectoryA(sub.c_str(), nullptr));
    static const struct { DWORD win32; DWORD kv; } attrs[] = {
        {FILE_ATTRIBUTE_ARCHIVE, 0x01},
        {FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE, 0x11},
        {FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM, 0x24},
    };
    for (const auto &a : attrs) {
        SetFileAttributesA(file.c_str(), a.win32);
        DWORD kv = 0xdead;
        EXPECT_EQ(ZK_GetAttributes(file.c_str(), &kv), 1u);
        EXPECT_EQ(kv & ~0x01u, a.kv & ~0x01u) << "win32 " << a.win32;  // wine may keep the archive bit
    }
    SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY);   // read-only: read, but no write, create or delete
    EXPECT_EQ(ZK_Open(file.c_str(), ZK_OPEN_WRITE), ZK_NOFILE);
    EXPECT_EQ(ZK_Create(file.c_str()), ZK_NOFILE);
    EXPECT_EQ(ZK_Delete(file.c_str()), 0u);
    ZKFILE ro = ZK_Open(file.c_str(), ZK_OPEN_READ);
    EXPECT_NE(ro, ZK_NOFILE);
    ZK_Close(ro);
    SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    DWORD kv = 0;
    EXPECT_EQ(ZK_GetAttributes(sub.c_str(), &kv), 1u);
    EXPECT_TRUE(kv & 0x02);
    EXPECT_EQ(ZK_GetAttributes(dir.file("none").c_str(), &kv), 0u);

    EXPECT_EQ(ZK_FileExists(file.c_str()), 1u);
    EXPECT_EQ(ZK_FileExists(sub.c_str()), 0u) << "a folder is not a file";
    EXPECT_EQ(ZK_Delete(file.c_str()), 1u);
    EXPECT_EQ(ZK_FileExists(file.c_str()), 0u);
    EXPECT_EQ(ZK_Delete(file.c_str()), 0u);
}

TEST(Kernel, FaultHooks)
{
    TempDir dir;
    std::string path = dir.file("f.txt");
    {
        KernelFault fault(ZK_ORD_CREATE, 1, 1);
        ZKFILE ok = ZK_Create(path.c_str());
        EXPECT_NE(ok, ZK_NOFILE) << "the first call passes";
        EXPECT_EQ(ZK_Create(path.c_str()), ZK_NOFILE) << "the second fails";
        ZKFILE again = ZK_Create(path.c_str());
        EXPECT_NE(again, ZK_NOFILE) << "then it works again";
        {
            KernelFault shortWrite(ZK_ORD_WRITE, 0, ZKT_FOREVER, 3);
            EXPECT_EQ(ZK_Write(again, "abcdef", 6), 3u);
            EXPECT_EQ(ZK_Write(again, "ab", 2), 1u) << "always fewer than asked";
            EXPECT_EQ(ZKT_CallCount(ZK_ORD_WRITE), 2u);
        }
        ZK_Close(ok);
        ZK_Close(again);
    }
    EXPECT_EQ(ZKT_OpenFiles(), 0);
}

// Values the library did not hand out, or closed, are refused by every
// service and touch no file; open files never share or soon repeat a value.
TEST(Kernel, ForeignAndStaleHandles)
{
    TempDir dir;
    std::string victim = dir.file("v.txt"), decoy = dir.file("d.txt");
    ASSERT_TRUE(WriteFileBytes(victim, "victim"));
    ASSERT_TRUE(WriteFileBytes(decoy, "decoy!"));
    ZKFILE stale = ZK_Open(victim.c_str(), ZK_OPEN_READ);
    ASSERT_NE(stale, ZK_NOFILE);
    ZK_Close(stale);
    ZKFILE live = ZK_Open(decoy.c_str(), ZK_OPEN_WRITE);
    ASSERT_NE(live, ZK_NOFILE);
    EXPECT_NE(live, stale) << "a closed value is not handed out again at once";
    const ZKFILE refused[] = {stale, 0, 4, 8, 104, live ^ 0x10000u, live + 1, ZK_NOFILE};
    for (ZKFILE f : refused) {
        char buf[8] = {};
        SetLastError(0);
        EXPECT_EQ(ZK_Read(f, buf, sizeof buf), 0u) << f;
        EXPECT_EQ(GetLastError(), f == ZK_NOFILE ? GetLastError() : DWORD(ERROR_INVALID_HANDLE)) << f;
        EXPECT_EQ(ZK_Write(f, "x", 1), 0u) << f;
        EXPECT_EQ(ZK_Seek(f, 0, ZK_SEEK_BEGIN), 0xFFFFFFFFu) << f;
        EXPECT_EQ(ZK_Length(f), 0u) << f;
        EXPECT_EQ(ZK_SetLength(f, 0), 0u) << f;
        ZK_Close(f);
    }
    EXPECT_EQ(ZKT_OpenFiles(), 1) << "closing foreign values closed nothing";
    char buf[8] = {};
    EXPECT_EQ(ZK_Read(live, buf, sizeof buf), 6u);
    EXPECT_STREQ(buf, "decoy!");
    ZK_Close(live);

    std::set<ZKFILE> seen;
    for (int i = 0; i < 64; ++i) {
        ZKFILE f = ZK_Open(victim.c_str(), ZK_OPEN_READ);
        EXPECT_TRUE(seen.insert(f).second) << "value repeated after " << i << " opens";
        ZK_Close(f);
    }
    EXPECT_EQ(ZKT_OpenFiles(), 0);
}

TEST(Kernel, DeviceNamesRefused)
{
    TempDir dir;
    for (const char *name : {"CON", "nul", "NUL.txt", "Lpt1", "com9.log", "aux", "PRN ", "conout$", "c:\\x\\con.txt",
                             "\\\\.\\PhysicalDrive0", "sub/NUL", "COM1:"}) {
        const std::string path = std::strchr(name, '\\') ? name : dir.file(name);
        EXPECT_EQ(ZK_Open(path.c_str(), ZK_OPEN_READ), ZK_NOFILE) << path;
        EXPECT_EQ(ZK_Create(path.c_str()), ZK_NOFILE) << path;
    }
    for (const char *name : {"console.txt", "nul1", "com10", "lpt"}) {
        ZKFILE f = ZK_Create(dir.file(name).c_str());
        EXPECT_NE(f, ZK_NOFILE) << name;
        ZK_Close(f);
    }
}

} // namespace
