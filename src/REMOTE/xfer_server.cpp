// FileTransferHandler: answers open, read and close requests of other
// machines.  Stateless: the server's file handle travels to the client and
// back, and each call uses only its request, its own reply block and the
// kernel file services.  The one thing it remembers is which files it opened
// for peers (PeerFiles), so that files a peer never closes do not pile up.
#include "REMOTE/xfer_server.h"
#include "REMOTE/xfer_wire.h"
#include "dada/memblock.h"
#include "dada/lock.h"
#include "dada/process_object.h"
#include "dada/served_roots.h"
#include "zoredo32.h"

#include <unordered_map>

namespace dada::xfer {

namespace {

// Files opened for peers.  A peer that opens files and never closes them
// would hold the kernel library's table until the process ends: a file that
// no request has named for kPeerFileIdleMs is closed at the next open, and
// past kMostPeerFiles the file named longest ago makes room.  An exchange
// that opens, reads and closes never notices.  Shared by the comm library's
// threads (guarded); closing a file another thread is reading is safe, the
// kernel library retires it after that read.
constexpr ULONGLONG kPeerFileIdleMs = 10 * 60 * 1000;
constexpr size_t kMostPeerFiles = 4096;

class PeerFiles {
public:
    void opened(DWORD handle)
    {
        const ULONGLONG now = GetTickCount64();
        Locked l(lock_);
        auto oldest = named_.end();
        for (auto it = named_.begin(); it != named_.end();) {
            if (now - it->second.when > kPeerFileIdleMs) {
                ZK_Close(it->first);
                it = named_.erase(it);
                continue;
            }
            if (oldest == named_.end() || it->second.order < oldest->second.order) oldest = it;
            ++it;
        }
        if (named_.size() >= kMostPeerFiles) {
            ZK_Close(oldest->first);
            named_.erase(oldest);
        }
        named_[handle] = {now, ++uses_};
    }
    void named(DWORD handle)
    {
        Locked l(lock_);
        if (auto it = named_.find(handle); it != named_.end()) it->second = {GetTickCount64(), ++uses_};
    }
    void closed(DWORD handle)
    {
        Locked l(lock_);
        named_.erase(handle);
    }

private:
    struct LastNamed {
        ULONGLONG when;    // tick count
        ULONGLONG order;   // among all namings: ticks are too coarse to tell the oldest
    };
    CriticalSection lock_;
    std::unordered_map<DWORD, LastNamed> named_;   // handle -> when a request last named it
    ULONGLONG uses_ = 0;
};

PeerFiles &Opened() { return ProcessObject<PeerFiles>(); }

// Step 1: the request's shape.  XFER_DONE when it may be served.
DWORD Validate(const BYTE *req, DWORD length)
{
    if (!req || length < sizeof(Header)) return XFER_E_BAD_REQUEST;
    const Header head = Load<Header>(req);
    switch (head.code) {
    case XFER_REQ_OPEN: {
        const DWORD nameLength = head.value;
        return nameLength != 0 && length - kOpenHeader == nameLength ? XFER_DONE : XFER_E_BAD_REQUEST;
    }
    case XFER_REQ_READ: {
        if (length != sizeof(ReadRequest)) return XFER_E_BAD_REQUEST;
        const auto r = Load<ReadRequest>(req);
        const bool ok = r.handle != kNoHandle && r.offset != kNoHandle && r.count >= 1 &&
                        r.count <= 0xFFFFFFFFu - sizeof(ReadReply);   // 16 + count must fit
        return ok ? XFER_DONE : XFER_E_BAD_REQUEST;
    }
    case XFER_REQ_CLOSE: {
        const DWORD handle = head.value;
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
    switch (Load<Header>(req).code) {
    case XFER_REQ_OPEN:  blockSize = kOpenReplyBlock; sent = sizeof(OpenReply); break;
    case XFER_REQ_READ: {
        const DWORD count = Load<ReadRequest>(req).count;
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
        !ServedRoots::Read().serves(path))
        return XFER_E_BAD_NAME;
    OpenReply out{XFER_REQ_OPEN, ZK_Open(path, ZK_OPEN_READ), 0};
    if (out.handle != ZK_NOFILE) {
        out.size = ZK_Length(out.handle);
        Opened().opened(out.handle);
    }
    Put(reply, out);
    return out.handle == ZK_NOFILE ? XFER_E_OPEN : XFER_DONE;
}

DWORD ServeRead(const BYTE *req, BYTE *reply)
{
    const auto r = Load<ReadRequest>(req);
    Opened().named(r.handle);
    // A failed read keeps the request's offset where the next one would be.
    const ReadReply failed{XFER_REQ_READ, 0, r.offset, 0};
    if (ZK_Seek(r.handle, r.offset, ZK_SEEK_BEGIN) == 0xFFFFFFFFu) {
        Put(reply, failed);
        return XFER_E_SEEK;
    }
    BYTE *data = reply + sizeof(ReadReply);
    const DWORD got = ZK_Read(r.handle, data, r.count);
    if (got == 0 || got < r.count) {
        Put(reply, failed);
        return XFER_E_READ;
    }
    ReadReply head{XFER_REQ_READ, r.handle, r.offset + got, XFER_CRC_SEED};
    CrcBuffer(data, got, &head.checksum);
    Put(reply, head);
    return XFER_DONE;
}

DWORD ServeClose(const BYTE *req, BYTE *reply)
{
    const DWORD handle = Load<CloseRequest>(req).handle;
    Opened().closed(handle);
    ZK_Close(handle);
    Put(reply, CloseRequest{XFER_REQ_CLOSE, 1});
    return XFER_DONE;
}

DWORD Serve(const BYTE *req, DWORD length, void **reply, DWORD *replyLength)
{
    DWORD status = Validate(req, length);
    if (status == XFER_DONE) status = AllocateReply(req, reply, replyLength);
    if (status != XFER_DONE) return status;

    auto *out = static_cast<BYTE *>(*reply);
    switch (Load<Header>(req).code) {
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
    Put(*reply, Header{XFER_REPLY_ERROR, status});
    return 1;
}

} // namespace dada::xfer
