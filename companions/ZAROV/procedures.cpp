#include "procedures.h"
#include "dada/ascii.h"
#include "dada/handle.h"
#include "dada/served_roots.h"
#include "dada/wildcard.h"

#include <algorithm>
#include <string>
#include "dada/process_object.h"
#include "dada/lock.h"

namespace zarov {

namespace {

constexpr DWORD kVolumeKinds[RPC_MAX_ARGS] = {RPC_ARG_INT, RPC_ARG_INT};
constexpr DWORD kDirectoryKinds[RPC_MAX_ARGS] = {RPC_ARG_COUNT, RPC_ARG_BYTES, RPC_ARG_COUNT,
                                                 RPC_ARG_BYTES, RPC_ARG_INT,   RPC_ARG_INT};

Answer Failed(DWORD status)
{
    Answer a;
    a.status = status;
    return a;
}

// The text of a zero-terminated byte argument; false without its zero.
bool Text(const Arg &a, std::string &out)
{
    auto zero = std::find(a.bytes.begin(), a.bytes.end(), BYTE{0});
    if (zero == a.bytes.end()) return false;
    out.assign(a.bytes.begin(), zero);
    return true;
}

void AddList(Answer &a, const NameList &list)
{
    std::vector<BYTE> bytes = list.finish();
    a.out.push_back(IntArg(RPC_ARG_COUNT, static_cast<DWORD>(bytes.size())));
    a.out.push_back({RPC_ARG_BYTES, std::move(bytes)});
}

// A search path in the share form that a browser composes for a named
// server, \\NAME\X$\REST, names this machine's X:\REST; any other path is
// taken as it stands.  False for a UNC path that names no drive share.
bool LocalSearchPath(std::string &path)
{
    if (path.size() < 2 || path[0] != '\\' || path[1] != '\\') return true;
    const size_t share = path.find('\\', 2);
    if (share == std::string::npos || share == 2 || path.size() < share + 3) return false;
    const char letter = path[share + 1];
    if (!dada::IsAsciiLetter(letter) || path[share + 2] != '$' || (path.size() > share + 3 && path[share + 3] != '\\'))
        return false;
    path = std::string{letter, ':'} + path.substr(share + 3);
    return true;
}

} // namespace

bool NameList::add(BYTE type, std::string_view name)
{
    size_t need = (type ? 1 : 0) + name.size() + 1;
    if (bytes_.size() + need + 1 > room_) return false;
    if (type) bytes_.push_back(type);
    bytes_.insert(bytes_.end(), name.begin(), name.end());
    bytes_.push_back(0);
    ++entries_;
    return true;
}

std::vector<BYTE> NameList::finish() const
{
    std::vector<BYTE> out = bytes_;
    out.push_back(0);
    if (entries_ == 0) out.push_back(0);
    return out;
}

Answer ReadVolumes(const std::vector<Arg> &in, DWORD room)
{
    if (!KindsMatch(in, kVolumeKinds) || room < 2) return Failed(RPC_E_BAD_ARGUMENTS);
    DWORD most = in[1].number();
    char roots[512] = {};
    DWORD n = GetLogicalDriveStringsA(sizeof roots - 1, roots);
    if (n == 0 || n >= sizeof roots) return Failed(RPC_E_SERVER);
    NameList list(std::min(room, kVolumesRoom));
    const dada::ServedRoots served = dada::ServedRoots::Read();
    for (const char *root = roots; *root && list.entries() < most; root += lstrlenA(root) + 1) {
        UINT type = GetDriveTypeA(root);
        if (type == DRIVE_UNKNOWN || type == DRIVE_NO_ROOT_DIR) continue;
        if (served.reach(root) == dada::RootReach::Outside) continue;   // holds no served root
        if (!list.add(0, root)) break;
    }
    Answer a;
    AddList(a, list);
    return a;
}

namespace {

// A folder read in batches keeps its search open between them, so that the
// next batch of the same folder, pattern and mode goes on where the last one
// stopped instead of walking the folder again from its start.
struct FolderSearch {
    std::string path, pattern;
    bool foldersOnly = false;
    DWORD index = 0;               // wanted entries before `entry`
    dada::UniqueFind handle;
    WIN32_FIND_DATAA entry{};      // the entry the search stands on
    ULONGLONG parked = 0;          // when it was left for the next batch
    dada::ServedRoots served;      // as read when the search began
    std::string towardRoots;       // a folder above the served roots: only the way to them is shown

