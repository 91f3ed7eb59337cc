// The file-transfer records as they travel: 32-bit little-endian fields,
// packed, the same size on every architecture.
#pragma once
#include "dadada32.h"
#include "dada/limits.h"
#include <cstddef>
#include <cstring>

namespace dada::xfer {

#pragma pack(push, 1)
struct Header {           // first two fields of every request and reply
    DWORD code;
    DWORD value;          // open: name length; read/close: handle; error: status
};
struct OpenReply {
    DWORD code;
    DWORD handle;
    DWORD size;
};
struct ReadRequest {
    DWORD code;
    DWORD handle;
    DWORD offset;
    DWORD count;
};
struct ReadReply {        // followed by `count` data bytes
    DWORD code;
    DWORD handle;
    DWORD nextOffset;
    DWORD checksum;
};
struct CloseRequest {
    DWORD code;
    DWORD handle;
};
#pragma pack(pop)

static_assert(sizeof(Header) == 8 && sizeof(CloseRequest) == 8);
static_assert(sizeof(OpenReply) == 12);
static_assert(sizeof(ReadRequest) == 16 && sizeof(ReadReply) == 16);
static_assert(offsetof(ReadReply, checksum) == 12);

// A record copied out of, or into, wire bytes of any alignment.  The caller
// has checked that the bytes are there.
template <class R> R Load(const void *bytes)
{
    R r;
    std::memcpy(&r, bytes, sizeof r);
    return r;
}
template <class R> void Put(void *bytes, const R &r) { std::memcpy(bytes, &r, sizeof r); }

constexpr DWORD kOpenHeader = sizeof(Header);   // code + name length, then the name
constexpr DWORD kPathArea = kPathBuf;    // the local path built by the server
constexpr DWORD kOpenReplyBlock = sizeof(OpenReply) + kPathArea;   // 273
static_assert(kOpenReplyBlock == 273);
constexpr DWORD kNoHandle = 0xFFFFFFFFu;

} // namespace dada::xfer
