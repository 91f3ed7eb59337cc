// ConnectComputer: opens another computer's HKEY_LOCAL_MACHINE on a worker
// thread while a small wait dialog (template 104) plays the clip.
//
// Cancel answers at once.  The pending attempt is not killed (a thread ended
// by force may die holding a lock of the registry or network code); it runs
// on and its outcome is discarded.  Who owns the outcome is decided once, by
// an interlocked state in a record that the dialog and the worker share and
// the last of the two frees:
//   pending -> finished  (worker): the dialog's thread takes the key over and
//                                  hands it to the caller or closes it;
//   pending -> abandoned (dialog): the worker closes any key it opened and
//                                  never touches the caller's variables.
// The worker also holds a reference on this library, so an attempt that ends
// after the caller unloaded it still has code to return to.
#include "dadada32.h"
#include "resource.h"
#include "dada/limits.h"
#include "DIALOGS/dialogs_internal.h"
#include "FRAME/dialog_context.h"
#include "dada/memblock.h"
#include "FRAME/module.h"
#include <commctrl.h>
#include <cstring>

namespace {

using namespace dada::dialogs;

constexpr SIZE_T kWorkerStack = 5120;
constexpr int kTextBuffer = dada::kPathMax;          // the prompt, before and after formatting
constexpr WORD kWorkerDone = 1;            // the command the worker sends
constexpr WORD kUnnamedControl = 0xFFFF;   // the id of the template's plain texts
constexpr char kHighProp[] = "Wait1", kLowProp[] = "Wait2";

enum : LONG { kPending, kFinished, kAbandoned };

struct Attempt {
    LONG refs;          // the dialog's side and the worker
    LONG state;         // kPending, kFinished or kAbandoned
    LONG status;        // RegConnectRegistryA's answer
    HKEY key;           // opened by the worker; see the states above
    HWND dialog;
    HMODULE pin;        // the worker's reference on this library
    char computer[1];   // the whole name, copied
};

void Release(Attempt *a)
{
    if (InterlockedDecrement(&a->refs) == 0) dada::BlockFree(a);
}

// The caller's side, for the life of the dialog.
struct ConnectContext {
    LPCSTR computer;
    HKEY *keyAddress;
    HANDLE worker;
    DWORD workerId;
    HWND dialog;
    Attempt *attempt;
    bool ended;             // EndDialog was called
    bool cancelRequested;   // Cancel came after the worker finished
    bool keyTaken;          // the key went to the caller or was closed
};

DWORD WINAPI ConnectWorker(void *param)
{
    auto *a = static_cast<Attempt *>(param);
    HKEY key = nullptr;
    const LONG status = RegConnectRegistryA(a->computer, HKEY_LOCAL_MACHINE, &key);
    a->status = status;
    a->key = status == ERROR_SUCCESS ? key : nullptr;
    // Read before the exchange: the record may be freed right after it.
    const HWND dialog = a->dialog;
    const HMODULE pin = a->pin;
    if (InterlockedCompareExchange(&a->state, kFinished, kPending) == kPending) {
        Release(a);
        SendMessageA(dialog, WM_COMMAND, kWorkerDone, status == ERROR_SUCCESS ? 0 : 1);
    } else {
        if (status == ERROR_SUCCESS) RegCloseKey(key);
        Release(a);
    }
    FreeLibraryAndExitThread(pin, 0);
}

// The first plain text of the template, the one that names the server.
HWND PromptControl(HWND dialog)
{
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        if (LOWORD(GetDlgCtrlID(c)) == kUnnamedControl) return c;
    return nullptr;
}

bool StartWorker(ConnectContext &c)
{
    const size_t length = std::strlen(c.computer);
    auto *a = static_cast<Attempt *>(dada::BlockAlloc(offsetof(Attempt, computer) + length + 1, dada::Block::Moveable));
    if (!a) return false;
    std::memcpy(a->computer, c.computer, length + 1);
    a->dialog = c.dialog;
    a->refs = 2;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                            reinterpret_cast<LPCSTR>(&ConnectWorker), &a->pin)) {
        dada::BlockFree(a);
        return false;
    }
    c.worker = CreateThread(nullptr, kWorkerStack, ConnectWorker, a, 0, &c.workerId);
    if (!c.worker) {
        FreeLibrary(a->pin);
        dada::BlockFree(a);
        return false;
    }
    c.attempt = a;
    return true;
}

void Finish(HWND dialog, ConnectContext &c, int result)
{
    c.ended = true;
    EndDialog(dialog, result);
}

