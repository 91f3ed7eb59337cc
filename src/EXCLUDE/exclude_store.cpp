// Exclusion lists in memory: open (load from the profile or the caller's
// storage procedure), add, find, delete, save and close.
#include "EXCLUDE/exclude_list.h"
#include "dada/memblock.h"

#include <bit>
#include <cstring>
#include <optional>
#include <string>
#include <unordered_set>

namespace dada::exclude {

namespace {

// A field equals a null argument when it is empty.
bool FieldEquals(std::string_view field, const char *arg)
{
    return arg ? EqualsNoCase(field, arg) : field.empty();
}

ExcludeItem *FindItem(List *list, const char *folder, const char *pattern)
{
    for (DWORD i = 0; i < list->count; ++i) {
        ExcludeItem *item = &list->items[i];
        if (FieldEquals(Field(item->folder), folder) && FieldEquals(Field(item->pattern), pattern))
            return item;
    }
    return nullptr;
}

// Slots the item block holds for a capacity: exactly the capacity for
// ordinary lists; a large list's block is reserved in powers of two, so
// that growing by kGrowBy does not copy the whole list every time.
constexpr DWORD kExactSlots = 1024;
DWORD Slots(DWORD capacity) { return capacity <= kExactSlots ? capacity : std::bit_ceil(capacity); }

ExcludeItem *AllocItems(DWORD capacity)
{
    return static_cast<ExcludeItem *>(BlockAlloc(SIZE_T(Slots(capacity)) * sizeof(ExcludeItem), Block::Moveable));
}

// Items already listed, by folder and pattern without letter case: the
// duplicate test of a load, which starts from an empty list.
class SeenItems {
public:
    bool Insert(const ExcludeItem &item) { return keys_.insert(Key(item)).second; }
    bool Contains(const ExcludeItem &item) const { return keys_.count(Key(item)) != 0; }

private:
    static std::string Key(const ExcludeItem &item)
    {
        std::string key;
        for (char c : Field(item.folder)) key += AsciiLower(c);
        key += '\0';
        for (char c : Field(item.pattern)) key += AsciiLower(c);
        return key;
    }
    std::unordered_set<std::string> keys_;
};

DWORD AddItem(List *list, const ExcludeItem *newItem, SeenItems *seen);

void FreeList(List *list)
{
    BlockFree(list->items);
    BlockFree(list);
}

bool HasIllegalChar(std::string_view field, std::string_view illegal)
{
    return field.find_first_of(illegal) != std::string_view::npos;
}

DWORD Call(const List *list, DWORD index, DWORD operation, UINT_PTR data)
{
    return list->proc(list->context, index, operation, data);
}

// The storage procedure's stored count, learned once at open.  Stored
// counts are signed: a negative one means nothing is stored.
DWORD ReadStoredCount(const List *list)
{
    DWORD count = 0;
    return Call(list, 0, EXCLUDE_OP_GETCOUNT, reinterpret_cast<UINT_PTR>(&count)) == 1 ? count : 0;
}

LONG StoredCount(const List *list) { return LONG(list->storedCount); }

bool ReadItem(const List *list, DWORD index, ExcludeItem *item)
{
    return Call(list, index, EXCLUDE_OP_READ, reinterpret_cast<UINT_PTR>(item)) == 1;
}

bool WriteItem(List *list, DWORD index)
{
    ExcludeItem *item = &list->items[index];
    if (!list->proc) return ProfileWriteItem(list, index, item);
    return Call(list, index, EXCLUDE_OP_WRITE, reinterpret_cast<UINT_PTR>(item)) == 1;
}

} // namespace

} // namespace dada::exclude

using namespace dada::exclude;

extern "C" DWORD DADAAPI ExcludeOpenEx(EXCLUDEHANDLE *handle, LPCSTR profile, const ExcludeStorageHook *hook)
{
    if (!handle) return EXCLUDE_BADARG;
    *handle = nullptr;
    const bool useHook = hook && hook->proc;
    if (!useHook && (!profile || !*profile || std::strlen(profile) > dada::kPathMax)) return EXCLUDE_BADARG;

    auto *list = dada::BlockNew<List>(dada::Block::Moveable);
    ExcludeItem *items = list ? AllocItems(kGrowBy) : nullptr;
    if (!items) {
        dada::BlockFree(list);
        return EXCLUDE_NOMEMORY;
    }
    list->items = items;
    list->capacity = kGrowBy;
    *handle = list;

    bool loadable = true;
    if (useHook) {
        list->context = hook->context;
        list->proc = hook->proc;
        loadable = Call(list, 0, EXCLUDE_OP_OPEN, 0) == 1;
    } else {
        std::strcpy(list->profile, profile);
    }
    std::optional<ProfileSection> section;
    if (!useHook) section.emplace(list->profile);
    list->storedCount = section ? section->Count() : ReadStoredCount(list);
    if (list->storedCount == 0 || !loadable) return EXCLUDE_OK;

    ExcludeItem item{};
    SeenItems seen;
    for (LONG i = 0; i < StoredCount(list); ++i) {
        const bool read = section ? section->ReadItem(DWORD(i), &item) : ReadItem(list, DWORD(i), &item);
        if (!read) return EXCLUDE_LOADFAILED;
        if (DWORD status = AddItem(list, &item, &seen)) {
            FreeList(list);
            *handle = nullptr;
            return status;
        }
    }
    return EXCLUDE_OK;
}

