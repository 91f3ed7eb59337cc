// ExcludeCheck: does an item of an open list cover a path?  Folders are
// compared element by element, names with NameWildcardMatch.  Nothing here
// touches the heap: the check runs for every file a scan visits.
#include "EXCLUDE/exclude_list.h"

#include <cstring>

namespace dada::exclude {

namespace {

// The path under test taken apart once per check.
struct SplitPath {
    char folder[kPathBuf];
    char name[kPathBuf];
};

void CopyPrefix(char *out, const char *text, size_t len)
{
    std::memcpy(out, text, len);
    out[len] = 0;
}

void Split(const char *path, SplitPath &out)
{
    char copy[kPathBuf] = {};
    CopyPath(copy, path);

    const char *wild = NameHasWildcards(copy);
    if (!wild) {
        if (!std::strchr(copy, '\\')) {
            std::strcpy(out.name, copy);
            return;
        }
        NameReturnFile(copy, out.name);
        std::strcpy(out.folder, copy);
        NameStripFile(out.folder);
        if (std::strlen(out.folder) == 2 && out.folder[1] == ':') std::strcpy(out.folder + 2, "\\");
        return;
    }

    size_t at = size_t(wild - copy) + 1;   // one past the backslash sought
    while (at > 0 && copy[at - 1] != '\\') --at;
    if (at == 0) {
        std::strcpy(out.name, copy);
        return;
    }
    --at;
    CopyPrefix(out.folder, copy, at <= 2 && copy[0] == '\\' ? 2 : at);
    std::strcpy(out.name, copy + at + 1);
}

// The backslash-separated elements of a folder; an empty element ends them.
class Elements {
public:
    explicit Elements(std::string_view folder) : rest_(folder) { Next(); }
    bool Done() const { return current_.empty(); }
    std::string_view Current() const { return current_; }
    void Next()
    {
        size_t sep = rest_.find('\\');
        current_ = rest_.substr(0, sep);
        rest_ = sep == std::string_view::npos ? std::string_view{} : rest_.substr(sep + 1);
    }
private:
    std::string_view rest_, current_;
};

bool Matches(const char *patterns, const char *name)
{
    return NameWildcardMatch(patterns, name) != 0;
}

bool Covers(const ExcludeItem &item, const SplitPath &path)
{
    std::string_view folder = Field(item.folder), pathFolder = path.folder;
    const bool anyName = !item.pattern[0] || !path.name[0];

    if (folder.empty() || pathFolder.empty())
        return !anyName && Matches(item.pattern, path.name);

    // A drive-less item folder ("\temp", "\\server\share") stands for that
    // folder on any drive: both sides lose their root.
    if (folder[0] == '\\') {
        folder.remove_prefix(folder.size() > 1 && folder[1] == '\\' ? 2 : 1);
        if (pathFolder.size() >= 2 && pathFolder[0] == '\\' && pathFolder[1] == '\\')
            pathFolder.remove_prefix(2);
        else if (pathFolder.size() > 3 && pathFolder[1] == ':' && pathFolder[2] == '\\')
            pathFolder.remove_prefix(3);
    }

    Elements want(folder), have(pathFolder);
    if (!have.Done()) {
        while (!want.Done()) {
            if (!EqualsNoCase(want.Current(), have.Current())) return false;
            want.Next();
            have.Next();
            if (have.Done()) break;
        }
    }
    if (!want.Done()) return false;                      // outside the item's folder
    if (!have.Done() && item.subfolders == 0) return false;  // in a subfolder
    return anyName || Matches(item.pattern, path.name);
}

} // namespace

} // namespace dada::exclude

using namespace dada::exclude;

extern "C" DWORD WINAPI ExcludeCheck(EXCLUDEHANDLE handle, LPCSTR path, DWORD mask)
{
    const List *list = FromHandle(handle);
    if (!list || !path || !mask) return EXCLUDE_NOTCOVERED;

    SplitPath split{};
    Split(path, split);
    for (DWORD i = 0; i < list->count; ++i) {
        const ExcludeItem &item = list->items[i];
        if ((item.mask & mask) && Covers(item, split)) return EXCLUDE_COVERED;
    }
    return EXCLUDE_NOTCOVERED;
}
