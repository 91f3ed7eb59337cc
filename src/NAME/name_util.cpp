// Small helpers shared by the path functions.
#include "NAME/name_internal.h"
#include "NAME/dbcs.h"

#include <cstring>

namespace dada {

size_t CopyPath(char *dst, const char *src)
{
    size_t n = src ? strnlen(src, kPathMax) : 0;
    std::memcpy(dst, src ? src : "", n);
    dst[n] = '\0';
    return n;
}

size_t FirstWildcard(std::string_view s)
{
    size_t star = dbcs::Find(s, '*');
    return star != std::string_view::npos ? star : dbcs::Find(s, '?');
}

} // namespace dada
