// Building file-transfer requests in memory and reading replies, for the
// tests that call the server's handler directly.
#pragma once
#include <windows.h>
#include <cstring>
#include <string>
#include "dadada32.h"

namespace xfertest {

inline void Put(std::string &s, DWORD v) { s.append(reinterpret_cast<const char *>(&v), 4); }

inline std::string OpenRequest(const std::string &name)
{
    std::string r;
    Put(r, XFER_REQ_OPEN);
    Put(r, static_cast<DWORD>(name.size() + 1));
    r += name;
    r.push_back('\0');
    return r;
}

inline std::string Fields(std::initializer_list<DWORD> values)
{
    std::string r;
    for (DWORD v : values) Put(r, v);
    return r;
}

inline std::string ReadRequest(DWORD handle, DWORD offset, DWORD count)
{
    return Fields({XFER_REQ_READ, handle, offset, count});
}

inline DWORD At(const void *block, DWORD offset)
{
    DWORD v;
    std::memcpy(&v, static_cast<const BYTE *>(block) + offset, 4);
    return v;
}

// Releases a reply block the way the comm library does.
inline void FreeReply(void *p)
{
    if (!p) return;
    HGLOBAL h = GlobalHandle(p);
    GlobalUnlock(h);
    GlobalFree(h);
}

inline DWORD Crc(const void *data, DWORD count, DWORD seed = XFER_CRC_SEED)
{
    CrcBuffer(data, count, &seed);
    return seed;
}

} // namespace xfertest
