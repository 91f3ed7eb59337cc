// Double-byte aware walking of ANSI paths.
//
// The library's multibyte code page is the system's ANSI code page.  A lead
// byte starts a two-byte character whose trail byte may be any value,
// including 0x5C, so a backslash is a separator only when it is not the
// second half of such a character.  Every path function that must not split
// a double-byte character walks strings through these helpers.
#pragma once
#include <windows.h>
#include <string_view>

namespace dada::dbcs {

// The ANSI code page is fixed for the life of a process, so its lead bytes
// are asked for once (the first use, thread-safe) and then looked up: the
// path functions test every byte they walk.
struct LeadBytes {
    bool lead[256];
    bool any = false;      // false: a single-byte code page
    LeadBytes()
    {
        for (int b = 0; b < 256; ++b) any |= lead[b] = IsDBCSLeadByte(static_cast<BYTE>(b)) != FALSE;
    }
};
inline const LeadBytes &Leads()
{
    static const LeadBytes table;
    return table;
}
inline bool IsLead(char c) { return Leads().lead[static_cast<BYTE>(c)]; }
// True when the code page has double-byte characters at all.
inline bool HasLeadBytes() { return Leads().any; }

// Bytes taken by the character that starts at s[i]: 2 for a lead byte with a
// trail byte inside the string, else 1.
inline size_t CharLen(std::string_view s, size_t i)
{
    return (IsLead(s[i]) && i + 1 < s.size()) ? 2 : 1;
}

// A backslash at s[i] that is not preceded by a lead byte.
inline bool IsSeparatorAt(std::string_view s, size_t i)
{
    return s[i] == '\\' && (i == 0 || !IsLead(s[i - 1]));
}

// First / last single-byte character `c`, walking character by character
// from the start (trail bytes are never matched).  npos when absent.
inline size_t Find(std::string_view s, char c)
{
    for (size_t i = 0; i < s.size(); i += CharLen(s, i))
        if (s[i] == c) return i;
    return std::string_view::npos;
}

inline size_t FindLast(std::string_view s, char c)
{
    size_t found = std::string_view::npos;
    for (size_t i = 0; i < s.size(); i += CharLen(s, i))
        if (s[i] == c) found = i;
    return found;
}

} // namespace dada::dbcs
