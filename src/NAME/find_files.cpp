// Walking a folder tree and handing every entry to the caller's procedure.
#include "dadada32.h"
#include "dada/memblock.h"
#include "NAME/dir_search.h"
#include "dada/kvattr.h"
#include "dada/limits.h"

#include <array>
#include <cstddef>
#include <cstring>

using namespace dada;

// The public names of the attribute bits and of the record's path fields.
static_assert(KVATTR_ARCHIVE == kKvArchive && KVATTR_DIRECTORY == kKvDirectory && KVATTR_HIDDEN == kKvHidden &&
              KVATTR_NORMAL == kKvNormal && KVATTR_READONLY == kKvReadOnly && KVATTR_SYSTEM == kKvSystem);
static_assert(sizeof(FindFileRecord::path) == kPathMax && sizeof(FindFileRecord::name) == kPathMax);

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(FindFileRecord) == 560);
static_assert(offsetof(FindFileRecord, path) == 4);
static_assert(offsetof(FindFileRecord, name) == 264);
static_assert(offsetof(FindFileRecord, userValue) == 524);
static_assert(offsetof(FindFileRecord, sizeLow) == 528);
static_assert(offsetof(FindFileRecord, attributes) == 532);
static_assert(offsetof(FindFileRecord, creationTime) == 536);
static_assert(offsetof(FindFileRecord, lastAccessTime) == 544);
static_assert(offsetof(FindFileRecord, lastWriteTime) == 552);
#endif

namespace {

constexpr DWORD kPathBufferSize = 512;   // the walk's path buffer
constexpr size_t kMaxDepth = 120;        // open searches, one per level
constexpr size_t kTooLong = kPathMax;    // a folder path this long is left

void SetRecordPath(FindFileRecord &rec, const char *path)
{
    std::memset(rec.path, 0, sizeof rec.path);
    std::memcpy(rec.path, path, strnlen(path, sizeof rec.path));
}

void DescribeEntry(FindFileRecord &rec, const WIN32_FIND_DATAA &entry, const char *path,
                   UINT_PTR value)
{
    std::memset(&rec, 0, sizeof rec);
    std::memcpy(rec.name, entry.cFileName, strnlen(entry.cFileName, sizeof rec.name - 1));
    rec.sizeLow = entry.nFileSizeLow;
    rec.creationTime = entry.ftCreationTime;
    rec.lastAccessTime = entry.ftLastAccessTime;
    rec.lastWriteTime = entry.ftLastWriteTime;
    rec.attributes = KvAttrFromWin32(entry.dwFileAttributes);
    rec.userValue = value;
    SetRecordPath(rec, path);
    if (std::strlen(path) >= kTooLong) rec.kind = FIND_KIND_TOO_LONG;
    else rec.kind = (rec.attributes & KVATTR_DIRECTORY) ? FIND_KIND_FOLDER : FIND_KIND_FILE;
}

bool IsDotEntry(const char *name)
{
    return !std::strcmp(name, ".") || !std::strcmp(name, "..");
}

// Extends the path buffer to the search pattern of subfolder `name`; a name
// that does not fit leaves the buffer as it was, and the folder is not entered.
bool EnterFolder(char *path, const char *name)
{
    size_t len = std::strlen(path);
    if (name[0] && NameAppendFile(path, kPathBufferSize, name) &&
        NameAppendFile(path, kPathBufferSize, "*.*"))
        return true;
    path[len] = '\0';
    return false;
}

} // namespace

extern "C" BOOL DADAAPI FindAllFiles(LPCSTR folder, DWORD recurse, FindAllFilesProc proc, UINT_PTR value)
{
    if (!folder || !proc) return FALSE;
    BlockPtr<char> buffer{static_cast<char *>(BlockAlloc(kPathBufferSize, Block::Fixed))};
    if (!buffer) return FALSE;
    char *path = buffer.get();
    std::memcpy(path, folder, strnlen(folder, kPathBufferSize - 1));
    if (!NameAppendFile(path, kPathBufferSize, "*.*")) return TRUE;   // cannot be searched

    std::array<DirSearch, kMaxDepth> searches;   // closes whatever is still open
    size_t depth = 0;
    bool firstSearch = true;
    FindFileRecord rec;
    WIN32_FIND_DATAA entry;

    // Leaves the current level: answers false when the walk is over.
    auto leaveLevel = [&](FindFileRecord &end) {
        searches[depth].Close();
        if (depth == 0) return false;
        --depth;
        NameStripFile(path);
        end.kind = FIND_KIND_FOLDER_END;
        SetRecordPath(end, path);
        return proc(&end) != 0;
    };

    for (;;) {
        bool found;
        if (firstSearch) {
            found = searches[depth].Open(path, entry);
            NameStripFile(path);
            firstSearch = false;
        } else {
            found = searches[depth].Next(entry);
        }

        if (!found) {
            std::memset(&rec, 0, sizeof rec);
            rec.userValue = value;
            if (!leaveLevel(rec)) break;
            continue;
        }
        if (IsDotEntry(entry.cFileName)) continue;

        DescribeEntry(rec, entry, path, value);
        if (rec.kind == FIND_KIND_TOO_LONG) {
            proc(&rec);
            if (!leaveLevel(rec)) break;
            continue;
        }
        if (!proc(&rec)) break;
        if (rec.kind == FIND_KIND_FOLDER && recurse == 1 && depth + 1 < kMaxDepth &&
            EnterFolder(path, entry.cFileName)) {
            ++depth;
            firstSearch = true;
        }
    }
    return TRUE;
}

extern "C" void DADAAPI SysAttrToKvAttr(DWORD win32Attributes, DWORD *kvAttributes)
{
    if (kvAttributes) *kvAttributes = KvAttrFromWin32(win32Attributes);
}
