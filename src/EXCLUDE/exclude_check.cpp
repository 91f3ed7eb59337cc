// ExcludeCheck: does an item of an open list cover a path?  Folders are
// compared element by element, names with the library's one wildcard
// matcher (NameWildcardMatch's).  The path is taken apart once per check,
// not once per item.  Nothing here touches the heap: the check runs for
// every file a scan visits.  Reads the list only: any number of threads may
// check against one list that nobody changes meanwhile.
#include "EXCLUDE/exclude_list.h"
#include "NAME/dbcs.h"

#include <cstring>

namespace dada::exclude {

namespace {

// The backslash-separated elements of a folder, up to the first empty one.
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

// A folder's elements taken apart once, for the comparison with every item.
struct ElementList {
    static constexpr size_t kMax = kPathBuf / 2 + 1;   // "a\a\..." at most
    std::string_view at[kMax];
    size_t count = 0;
    void Take(std::string_view folder)
    {
        for (Elements e(folder); !e.Done() && count < kMax; e.Next()) at[count++] = e.Current();
    }
};

// The path under test taken apart once per check: its folder and name as
// the path split defines them (views into the path, or into `copy_` when
// the path must be cut to the longest; the name runs to the end, so it is
// terminated), and the folder's elements as they are and with its root
// taken off (for items without a drive), each made when an item first
// needs it.
class SplitPath {
public:
    explicit SplitPath(const char *path)
    {
        // The caller's path serves as it is unless it must be cut to the
        // longest path.
        size_t len = path ? BoundedLength(path, kPathBuf) : 0;
        const char *copy = path ? path : "";
        if (len > kPathMax) len = CopyPath(copy_, path), copy = copy_;
        const std::string_view text{copy, len};
        // The first '*', the first '?' and the last separator; character by
        // character only in a double-byte code page.
        size_t star = text.find('*'), question = text.find('?'), last = text.rfind('\\');
        if (dbcs::HasLeadBytes()) {
            star = question = last = std::string_view::npos;
            for (size_t i = 0; i < len; i += dbcs::CharLen(text, i)) {
                const char c = copy[i];
                if (c == '*' && star == std::string_view::npos) star = i;
                if (c == '?' && question == std::string_view::npos) question = i;
                if (c == '\\') last = i;
            }
        }
        const size_t wild = star != std::string_view::npos ? star : question;
        name_ = copy;
        if (wild == std::string_view::npos) {
            if (!std::memchr(copy, '\\', len)) return;
            // The file part and the folder cut at the last separator; a bare
            // drive keeps its backslash ("C:\\readme.txt" gives "C:\\").
            name_ = last != std::string_view::npos ? copy + last + 1 : copy + len;
            if (!*name_ && copy[0] == '\\' && len > 1) name_ = copy + 1;
            folder_ = last != std::string_view::npos ? text.substr(0, last) : text;
            if (folder_.size() == 2 && folder_[1] == ':') folder_ = text.substr(0, 3);
            return;
        }
        size_t at = wild + 1;   // one past the backslash sought, bytewise
        while (at > 0 && copy[at - 1] != '\\') --at;
        if (at == 0) return;
        --at;
        folder_ = text.substr(0, at <= 2 && copy[0] == '\\' ? 2 : at);
        name_ = copy + at + 1;
    }

    std::string_view Folder() const { return folder_; }
    const char *Name() const { return name_; }

    const ElementList &Elements(bool rootless)
    {
        ElementList &list = lists_[rootless];
        if (!made_[rootless]) {
            made_[rootless] = true;
            std::string_view f = folder_;
            if (rootless) {
                if (f.size() >= 2 && f[0] == '\\' && f[1] == '\\')
                    f.remove_prefix(2);
                else if (f.size() > 3 && f[1] == ':' && f[2] == '\\')
                    f.remove_prefix(3);
            }
            list.Take(f);
        }
        return list;
    }

private:
    char copy_[kPathBuf];
    std::string_view folder_;
    const char *name_;
    ElementList lists_[2];
    bool made_[2] = {false, false};
};

bool Covers(const ExcludeItem &item, SplitPath &path)
{
    std::string_view folder{item.folder, BoundedLength(item.folder, sizeof item.folder - 1)};
    const char *name = path.Name();
    const bool anyName = !item.pattern[0] || !*name;

    if (folder.empty() || path.Folder().empty()) return !anyName && WildcardMatch(item.pattern, name);

    // A drive-less item folder ("\\temp", "\\\\server\\share") stands for that
    // folder on any drive: both sides lose their root.
    const bool rootless = folder[0] == '\\';
    if (rootless) folder.remove_prefix(folder.size() > 1 && folder[1] == '\\' ? 2 : 1);

    // The item folder's elements are walked in place, each compared with
    // the path folder's element of the same rank; an empty element (a
    // doubled or trailing backslash, or the end) ends them.
    const ElementList &have = path.Elements(rootless);
    size_t at = 0, next = 0;
    bool wantDone = folder.empty() || folder[0] == '\\';
    if (have.count) {
        while (!wantDone) {
            const std::string_view mine = have.at[next];
            size_t k = 0;
            for (; at + k < folder.size() && folder[at + k] != '\\'; ++k)
                if (k >= mine.size() || AsciiLower(folder[at + k]) != AsciiLower(mine[k])) return false;
            if (k != mine.size()) return false;
            at += k + 1;   // past the backslash, or past the end
            wantDone = at >= folder.size() || folder[at] == '\\';
            if (++next == have.count) break;
        }
    }
    if (!wantDone) return false;                                   // outside the item's folder
    if (next < have.count && item.subfolders == 0) return false;   // in a subfolder
    return anyName || WildcardMatch(item.pattern, name);
}

} // namespace

} // namespace dada::exclude

using namespace dada::exclude;

extern "C" DWORD DADAAPI ExcludeCheck(EXCLUDEHANDLE handle, LPCSTR path, DWORD mask)
{
    const List *list = FromHandle(handle);
    if (!list || !path || !mask) return EXCLUDE_NOTCOVERED;

    SplitPath split(path);
    for (DWORD i = 0; i < list->count; ++i) {
        const ExcludeItem &item = list->items[i];
        if ((item.mask & mask) && Covers(item, split)) return EXCLUDE_COVERED;
    }
    return EXCLUDE_NOTCOVERED;
}
