// Matching names against pattern lists, and splitting a scan item into the
// folder to search and the pattern to search it for.
#include "dadada32.h"
#include "NAME/dbcs.h"
#include "NAME/name_internal.h"

#include <cstring>
#include <string_view>

using namespace dada;

extern "C" BOOL WINAPI NameWildcardMatch(LPCSTR patterns, LPCSTR name)
{
    return WildcardMatch(patterns, name) ? TRUE : FALSE;
}

extern "C" void WINAPI NameSeparatePath(LPCSTR item, LPSTR folder, LPSTR pattern)
{
    if (!folder || !pattern) return;
    folder[0] = pattern[0] = '\0';
    char copy[kPathBuf];
    size_t len = CopyPath(copy, item);

    if (char *wild = NameHasWildcards(copy)) {
        ptrdiff_t at = wild - copy;
        while (at >= 0 && copy[at] != '\\') --at;
        if (at < 0) {
            std::strcpy(pattern, copy);
        } else if (at <= 2 && copy[0] == '\\') {
            std::strcpy(folder, "\\");
            std::strcpy(pattern, copy + at + 1);
        } else {
            copy[at] = '\0';
            std::strcpy(folder, copy);
            std::strcpy(pattern, copy + at + 1);
        }
        return;
    }

    if (NameIsDirectory(copy)) {
        std::strcpy(folder, copy);
    } else if (dbcs::Find({copy, len}, '\\') == std::string_view::npos) {
        std::strcpy(pattern, copy);
    } else {
        NameReturnFile(copy, pattern);
        NameStripFile(copy);
        std::strcpy(folder, copy);
        if (std::strlen(folder) == 2 && folder[1] == ':') std::strcat(folder, "\\");
    }
}
