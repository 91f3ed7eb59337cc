#include "client.h"
#include "auth.h"
#include "bounds.h"
#include "dispatch.h"
#include "hosts.h"
#include "server.h"
#include "testhooks.h"
#include "wire.h"

#include <map>
#include <memory>
#include <new>
#include "dada/process_object.h"
#include "dada/lock.h"

namespace zuredu {

namespace {

struct Connection {
    dada::CriticalSection lock; // one exchange at a time
    sockaddr_in to{};
    NetworkKey key;
    Socket sock;
    FrameStream stream;         // of `sock`
    ULONGLONG lastUse = 0;      // GetTickCount64 of the last exchange or the connect
    DWORD sequence = 0;
};

struct Table {
    dada::CriticalSection lock;
    std::map<DWORD, std::shared_ptr<Connection>> open;
    DWORD next = 0;
};
Table &T() { return dada::ProcessObject<Table>(); }

using dada::Locked;

std::shared_ptr<Connection> Find(DWORD handle)
{
    Locked l(T().lock);
    auto it = T().open.find(handle);
    return it == T().open.end() ? nullptr : it->second;
}

DWORD FromIo(Io io)
{
    switch (io) {
    case Io::Timeout: return NETSVC_E_TIMEOUT;
    case Io::Closed: return NETSVC_E_CLOSED;
    default: return NETSVC_E_PROTOCOL;
    }
}

// Skips a payload that belongs to an earlier, abandoned exchange.
Io Discard(Connection &c, DWORD length, const Deadline &deadline)
{
    BYTE scratch[4096];
    while (length) {
        DWORD n = length < sizeof scratch ? length : sizeof scratch;
        Io io = c.stream.Read(c.sock.get(), {scratch, n}, deadline);
        if (io != Io::Done) return io;
        length -= n;
    }
    return Io::Done;
}

// Reads frames until the reply to `sequence`; leaves its block in `reply`.
DWORD ReadReply(Connection &c, DWORD sequence, const Deadline &deadline, void **reply, DWORD *replyLength)
{
    for (;;) {
        HeaderBytes head;
        Io io = c.stream.Read(c.sock.get(), head, deadline);
        if (io != Io::Done) return FromIo(io);
        FrameHeader h;
        if (!DecodeHeader(head, h) || h.kind != Kind::Reply) return NETSVC_E_PROTOCOL;
        if (h.sequence != sequence) {
            io = Discard(c, h.length, deadline);
            if (io != Io::Done) return FromIo(io);
            continue;
        }
        if (h.length == 0) return h.status;
        OwnedBlock block(static_cast<BYTE *>(dada::BlockAlloc(h.length, dada::Block::Moveable)));
        if (!block) {
            io = Discard(c, h.length, deadline);
            return io == Io::Done ? NETSVC_E_NO_MEMORY : FromIo(io);
        }
        io = c.stream.Read(c.sock.get(), {block.get(), h.length}, deadline);
        if (io != Io::Done) return FromIo(io);
        if (h.status == NETSVC_OK) MaybeCorrupt(block.get(), h.length);
        *replyLength = h.length;
        *reply = block.release();
        return h.status;
    }
}

// A fresh stream to the connection's server, its handshake done; false
// when the server is unreachable or does not prove it holds the key (or
// refuses ours).
bool Dial(Connection &c, DWORD timeoutMs)
{
    Deadline deadline(timeoutMs < kConnectMs ? timeoutMs : kConnectMs);
    c.stream.Reset();
    c.sock = ConnectTo(c.to, deadline.left());
    if (c.sock.valid() && !ClientHandshake(c.sock.get(), c.stream, c.key, deadline)) c.sock.reset();
    c.lastUse = GetTickCount64();
    return c.sock.valid();
}

} // namespace

DWORD OpenConnection(const char *server)
{
    sockaddr_in to{};
    if (!ResolveMachine(BareName(server), to)) return 0;
    auto c = std::make_shared<Connection>();
    c->to = to;
    c->key = LoadNetworkKey();
    if (!Dial(*c, kConnectMs)) return 0;
    Locked l(T().lock);
    Table &t = T();
    do { ++t.next; } while (t.next == 0 || t.next == 0xFFFFFFFFu || t.open.count(t.next));
    t.open[t.next] = c;
    return t.next;
}

void CloseConnection(DWORD handle)
{
    std::shared_ptr<Connection> c;
    {
        Locked l(T().lock);
        auto it = T().open.find(handle);
        if (it == T().open.end()) return;
        c = it->second;
        T().open.erase(it);
    }
    Locked l(c->lock);      // after the exchange in progress, if any
    c->sock.reset();
}

DWORD Exchange(DWORD handle, DWORD packetType, const void *request, DWORD length, void **reply,
               DWORD *replyLength, DWORD timeoutMs)
{
    if (!reply || !replyLength) return NETSVC_E_INVALID;
    *reply = nullptr;
    *replyLength = 0;
    if ((!request && length) || length > ZUREDU_MAX_PACKET) return NETSVC_E_INVALID;
    std::shared_ptr<Connection> c = Find(handle);
    if (!c) return NETSVC_E_INVALID;
    Locked l(c->lock);
    Deadline deadline(timeoutMs);
    // A stream that broke in an earlier exchange, or that lay unused long
    // enough for the server to drop it, is replaced by a fresh one.
    if (GetTickCount64() - c->lastUse > kClientFreshMs) c->sock.reset();
    if (!c->sock.valid() && !Dial(*c, deadline.left())) return NETSVC_E_SEND;
    DWORD sequence = ++c->sequence;
    FrameHeader h{Kind::Request, packetType, sequence, 0, length};
    Io io = c->stream.Write(c->sock.get(), h, request, deadline);
    DWORD status = io == Io::Done ? ReadReply(*c, sequence, deadline, reply, replyLength)
                                  : io == Io::Timeout ? NETSVC_E_TIMEOUT : NETSVC_E_SEND;
    if (status == NETSVC_E_TIMEOUT || status == NETSVC_E_CLOSED || status == NETSVC_E_PROTOCOL ||
        status == NETSVC_E_SEND)
        c->sock.reset();    // where the stream stands is unknown
    c->lastUse = GetTickCount64();
    return status;
}

DWORD ConnectionType(const char *server)
{
    std::string name = BareName(server);
    // This machine by any of its names: its disks are reached directly.
    for (const std::string &own : {OwnMachine(), ComputerName(), std::string("localhost"), std::string("127.0.0.1")})
        if (name.empty() || lstrcmpiA(name.c_str(), own.c_str()) == 0) return NETSESSION_LOCAL;
    sockaddr_in to{};
    if (!ResolveMachine(name, to)) return NETSESSION_UNKNOWN;
    DWORD port = ListeningPort();
    if (port && ntohs(to.sin_port) == port && ntohl(to.sin_addr.s_addr) >> 24 == 127) return NETSESSION_LOCAL;
    return NETSESSION_REMOTE;
}

} // namespace zuredu