// The dialog's thread owns a finished attempt's key: it goes to the caller
// only with the result 0, otherwise it is closed.
void TakeKey(ConnectContext &c, bool toCaller)
{
    if (c.keyTaken || !c.attempt || c.attempt->state != kFinished) return;
    c.keyTaken = true;
    if (!c.attempt->key) return;
    if (toCaller)
        *c.keyAddress = c.attempt->key;
    else
        RegCloseKey(c.attempt->key);
}

void OnInit(HWND dialog, ConnectContext &c)
{
    dada::StoreDialogContext(dialog, kHighProp, kLowProp, &c);
    if (HWND prompt = PromptControl(dialog)) {
        char format[kTextBuffer], text[kTextBuffer];
        GetWindowTextA(prompt, format, sizeof format);
        FormatOne(text, sizeof text, format, reinterpret_cast<UINT_PTR>(c.computer));
        SetWindowTextA(prompt, text);
    }
    CenterWindow(dialog, GetDesktopWindow());
    ShowWindow(dialog, SW_SHOW);
    UpdateWindow(dialog);
    HWND clip = GetDlgItem(dialog, IDC_CONNECT_ANIMATE);
    // The template names the clip; not every animation control opens it
    // from there by itself.
    SendMessageA(clip, ACM_OPENA, reinterpret_cast<WPARAM>(dada::g_module),
                 reinterpret_cast<LPARAM>(MAKEINTRESOURCEA(IDA_CONNECT)));
    ShowWindow(clip, SW_SHOW);
    UpdateWindow(clip);
    SendMessageA(clip, ACM_PLAY, static_cast<WPARAM>(-1), MAKELPARAM(0, 0xFFFF));
    c.dialog = dialog;
    if (!StartWorker(c)) Finish(dialog, c, CONNECT_FAILED);
}

void OnWorkerDone(HWND dialog, ConnectContext &c)
{
    // Enter sends command 1 too: only a finished attempt counts.
    if (c.ended || !c.attempt || c.attempt->state != kFinished) return;
    const bool connected = c.attempt->status == ERROR_SUCCESS;
    if (c.cancelRequested) {
        TakeKey(c, false);
        Finish(dialog, c, CONNECT_CANCELLED);
        return;
    }
    TakeKey(c, connected);
    Finish(dialog, c, connected ? CONNECT_OK : CONNECT_FAILED);
}

void OnCancel(HWND dialog, ConnectContext &c)
{
    if (c.ended) return;
    if (!c.attempt || InterlockedCompareExchange(&c.attempt->state, kAbandoned, kPending) == kPending) {
        Finish(dialog, c, CONNECT_CANCELLED);
        return;
    }
    // The worker finished a moment ago and its command is on the way: it
    // ends the dialog with 2 and closes the key.
    c.cancelRequested = true;
}

INT_PTR CALLBACK ConnectProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto *c = static_cast<ConnectContext *>(dada::LoadDialogContext(dialog, kHighProp, kLowProp));
    switch (message) {
    case WM_INITDIALOG:
        OnInit(dialog, *reinterpret_cast<ConnectContext *>(lParam));
        break;
    case WM_COMMAND:
        if (!c) break;
        if (LOWORD(wParam) == kWorkerDone)
            OnWorkerDone(dialog, *c);
        else if (LOWORD(wParam) == IDCANCEL)
            OnCancel(dialog, *c);
        break;
    case WM_DESTROY:
        SendDlgItemMessageA(dialog, IDC_CONNECT_ANIMATE, ACM_STOP, 0, 0);
        // Ended some other way (its owner went away): nothing stays pending.
        if (c && c->attempt && !c->ended) {
            InterlockedCompareExchange(&c->attempt->state, kAbandoned, kPending);
            TakeKey(*c, false);
        }
        break;
    }
    return 0;
}

} // namespace

extern "C" int DADAAPI ConnectComputer(HWND owner, HKEY *key, LPCSTR computer)
{
    if (!key) return CONNECT_FAILED;
    *key = nullptr;
    if (owner && !IsWindow(owner)) return CONNECT_NO_DIALOG;
    ConnectContext c{};
    c.computer = computer ? computer : "";
    c.keyAddress = key;
    const int result = static_cast<int>(DialogBoxParamA(dada::g_module, MAKEINTRESOURCEA(IDD_CONNECT), owner,
                                                         ConnectProc, reinterpret_cast<LPARAM>(&c)));
    if (c.attempt) Release(c.attempt);
    if (c.worker) CloseHandle(c.worker);
    return result;
}
