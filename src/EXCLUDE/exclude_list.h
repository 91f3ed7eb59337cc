// The exclusion list object behind an EXCLUDEHANDLE, and the helpers its
// modules share.
#pragma once
#include "dadada32.h"
#include "NAME/name_internal.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>

namespace dada::exclude {

constexpr DWORD kGrowBy = 10;
constexpr char kSection[] = "ExcludedItems";
constexpr char kCountKey[] = "NumExcludeItems";
constexpr char kItemKeyPrefix[] = "ExcludedItem_";

#pragma pack(push, 1)
struct List {
    DWORD              changed;      // 1 when the list differs from the storage
    DWORD              capacity;     // item slots in `items`
    DWORD              count;
    DWORD              storedCount;  // items the storage held at open
    ExcludeItem       *items;        // capacity slots, a block of its own
    UINT_PTR           context;      // handed back to the storage procedure
    ExcludeStorageProc proc;         // null: the profile file is the storage
    char               profile[kPathBuf];
};
#pragma pack(pop)

static_assert(sizeof(ExcludeItem::folder) == kPathBuf && sizeof(ExcludeItem::pattern) == kPathBuf);

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(ExcludeItem) == 530);
static_assert(offsetof(ExcludeItem, pattern) == 261);
static_assert(offsetof(ExcludeItem, mask) == 522);
static_assert(offsetof(ExcludeItem, subfolders) == 526);
static_assert(sizeof(List) == 289);
static_assert(offsetof(List, items) == 16);
static_assert(offsetof(List, context) == 20);
static_assert(offsetof(List, proc) == 24);
static_assert(offsetof(List, profile) == 28);
static_assert(sizeof(ExcludeStorageHook) == 8);
#endif

inline List *FromHandle(EXCLUDEHANDLE h) { return static_cast<List *>(h); }

// A zero-terminated field of at most `cap` - 1 characters, never read past
// its buffer even when the caller left it unterminated.
template <size_t N> std::string_view Field(const char (&f)[N])
{
    size_t n = 0;
    while (n < N - 1 && f[n]) ++n;
    return {f, n};
}

// Decimal text as the profile holds it: leading blanks and a sign allowed,
// stops at the first non-digit, empty gives 0.  Wraps like a 32-bit value.
DWORD ParseDecimal(const char *text);

// Profile road, reading: the section is read once at open and its values
// looked up by key (without letter case), each as a single profile read
// would give it.  A read parses over whatever `item` holds (the load clears
// its one buffer once, before the first read).
class ProfileSection {
public:
    explicit ProfileSection(const char *profile);
    DWORD Count() const;
    bool ReadItem(DWORD index, ExcludeItem *item) const;

private:
    static constexpr size_t kMaxSectionBytes = size_t(1) << 28;
    static std::string Value(std::string_view v);
    const char *Find(const char *key) const;
    std::unordered_map<std::string, std::string> values_;   // lower-case key
};

// Profile road, writing: one stored value at a time.
bool ProfileWriteItem(const List *list, DWORD index, const ExcludeItem *item);
void ProfileDeleteItem(const List *list, DWORD index);
void ProfileWriteCount(const List *list, DWORD count);

// Parses "folder|pattern|mask|subfolders" into `item` (fields the value
// lacks keep their content); false for a malformed value.
bool ParseItemValue(const char *value, ExcludeItem *item);

} // namespace dada::exclude
