// The retrieve worker: connect, open the remote file, fetch it in checked
// chunks, close it, then end by the final status.
#include "REMOTE/retrieve_context.h"
#include "REMOTE/binding.h"
#include "REMOTE/xfer_wire.h"
#include "dada/memblock.h"
#include "NAME/name_internal.h"
#include "zoredo32.h"
#include <algorithm>
#include <cstring>

namespace dada::xfer {

namespace {

void DropReply(RetrieveContext &c)
{
    BlockFree(c.reply);
    c.reply = nullptr;
    c.replyLength = 0;
}

// One request/reply exchange.  On success the reply is kept and the status
// becomes `success`; otherwise the status is the server's (an error reply's
// second field) and the reply is dropped.
bool Exchange(RetrieveContext &c, DWORD minimum, DWORD success)
{
    DropReply(c);
    void *reply = nullptr;
    DWORD replyLength = 0;
    const DWORD sent = NetService_SendPacket(c.connection, XFER_PACKET_TYPE, c.request, c.length,
                                             &reply, &replyLength, kExchangeTimeout);
    c.reply = static_cast<BYTE *>(reply);
    c.replyLength = c.reply ? replyLength : 0;
    // Every minimum is at least the 8-byte header, so the code can be read.
    if (sent == 0 && c.reply && c.replyLength >= minimum && Load<Header>(c.reply).code != XFER_REPLY_ERROR) {
        c.status = success;
        return true;
    }
    // No reply, or one too short to carry a status: the reply was bad.
    const DWORD status = c.replyLength >= sizeof(Header) ? Load<Header>(c.reply).value : 0;
    c.status = status ? status : XFER_E_BAD_REPLY;
    DropReply(c);
    return false;
}

bool Connect(RetrieveContext &c)
{
    if (!NetService_BeginUsingAPI()) {
        c.status = XFER_E_NO_API;
        return false;
    }
    char server[kServerNameSize];
    if (!NameReturnUNCServer(c.remoteName, kServerNameSize, server)) {
        c.status = XFER_E_NO_SERVER;
        return false;
    }
    c.connection = NetService_Connect(server, 1);
    c.status = c.connection ? XFER_PHASE_CONNECTED : XFER_E_NO_CONNECTION;
    return c.connection != 0;
}

bool Open(RetrieveContext &c)
{
    const char *file = NameReturnUNCShare(c.remoteName);
    const size_t nameLength = file ? std::strlen(file) + 1 : 0;
    if (!file || kOpenHeader + nameLength > kRequestArea) {
        c.status = XFER_E_BAD_NAME;
        return false;
    }
    Put(c.request, Header{XFER_REQ_OPEN, static_cast<DWORD>(nameLength)});
    std::memcpy(c.request + kOpenHeader, file, nameLength);
    c.length = kOpenHeader + static_cast<DWORD>(nameLength);
    if (!Exchange(c, sizeof(OpenReply), XFER_PHASE_OPENED)) return false;
    const OpenReply opened = Load<OpenReply>(c.reply);
    c.remoteFile = opened.handle;
    c.size = opened.size;
    DropReply(c);
    return c.remoteFile != kNoHandle;     // the status stays "opened"
}

// One chunk, at most kChunkAttempts tries; the accepted reply is kept.
bool FetchChunk(RetrieveContext &c, DWORD remaining)
{
    for (DWORD attempt = 0; attempt < kChunkAttempts; ++attempt) {
        c.status = XFER_DONE;
        c.requested = std::min<DWORD>({remaining, c.size - c.offset, XFER_CHUNK});
        Put(c.request, ReadRequest{XFER_REQ_READ, c.remoteFile, c.offset, c.requested});
        c.length = sizeof(ReadRequest);
        if (!Exchange(c, sizeof(ReadReply), XFER_PHASE_RECEIVED)) continue;

        const DWORD dataLength = c.replyLength - sizeof(ReadReply);
        const ReadReply got = Load<ReadReply>(c.reply);
        if (got.handle != c.remoteFile || dataLength != c.requested) {
            c.status = XFER_E_BAD_REPLY;
        } else {
            DWORD crc = XFER_CRC_SEED;
            CrcBuffer(c.reply + sizeof(ReadReply), dataLength, &crc);
            if (crc != got.checksum) c.status = XFER_E_BAD_CHECKSUM;
        }
        if (c.status != XFER_PHASE_RECEIVED) {
            DropReply(c);
            continue;
        }
        c.offset = got.nextOffset;
        c.data = c.reply + sizeof(ReadReply);
        c.length = dataLength;
        return true;
    }
    return false;
}

// False when a chunk could not be fetched or written.
bool Transfer(RetrieveContext &c)
{
    c.offset = 0;
    for (DWORD remaining = c.size; remaining;) {
        if (!FetchChunk(c, remaining)) return false;
        const DWORD written = ZK_Write(c.localFile, c.data, c.length);
        c.status = written < c.length ? XFER_E_WRITE : XFER_DONE;
        const DWORD length = c.length;
        c.data = nullptr;
        DropReply(c);
        if (c.status != XFER_DONE) return false;
        remaining -= length;
    }
    return true;
}

// Sent whether or not the transfer completed; a failed transfer keeps its
// status, a complete one takes the close's.
void CloseRemote(RetrieveContext &c, bool transferred)
{
    const DWORD loopStatus = c.status;
    Put(c.request, CloseRequest{XFER_REQ_CLOSE, c.remoteFile});
    c.length = sizeof(CloseRequest);
    Exchange(c, sizeof(CloseRequest), XFER_DONE);
    DropReply(c);
    if (!transferred) c.status = loopStatus;
}

void EndConnection(RetrieveContext &c)
{
    switch (c.status) {
    case XFER_E_NO_API:
        break;
    case XFER_E_NO_SERVER: case XFER_E_NO_CONNECTION:
        NetService_DoneUsingAPI();
        break;
    case XFER_DONE: case XFER_PHASE_OPENED: case XFER_E_BAD_NAME: case XFER_E_BAD_REPLY:
    case XFER_E_BAD_CHECKSUM: case XFER_E_WRITE: case XFER_E_BAD_REQUEST:
    case XFER_E_NO_REPLY_MEMORY: case XFER_E_OPEN: case XFER_E_SEEK: case XFER_E_READ:
        NetService_Disconnect(&c.connection);
        NetService_DoneUsingAPI();
        break;
    default:
        break;
    }
}

} // namespace

DWORD WINAPI FileRetrieveWorker(LPVOID context)
{
    auto &c = *static_cast<RetrieveContext *>(context);
    if (Connect(c) && Open(c)) {
        const bool transferred = Transfer(c);
        CloseRemote(c, transferred);
    }
    EndConnection(c);
    DropReply(c);

    const DWORD status = c.status;
    ZK_Close(c.localFile);
    if (status != XFER_DONE) ZK_Delete(c.localName);
    if (c.waiterStatus) *c.waiterStatus = status;
    Notify(c.semaphore, c.callback, status);
    BlockFree(&c);
    return status;
}

} // namespace dada::xfer
