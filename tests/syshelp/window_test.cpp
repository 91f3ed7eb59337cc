// Centring windows, pumping messages and shortening a path to a window.
#include <gtest/gtest.h>
#include "dadada32.h"

#include <cstring>
#include <memory>
#include <string>
#include <tuple>

namespace {

struct WindowCloser { void operator()(HWND w) const { DestroyWindow(w); } };
using Window = std::unique_ptr<std::remove_pointer_t<HWND>, WindowCloser>;
Window Popup(int x, int y, int w, int h, const char *cls = "STATIC")
{
    return Window(CreateWindowExA(0, cls, "", WS_POPUP, x, y, w, h, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr));
}
RECT RectOf(const Window &w) { RECT r{}; GetWindowRect(w.get(), &r); return r; }

TEST(CenterWindow, OnTheScreenOrOverAReference)
{
    HDC dc = GetDC(nullptr);
    const int sw = GetDeviceCaps(dc, HORZRES), sh = GetDeviceCaps(dc, VERTRES);
    ReleaseDC(nullptr, dc);
    CenterWindow(nullptr, nullptr);
    enum { None = 0, NotAWindow = -1 };   // reference width markers
    const struct { const char *what; int rx, ry, rw, rh, w, h, x, y; } cases[] = {
        {"screen", 0, 0, None, 0, 200, 100, (sw - 200) / 2, (sh - 100) / 2},
        {"screen, odd sizes", 0, 0, None, 0, 201, 99, (sw - 201) / 2, (sh - 99) / 2},
        {"screen, wider than it: no clamping", 0, 0, None, 0, sw + 41, 50, -20, (sh - 50) / 2},
        {"not a window: the screen", 0, 0, NotAWindow, 0, 50, 50, (sw - 50) / 2, (sh - 50) / 2},
        {"centred inside", 100, 100, 400, 300, 200, 100, 200, 200},
        {"wider ref at the left edge", -300, 50, 400, 300, 200, 100, 0, 150},
        {"wider ref at the right edge", sw - 100, 0, 400, 300, 200, 100, sw - 200, 100},
        {"wider ref at the bottom edge", 0, sh - 50, 400, 300, 200, 100, 100, sh - 100},
        {"narrower ref near the right edge runs off", sw - 50, 10, 40, 30, 200, 100, sw - 130, 0},
        {"narrower ref at the left edge", -100, 10, 40, 30, 200, 100, 0, 0},
        {"odd difference truncates towards zero", 500, 400, 41, 41, 200, 100, 421, 371},
    };
    for (const auto &c : cases) {
        Window ref = c.rw > 0 ? Popup(c.rx, c.ry, c.rw, c.rh) : nullptr, win = Popup(3, 3, c.w, c.h);
        ASSERT_TRUE(win && (c.rw <= 0 || ref)) << c.what;
        if (ref) ASSERT_EQ(c.rx, RectOf(ref).left) << c.what;   // the reference really is where we put it
        CenterWindow(win.get(), c.rw == NotAWindow ? reinterpret_cast<HWND>(UINT_PTR(0x4321)) : ref.get());
        RECT r = RectOf(win);
        EXPECT_EQ(std::make_tuple(c.x, c.y, c.w, c.h),
                  std::make_tuple(int(r.left), int(r.top), int(r.right - r.left), int(r.bottom - r.top))) << c.what;
    }
}

LRESULT CALLBACK CountingProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_APP) ++*reinterpret_cast<int *>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    return DefWindowProcA(hwnd, msg, wp, lp);
}

TEST(YieldToWindows, HandlesWaitingMessagesOfTheWindow)
{
    WNDCLASSA wc{};
    wc.lpfnWndProc = CountingProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "DadaCounting";
    ASSERT_TRUE(RegisterClassA(&wc));
    int mine = 0, other = 0;
    Window a = Popup(0, 0, 10, 10, "DadaCounting"), b = Popup(0, 0, 10, 10, "DadaCounting");
    ASSERT_TRUE(a && b);
    SetWindowLongPtrA(a.get(), GWLP_USERDATA, LONG_PTR(&mine));
    SetWindowLongPtrA(b.get(), GWLP_USERDATA, LONG_PTR(&other));
    for (int i = 0; i < 3; ++i) PostMessageA(a.get(), WM_APP, 0, 0);
    PostMessageA(b.get(), WM_APP, 0, 0);
    YieldToWindows(a.get());
    EXPECT_EQ(3, mine);
    EXPECT_EQ(0, other);   // the filter keeps other windows' messages waiting
    YieldToWindows(nullptr);
    EXPECT_EQ(1, other);
    PostQuitMessage(7);   // nothing is left waiting afterwards, not even a quit request
    PostMessageA(a.get(), WM_APP, 0, 0);
    YieldToWindows(nullptr);
    EXPECT_EQ(4, mine);
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST(NameShortenFile, FitsTheWindowWithAnEllipsis)
{
    Window narrow = Popup(0, 0, 80, 20), wide = Popup(0, 0, 1200, 20);
    const std::string longPath = "C:\\Program Files\\Scanner\\Definitions\\current\\very long name.dat";
    char buf[300];
    NameShortenFile(std::strcpy(buf, longPath.c_str()), narrow.get());
    const std::string got = buf;
    ASSERT_LT(got.size(), longPath.size());
    ASSERT_GE(got.size(), 3u);
    EXPECT_EQ(longPath.substr(0, got.size() - 3) + "...", got);
    NameShortenFile(std::strcpy(buf, longPath.c_str()), wide.get());
    EXPECT_EQ(longPath, buf);
    NameShortenFile(std::strcpy(buf, longPath.c_str()), nullptr);   // no window: the text is left alone
    EXPECT_EQ(longPath, buf);
}

} // namespace
