// RemoteBrowse: the modal dialog 101 over the browse tree.  The dialog works
// on the caller's RemoteBrowseInfo and keeps no other state: the block's
// address lives in the window properties "Ptr1" (high part) and "Ptr2" (low
// 16 bits) of the dialog and in the tree's user-data slot.
#include "RFTREEVW/rftreevw.h"
#include "DIALOGS/dialogs_internal.h"
#include "FRAME/dialog_context.h"
#include "FRAME/module.h"
#include "REMOTE/binding.h"
#include "resource.h"

#include <cstring>

namespace dada::browse {

namespace {

constexpr WORD kFileSystemRoad = 2;   // connection type of a machine whose disks are reached directly
constexpr const char *kHighProp = "Ptr1";
constexpr const char *kLowProp = "Ptr2";
constexpr INT kStartFailed = -1;

RemoteBrowseInfo *InfoOf(HWND dialog)
{
    return static_cast<RemoteBrowseInfo *>(LoadDialogContext(dialog, kHighProp, kLowProp));
}

// Caption or prompt from a string of the owner's module; a string that is
// not there leaves the template's text.
void SetOwnerText(HWND window, HINSTANCE owner, DWORD id)
{
    char text[kSearchBuffer];
    if (dialogs::LoadText(owner, id, text, kBrowsePath) > 0) SetWindowTextA(window, text);
}

void OnInitDialog(HWND dialog, RemoteBrowseInfo *info)
{
    StoreDialogContext(dialog, kHighProp, kLowProp, info);
    const HINSTANCE owner = dialogs::OwnerModule(info->owner);
    SetOwnerText(dialog, owner, info->titleId);
    SetOwnerText(GetDlgItem(dialog, IDC_BROWSE_PROMPT), owner, info->promptId);
    EnableWindow(GetDlgItem(dialog, IDOK), FALSE);
    HWND tree = GetDlgItem(dialog, IDC_BROWSE_TREE);
    SetWindowLongPtrA(tree, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(info));
    if (!TreeInitImageList(tree)) {
        EndDialog(dialog, kStartFailed);
        return;
    }
    TreeAddRoot(tree, info->server);
}

void OnSelectionChanged(HWND dialog, RemoteBrowseInfo *info, const NMTREEVIEWA &change)
{
    HWND tree = change.hdr.hwndFrom;
    TreeBuildPath(tree, change.itemNew, info->path, kBrowsePath, info->server);
    HWND ok = GetDlgItem(dialog, IDOK);
    if (info->path[0]) {
        int image = -1, selected = -1;
        ItemImages(tree, change.itemNew.hItem, image, selected);
        EnableWindow(ok, !info->filesOnly || image == kFileImage);
        info->folderChosen = (change.itemNew.state & TVIS_SELECTED) && selected == kClosedFolderImage ? 1 : 0;
    } else {
        EnableWindow(ok, FALSE);
    }
    TreeSelectionPath(info->path, info->server);
}

void OnTreeNotify(HWND dialog, RemoteBrowseInfo *info, const NMTREEVIEWA &n)
{
    switch (n.hdr.code) {
    case TVN_ITEMEXPANDINGA: TreeExpanding(n.hdr.hwndFrom, n.itemNew.hItem, n.action, info); break;
    case TVN_ITEMEXPANDEDA: TreeExpanded(n.hdr.hwndFrom, n.itemNew.hItem, n.action, info->server); break;
    case TVN_SELCHANGEDA: OnSelectionChanged(dialog, info, n); break;
    default: break;
    }
}

// On this machine, a drive connected to a network share hands back the
// share's network name instead of its letter.
void UseNetworkName(RemoteBrowseInfo *info)
{
    LPSTR path = info->path;
    if (HasServer(info->server) || !path[0] || path[1] != ':') return;
    const char drive[3] = {path[0], ':', '\0'};
    char network[kBrowsePath] = {};
    DWORD size = sizeof network;
    if (WNetGetConnectionA(drive, network, &size) != NO_ERROR) return;
    network[kBrowsePath - 1] = '\0';
    const size_t length = std::strlen(path);
    const char *rest = (path[2] == '\\' && length > 3) ? path + 2 : "";
    const size_t used = std::strlen(network), more = std::strlen(rest);
    if (used + more >= kBrowsePath) return;   // the network form does not fit: keep the drive form
    std::memmove(path + used, rest, more + 1);
    std::memcpy(path, network, used);
}

INT_PTR CALLBACK RemoteBrowseDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    RemoteBrowseInfo *info = InfoOf(dialog);
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog(dialog, reinterpret_cast<RemoteBrowseInfo *>(lParam));
        break;
    case WM_NOTIFY: {
        const auto *n = reinterpret_cast<const NMTREEVIEWA *>(lParam);
        if (info && n->hdr.idFrom == IDC_BROWSE_TREE) OnTreeNotify(dialog, info, *n);
        break;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK && info) {
            UseNetworkName(info);
            EndDialog(dialog, 1);
        } else if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, 0);
        }
        break;
    case WM_DESTROY: {
        // The tree does not own its image list.
        HWND tree = GetDlgItem(dialog, IDC_BROWSE_TREE);
        if (auto list = reinterpret_cast<HIMAGELIST>(SendMessageA(tree, TVM_SETIMAGELIST, TVSIL_NORMAL, 0)))
            ImageList_Destroy(list);
        break;
    }
    default:
        break;
    }
    return 0;
}

// On the remote-call road a closed folder chosen in the mode that lists
// files gets the file-name part of the initial path.
void FinishBrowsePath(LPCSTR fileName, RemoteBrowseInfo *info)
{
    if (info->remoteCall != 1 || info->mode != 0 || info->folderChosen != 1) return;
    const size_t used = strnlen(info->path, kBrowsePath), more = std::strlen(fileName);
    if (used + 1 + more >= kBrowsePath) return;   // would not fit: the folder alone
    info->path[used] = '\\';
    std::memcpy(info->path + used + 1, fileName, more + 1);
}

} // namespace

} // namespace dada::browse

extern "C" INT DADAAPI RemoteBrowse(RemoteBrowseInfo *info)
{
    using namespace dada::browse;
    if (!info || !info->path) return kStartFailed;
    char fileName[kSearchBuffer] = {};
    // The remote-call road needs a server: without one this machine is
    // read directly, whatever the connection type.
    const bool direct = dada::NetSession_GetConnectionType(info->server) == kFileSystemRoad || !HasServer(info->server);
    info->remoteCall = direct ? 0 : 1;
    if (info->remoteCall) NameReturnFile(info->path, fileName);
    const INITCOMMONCONTROLSEX controls{sizeof controls, ICC_TREEVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    const INT_PTR result = DialogBoxParamA(dada::g_module, MAKEINTRESOURCEA(IDD_REMOTE_BROWSE), info->owner,
                                           RemoteBrowseDlgProc, reinterpret_cast<LPARAM>(info));
    FinishBrowsePath(fileName, info);
    return static_cast<INT>(result);
}
