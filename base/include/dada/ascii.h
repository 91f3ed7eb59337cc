// ASCII-only case handling: letters outside A-Z/a-z (and every byte of a
// double-byte character) compare as they are, whatever the code page.
#pragma once
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

static_assert(AsciiLower('Q') == 'q' && AsciiLower('[') == '[' && AsciiUpper('z') == 'Z');
static_assert(EqualsNoCase("Con", "cON") && !EqualsNoCase("a", "ab"));

} // namespace dada
