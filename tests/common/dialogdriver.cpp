#include "dialogdriver.h"

namespace dadatest {

constexpr DWORD kPollMs = 20;

static bool IsDialog(HWND w)
{
    char cls[16];
    return GetClassNameA(w, cls, sizeof cls) && lstrcmpA(cls, "#32770") == 0;
}

// The visible dialogs of this process, newest first.
static std::vector<HWND> ProcessDialogs()
{
    std::vector<HWND> found;
    EnumWindows([](HWND w, LPARAM p) -> BOOL {
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        if (pid == GetCurrentProcessId() && IsWindowVisible(w) && IsDialog(w))
            reinterpret_cast<std::vector<HWND> *>(p)->push_back(w);
        return TRUE;
    }, reinterpret_cast<LPARAM>(&found));
    return found;
}

void Press(HWND dialog, int id)
{
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

std::string TextOf(HWND window)
{
    char text[1024] = "";
    if (window) GetWindowTextA(window, text, sizeof text);
    return text;
}

std::string TreeItemText(HWND tree, HTREEITEM item, int *image, int *selected, bool *children)
{
    char text[300] = "";
    const UINT mask = TVIF_HANDLE | TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_CHILDREN;
    TVITEMA t{mask, item, 0, 0, text, sizeof text, 0, 0, 0, 0};
    if (!item || !SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&t))) return "";
    if (image) *image = t.iImage;
    if (selected) *selected = t.iSelectedImage;
    if (children) *children = t.cChildren != 0;
    return text;
}

bool WaitUntil(const std::function<bool()> &done, DWORD ms)
{
    for (const DWORD start = GetTickCount(); GetTickCount() - start < ms; Sleep(kPollMs))
        if (done()) return true;
    return done();
}

DialogDriver::DialogDriver(std::vector<std::function<void(HWND dialog)>> steps, DWORD timeoutMs)
    : steps_(std::move(steps)), deadline_(GetTickCount() + timeoutMs)
{
    stop_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
}

bool DialogDriver::finish()
{
    if (!thread_) return !timedOut_;
    SetEvent(stop_);
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    CloseHandle(stop_);
    thread_ = stop_ = nullptr;
    return !timedOut_;
}

DWORD DialogDriver::remaining() const
{
    const LONG left = static_cast<LONG>(deadline_ - GetTickCount());
    return left > 0 ? DWORD(left) : 0;
}

DWORD WINAPI DialogDriver::Run(void *self)
{
    auto &d = *static_cast<DialogDriver *>(self);
    HWND previous = nullptr;
    for (auto &step : d.steps_) {
        HWND dialog = nullptr;
        while (!dialog && d.remaining() && WaitForSingleObject(d.stop_, kPollMs) == WAIT_TIMEOUT) {
            for (HWND w : ProcessDialogs())
                if (!dialog && w != previous) dialog = w;
        }
        DWORD_PTR answer;   // the dialog has filled itself once its thread answers
        if (!dialog || !SendMessageTimeoutA(dialog, WM_NULL, 0, 0, SMTO_NORMAL, d.remaining(), &answer)) break;
        step(dialog);
        InterlockedIncrement(&d.handled_);
        previous = dialog;
    }
    while (WaitForSingleObject(d.stop_, kPollMs) == WAIT_TIMEOUT) {
        if (d.remaining()) continue;
        for (HWND w : ProcessDialogs()) {
            d.timedOut_ = true;
            PostMessageA(w, WM_COMMAND, IDCANCEL, 0);
        }
    }
    return 0;
}

} // namespace dadatest
