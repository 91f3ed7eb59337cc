// FileTransferHandler: answers open, read and close requests of other
// machines.  Stateless: the server's file handle travels to the client and
// back, and each call uses only its request, its own reply block and the
// kernel file services.
#include "REMOTE/xfer_server.h"
#include "REMOTE/xfer_wire.h"
#include "dada/memblock.h"
#include "zoredo32.h"
#include <cstring>

namespace dada::xfer {

namespace {

DWORD Field(const BYTE *p, DWORD offset)
{
    DWORD v;
    std::memcpy(&v, p + offset, sizeof v);
    return v;
}

void Store(void *block, DWORD offset, DWORD value)
{
    std::memcpy(static_cast<BYTE *>(block) + offset, &value, sizeof value);
}

// Step 1: the request's shape.  XFER_DONE when it may be served.
DWORD Validate(const BYTE *req, DWORD length)
{
    if (!req || length < sizeof(Header)) return XFER_E_BAD_REQUEST;
    switch (Field(req, 0)) {
    case XFER_REQ_OPEN: {
        const DWORD nameLength = Field(req, 4);
        return nameLength != 0 && length - kOpenHeader == nameLength ? XFER_DONE : XFER_E_BAD_REQUEST;
    }
    case XFER_REQ_READ: {
        if (length != sizeof(ReadRequest)) return XFER_E_BAD_REQUEST;
        ReadRequest r;
        std::memcpy(&r, req, sizeof r);
        const bool ok = r.handle != kNoHandle && r.offset != kNoHandle && r.count >= 1 &&
                        r.count <= 0xFFFFFFFFu - sizeof(ReadReply);   // 16 + count must fit
        return ok ? XFER_DONE : XFER_E_BAD_REQUEST;
    }
    case XFER_REQ_CLOSE: {
        const DWORD handle = Field(req, 4);
        return length == sizeof(CloseRequest) && handle != 0 && handle != kNoHandle
                   ? XFER_DONE : XFER_E_BAD_REQUEST;
    }
    default:
        return XFER_E_BAD_REQUEST;
    }
}

// Step 2: the reply block of a valid request, left in the reply variables.
DWORD AllocateReply(const BYTE *req, void **reply, DWORD *replyLength)
{
    DWORD blockSize = 0, sent = 0;
    switch (Field(req, 0)) {
    case XFER_REQ_OPEN:  blockSize = kOpenReplyBlock; sent = sizeof(OpenReply); break;
    case XFER_REQ_READ: {
        const DWORD count = Field(req, 12);
        if (count > XFER_MAX_READ) return XFER_E_NO_REPLY_MEMORY;
        blockSize = sent = sizeof(ReadReply) + count;
        break;
    }
    default:             blockSize = sent = sizeof(CloseRequest); break;
    }
    *reply = BlockAlloc(blockSize, Block::Moveable);
    if (!*reply) return XFER_E_NO_REPLY_MEMORY;
    *replyLength = sent;
    return XFER_DONE;
}

DWORD ServeOpen(const BYTE *req, DWORD length, BYTE *reply)
{
    char *path = reinterpret_cast<char *>(reply + sizeof(OpenReply));
    if (!MapRemoteName(reinterpret_cast<const char *>(req + kOpenHeader), length - kOpenHeader, path) ||
        !InServedRoots(path))
        return XFER_E_BAD_NAME;
    const ZKFILE file = ZK_Open(path, ZK_OPEN_READ);
    Store(reply, 4, file);
    if (file == ZK_NOFILE) return XFER_E_OPEN;
    Store(reply, 8, ZK_Length(file));
    return XFER_DONE;
}

DWORD ServeRead(const BYTE *req, BYTE *reply)
{
    ReadRequest r;
    std::memcpy(&r, req, sizeof r);
    if (ZK_Seek(r.handle, r.offset, ZK_SEEK_BEGIN) == 0xFFFFFFFFu) {
        Store(reply, 8, r.offset);
        return XFER_E_SEEK;
    }
    BYTE *data = reply + sizeof(ReadReply);
    const DWORD got = ZK_Read(r.handle, data, r.count);
    if (got == 0 || got < r.count) {
        Store(reply, 8, r.offset);
        return XFER_E_READ;
    }
    ReadReply head{XFER_REQ_READ, r.handle, r.offset + got, XFER_CRC_SEED};
    CrcBuffer(data, got, &head.checksum);
    std::memcpy(reply, &head, sizeof head);
    return XFER_DONE;
}

DWORD ServeClose(const BYTE *req, BYTE *reply)
{
    ZK_Close(Field(req, 4));
    Store(reply, 4, 1);
    return XFER_DONE;
}

DWORD Serve(const BYTE *req, DWORD length, void **reply, DWORD *replyLength)
{
    DWORD status = Validate(req, length);
    if (status == XFER_DONE) status = AllocateReply(req, reply, replyLength);
    if (status != XFER_DONE) return status;

    const DWORD code = Field(req, 0);
    auto *out = static_cast<BYTE *>(*reply);
    Store(out, 0, code);
    switch (code) {
    case XFER_REQ_OPEN: return ServeOpen(req, length, out);
    case XFER_REQ_READ: return ServeRead(req, out);
    default:            return ServeClose(req, out);
    }
}

} // namespace

DWORD WINAPI FileTransferHandler(DWORD, const void *request, DWORD length, void **reply,
                                 DWORD *replyLength)
{
    if (!reply || !replyLength) return 0;
    *reply = nullptr;
    *replyLength = 0;
    const DWORD status = Serve(static_cast<const BYTE *>(request), length, reply, replyLength);
    if (status == XFER_DONE) return 1;

    // The error record takes the first 8 bytes of the reply already made,
    // which keeps its length; otherwise it is a reply of its own.
    if (!*reply) {
        *reply = BlockAlloc(sizeof(Header), Block::Moveable);
        if (!*reply) return 0;
        *replyLength = sizeof(Header);
    }
    const Header error{XFER_REPLY_ERROR, status};
    std::memcpy(*reply, &error, sizeof error);
    return 1;
}

} // namespace dada::xfer
