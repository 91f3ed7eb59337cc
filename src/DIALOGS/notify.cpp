// NotifyUser: a small message box from dialog template 93 whose texts, icon
// and button captions come from the caller's own module.
// Thread-safety: the dialog runs on the caller's thread; the one shared value
// is the painted icon (below).
#include "dadada32.h"
#include "resource.h"
#include "DIALOGS/dialogs_internal.h"
#include "FRAME/module.h"
#include <cstddef>

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(NotifyRequest) == 28);
static_assert(offsetof(NotifyRequest, insertValue) == 4);
static_assert(offsetof(NotifyRequest, titleId) == 20);
static_assert(offsetof(NotifyRequest, iconId) == 24);
#endif

namespace {

using namespace dada::dialogs;

constexpr int kTextBuffer = 256;

// The icon of the notification dialog: one library-wide value, the last
// dialog to open sets it (unguarded, like the other library-wide values).
HICON g_notifyIcon;

void SetCaption(HWND dialog, int control, HINSTANCE module, UINT id)
{
    char text[kTextBuffer];
    LoadText(module, id, text, sizeof text);
    SetDlgItemTextA(dialog, control, text);
}

void SetUp(HWND dialog, const NotifyRequest &r)
{
    CenterWindow(dialog, r.owner);
    const HINSTANCE module = OwnerModule(r.owner);

    char message[kTextBuffer], shown[kTextBuffer];
    LoadText(module, r.messageId, message, sizeof message);
    if (r.insertValue)
        FormatOne(shown, sizeof shown, message, r.insertValue);
    else
        lstrcpynA(shown, message, sizeof shown);
    SetDlgItemTextA(dialog, IDC_NOTIFY_TEXT, shown);

    g_notifyIcon = LoadIconA(module, MAKEINTRESOURCEA(r.iconId));

    char title[kTextBuffer];
    LoadText(module, r.titleId, title, sizeof title);
    SetWindowTextA(dialog, title);

    if (!r.yesId || !r.noId) {
        DestroyWindow(GetDlgItem(dialog, IDC_NOTIFY_YES));
        DestroyWindow(GetDlgItem(dialog, IDC_NOTIFY_NO));
        return;
    }
    DestroyWindow(GetDlgItem(dialog, IDOK));
    SendMessageA(dialog, DM_SETDEFID, IDC_NOTIFY_YES, 0);   // Enter answers Yes
    if (r.yesId != NOTIFY_KEEP_YES) SetCaption(dialog, IDC_NOTIFY_YES, module, r.yesId);
    if (r.noId != NOTIFY_KEEP_NO) SetCaption(dialog, IDC_NOTIFY_NO, module, r.noId);
}

// The kept icon at the top-left corner of the hidden frame.
void PaintIcon(HWND dialog)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(dialog, &ps);
    RECT frame;
    HWND marker = GetDlgItem(dialog, IDC_NOTIFY_ICON);
    if (dc && marker && g_notifyIcon && GetWindowRect(marker, &frame)) {
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT *>(&frame), 2);
        DrawIcon(dc, frame.left, frame.top, g_notifyIcon);
    }
    EndPaint(dialog, &ps);
}

INT_PTR CALLBACK NotifyProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        SetUp(dialog, *reinterpret_cast<const NotifyRequest *>(lParam));
        return TRUE;   // the platform sets the initial focus
    case WM_PAINT:
        PaintIcon(dialog);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
        case IDC_NOTIFY_YES:
            EndDialog(dialog, 1);
            return TRUE;
        case IDCANCEL:
        case IDC_NOTIFY_NO:
            EndDialog(dialog, 2);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

} // namespace

extern "C" int DADAAPI NotifyUser(const NotifyRequest *request)
{
    if (!request || (request->owner && !IsWindow(request->owner))) return -1;
    return static_cast<int>(DialogBoxParamA(dada::g_module, MAKEINTRESOURCEA(IDD_NOTIFY), request->owner,
                                            NotifyProc, reinterpret_cast<LPARAM>(request)));
}
