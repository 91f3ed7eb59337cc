// The shared fonts across loads of the library in one process.
#include <gtest/gtest.h>
#include <windows.h>

namespace {

HWND MakeWindow()
{
    return CreateWindowExA(0, "STATIC", "font", WS_POPUP, 0, 0, 100, 40, nullptr, nullptr, nullptr, nullptr);
}
HFONT FontOf(HWND w) { return reinterpret_cast<HFONT>(SendMessageA(w, WM_GETFONT, 0, 0)); }

TEST(DialogFonts, SharedWhileLoadedAndDeletedAtEachUnload)
{
    ASSERT_EQ(nullptr, GetModuleHandleA("DADADA32.dll")) << "the test must not import the library";
    for (int round = 0; round < 2; ++round) {
        HMODULE lib = LoadLibraryA("DADADA32.dll");
        ASSERT_TRUE(lib);
        using SetFontFn = void(WINAPI *)(HWND);
        auto small = reinterpret_cast<SetFontFn>(GetProcAddress(lib, "SetSmallFont"));
        auto bold = reinterpret_cast<SetFontFn>(GetProcAddress(lib, "SetBoldFont"));
        ASSERT_TRUE(small && bold);
        HWND a = MakeWindow(), b = MakeWindow(), c = MakeWindow();
        ASSERT_TRUE(a && b && c);
        small(reinterpret_cast<HWND>(UINT_PTR(0x12345)));   // not a window: nothing happens
        bold(a), bold(b), small(b), bold(c);
        HFONT boldFont = FontOf(a), smallFont = FontOf(b);
        ASSERT_TRUE(boldFont && smallFont);
        EXPECT_NE(boldFont, smallFont);
        EXPECT_EQ(boldFont, FontOf(c));   // every later call reuses the same font

        LOGFONTA lf;
        ASSERT_EQ(int(sizeof lf), GetObjectA(boldFont, sizeof lf, &lf));
        HDC dc = GetDC(a);
        EXPECT_EQ(-MulDiv(8, GetDeviceCaps(dc, LOGPIXELSY), 72), lf.lfHeight);
        ReleaseDC(a, dc);
        EXPECT_EQ(FW_BOLD, lf.lfWeight);
        EXPECT_STREQ("MS Sans Serif", lf.lfFaceName);
        EXPECT_EQ(ANSI_CHARSET, lf.lfCharSet);
        EXPECT_EQ(VARIABLE_PITCH | FF_SWISS, lf.lfPitchAndFamily);
        ASSERT_EQ(int(sizeof lf), GetObjectA(smallFont, sizeof lf, &lf));
        EXPECT_EQ(FW_NORMAL, lf.lfWeight);

        for (HWND w : {a, b, c}) DestroyWindow(w);
        FreeLibrary(lib);
        ASSERT_EQ(nullptr, GetModuleHandleA("DADADA32.dll"));
        EXPECT_EQ(0u, GetObjectType(boldFont)) << "round " << round;
        EXPECT_EQ(0u, GetObjectType(smallFont)) << "round " << round;
    }
    for (int round = 0; round < 2; ++round) {   // unloading without fonts is quiet, and it loads again
        HMODULE lib = LoadLibraryA("DADADA32.dll");
        ASSERT_TRUE(lib);
        FreeLibrary(lib);
    }
}

} // namespace
