// The library frame on a copy loaded and freed here: ordinals, its strings by
// the handle kept from the load, the dialog fonts (made once, small then bold)
// freed before the remote services.  Our kernel file library: the paths and
// the values it refuses.
#include <gtest/gtest.h>
#include "dadada32.h"
#include "testkit/importpatch.h"
#include "testutil.h"
#include <string>
#include <vector>

namespace {

std::vector<HGDIOBJ> g_released;   // objects deleted, and a null for each library freed
BOOL WINAPI SpyDeleteObject(HGDIOBJ object)
{
    g_released.push_back(object);
    return DeleteObject(object);
}
BOOL WINAPI SpyFreeLibrary(HMODULE module)
{
    g_released.push_back(nullptr);
    return FreeLibrary(module);
}

TEST(Frame, LoadOrdinalsAndUnload)
{
    ASSERT_TRUE(CopyFileA("DADADA32.dll", "DADACOPY.dll", FALSE)) << "run in the test programs' folder";
    HMODULE lib = LoadLibraryA("DADACOPY.dll");
    ASSERT_NE(lib, nullptr);
    auto build = reinterpret_cast<void(WINAPI *)(AlogRecord *)>(GetProcAddress(lib, MAKEINTRESOURCEA(84)));
    char line[64] = "";   // by ordinal
    AlogRecord rec{line, sizeof line, 0, 51, nullptr, nullptr, nullptr};
    build(&rec);
    EXPECT_STREQ(line, "Service Ended\t\r\n");
    std::vector<HGDIOBJ> expected;
    for (const char *setter : {"SetSmallFont", "SetBoldFont"}) {
        auto set = reinterpret_cast<void(WINAPI *)(HWND)>(GetProcAddress(lib, setter));
        HWND w = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        set(w);
        const auto font = reinterpret_cast<HGDIOBJ>(SendMessageA(w, WM_GETFONT, 0, 0));
        set(w);   // made once: the second call hands out the same font
        EXPECT_EQ(font, reinterpret_cast<HGDIOBJ>(SendMessageA(w, WM_GETFONT, 0, 0)));
        LOGFONTA lf;
        ASSERT_EQ(int(sizeof lf), GetObjectA(font, sizeof lf, &lf));
        EXPECT_EQ(expected.empty() ? FW_NORMAL : FW_BOLD, lf.lfWeight);
        EXPECT_STREQ("MS Sans Serif", lf.lfFaceName);
        expected.push_back(font);
        DestroyWindow(w);
    }
    expected.push_back(nullptr);
    testkit::imports::ForEachImport(lib, [](const char *name, void **slot) {
        const std::string n = name;
        if (n == "DeleteObject") testkit::imports::Store(slot, reinterpret_cast<void *>(&SpyDeleteObject));
        if (n == "FreeLibrary") testkit::imports::Store(slot, reinterpret_cast<void *>(&SpyFreeLibrary));
        return false;
    });
    EXPECT_TRUE(FreeLibrary(lib));
    g_released.resize(3);
    EXPECT_EQ(g_released, expected);
    DeleteFileA("DADACOPY.dll");
}

TEST(Kernel, RefusesDevicesReadOnlyFilesAndForeignValues)
{
    dadatest::TempDir dir;
    const std::string path = dir.file("k.bin");
    ASSERT_TRUE(dadatest::WriteFileBytes(path, "ab"));
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
