// The product's one file-name matcher: a list of patterns separated by ';',
// '?' takes one character, '*' runs to the next dot of the name (and of the
// pattern), letters compare without ASCII case.  One pass, no copying.
// NameWildcardMatch exports it; the RPC server's folder listings use it too,
// so a folder read remotely filters exactly as one read locally.
#pragma once
#include "dada/ascii.h"

namespace dada {

namespace wildcard_detail {
constexpr const char *SkipTo(const char *p, char stop)
{
    while (*p && *p != stop) ++p;
    return p;
}
} // namespace wildcard_detail

constexpr bool WildcardMatch(const char *patterns, const char *name)
{
    using wildcard_detail::SkipTo;
    if (!patterns || !name) return false;
    const char *p = patterns, *n = name;
    for (;;) {
        if (!*n && *p && *p != ';') {   // the name ran out inside a pattern
            p = SkipTo(p, ';');
            n = name;
        }
        switch (*p) {
        case '\0':
            return !*n;
        case ';':
            if (!*n) return true;
            n = name;
            ++p;
            break;
        case '?':
            ++p;
            ++n;
            break;
        case '*':
            p = SkipTo(p, '.');
            n = SkipTo(n, '.');
            break;
        default:
            if (AsciiLower(*p) == AsciiLower(*n)) {
                ++p;
                ++n;
            } else {
                p = SkipTo(p, ';');
            }
            break;
        }
    }
}

} // namespace dada
