#include "procedures.h"
#include "dada/handle.h"
#include "dada/wildcard.h"

#include <algorithm>
#include <string>

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
    for (const char *root = roots; *root && list.entries() < most; root += lstrlenA(root) + 1) {
        UINT type = GetDriveTypeA(root);
        if (type == DRIVE_UNKNOWN || type == DRIVE_NO_ROOT_DIR) continue;
        if (!list.add(0, root)) break;
    }
    Answer a;
    AddList(a, list);
    return a;
}

Answer ReadDirectory(const std::vector<Arg> &in, DWORD room)
{
    std::string path, pattern;
    if (!KindsMatch(in, kDirectoryKinds) || room < 2 || !Text(in[1], path) || path.empty() ||
        (in[2].number() != 0 && !Text(in[3], pattern)))
        return Failed(RPC_E_BAD_ARGUMENTS);
    DWORD start = in[4].number();
    bool foldersOnly = in[5].number() == RPC_MODE_FOLDERS_ONLY;

    NameList list(std::min(room, kDirectoryRoom));
    DWORD next = RPC_CONTINUATION_DONE;
    if (start != RPC_CONTINUATION_DONE) {
        WIN32_FIND_DATAA fd;
        dada::UniqueFind search{FindFirstFileA(path.c_str(), &fd)};
        if (!search) {
            DWORD e = GetLastError();
            if (e != ERROR_FILE_NOT_FOUND && e != ERROR_NO_MORE_FILES) return Failed(RPC_E_NOT_FOUND);
        } else {
            // Entries are counted after the filter: the continuation is the
            // index of the first entry the next batch sends.
            DWORD index = 0;
            do {
                bool folder = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
                bool wanted = folder || (!foldersOnly && (pattern.empty() || dada::WildcardMatch(pattern.c_str(), fd.cFileName)));
                if (!wanted) continue;
                if (index >= start &&
                    !list.add(static_cast<BYTE>(folder ? RPC_ENTRY_FOLDER : RPC_ENTRY_FILE), fd.cFileName)) {
                    if (list.entries() == 0) return Failed(RPC_E_SERVER);   // the room cannot hold one name
                    next = index;
                    break;
                }
                ++index;
            } while (FindNextFileA(search.get(), &fd));
        }
    }
    Answer a;
    a.out.push_back(IntArg(RPC_ARG_INT, next));
    AddList(a, list);
    return a;
}

} // namespace zarov
