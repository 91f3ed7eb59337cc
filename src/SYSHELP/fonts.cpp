// The two shared dialog fonts: made on first use, kept for the process.
#include "dadada32.h"
#include "SYSHELP/syshelp_internal.h"

namespace {

HFONT g_smallFont;
HFONT g_boldFont;

// 8 points in the window's vertical resolution, MS Sans Serif.
HFONT MakeDialogFont(HWND window, int weight)
{
    HDC dc = GetDC(window);
    if (!dc) return nullptr;
    int height = -MulDiv(8, GetDeviceCaps(dc, LOGPIXELSY), 72);
    ReleaseDC(window, dc);
    return CreateFontA(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, ANSI_CHARSET,
                       OUT_STRING_PRECIS, CLIP_STROKE_PRECIS, DRAFT_QUALITY,
                       VARIABLE_PITCH | FF_SWISS, "MS Sans Serif");
}

void GiveFont(HWND window, HFONT &font, int weight)
{
    if (!IsWindow(window)) return;
    if (!font) font = MakeDialogFont(window, weight);
    if (font) SendMessageA(window, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
}

void DeleteFont(HFONT &font)
{
    if (font) DeleteObject(font);
    font = nullptr;
}

} // namespace

extern "C" void WINAPI SetSmallFont(HWND window) { GiveFont(window, g_smallFont, FW_NORMAL); }
extern "C" void WINAPI SetBoldFont(HWND window) { GiveFont(window, g_boldFont, FW_BOLD); }

namespace dada {

void ReleaseDialogFonts()
{
    DeleteFont(g_smallFont);
    DeleteFont(g_boldFont);
}

} // namespace dada
