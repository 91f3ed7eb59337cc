// Centring a window and pumping messages during long work.
#include "dadada32.h"
#include "dada/handle.h"

namespace {

// Position along one axis.  Divisions are signed and truncate towards zero.
int Place(int refStart, int refExtent, int extent, int screenExtent)
{
    int pos = refStart + (refExtent - extent) / 2;
    if (pos < 0)
        pos = 0;
    else if (refExtent >= extent && pos + extent > screenExtent)
        pos = screenExtent - extent;
    return pos;
}

} // namespace

extern "C" void DADAAPI CenterWindow(HWND window, HWND reference)
{
    RECT rect;
    if (!GetWindowRect(window, &rect)) return;
    int screenW, screenH;
    {
        dada::WindowDC dc{window, GetDC(window)};
        if (!dc) return;
        screenW = GetDeviceCaps(dc.get(), HORZRES);
        screenH = GetDeviceCaps(dc.get(), VERTRES);
    }
    int w = rect.right - rect.left, h = rect.bottom - rect.top;

    int x, y;
    RECT ref;
    if (reference && GetWindowRect(reference, &ref)) {
        x = Place(ref.left, ref.right - ref.left, w, screenW);
        y = Place(ref.top, ref.bottom - ref.top, h, screenH);
    } else {
        x = (screenW - w) / 2;
        y = (screenH - h) / 2;
    }
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

extern "C" void DADAAPI YieldToWindows(HWND window)
{
    MSG msg;
    // Every waiting message is taken, a quit request included: the queue is
    // empty when this returns.
    while (PeekMessageA(&msg, window, 0, 0, PM_REMOVE)) {
        if (window && IsWindow(window) && IsDialogMessageA(window, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}
