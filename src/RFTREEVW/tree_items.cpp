// Tree items: insertion by item type, the name lists of remote replies,
// and the image and expand-button marks of an item.
#include "RFTREEVW/rftreevw.h"

#include <cstring>

namespace dada::browse {

namespace {

constexpr int kImageOfType[kItemTypes] = {
    kFileImage, kClosedFolderImage, kComputerImage, kFixedDriveImage,
    kNetworkDriveImage, kCdromDriveImage, kRemovableDriveImage,
};

// One entry of a name list: its item type and its name, which is known to
// end with a zero byte inside the list.
struct NameEntry {
    DWORD type;
    LPCSTR name;
};

// The byte at `at`, or zero at and past the byte count: the list ends
// there at the latest.
BYTE ByteAt(const BYTE *list, DWORD count, DWORD at) { return at < count ? list[at] : 0; }

// Reads the entry at `offset`, past the zero byte that ends the previous
// entry.  False for a type byte outside 1 to 7 or a name without its zero
// byte inside the count.
bool ParseNameEntry(const BYTE *list, DWORD count, DWORD offset, DWORD typeMode, NameEntry &entry)
{
    DWORD at = offset;
    if (ByteAt(list, count, at) == 0) ++at;
    entry.type = typeMode;
    if (typeMode == kTypedList) {
        const BYTE typeByte = ByteAt(list, count, at);
        if (typeByte < 1 || typeByte > kItemTypes) return false;
        entry.type = typeByte - 1u;
        ++at;
    }
    if (at >= count || !std::memchr(list + at, 0, count - at)) return false;
    entry.name = reinterpret_cast<LPCSTR>(list + at);
    return true;
}

// Moves `offset` to the zero byte that ends the entry there.  False when the
// count comes first.
bool NextNameEntry(const BYTE *list, DWORD count, DWORD &offset)
{
    DWORD at = offset;
    if (ByteAt(list, count, at) == 0) ++at;
    while (at < count && list[at] != 0) ++at;
    if (at >= count) return false;
    offset = at;
    return true;
}

bool GetItem(HWND tree, TVITEMA &item)
{
    return SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)) != 0;
}

void SetItem(HWND tree, TVITEMA &item)
{
    SendMessageA(tree, TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

} // namespace

HTREEITEM TreeAddItem(HWND tree, LPCSTR text, HTREEITEM parent, DWORD type)
{
    if (!text) return nullptr;
    if (lstrcmpiA(text, ".") == 0 || lstrcmpiA(text, "..") == 0) return SkippedItem();
    const int image = type < kItemTypes ? kImageOfType[type] : kFileImage;
    TVINSERTSTRUCTA insert{};
    insert.hParent = parent ? parent : TVI_ROOT;
    insert.hInsertAfter = TVI_SORT;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_CHILDREN;
    insert.item.pszText = const_cast<LPSTR>(text);
    insert.item.iImage = insert.item.iSelectedImage = image;
    insert.item.cChildren = (type != kFileItem && type < kItemTypes) ? 1 : 0;
    return reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
}

HTREEITEM TreeAddNameList(HWND tree, DWORD count, const BYTE *list, HTREEITEM parent, DWORD typeMode)
{
    if (!list) return nullptr;
    HTREEITEM last = nullptr;
    for (DWORD offset = 0;;) {
        if (ByteAt(list, count, offset) == 0 && (offset == MAXDWORD || ByteAt(list, count, offset + 1) == 0))
            return last;   // the empty entry ends the list
        NameEntry entry;
        if (!ParseNameEntry(list, count, offset, typeMode, entry)) return nullptr;
        last = TreeAddItem(tree, entry.name, parent, entry.type);
        if (!last || !NextNameEntry(list, count, offset)) return nullptr;
    }
}

bool ItemImages(HWND tree, HTREEITEM item, int &image, int &selected)
{
    TVITEMA read{};
    read.mask = TVIF_HANDLE | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    read.hItem = item;
    if (!item || !GetItem(tree, read)) return false;
    image = read.iImage;
    selected = read.iSelectedImage;
    return true;
}

void SetItemImages(HWND tree, HTREEITEM item, int image)
{
    TVITEMA write{};
    write.mask = TVIF_HANDLE | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    write.hItem = item;
    write.iImage = write.iSelectedImage = image;
    SetItem(tree, write);
}

void SetHasChildren(HWND tree, HTREEITEM item, bool children)
{
    TVITEMA write{};
    write.mask = TVIF_HANDLE | TVIF_CHILDREN;
    write.hItem = item;
    write.cChildren = children ? 1 : 0;
    SetItem(tree, write);
}

} // namespace dada::browse
