// Drives, from a second thread, the modal dialogs this process is about to
// run: each step waits for the next visible dialog (#32770) of the process
// and acts on it.  Past `timeoutMs` every dialog of the process is
// cancelled, so a test never hangs; finish() then answers false.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <functional>
#include <string>
#include <vector>

namespace dadatest {

class DialogDriver {
public:
    explicit DialogDriver(std::vector<std::function<void(HWND dialog)>> steps, DWORD timeoutMs = 20000);
    ~DialogDriver() { finish(); }
    DialogDriver(const DialogDriver &) = delete;
    DialogDriver &operator=(const DialogDriver &) = delete;

    bool finish();                             // stops watching; false when it had to cancel
    int handled() const { return handled_; }   // steps that found their dialog

private:
    static DWORD WINAPI Run(void *self);
    DWORD remaining() const;   // ms before the time-out, 0 once it passed
    std::vector<std::function<void(HWND dialog)>> steps_;
    DWORD deadline_;
    HANDLE thread_ = nullptr, stop_ = nullptr;
    volatile LONG handled_ = 0;
    volatile bool timedOut_ = false;
};

// Posts the command of control `id`, as a click on it would.
void Press(HWND dialog, int id);
std::string TextOf(HWND window);
// The text of a tree-view item; with `image`, its image index too.
std::string TreeItemText(HWND tree, HTREEITEM item, int *image = nullptr, int *selected = nullptr,
                         bool *children = nullptr);
// Polls `done` every 20 ms for up to `ms`; answers its last value.
bool WaitUntil(const std::function<bool()> &done, DWORD ms = 5000);

} // namespace dadatest
