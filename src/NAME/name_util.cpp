// Small helpers shared by the path functions.
#include "NAME/name_internal.h"
#include "NAME/dbcs.h"

#include <cstring>

namespace dada {

size_t CopyPath(char *dst, const char *src)
{
    size_t n = src ? strnlen(src, kPathChars) : 0;
    std::memcpy(dst, src ? src : "", n);
    dst[n] = '\0';
    return n;
}

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    return true;
}

size_t FirstWildcard(std::string_view s)
{
    size_t star = dbcs::Find(s, '*');
    return star != std::string_view::npos ? star : dbcs::Find(s, '?');
}

} // namespace dada
