// File-transfer requests built in memory and the handler's replies, for the
// tests that call the server's handler directly.
#pragma once
#include <windows.h>
#include <cstring>
#include <string>
#include "REMOTE/xfer_server.h"
#include "dadada32.h"
#include "machine.h"

namespace xfertest {

inline std::string Fields(std::initializer_list<DWORD> values)
{
    std::string r;
    for (DWORD v : values) r.append(reinterpret_cast<const char *>(&v), 4);
    return r;
}
inline std::string OpenRequest(const std::string &name)
{
    return Fields({XFER_REQ_OPEN, DWORD(name.size() + 1)}) + name + '\0';
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
inline DWORD Crc(const void *data, DWORD count, DWORD seed = XFER_CRC_SEED)
{
    CrcBuffer(data, count, &seed);
    return seed;
}

// The handler's answer to one request.
struct Reply : dadatest::ReplyBlock {
    DWORD result;
    explicit Reply(const std::string &request)
    {
        p = reinterpret_cast<void *>(1);   // the handler must not trust what it finds there
        result = dada::xfer::FileTransferHandler(0, request.data(), DWORD(request.size()), &p, &length);
        if (!result) p = nullptr;
    }
    DWORD field(DWORD offset) const { return At(p, offset); }
};

} // namespace xfertest
