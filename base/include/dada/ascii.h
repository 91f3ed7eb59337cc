// ASCII-only case handling: letters outside A-Z/a-z (and every byte of a
// double-byte character) compare as they are, whatever the code page; and
// the bounded length of a text.
#pragma once
#include <cstddef>
#include <string_view>

namespace dada {

constexpr bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
constexpr char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }
constexpr char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }

constexpr bool EqualsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    return true;
}

// The length of a text that runs to its zero or to `most` bytes, whichever
// comes first (strnlen's answer).  Inline: the C runtime's strnlen is a
// call into another DLL, byte by byte under wine, which costs more than the
// short texts a check walks.
constexpr size_t BoundedLength(const char *text, size_t most)
{
    size_t n = 0;
    while (n < most && text[n]) ++n;
    return n;
}

static_assert(AsciiLower('Q') == 'q' && AsciiLower('[') == '[' && AsciiUpper('z') == 'Z');
static_assert(EqualsNoCase("Con", "cON") && !EqualsNoCase("a", "ab"));
static_assert(BoundedLength("abc", 8) == 3 && BoundedLength("abc", 2) == 2);

} // namespace dada
