#include "wire.h"
#include "zuredu.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace zuredu {

namespace {

void Put32(BYTE *p, DWORD v) { for (int i = 0; i < 4; ++i) p[i] = static_cast<BYTE>(v >> (8 * i)); }
void Put16(BYTE *p, WORD v) { p[0] = static_cast<BYTE>(v); p[1] = static_cast<BYTE>(v >> 8); }
DWORD Get32(const BYTE *p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<DWORD>(p[3]) << 24; }
WORD Get16(const BYTE *p) { return static_cast<WORD>(p[0] | p[1] << 8); }

constexpr DWORD kPollMs = 200;

// Waits until `s` can be read (or written); false on time-out or stop.
enum class Wait { Ready, Timeout, Stopped, Failed };
Wait WaitFor(SOCKET s, bool write, const Deadline &deadline, const volatile LONG *stop)
{
    for (;;) {
        if (stop && *stop) return Wait::Stopped;
        DWORD left = deadline.left();
        if (left == 0) return Wait::Timeout;
        DWORD slice = stop && left > kPollMs ? kPollMs : left;
        fd_set set;
        FD_ZERO(&set);
        FD_SET(s, &set);
        timeval tv{}, *ptv = nullptr;
        if (slice != INFINITE) {
            tv.tv_sec = static_cast<long>(slice / 1000);
            tv.tv_usec = static_cast<long>(slice % 1000) * 1000;
            ptv = &tv;
        }
        int n = write ? select(0, nullptr, &set, nullptr, ptv) : select(0, &set, nullptr, nullptr, ptv);
        if (n == SOCKET_ERROR) return Wait::Failed;
        if (n > 0) return Wait::Ready;
    }
}

Io FromWait(Wait w) { return w == Wait::Timeout ? Io::Timeout : w == Wait::Stopped ? Io::Closed : Io::Failed; }

} // namespace

HeaderBytes EncodeHeader(const FrameHeader &h)
{
    HeaderBytes b{};
    Put32(&b[0], kMagic);
    Put16(&b[4], kVersion);
    Put16(&b[6], static_cast<WORD>(h.kind));
    Put32(&b[8], h.packetType);
    Put32(&b[12], h.sequence);
    Put32(&b[16], h.status);
    Put32(&b[20], h.length);
    return b;
}

bool DecodeHeader(const HeaderBytes &b, FrameHeader &h)
{
    if (Get32(&b[0]) != kMagic || Get16(&b[4]) != kVersion) return false;
    WORD kind = Get16(&b[6]);
    if (kind != static_cast<WORD>(Kind::Request) && kind != static_cast<WORD>(Kind::Reply)) return false;
    h.kind = static_cast<Kind>(kind);
    h.packetType = Get32(&b[8]);
    h.sequence = Get32(&b[12]);
    h.status = Get32(&b[16]);
    h.length = Get32(&b[20]);
    if (h.length > ZUREDU_MAX_PACKET) return false;
    if (h.kind == Kind::Request && h.status != 0) return false;
    return true;
}

Deadline::Deadline(DWORD timeoutMs)
    : end_(GetTickCount64() + timeoutMs), infinite_(timeoutMs == INFINITE) {}

DWORD Deadline::left() const
{
    if (infinite_) return INFINITE;
    ULONGLONG now = GetTickCount64();
    return now >= end_ ? 0 : static_cast<DWORD>(end_ - now);
}

Io ReadAll(SOCKET s, std::span<BYTE> out, const Deadline &deadline, const volatile LONG *stop)
{
    size_t done = 0;
    while (done < out.size()) {
        Wait w = WaitFor(s, false, deadline, stop);
        if (w != Wait::Ready) return FromWait(w);
        size_t want = out.size() - done;
        int n = recv(s, reinterpret_cast<char *>(out.data() + done),
                     static_cast<int>(want > 0x100000 ? 0x100000 : want), 0);
        if (n == 0) return Io::Closed;
        if (n == SOCKET_ERROR) {
            int e = WSAGetLastError();
            if (e == WSAEWOULDBLOCK || e == WSAEINTR) continue;
            return e == WSAECONNRESET || e == WSAECONNABORTED ? Io::Closed : Io::Failed;
        }
        done += static_cast<size_t>(n);
    }
    return Io::Done;
}

