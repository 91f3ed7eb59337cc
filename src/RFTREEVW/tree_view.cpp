// The tree's behaviour: its image list, the root item, the search path of
// an item and the path handed back, and the read-on-expand, forget-on-
// collapse rule.
#include "RFTREEVW/rftreevw.h"
#include "RFDIR/rfdir.h"
#include "NAME/dbcs.h"
#include "resource.h"

#include <cstring>
#include <string>

namespace dada::browse {

namespace {

constexpr int kInitialImages = 7, kImageGrowth = 0;
constexpr COLORREF kTransparent = RGB(0, 255, 0);
constexpr const char *kLocalRoot = "My Computer";
constexpr const char *kAllEntries = "\\*.*";

bool IsFolderImage(int image) { return image == kOpenFolderImage || image == kClosedFolderImage; }

// Text (at most kBrowsePath bytes) and image of an item.
bool ReadItem(HWND tree, TVITEMA &item, std::string &text)
{
    char buffer[kBrowsePath] = {};
    item.mask |= TVIF_HANDLE | TVIF_TEXT | TVIF_IMAGE;
    item.pszText = buffer;
    item.cchTextMax = kBrowsePath;
    if (!SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item))) return false;
    buffer[kBrowsePath - 1] = '\0';
    text = item.pszText ? item.pszText : "";
    return true;
}

HTREEITEM Relative(HWND tree, HTREEITEM item, UINT relation)
{
    return reinterpret_cast<HTREEITEM>(
        SendMessageA(tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
}

bool EndsWithSeparator(const std::string &s)
{
    return !s.empty() && dbcs::FindLast(s, '\\') == s.size() - 1;
}

} // namespace

BOOL TreeInitImageList(HWND tree)
{
    HIMAGELIST list = ImageList_Create(kImageWidth, kImageHeight, ILC_MASK, kInitialImages, kImageGrowth);
    if (!list) return FALSE;
    auto owner = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(tree, GWLP_HINSTANCE));
    HBITMAP bitmap = owner ? LoadBitmapA(owner, MAKEINTRESOURCEA(IDB_BROWSE_TREE)) : nullptr;
    if (!bitmap) {
        ImageList_Destroy(list);
        return FALSE;
    }
    const int added = ImageList_AddMasked(list, bitmap, kTransparent);
    DeleteObject(bitmap);
    if (added < 0) {
        ShowErrorBox();
        ImageList_Destroy(list);
        return FALSE;
    }
    if (ImageList_GetImageCount(list) < kInitialImages) {
        ImageList_Destroy(list);
        return FALSE;
    }
    SendMessageA(tree, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(list));
    return TRUE;
}

BOOL TreeAddRoot(HWND tree, LPCSTR server)
{
    HTREEITEM root = TreeAddItem(tree, HasServer(server) ? server : kLocalRoot, nullptr, kComputerItem);
    ListDrives(tree, root, server);
    return TRUE;
}

BOOL TreeBuildPath(HWND tree, TVITEMA item, LPSTR out, DWORD outSize, LPCSTR server)
{
    if (out && outSize) out[0] = '\0';
    std::string path, text;
    if (!ReadItem(tree, item, path)) return FALSE;
    const bool computer = item.iImage == kComputerImage;

    for (HTREEITEM current = item.hItem;;) {
        TVITEMA parent{};
        parent.hItem = Relative(tree, current, TVGN_PARENT);
        if (!parent.hItem) break;
        if (!ReadItem(tree, parent, text)) return FALSE;
        if (parent.iImage == kComputerImage) break;
        path = EndsWithSeparator(text) ? text + path : text + "\\" + path;
        if (path.size() > kBrowsePath) return FALSE;   // too deep for any buffer
        current = parent.hItem;
    }
    if (!computer) {
        path += kAllEntries;
        if (HasServer(server)) {
            const size_t colon = path.find(':');
            if (colon != std::string::npos) path[colon] = '$';
            path = std::string("\\\\") + server + "\\" + path;
        }
    }
    if (!out || path.size() >= outSize) return FALSE;   // the output stays empty
    std::memcpy(out, path.c_str(), path.size() + 1);
    if (path == kLocalRoot || (server && path == server)) out[0] = '\0';
    return TRUE;
}

void TreeSelectionPath(LPSTR path, LPCSTR server)
{
    if (!path) return;
    for (size_t i = std::strlen(path); i-- > 1;) {
        if (path[i] == '\\') {
            path[i] = '\0';
            break;
        }
    }
    if (!HasServer(server)) return;
    char *dollar = std::strchr(path, '$');
    if (!dollar || dollar == path) return;
    *dollar = ':';
    std::memmove(path, dollar - 1, std::strlen(dollar - 1) + 1);
}

void TreeExpanding(HWND tree, HTREEITEM item, UINT action, const RemoteBrowseInfo *info)
{
    int image = 0, selected = 0;
    if (!ItemImages(tree, item, image, selected) || image == kComputerImage) return;
    const bool folder = IsFolderImage(image) || IsFolderImage(selected);
    if (action == TVE_COLLAPSE) {
        if (folder) SetItemImages(tree, item, kClosedFolderImage);
        return;
    }
    if (folder) SetItemImages(tree, item, kOpenFolderImage);
    if (!info) return;
    char search[kSearchBuffer] = {};
    TVITEMA record{};
    record.hItem = item;
    TreeBuildPath(tree, record, search, sizeof search, info->server);
    ListDirectory(tree, search, item, info->mode, info->pattern);
}

void TreeExpanded(HWND tree, HTREEITEM item, UINT action, LPCSTR server)
{
    if (action != TVE_COLLAPSE) return;
    HTREEITEM child = Relative(tree, item, TVGN_CHILD);
    const bool hadChildren = child != nullptr;
    while (child) {
        HTREEITEM next = Relative(tree, child, TVGN_NEXT);
        SendMessageA(tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(child));
        child = next;
    }
    int image = 0, selected = 0;
    const bool computer = ItemImages(tree, item, image, selected) && image == kComputerImage;
    if (computer) ListDrives(tree, item, server);
    // Some tree controls drop the expand button with the last child; the
    // item is read again at its next expansion, so it keeps its button.
    if (computer || hadChildren) SetHasChildren(tree, item, true);
}

} // namespace dada::browse
