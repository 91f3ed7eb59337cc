// Centring windows, pumping messages, floppy drives.
#include <gtest/gtest.h>
#include "dadada32.h"
#include "dada/handle.h"

using Window = dada::Owned<HWND, &DestroyWindow>;
static Window Popup(int x, int y, int w, int h)
{
    return Window(CreateWindowExA(0, "STATIC", "", WS_POPUP, x, y, w, h, nullptr, nullptr, nullptr, nullptr));
}

// Reference width 0: none, -1: not a window; over a reference, clamped to the screen.
TEST(CenterWindow, OnTheScreenOrOverAReference)
{
    const int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    const struct { int rx, ry, rw, rh, w, h, x, y; } cases[] = {
        {0, 0, 0, 0, 200, 100, (sw - 200) / 2, (sh - 100) / 2}, {0, 0, -1, 0, sw + 41, 50, -20, (sh - 50) / 2},
        {-300, 50, 400, 300, 200, 100, 0, 150}, {sw - 100, sh - 50, 400, 300, 200, 100, sw - 200, sh - 100},
        {sw - 50, 10, 40, 30, 200, 100, sw - 130, 0}, {500, 400, 41, 41, 200, 100, 421, 371},   // may run off; halves truncate
    };
    for (const auto &c : cases) {
        Window ref = c.rw > 0 ? Popup(c.rx, c.ry, c.rw, c.rh) : Window(), win = Popup(3, 3, c.w, c.h);
        CenterWindow(win.get(), c.rw < 0 ? reinterpret_cast<HWND>(UINT_PTR(0x4321)) : ref.get());
        RECT r{};
        GetWindowRect(win.get(), &r);
        EXPECT_EQ(std::make_pair(c.x, c.y), std::make_pair(int(r.left), int(r.top))) << c.rx << "," << c.ry;
    }
}

TEST(YieldToWindows, TakesOnlyTheWindowsMessagesOrWithNoWindowAllEvenQuit)
{
    Window a = Popup(0, 0, 10, 10), b = Popup(0, 0, 10, 10);
    for (HWND w : {a.get(), b.get()}) PostMessageA(w, WM_NULL, 0, 0);
    MSG msg;
    YieldToWindows(a.get());
    EXPECT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE) && msg.hwnd == b.get());
    PostQuitMessage(7);
    YieldToWindows(nullptr);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

// A and B mapped onto the system drive hold a disk; other letters are never floppies.
TEST(CheckForFloppy, AMountedVolumeIsADisk)
{
    EXPECT_EQ(0, DiskIsFloppy("C:\\windows") | DiskIsFloppy(nullptr) | CheckForFloppy('c'));
    for (const char *drive : {"A:", "B:"}) {
        ASSERT_TRUE(DefineDosDeviceA(0, drive, "C:\\")) << "cannot map " << drive;
        EXPECT_EQ(1, CheckForFloppy(char(tolower(drive[0])))) << drive;
        DefineDosDeviceA(DDD_REMOVE_DEFINITION, drive, "C:\\");
    }
}