Io WriteAll(SOCKET s, std::span<const BYTE> data, const Deadline &deadline)
{
    size_t done = 0;
    while (done < data.size()) {
        Wait w = WaitFor(s, true, deadline, nullptr);
        if (w != Wait::Ready) return FromWait(w);
        size_t want = data.size() - done;
        int n = send(s, reinterpret_cast<const char *>(data.data() + done),
                     static_cast<int>(want > 0x100000 ? 0x100000 : want), 0);
        if (n == SOCKET_ERROR) {
            int e = WSAGetLastError();
            if (e == WSAEWOULDBLOCK || e == WSAEINTR) continue;
            return Io::Closed;
        }
        done += static_cast<size_t>(n);
    }
    return Io::Done;
}

Io WriteFrame(SOCKET s, const FrameHeader &h, const void *payload, const Deadline &deadline)
{
    HeaderBytes head = EncodeHeader(h);
    Io io = WriteAll(s, head, deadline);
    if (io != Io::Done || h.length == 0) return io;
    return WriteAll(s, {static_cast<const BYTE *>(payload), h.length}, deadline);
}

namespace {
INIT_ONCE g_socketsOnce = INIT_ONCE_STATIC_INIT;
bool g_socketsOk = false;
BOOL CALLBACK StartSockets(PINIT_ONCE, PVOID, PVOID *)
{
    WSADATA data;
    g_socketsOk = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    return TRUE;
}
} // namespace

bool SocketsReady()
{
    InitOnceExecuteOnce(&g_socketsOnce, StartSockets, nullptr, nullptr);
    return g_socketsOk;
}

bool ParseEndpoint(const char *text, sockaddr_in &out)
{
    if (!text) return false;
    const char *colon = std::strrchr(text, ':');
    if (!colon || colon == text || colon[1] == '\0') return false;
    std::string host(text, colon);
    char *end = nullptr;
    unsigned long port = std::strtoul(colon + 1, &end, 10);
    if (*end != '\0' || port > 65535 || colon[1] == '-' || colon[1] == '+' || colon[1] == ' ') return false;
    if (host == "localhost") host = "127.0.0.1";
    // Dotted quad, four decimal parts of 0 to 255.
    DWORD addr = 0;
    const char *p = host.c_str();
    for (int part = 0; part < 4; ++part) {
        if (*p < '0' || *p > '9') return false;
        unsigned v = 0;
        int digits = 0;
        while (*p >= '0' && *p <= '9') {
            v = v * 10 + static_cast<unsigned>(*p++ - '0');
            if (++digits > 3 || v > 255) return false;
        }
        addr = addr << 8 | v;
        if (part < 3 && *p++ != '.') return false;
    }
    if (*p != '\0') return false;
    out = {};
    out.sin_family = AF_INET;
    out.sin_port = htons(static_cast<u_short>(port));
    out.sin_addr.s_addr = htonl(addr);
    return true;
}

Socket ConnectTo(const sockaddr_in &to, DWORD timeoutMs)
{
    if (!SocketsReady()) return {};
    Socket s(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (!s.valid()) return {};
    u_long nonBlocking = 1;
    ioctlsocket(s.get(), FIONBIO, &nonBlocking);
    if (connect(s.get(), reinterpret_cast<const sockaddr *>(&to), sizeof to) == SOCKET_ERROR) {
        int e = WSAGetLastError();
        if (e != WSAEWOULDBLOCK && e != WSAEINPROGRESS) return {};
        fd_set wr, ex;
        FD_ZERO(&wr);
        FD_ZERO(&ex);
        FD_SET(s.get(), &wr);
        FD_SET(s.get(), &ex);
        timeval tv{static_cast<long>(timeoutMs / 1000), static_cast<long>(timeoutMs % 1000) * 1000};
        if (select(0, nullptr, &wr, &ex, &tv) <= 0 || !FD_ISSET(s.get(), &wr)) return {};
        int err = 0;
        int len = sizeof err;
        if (getsockopt(s.get(), SOL_SOCKET, SO_ERROR, reinterpret_cast<char *>(&err), &len) != 0 || err)
            return {};
    }
    BOOL noDelay = TRUE;
    setsockopt(s.get(), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char *>(&noDelay), sizeof noDelay);
    return s;
}

} // namespace zuredu
