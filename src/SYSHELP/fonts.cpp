// The two shared dialog fonts: made on first use, kept for the process.
#include "dadada32.h"
#include "SYSHELP/syshelp_internal.h"
#include "dada/handle.h"

namespace {

using dada::UniqueFont;

// Made on first use and shared by every window of the process; not guarded:
// the first calls belong to one thread (see the public header).
UniqueFont g_smallFont;
UniqueFont g_boldFont;

// 8 points in the window's vertical resolution, MS Sans Serif.
HFONT MakeDialogFont(HWND window, int weight)
{
    int height;
    {
        dada::WindowDC dc{window, GetDC(window)};
        if (!dc) return nullptr;
        height = -MulDiv(8, GetDeviceCaps(dc.get(), LOGPIXELSY), 72);
    }
    return CreateFontA(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, ANSI_CHARSET,
                       OUT_STRING_PRECIS, CLIP_STROKE_PRECIS, DRAFT_QUALITY,
                       VARIABLE_PITCH | FF_SWISS, "MS Sans Serif");
}

void GiveFont(HWND window, UniqueFont &font, int weight)
{
    if (!IsWindow(window)) return;
    if (!font) font.reset(MakeDialogFont(window, weight));
    if (font) SendMessageA(window, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
}

} // namespace

extern "C" void DADAAPI SetSmallFont(HWND window) { GiveFont(window, g_smallFont, FW_NORMAL); }
extern "C" void DADAAPI SetBoldFont(HWND window) { GiveFont(window, g_boldFont, FW_BOLD); }

namespace dada {

void ReleaseDialogFonts()
{
    g_smallFont.reset();
    g_boldFont.reset();
}

} // namespace dada