    bool folder() const { return (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
    bool wanted() const
    {
        if (!towardRoots.empty() &&
            served.reach(dada::FullPath((towardRoots + entry.cFileName).c_str())) == dada::RootReach::Outside)
            return false;
        return folder() || (!foldersOnly && (pattern.empty() || dada::WildcardMatch(pattern.c_str(), entry.cFileName)));
    }
};

// The searches left open; shared by the server's threads (guarded).
class ParkedSearches {
public:
    static constexpr size_t kMost = 16;
    static constexpr ULONGLONG kKeepMs = 60000;

    // The search parked at `index` for this folder, pattern and mode.
    bool take(const FolderSearch &key, DWORD index, FolderSearch &out)
    {
        dada::Locked l(lock_);
        dropStale();
        auto it = std::find_if(parked_.begin(), parked_.end(), [&](const FolderSearch &s) {
            return s.index == index && s.foldersOnly == key.foldersOnly && s.path == key.path && s.pattern == key.pattern;
        });
        const bool found = it != parked_.end();
        if (found) {
            out = std::move(*it);
            parked_.erase(it);
        }
        return found;
    }
    void park(FolderSearch &&s)
    {
        s.parked = GetTickCount64();
        dada::Locked l(lock_);
        dropStale();
        if (parked_.size() == kMost) parked_.erase(parked_.begin());
        parked_.push_back(std::move(s));
    }

private:
    void dropStale()
    {
        const ULONGLONG now = GetTickCount64();
        std::erase_if(parked_, [&](const FolderSearch &s) { return now - s.parked > kKeepMs; });
    }
    dada::CriticalSection lock_;
    std::vector<FolderSearch> parked_;
};

ParkedSearches &Parked()
{
    return dada::ProcessObject<ParkedSearches>();
}

// With served roots, a search runs on its path made absolute, in a root or
// in a folder above one (whose listing then shows only the way to the
// roots); false for any other folder.
bool WithinServedRoots(FolderSearch &search)
{
    search.served = dada::ServedRoots::Read();
    if (!search.served.set()) return true;
    const std::string full = dada::FullPath(search.path.c_str());
    const size_t cut = full.rfind('\\');
    if (cut == std::string::npos) return false;
    const std::string folder = full.substr(0, cut + 1);
    const dada::RootReach reach = search.served.reach(dada::FullPath(folder.c_str()));
    if (reach == dada::RootReach::Outside) return false;
    search.path = full;
    if (reach == dada::RootReach::Toward) search.towardRoots = folder;
    return true;
}

} // namespace

Answer ReadDirectory(const std::vector<Arg> &in, DWORD room)
{
    FolderSearch search;
    if (!KindsMatch(in, kDirectoryKinds) || room < 2 || !Text(in[1], search.path) || search.path.empty() ||
        (in[2].number() != 0 && !Text(in[3], search.pattern)))
        return Failed(RPC_E_BAD_ARGUMENTS);
    if (!LocalSearchPath(search.path) || !WithinServedRoots(search)) return Failed(RPC_E_NOT_FOUND);
    const DWORD start = in[4].number();
    search.foldersOnly = in[5].number() == RPC_MODE_FOLDERS_ONLY;

    NameList list(std::min(room, kDirectoryRoom));
    DWORD next = RPC_CONTINUATION_DONE;
    bool more = false;
    if (start != RPC_CONTINUATION_DONE) {
        more = start != 0 && Parked().take(search, start, search);
        if (!more) {
            search.handle.reset(FindFirstFileA(search.path.c_str(), &search.entry));
            const DWORD e = GetLastError();
            if (!search.handle && e != ERROR_FILE_NOT_FOUND && e != ERROR_NO_MORE_FILES) return Failed(RPC_E_NOT_FOUND);
            more = static_cast<bool>(search.handle);
        }
    }
    // Entries are counted after the filter: the continuation is the index of
    // the first entry the next batch sends.
    for (; more; more = FindNextFileA(search.handle.get(), &search.entry) != FALSE) {
        if (!search.wanted()) continue;
        if (search.index >= start &&
            !list.add(static_cast<BYTE>(search.folder() ? RPC_ENTRY_FOLDER : RPC_ENTRY_FILE), search.entry.cFileName)) {
            if (list.entries() == 0) return Failed(RPC_E_SERVER);   // the room cannot hold one name
            next = search.index;
            Parked().park(std::move(search));
            break;
        }
        ++search.index;
    }
    Answer a;
    a.out.push_back(IntArg(RPC_ARG_INT, next));
    AddList(a, list);
    return a;
}

} // namespace zarov
