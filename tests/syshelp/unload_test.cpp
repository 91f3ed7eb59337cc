// The shared fonts across loads of the library in one process.
#include <gtest/gtest.h>
#include <windows.h>

namespace {

using SetFontFn = void(WINAPI *)(HWND);

class Library {
public:
    Library() : module_(LoadLibraryA("DADADA32.dll")) {}
    ~Library() { Unload(); }
    bool loaded() const { return module_ != nullptr; }
    SetFontFn Fn(const char *name) const
    {
        return reinterpret_cast<SetFontFn>(GetProcAddress(module_, name));
    }
    void Unload()
    {
        if (module_) FreeLibrary(module_);
        module_ = nullptr;
    }
private:
    HMODULE module_;
};

HWND MakeWindow()
{
    return CreateWindowExA(0, "STATIC", "font", WS_POPUP, 0, 0, 100, 40, nullptr, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
}

HFONT FontOf(HWND w) { return reinterpret_cast<HFONT>(SendMessageA(w, WM_GETFONT, 0, 0)); }

TEST(DialogFonts, SharedWhileLoadedAndDeletedAtEachUnload)
{
    ASSERT_EQ(nullptr, GetModuleHandleA("DADADA32.dll")) << "the test must not import the library";
    for (int round = 0; round < 2; ++round) {
        Library lib;
        ASSERT_TRUE(lib.loaded());
        SetFontFn small = lib.Fn("SetSmallFont"), bold = lib.Fn("SetBoldFont");
        ASSERT_TRUE(small && bold);

        HWND a = MakeWindow(), b = MakeWindow();
        ASSERT_TRUE(a && b);
        small(reinterpret_cast<HWND>(UINT_PTR(0x12345)));   // not a window: nothing happens
        bold(a);
        bold(b);
        small(b);
        HFONT boldFont = FontOf(a);
        HFONT smallFont = FontOf(b);
        ASSERT_NE(nullptr, boldFont);
        ASSERT_NE(nullptr, smallFont);
        EXPECT_NE(boldFont, smallFont);
        EXPECT_EQ(DWORD(OBJ_FONT), GetObjectType(boldFont));

        LOGFONTA lf;
        ASSERT_EQ(int(sizeof lf), GetObjectA(boldFont, sizeof lf, &lf));
        EXPECT_EQ(FW_BOLD, lf.lfWeight);
        EXPECT_STREQ("MS Sans Serif", lf.lfFaceName);
        HDC dc = GetDC(a);
        EXPECT_EQ(-MulDiv(8, GetDeviceCaps(dc, LOGPIXELSY), 72), lf.lfHeight);
        ReleaseDC(a, dc);
        EXPECT_EQ(ANSI_CHARSET, lf.lfCharSet);
        EXPECT_EQ(VARIABLE_PITCH | FF_SWISS, lf.lfPitchAndFamily);
        ASSERT_EQ(int(sizeof lf), GetObjectA(smallFont, sizeof lf, &lf));
        EXPECT_EQ(FW_NORMAL, lf.lfWeight);

        HWND c = MakeWindow();
        bold(c);
        EXPECT_EQ(boldFont, FontOf(c));   // every later call reuses the same font

        DestroyWindow(a);
        DestroyWindow(b);
        DestroyWindow(c);
        lib.Unload();
        ASSERT_EQ(nullptr, GetModuleHandleA("DADADA32.dll"));
        EXPECT_EQ(0u, GetObjectType(boldFont)) << "round " << round;
        EXPECT_EQ(0u, GetObjectType(smallFont)) << "round " << round;
    }
}

TEST(DialogFonts, UnloadWithoutFontsIsQuiet)
{
    Library lib;
    ASSERT_TRUE(lib.loaded());
    lib.Unload();
    Library again;   // and the library loads again afterwards
    EXPECT_TRUE(again.loaded());
}

} // namespace
