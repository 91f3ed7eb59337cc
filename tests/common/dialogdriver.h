// Drives the modal dialogs that the test's own thread is about to run, from
// a second thread.  Each step waits for the next dialog of this process
// (a visible window of class #32770 other than the one of the step before)
// and acts on it; a step that closes nothing leaves the dialog to the next
// step or to the time-out.  When `timeoutMs` passes, the driver cancels
// every dialog of the process until it is destroyed, so a test never hangs.
//   dadatest::DialogDriver d({[](HWND dlg) { dadatest::Press(dlg, IDOK); }});
//   int r = SomeModalCall();
//   d.finish();  EXPECT_EQ(1, d.handled());  EXPECT_FALSE(d.timedOut());
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <functional>
#include <string>
#include <vector>

namespace dadatest {

class DialogDriver {
public:
    using Step = std::function<void(HWND dialog)>;
    explicit DialogDriver(std::vector<Step> steps, DWORD timeoutMs = 20000);
    ~DialogDriver();
    DialogDriver(const DialogDriver &) = delete;
    DialogDriver &operator=(const DialogDriver &) = delete;

    void finish();                        // stops watching and waits for the thread
    int handled() const { return handled_; }   // steps that found their dialog
    bool timedOut() const { return timedOut_; }

private:
    static DWORD WINAPI Run(void *self);
    HWND waitForDialog(HWND previous);
    DWORD remaining() const;   // ms before the time-out, 0 once it passed
    std::vector<Step> steps_;
    DWORD deadline_;
    HANDLE thread_ = nullptr, stop_ = nullptr;
    volatile LONG handled_ = 0;
    volatile bool timedOut_ = false;
};

// A dialog-class (#32770) window; the visible ones of this process, newest first.
bool IsDialog(HWND window);
std::vector<HWND> ProcessDialogs();
// Posts the command of control `id`, as a click on it would.
void Press(HWND dialog, int id);
std::string TextOf(HWND window);
std::string ItemText(HWND dialog, int id);
// The text of a tree-view item; with `image`, its image index too.
std::string TreeItemText(HWND tree, HTREEITEM item, int *image = nullptr, int *selected = nullptr,
                         bool *children = nullptr);
// Polls `done` every 20 ms for up to `ms`; answers its last value.
bool WaitUntil(const std::function<bool()> &done, DWORD ms = 5000);

} // namespace dadatest
