// The bounded copy the exports use to hand text back: at most `size` bytes,
// stopping at the source's end or its first zero byte, the rest of the
// `size` bytes filled with zeros.  A source of `size` bytes or more leaves
// the destination unterminated.
#pragma once
#include <windows.h>
#include <cstring>
#include <string_view>

namespace dada {

inline void BoundedCopy(LPSTR dest, DWORD size, std::string_view src)
{
    if (!dest) return;
    size_t n = src.size() < size ? src.size() : size;
    if (n) {
        const void *zero = std::memchr(src.data(), 0, n);
        if (zero) n = static_cast<size_t>(static_cast<const char *>(zero) - src.data());
        std::memcpy(dest, src.data(), n);
    }
    std::memset(dest + n, 0, size - n);
}

} // namespace dada
