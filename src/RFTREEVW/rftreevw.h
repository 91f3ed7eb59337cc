// The browse tree of the remote browse dialog: item kinds, the items the
// reader adds, the error box, the tree's own steps, and the dialog.
// Thread-safety: everything runs on the thread of the modal dialog; nothing
// is shared between dialogs but the library's module handle.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include "dadada32.h"
#include "dada/limits.h"

namespace dada::browse {

// Item types: each fixes the item's image and whether it shows an expand
// button before it has children.  The image is the only record of an
// item's kind.
enum ItemType : DWORD {
    kFileItem = 0, kFolderItem = 1, kComputerItem = 2, kFixedDriveItem = 3,
    kNetworkDriveItem = 4, kCdromDriveItem = 5, kRemovableDriveItem = 6,
};
constexpr DWORD kItemTypes = 7;
// Type mode of TreeAddNameList: every entry carries its own type byte.
constexpr DWORD kTypedList = 7;

// Images of bitmap 102, in order.
enum ItemImage : int {
    kOpenFolderImage = 0, kClosedFolderImage = 1, kWindowImage = 2, kNetworkImage = 3,
    kFileImage = 4, kComputerImage = 5, kFixedDriveImage = 6, kNetworkDriveImage = 7,
    kCdromDriveImage = 8, kRemovableDriveImage = 9,
};
constexpr int kImageCount = 10;
constexpr int kImageWidth = 16, kImageHeight = 15;

// Path buffers of the browser: 260 bytes, and one more for the search path
// of an expansion.
constexpr DWORD kBrowsePath = dada::kPathMax;    // path buffers of the browser
constexpr DWORD kSearchBuffer = kBrowsePath + 1;

// What TreeAddItem answers for "." and "..": not an item, but not a refusal.
inline HTREEITEM SkippedItem() { return reinterpret_cast<HTREEITEM>(static_cast<UINT_PTR>(1)); }

inline bool HasServer(LPCSTR server) { return server && *server; }

// --- items (tree_items.cpp) ----------------------------------------------
// Inserts `text` under `parent` (null: the top level) at its sorted place,
// with the image of `type`; "." and ".." are not inserted (SkippedItem).
HTREEITEM TreeAddItem(HWND tree, LPCSTR text, HTREEITEM parent, DWORD type);
// Inserts the entries of a name list of `count` bytes (typed when `typeMode`
// is kTypedList, else every entry has the item type `typeMode`).  `room` is
// how many bytes at `list` may be read (a reply's whole room; at least
// `count`): a name that runs past the count is still inserted, read up to
// its zero byte or the room, and then ends the list as a failure.  Answers
// the last item added when the list ended at its empty entry (or exactly at
// `count`), else null.
HTREEITEM TreeAddNameList(HWND tree, DWORD count, const BYTE *list, HTREEITEM parent, DWORD typeMode,
                          DWORD room = 0);
// Image and selected image of an item; false when it cannot be read.
bool ItemImages(HWND tree, HTREEITEM item, int &image, int &selected);
// Sets both images of an item.
void SetItemImages(HWND tree, HTREEITEM item, int image);
// Sets or clears the mark that gives an item its expand button.
void SetHasChildren(HWND tree, HTREEITEM item, bool children);

// --- error box (error_box.cpp) -------------------------------------------
// A message box for the thread's last-error value (none for error 21).
void ShowErrorBox();

// --- the tree's steps (tree_view.cpp) -------------------------------------
BOOL TreeInitImageList(HWND tree);
BOOL TreeAddRoot(HWND tree, LPCSTR server);
// The search path of `item` (only its handle counts) into `out` (`outSize`
// bytes).  0 when an item cannot be read or the path does not fit, and then
// `out` is empty.
BOOL TreeBuildPath(HWND tree, TVITEMA item, LPSTR out, DWORD outSize, LPCSTR server);
// A search path turned into the path the dialog hands back, in place.
void TreeSelectionPath(LPSTR path, LPCSTR server);
// TVN_ITEMEXPANDING and TVN_ITEMEXPANDED of an item.
void TreeExpanding(HWND tree, HTREEITEM item, UINT action, const RemoteBrowseInfo *info);
void TreeExpanded(HWND tree, HTREEITEM item, UINT action, LPCSTR server);

} // namespace dada::browse
