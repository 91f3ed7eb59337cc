// The shared dialog fonts: made once, deleted when the library unloads, small then bold.
#include <gtest/gtest.h>
#include "testkit/importpatch.h"

static std::vector<HGDIOBJ> g_deleted;
static BOOL WINAPI RecordDelete(HGDIOBJ object)
{
    g_deleted.push_back(object);
    return DeleteObject(object);
}

TEST(DialogFonts, MadeOnceAndDeletedAtUnload)
{
    HMODULE lib = LoadLibraryA("DADADA32.dll");   // not imported: FreeLibrary unloads it
    testkit::imports::Store(testkit::imports::FindSlot("DeleteObject"), reinterpret_cast<void *>(&RecordDelete));
    HWND w = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 99, 40, nullptr, nullptr, nullptr, nullptr);
    HFONT fonts[2];
    for (int bold = 0; bold < 2; ++bold) {
        auto set = reinterpret_cast<void(WINAPI *)(HWND)>(GetProcAddress(lib, bold ? "SetBoldFont" : "SetSmallFont"));
        set(w);
        set(w);   // the second call reuses the font: two deletions in all
        fonts[bold] = reinterpret_cast<HFONT>(SendMessageA(w, WM_GETFONT, 0, 0));
        LOGFONTA lf;
        ASSERT_EQ(int(sizeof lf), GetObjectA(fonts[bold], sizeof lf, &lf));
        EXPECT_EQ(bold ? FW_BOLD : FW_NORMAL, lf.lfWeight);
        EXPECT_STREQ("MS Sans Serif", lf.lfFaceName);
    }
    DestroyWindow(w);
    FreeLibrary(lib);
    EXPECT_EQ((std::vector<HGDIOBJ>{fonts[0], fonts[1]}), g_deleted);
}
