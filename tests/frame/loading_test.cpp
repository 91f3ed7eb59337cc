// The library frame on a copy loaded and freed here: ordinals, its strings by
// the handle kept from the load, the dialog fonts (made once, small then bold)
// freed before the remote services.
#include <gtest/gtest.h>
#include "dadada32.h"
#include "testkit/importpatch.h"
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
    HMODULE loaded = GetModuleHandleA("DADADA32.dll");
    EXPECT_EQ(GetProcAddress(loaded, MAKEINTRESOURCEA(80)), reinterpret_cast<FARPROC>(&ALOG_Init));
    char dll[MAX_PATH];
    GetModuleFileNameA(loaded, dll, sizeof dll);
    const std::string copy = std::string(dll).substr(0, std::string(dll).rfind('\\') + 1) + "DADACOPY.dll";
    ASSERT_TRUE(CopyFileA(dll, copy.c_str(), FALSE));
    HMODULE lib = LoadLibraryA(copy.c_str());
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
    DeleteFileA(copy.c_str());
}

} // namespace