extern "C" DWORD DADAAPI ExcludeClose(EXCLUDEHANDLE *handle, DWORD save)
{
    if (!handle || !*handle) return 0;
    List *list = FromHandle(*handle);
    DWORD result = 0;
    if (save == 1) result = ExcludeFlush(list);
    if (list->proc) Call(list, 0, EXCLUDE_OP_CLOSE, 0);
    FreeList(list);
    *handle = nullptr;
    return result;
}

extern "C" DWORD DADAAPI ExcludeFlush(EXCLUDEHANDLE handle)
{
    List *list = FromHandle(handle);
    if (!list || list->changed != 1) return 0;
    list->changed = 0;

    if (list->proc) Call(list, 0, EXCLUDE_OP_SETCOUNT, list->count);
    else ProfileWriteCount(list, list->count);

    // Stale stored items are removed from the one after the last item tried.
    DWORD next = 0;
    while (next < list->count)
        if (!WriteItem(list, next++)) break;

    if (LONG(list->count) < StoredCount(list)) {
        for (DWORD i = next; LONG(i) < StoredCount(list); ++i) {
            if (list->proc) Call(list, i, EXCLUDE_OP_DELETE, 0);
            else ProfileDeleteItem(list, i);
        }
    }
    return 0;
}

extern "C" DWORD DADAAPI ExcludeGetCount(EXCLUDEHANDLE handle)
{
    return handle ? FromHandle(handle)->count : 0;
}

extern "C" DWORD DADAAPI ExcludeGet(EXCLUDEHANDLE handle, DWORD index, ExcludeItem *item)
{
    const List *list = FromHandle(handle);
    if (!list || !item || index >= list->count) return EXCLUDE_BADARG;
    std::memcpy(item, &list->items[index], sizeof *item);
    return EXCLUDE_OK;
}

extern "C" DWORD DADAAPI ExcludeAdd(EXCLUDEHANDLE handle, const ExcludeItem *newItem)
{
    return AddItem(FromHandle(handle), newItem, nullptr);
}


namespace dada::exclude {
namespace {

// ExcludeAdd; `seen`, when given, holds every listed item and answers the
// duplicate test in place of a walk through the list.
DWORD AddItem(List *list, const ExcludeItem *newItem, SeenItems *seen)
{
    if (!list || !newItem) return EXCLUDE_BADARG;

    // Work on a copy whose fields are surely terminated.
    ExcludeItem item;
    std::memcpy(&item, newItem, sizeof item);
    item.folder[sizeof item.folder - 1] = 0;
    item.pattern[sizeof item.pattern - 1] = 0;

    if (seen ? seen->Contains(item) : FindItem(list, item.folder, item.pattern) != nullptr)
        return EXCLUDE_DUPLICATE;

    char illegal[dada::kPathMax];
    DWORD n = NameReturnIllegalChars(illegal, sizeof illegal, 1, 1);
    std::string_view illegalChars(illegal, n < sizeof illegal ? n : sizeof illegal);
    if (HasIllegalChar(item.folder, illegalChars) || HasIllegalChar(item.pattern, illegalChars))
        return EXCLUDE_ILLEGALCHAR;

    if (list->count + 1 >= list->capacity) {
        if (Slots(list->capacity + kGrowBy) != Slots(list->capacity)) {
            ExcludeItem *grown = AllocItems(list->capacity + kGrowBy);
            if (!grown) return EXCLUDE_NOMEMORY;
            std::memcpy(grown, list->items, SIZE_T(list->count) * sizeof(ExcludeItem));
            BlockFree(list->items);
            list->items = grown;
        }
        list->capacity += kGrowBy;
    }
    if (seen) seen->Insert(item);
    std::memcpy(&list->items[list->count++], &item, sizeof item);
    list->changed = 1;
    return EXCLUDE_OK;
}

} // namespace
} // namespace dada::exclude

extern "C" DWORD DADAAPI ExcludeDelete(EXCLUDEHANDLE handle, LPCSTR folder, LPCSTR pattern)
{
    List *list = FromHandle(handle);
    if (!list) return EXCLUDE_BADARG;
    ExcludeItem *item = FindItem(list, folder, pattern);
    if (!item) return EXCLUDE_BADARG;
    ExcludeItem *end = list->items + list->count;
    std::memmove(item, item + 1, SIZE_T(end - item - 1) * sizeof(ExcludeItem));
    --list->count;
    list->changed = 1;
    return EXCLUDE_OK;
}

extern "C" ExcludeItem *DADAAPI ExcludeFind(EXCLUDEHANDLE handle, LPCSTR folder, LPCSTR pattern)
{
    List *list = FromHandle(handle);
    return list ? FindItem(list, folder, pattern) : nullptr;
}
