// NotifyUser: captions, texts, icon and end codes, driven from a second thread.
#include <gtest/gtest.h>
#include "dadada32.h"
#include "resource.h"
#include "caller.h"
#include "dialogdriver.h"
#include "owner.h"

namespace {

using namespace dadatest;

// Escape, the close box, or else a click on the control of that id.
constexpr int kEscape = -1, kCloseBox = -2;

void Act(HWND dialog, int action)
{
    if (action == kCloseBox) return void(PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0));
    if (action != kEscape) return Press(dialog, action);
    PostMessageA(GetFocus() ? GetFocus() : dialog, WM_KEYDOWN, VK_ESCAPE, 0);
    PostMessageA(dialog, WM_KEYDOWN, VK_ESCAPE, 0);
}

// What the dialog showed.
struct Seen {
    std::string title, message, yes, no;
    bool ok = false, iconPainted = false, centred = false;
};

Seen Look(HWND dialog, HWND owner)
{
    Seen s;
    s.title = TextOf(dialog);
    s.message = ItemText(dialog, IDC_NOTIFY_TEXT);
    s.ok = GetDlgItem(dialog, IDOK) != nullptr;
    s.yes = GetDlgItem(dialog, IDC_NOTIFY_YES) ? ItemText(dialog, IDC_NOTIFY_YES) : "-";
    s.no = GetDlgItem(dialog, IDC_NOTIFY_NO) ? ItemText(dialog, IDC_NOTIFY_NO) : "-";
    RECT d, o, frame;
    GetWindowRect(dialog, &d);
    GetWindowRect(owner, &o);
    s.centred = abs((d.left + d.right) - (o.left + o.right)) <= 2 && abs((d.top + d.bottom) - (o.top + o.bottom)) <= 2;
    // The icon's blue stands where the hidden frame marks its place.
    GetWindowRect(GetDlgItem(dialog, IDC_NOTIFY_ICON), &frame);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT *>(&frame), 2);
    HDC dc = GetDC(dialog);
    s.iconPainted = GetPixel(dc, frame.left + 8, frame.top + 16) == RGB(0, 64, 160) &&   // the disc
                    GetPixel(dc, frame.left + 16, frame.top + 20) == RGB(255, 255, 255);  // the "i"
    ReleaseDC(dialog, dc);
    return s;
}

TEST(NotifyUser, ButtonsTextsAndEndCodes)
{
    static const char folder[] = "C:\\Scan";
    const struct {
        const char *what;
        DWORD message; UINT_PTR value; DWORD yes, no;
        int action;
        int result;
        const char *text, *yesCaption, *noCaption;
        bool ok;
    } cases[] = {
        {"6 and 7 keep the template's captions", IDS_CALLER_REPLACE, 0, 6, 7, IDC_NOTIFY_YES, 1,
         "Replace the old definitions?", "&Yes", "&No", false},
        {"captions from the caller, No", IDS_CALLER_REPLACE, 0, IDS_CALLER_YES, IDS_CALLER_NO, IDC_NOTIFY_NO, 2,
         "Replace the old definitions?", "&Replace", "&Keep", false},
        {"yesId 0 leaves only OK", IDS_CALLER_PLAIN, 0, 0, IDS_CALLER_NO, IDOK, 1,
         "Nothing to report.", "-", "-", true},
        {"noId 0 leaves only OK", IDS_CALLER_PLAIN, 0, 6, 0, IDOK, 1, "Nothing to report.", "-", "-", true},
        {"a value fills the placeholder; Escape", IDS_CALLER_COUNT, 5, 0, 0, kEscape, 2,
         "5 files were infected.", "-", "-", true},
        {"value 0 shows the placeholder; close box", IDS_CALLER_COUNT, 0, 0, 0, kCloseBox, 2,
         "%d files were infected.", "-", "-", true},
        {"a string placeholder takes an address", IDS_CALLER_FOLDER, reinterpret_cast<UINT_PTR>(folder), 6, 7,
         kEscape, 2, "Folder: C:\\Scan", "&Yes", "&No", false},
        {"a missing string is empty", 4242, 0, 0, 0, IDOK, 1, "", "-", "-", true},
    };
    dialogstest::Owner owner;
    ASSERT_TRUE(owner.window);
    for (const auto &c : cases) {
        Seen seen;
        DialogDriver driver({[&](HWND dialog) {
            seen = Look(dialog, owner.window);
            Act(dialog, c.action);
        }});
        NotifyRequest r{owner.window, c.value, c.message, c.yes, c.no, IDS_CALLER_TITLE, IDI_CALLER};
        const int result = NotifyUser(&r);
        driver.finish();
        ASSERT_FALSE(driver.timedOut()) << c.what;
        EXPECT_EQ(c.result, result) << c.what;
        EXPECT_EQ("Scan report", seen.title) << c.what;
        EXPECT_EQ(c.text, seen.message) << c.what;
        EXPECT_EQ(c.ok, seen.ok) << c.what;
        EXPECT_EQ(c.yesCaption, seen.yes) << c.what;
        EXPECT_EQ(c.noCaption, seen.no) << c.what;
        EXPECT_TRUE(seen.centred) << c.what;
        EXPECT_TRUE(seen.iconPainted) << c.what;
    }
}

TEST(NotifyUser, NoRequestNoDialog)
{
    EXPECT_EQ(-1, NotifyUser(nullptr));
    NotifyRequest r{reinterpret_cast<HWND>(UINT_PTR(0x4321)), 0, IDS_CALLER_PLAIN, 0, 0, IDS_CALLER_TITLE, 0};
    EXPECT_EQ(-1, NotifyUser(&r));   // an owner that is not a window
}

} // namespace
