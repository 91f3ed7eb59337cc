// Window helpers of the dialog tests.  DialogDriver drives, from a second
// thread, the modal dialogs this process is about to run: each step waits
// for the next visible dialog (#32770) of the process and acts on it.  Past
// the time-out every dialog of the process is cancelled, so a test never
// hangs; finish() then answers false.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include "dada/handle.h"
#include "testutil.h"
#include <atomic>
#include <functional>
#include <string>
#include <vector>

namespace dadatest {

// The text of a tree-view item; its image index and whether it shows an expand button too.
inline std::string TreeItemText(HWND tree, HTREEITEM item, int *image = nullptr, bool *children = nullptr)
{
    char text[300] = "";
    TVITEMA t{TVIF_HANDLE | TVIF_TEXT | TVIF_IMAGE | TVIF_CHILDREN, item, 0, 0, text, sizeof text, 0, 0, 0, 0};
    if (!item || !SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&t))) return "";
    if (image) *image = t.iImage;
    if (children) *children = t.cChildren != 0;
    return text;
}

// The visible dialogs of this process, topmost first.
inline std::vector<HWND> ProcessDialogs()
{
    std::vector<HWND> found;
    EnumWindows([](HWND w, LPARAM p) -> BOOL {
        DWORD pid = 0;
        char cls[16] = "";
        GetWindowThreadProcessId(w, &pid);
        GetClassNameA(w, cls, sizeof cls);
        if (pid == GetCurrentProcessId() && IsWindowVisible(w) && lstrcmpA(cls, "#32770") == 0)
            reinterpret_cast<std::vector<HWND> *>(p)->push_back(w);
        return TRUE;
    }, reinterpret_cast<LPARAM>(&found));
    return found;
}

class DialogDriver {
public:
    DialogDriver(std::vector<std::function<void(HWND dialog)>> steps, DWORD timeoutMs)
        : steps_(std::move(steps)), deadline_(GetTickCount() + timeoutMs),
          thread_(CreateThread(nullptr, 0, Run, this, 0, nullptr))
    {
    }
    ~DialogDriver() { finish(); }

    // Stops watching; false when it had to cancel.
    bool finish()
    {
        stop_ = true;
        if (thread_) WaitForSingleObject(thread_.get(), INFINITE);
        thread_.reset();
        return !timedOut_;
    }
    // Steps that found their dialog.
    int handled() const { return int(handled_); }

private:
    static DWORD WINAPI Run(void *self)
    {
        auto &d = *static_cast<DialogDriver *>(self);
        HWND previous = nullptr;
        while (!d.stop_) {
            Sleep(kPollMs);
            const LONG left = LONG(d.deadline_ - GetTickCount());
            for (HWND w : ProcessDialogs()) {
                DWORD_PTR answer;   // the dialog has filled itself once its thread answers
                if (left <= 0) {
                    d.timedOut_ = true;
                    PostMessageA(w, WM_COMMAND, IDCANCEL, 0);
                } else if (w != previous && d.handled_ < d.steps_.size() &&
                           SendMessageTimeoutA(w, WM_NULL, 0, 0, SMTO_NORMAL, DWORD(left), &answer)) {
                    d.steps_[d.handled_++](w);
                    previous = w;
                    break;
                }
            }
        }
        return 0;
    }

    std::vector<std::function<void(HWND dialog)>> steps_;
    const DWORD deadline_;
    std::atomic<bool> stop_ = false, timedOut_ = false;
    size_t handled_ = 0;   // the driver's thread only, until finish()
    dada::UniqueHandle thread_;   // last: it starts once the rest is set
};

} // namespace dadatest
