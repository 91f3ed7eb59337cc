// Matching names against pattern lists, and splitting a scan item into the
// folder to search and the pattern to search it for.
#include "dadada32.h"
#include "NAME/dbcs.h"
#include "NAME/name_internal.h"

#include <cstring>
#include <string_view>

using namespace dada;

extern "C" BOOL DADAAPI NameWildcardMatch(LPCSTR patterns, LPCSTR name)
{
    return WildcardMatch(patterns, name) ? TRUE : FALSE;
}

extern "C" void DADAAPI NameSeparatePath(LPCSTR item, LPSTR folder, LPSTR pattern)
{
    if (!folder || !pattern) return;
    folder[0] = pattern[0] = '\0';
    char copy[kPathBuf];
    CopyPath(copy, item);
    if (!NameHasWildcards(copy) && NameIsDirectory(copy)) {
        std::strcpy(folder, copy);
        return;
    }
    SplitFolderAndName(copy, folder, pattern, 1);   // a root folder is "\"
}

namespace dada {

size_t SeparatorBeforeWildcard(std::string_view path, bool &wildcard)
{
    size_t at = FirstWildcard(path);
    wildcard = at != std::string_view::npos;
    if (!wildcard) return at;
    for (++at; at-- > 0;)
        if (path[at] == '\\') return at;
    return std::string_view::npos;
}

void SplitFolderAndName(const char *copy, char *folder, char *name, size_t rootFolder)
{
    const std::string_view path{copy};
    folder[0] = name[0] = '\0';
    bool wildcard;
    const size_t at = SeparatorBeforeWildcard(path, wildcard);
    if (wildcard) {
        if (at == std::string_view::npos) {
            std::strcpy(name, copy);
            return;
        }
        const size_t keep = at <= 2 && copy[0] == '\\' ? rootFolder : at;
        std::memcpy(folder, copy, keep);
        folder[keep] = '\0';
        std::strcpy(name, copy + at + 1);
        return;
    }
    if (dbcs::Find(path, '\\') == std::string_view::npos) {
        std::strcpy(name, copy);
        return;
    }
    NameReturnFile(copy, name);
    std::strcpy(folder, copy);
    NameStripFile(folder);
    if (std::strlen(folder) == 2 && folder[1] == ':') std::strcat(folder, "\\");
}

} // namespace dada
