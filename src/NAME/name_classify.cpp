// Classifying paths and validating scan items.
#include "dadada32.h"
#include "NAME/dbcs.h"
#include "NAME/name_internal.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>
#include <utility>

using namespace dada;

namespace {

// Characters never allowed in a scan item, as inclusive ranges in order.
constexpr std::array<std::pair<char, char>, 9> kIllegalRanges{{
    {0x01, 0x1F}, {'"', '"'}, {'*', '*'}, {'/', '/'}, {':', ':'},
    {'<', '<'}, {'>', '?'}, {'\\', '\\'}, {'|', '|'},
}};

constexpr size_t kIllegalCount = [] {
    size_t n = 0;
    for (auto [lo, hi] : kIllegalRanges) n += size_t(hi - lo + 1);
    return n;
}();
static_assert(kIllegalCount == 40);

// Removes the first `c` from the zero-terminated list; true when found.
bool RemoveChar(char *list, char c)
{
    char *at = std::strchr(list, c);
    if (!at) return false;
    std::memmove(at, at + 1, std::strlen(at + 1) + 1);
    return true;
}

// Root form of a work text: rooted (drive letter or UNC), and whether that
// root form is well made.
struct Root {
    bool rooted;
    bool valid;
};

Root CheckRoot(std::string_view w)
{
    if (HasDriveLetter(w))
        return {true, w.find(':', 2) == std::string_view::npos};
    if (IsUNCPath(w)) {
        for (size_t i = 1; i + 1 < w.size(); ++i)
            if (w[i] == '\\' && w[i + 1] == '\\' && !dbcs::IsLead(w[i - 1])) return {true, false};
        return {true, true};
    }
    return {false, true};
}

// With wildcards allowed, they may only occur in the last element.
bool WildcardsOnlyInName(std::string_view w, size_t wildcard)
{
    for (size_t i = wildcard; i >= 1; --i) {
        if (!dbcs::IsSeparatorAt(w, i)) continue;
        std::string_view head = w.substr(1, i);
        return head.find_first_of("*?") == std::string_view::npos;
    }
    return true;
}

} // namespace

extern "C" BOOL DADAAPI NameIsUNCPath(LPCSTR path)
{
    return path && IsUNCPath({path, strnlen(path, 3)});
}

extern "C" BOOL DADAAPI NameIsDirectory(LPCSTR path)
{
    if (!path) return FALSE;
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

extern "C" BOOL DADAAPI NameIsTargetFile(LPCSTR item)
{
    if (!item || !item[0]) return FALSE;
    return item[0] == '<' && item[std::strlen(item) - 1] == '>';
}

extern "C" DWORD DADAAPI NameReturnIllegalChars(LPSTR out, DWORD size, DWORD rootFlag, DWORD wildcardFlag)
{
    if (!out || size == 0) return 0;
    std::memset(out, 0, size);

    std::array<char, kIllegalCount + 1> list{};
    size_t n = 0;
    for (auto [lo, hi] : kIllegalRanges)
        for (int c = lo; c <= hi; ++c) list[n++] = char(c);
    if (rootFlag == 1) {
        RemoveChar(list.data(), ':');
        RemoveChar(list.data(), '\\');
    }
    if (wildcardFlag == 1) {
        RemoveChar(list.data(), '*');
        RemoveChar(list.data(), '?');
    }
    // A buffer too small for the whole list gets as much as fits with its
    // terminator.
    size_t count = std::min<size_t>(std::strlen(list.data()), size - 1);
    std::memcpy(out, list.data(), count);
    return DWORD(count);
}

extern "C" BOOL DADAAPI NameValidateItem(LPCSTR item, DWORD flags)
{
    if (!item || !item[0]) return FALSE;
    std::string_view w{item};
    if (NameIsTargetFile(item)) {
        if (!(flags & NAME_VALIDATE_TARGETS)) return FALSE;
        w = w.substr(1, w.size() - 2);
    }

    Root root = CheckRoot(w);
    if (!root.valid) return FALSE;

    char illegal[kPathMax];
    DWORD count = NameReturnIllegalChars(illegal, sizeof illegal, root.rooted ? 1 : 0, 1);
    for (DWORD i = count; i-- > 0;)
        if (w.find(illegal[i]) != std::string_view::npos) return FALSE;

    size_t wildcard = FirstWildcard(w);
    if (wildcard == std::string_view::npos) return TRUE;
    if (!(flags & NAME_VALIDATE_WILDCARDS)) return FALSE;
    return WildcardsOnlyInName(w, wildcard);
}

namespace dada {

BOOL NameReturnUNCServer(LPCSTR path, DWORD size, LPSTR out)
{
    if (!path || path[0] != '\\' || path[1] != '\\' || !out || size == 0) return FALSE;
    const char *server = path + 2;
    DWORD n = 0;
    while (n < size && server[n] && server[n] != '\\') {
        out[n] = server[n];
        ++n;
    }
    if (n < size) {
        out[n] = '\0';
        return TRUE;
    }
    out[0] = '\0';
    return FALSE;
}

LPCSTR NameReturnUNCShare(LPCSTR path)
{
    if (!NameIsUNCPath(path) || std::strchr("/\\*?:", path[2])) return nullptr;
    for (const char *p = path + 2; *p; ++p)
        if (*p == '/' || *p == '\\') return p + 1;
    return nullptr;
}

} // namespace dada
