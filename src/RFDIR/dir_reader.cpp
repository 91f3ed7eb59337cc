// The file-system road of the directory reader: the drives of this machine
// or a server's administrative drive shares, and folders read with the
// directory search.  The remote-call road is handed over to remote_calls.
#include "RFDIR/rfdir.h"
#include "RFTREEVW/rftreevw.h"
#include "dada/handle.h"

#include <cstdio>
#include <memory>

namespace dada::browse {

namespace {

constexpr DWORD kDriveScratch = 128;
constexpr size_t kRootPart = 64;     // the probed root; the item text after it
constexpr char kFirstDrive = 'A', kLastDrive = 'Y';   // Z is never probed

struct HeapDeleter { void operator()(char *p) const { HeapFree(GetProcessHeap(), 0, p); } };

// The item type of an accepted drive, or kItemTypes for one that is skipped.
DWORD DriveItemType(UINT platformType, bool local)
{
    if (!local) return platformType == DRIVE_REMOTE ? kNetworkDriveItem : kItemTypes;
    switch (platformType) {
    case DRIVE_REMOTE: return kNetworkDriveItem;
    case DRIVE_CDROM: return kCdromDriveItem;
    case DRIVE_REMOVABLE: return kRemovableDriveItem;
    case DRIVE_FIXED: return kFixedDriveItem;
    default: return kItemTypes;
    }
}

// A folder that turned out empty loses its expand button, and its open-
// folder image if it shows one.
void MarkEmpty(HWND tree, HTREEITEM item)
{
    int image = 0, selected = 0;
    if (ItemImages(tree, item, image, selected) && image == kOpenFolderImage)
        SetItemImages(tree, item, kClosedFolderImage);
    SetHasChildren(tree, item, false);
}

} // namespace

RemoteBrowseInfo *BrowseInfoOf(HWND tree)
{
    return reinterpret_cast<RemoteBrowseInfo *>(GetWindowLongPtrA(tree, GWLP_USERDATA));
}

BOOL IsRemoteCallMode(HWND tree)
{
    const RemoteBrowseInfo *info = BrowseInfoOf(tree);
    return info && info->remoteCall ? TRUE : FALSE;
}

BOOL ListDrives(HWND tree, HTREEITEM parent, LPCSTR server)
{
    if (IsRemoteCallMode(tree)) return RemoteListDrives(tree, parent);
    std::unique_ptr<char, HeapDeleter> scratch(
        static_cast<char *>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, kDriveScratch)));
    if (!scratch) {
        ShowErrorBox();
        return FALSE;
    }
    char *root = scratch.get(), *text = scratch.get() + kRootPart;
    const bool local = !HasServer(server);
    for (char letter = kFirstDrive; letter <= kLastDrive; ++letter) {
        const int n = local ? std::snprintf(root, kRootPart, "%c:\\", letter)
                            : std::snprintf(root, kRootPart, "\\\\%s\\%c$\\", server, letter);
        if (n < 0 || static_cast<size_t>(n) >= kRootPart) break;   // a server name too long to name a share
        const DWORD type = DriveItemType(GetDriveTypeA(root), local);
        if (type == kItemTypes) continue;
        std::snprintf(text, kDriveScratch - kRootPart, "%c:\\", letter);
        TreeAddItem(tree, text, parent, type);
    }
    return TRUE;
}

BOOL ListDirectory(HWND tree, LPCSTR search, HTREEITEM parent, DWORD mode, LPCSTR pattern)
{
    if (IsRemoteCallMode(tree)) return RemoteListDirectory(tree, search, parent, mode, pattern);
    BOOL result = TRUE;
    DWORD counted = 0;
    WIN32_FIND_DATAA entry;
    UniqueFind handle(FindFirstFileA(search ? search : "", &entry));
    if (!handle) {
        const DWORD error = GetLastError();
        OutputDebugStringA("FindFirstFile returned invalid handle");
        SetLastError(error);
        ShowErrorBox();
    } else {
        do {
            const bool folder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            if (!folder && (mode == BROWSE_FOLDERS_ONLY || (pattern && !NameWildcardMatch(pattern, entry.cFileName))))
                continue;
            HTREEITEM added = TreeAddItem(tree, entry.cFileName, parent, folder ? kFolderItem : kFileItem);
            if (!added) {
                result = FALSE;
                break;
            }
            if (added != SkippedItem()) ++counted;
        } while (FindNextFileA(handle.get(), &entry));
    }
    handle.reset();
    if (!counted) MarkEmpty(tree, parent);
    return result;
}

} // namespace dada::browse
