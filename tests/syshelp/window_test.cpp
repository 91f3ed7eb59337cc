// Centring windows, pumping messages and shortening a path to a window.
#include <gtest/gtest.h>
#include "dadada32.h"

#include <cstring>
#include <string>

namespace {

class Popup {
public:
    Popup(int x, int y, int w, int h)
        : hwnd_(CreateWindowExA(0, "STATIC", "", WS_POPUP, x, y, w, h, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr)) {}
    ~Popup() { if (hwnd_) DestroyWindow(hwnd_); }
    Popup(const Popup &) = delete;
    Popup &operator=(const Popup &) = delete;
    HWND get() const { return hwnd_; }
    RECT rect() const { RECT r{}; GetWindowRect(hwnd_, &r); return r; }
private:
    HWND hwnd_;
};

struct Screen { int w, h; };
Screen ScreenSize()
{
    HDC dc = GetDC(nullptr);
    Screen s{GetDeviceCaps(dc, HORZRES), GetDeviceCaps(dc, VERTRES)};
    ReleaseDC(nullptr, dc);
    return s;
}

TEST(CenterWindow, OnTheScreenWithoutReference)
{
    Screen s = ScreenSize();
    const struct { int w, h; } sizes[] = {{200, 100}, {201, 99}, {s.w + 41, 50}};
    for (auto [w, h] : sizes) {
        Popup win(7, 9, w, h);
        ASSERT_TRUE(win.get());
        CenterWindow(win.get(), nullptr);
        RECT r = win.rect();
        EXPECT_EQ((s.w - w) / 2, r.left) << w;   // may be negative: no clamping here
        EXPECT_EQ((s.h - h) / 2, r.top) << h;
        EXPECT_EQ(w, r.right - r.left);
        EXPECT_EQ(h, r.bottom - r.top);
    }
}

TEST(CenterWindow, OverAReferenceWithClamping)
{
    Screen s = ScreenSize();
    const int w = 200, h = 100;
    const struct { const char *what; int rx, ry, rw, rh, x, y; } cases[] = {
        {"centred inside", 100, 100, 400, 300, 100 + 100, 100 + 100},
        {"wider ref at the left edge", -300, 50, 400, 300, 0, 50 + 100},
        {"wider ref at the right edge", s.w - 100, 0, 400, 300, s.w - w, 100},
        {"wider ref at the bottom edge", 0, s.h - 50, 400, 300, 100, s.h - h},
        {"narrower ref near the right edge runs off", s.w - 50, 10, 40, 30, s.w - 50 - 80, 0},
        {"narrower ref at the left edge", -100, 10, 40, 30, 0, 0},
        {"odd difference truncates towards zero", 500, 400, 41, 41, 500 - 79, 400 - 29},
    };
    for (const auto &c : cases) {
        Popup ref(c.rx, c.ry, c.rw, c.rh), win(3, 3, w, h);
        ASSERT_TRUE(ref.get() && win.get());
        RECT rr = ref.rect();
        ASSERT_EQ(c.rx, rr.left) << c.what;   // the reference really is where we put it
        CenterWindow(win.get(), ref.get());
        RECT r = win.rect();
        EXPECT_EQ(c.x, r.left) << c.what;
        EXPECT_EQ(c.y, r.top) << c.what;
        EXPECT_EQ(w, r.right - r.left) << c.what;
    }
}

TEST(CenterWindow, BadHandlesDoNothing)
{
    CenterWindow(nullptr, nullptr);
    Popup win(11, 13, 50, 50);
    CenterWindow(win.get(), reinterpret_cast<HWND>(UINT_PTR(0x4321)));   // not a window: the screen
    Screen s = ScreenSize();
    EXPECT_EQ((s.w - 50) / 2, win.rect().left);
}

// A window class that counts the messages it is sent.
LRESULT CALLBACK CountingProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_APP) ++*reinterpret_cast<int *>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    return DefWindowProcA(hwnd, msg, wp, lp);
}

HWND CountingWindow(int *counter)
{
    static ATOM cls = [] {
        WNDCLASSA wc{};
        wc.lpfnWndProc = CountingProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "DadaCounting";
        return RegisterClassA(&wc);
    }();
    HWND w = CreateWindowExA(0, MAKEINTATOM(cls), "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
    SetWindowLongPtrA(w, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(counter));
    return w;
}

TEST(YieldToWindows, HandlesWaitingMessagesOfTheWindow)
{
    int mine = 0, other = 0;
    HWND a = CountingWindow(&mine), b = CountingWindow(&other);
    ASSERT_TRUE(a && b);
    for (int i = 0; i < 3; ++i) PostMessageA(a, WM_APP, 0, 0);
    PostMessageA(b, WM_APP, 0, 0);
    YieldToWindows(a);
    EXPECT_EQ(3, mine);
    EXPECT_EQ(0, other);   // the filter keeps other windows' messages waiting
    YieldToWindows(nullptr);
    EXPECT_EQ(1, other);

    // Nothing is left waiting afterwards, not even a quit request.
    PostQuitMessage(7);
    PostMessageA(a, WM_APP, 0, 0);
    YieldToWindows(nullptr);
    EXPECT_EQ(4, mine);
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    DestroyWindow(a);
    DestroyWindow(b);
}

TEST(NameShortenFile, FitsTheWindowWithAnEllipsis)
{
    Popup narrow(0, 0, 80, 20), wide(0, 0, 1200, 20);
    const std::string longPath = "C:\\Program Files\\Scanner\\Definitions\\current\\very long name.dat";
    char buf[300];

    std::strcpy(buf, longPath.c_str());
    NameShortenFile(buf, narrow.get());
    std::string got = buf;
    EXPECT_LT(got.size(), longPath.size());
    ASSERT_GE(got.size(), 3u);
    EXPECT_EQ("...", got.substr(got.size() - 3));
    EXPECT_EQ(longPath.substr(0, got.size() - 3), got.substr(0, got.size() - 3));

    std::strcpy(buf, longPath.c_str());
    NameShortenFile(buf, wide.get());
    EXPECT_EQ(longPath, buf);

    std::strcpy(buf, longPath.c_str());
    NameShortenFile(buf, nullptr);   // no window: the text is left alone
    EXPECT_EQ(longPath, buf);
}

} // namespace
