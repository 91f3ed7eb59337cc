// mprintf: fills the numbered placeholders ^N%c, ^N%d and ^N%s of a message.
#include "dadada32.h"

#include <cstring>

namespace {

// Appends text to the output; a null output only counts.
struct Output {
    LPSTR dest;
    DWORD length = 0;

    void put(const char *s, size_t n)
    {
        if (dest) std::memcpy(dest + length, s, n);
        length += static_cast<DWORD>(n);
    }
    void put(char c) { put(&c, 1); }
};

void Expand(Output &out, char type, UINT_PTR arg)
{
    switch (type) {
    case 'c':
        out.put(static_cast<char>(arg & 0xFF));
        break;
    case 'd': {
        char digits[16];
        LONG value = static_cast<LONG>(static_cast<DWORD>(arg));
        DWORD magnitude = value < 0 ? 0u - static_cast<DWORD>(value) : static_cast<DWORD>(value);
        int n = 0;
        do digits[n++] = static_cast<char>('0' + magnitude % 10); while (magnitude /= 10);
        if (value < 0) digits[n++] = '-';
        while (n) out.put(digits[--n]);
        break;
    }
    case 's':
        if (const char *s = reinterpret_cast<const char *>(arg)) out.put(s, std::strlen(s));
        break;
    default:
        break;   // an unknown type drops the whole placeholder
    }
}

} // namespace

extern "C" DWORD DADAAPI mprintf(LPSTR dest, LPCSTR format, const UINT_PTR *args)
{
    Output out{dest};
    const char *p = format ? format : "";
    while (*p) {
        // A caret starts a placeholder only when a percent sign sits two
        // places after it.
        if (p[0] != '^' || !p[1] || p[2] != '%') {
            out.put(*p++);
            continue;
        }
        char digit = p[1], type = p[3];
        // Only digits 1 to 9 name an argument; another character drops the
        // placeholder rather than read outside the caller's array.
        if (digit >= '1' && digit <= '9' && args) Expand(out, type, args[digit - '1']);
        if (!type) break;   // the format ends inside the placeholder
        p += 4;
    }
    if (dest) dest[out.length] = 0;
    return out.length;
}
