#include "wire.h"
#include "zuredu.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

namespace zuredu {

namespace {

void Put32(BYTE *p, DWORD v) { for (int i = 0; i < 4; ++i) p[i] = static_cast<BYTE>(v >> (8 * i)); }
void Put16(BYTE *p, WORD v) { p[0] = static_cast<BYTE>(v); p[1] = static_cast<BYTE>(v >> 8); }
DWORD Get32(const BYTE *p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<DWORD>(p[3]) << 24; }
WORD Get16(const BYTE *p) { return static_cast<WORD>(p[0] | p[1] << 8); }

constexpr size_t kMaxIo = 0x100000;   // bytes per socket call
// A socket time-out is set again only when it is this far from the time
// left, so a run of exchanges with one time-out sets it once.
constexpr DWORD kTimeoutSlackMs = 100;

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

void FrameStream::Reset()
{
    start_ = end_ = 0;
    limits_[0] = limits_[1] = 0;
}

bool FrameStream::Limit(SOCKET s, int which, const Deadline &deadline)
{
    const DWORD left = deadline.left();
    if (left == 0) return false;
    const DWORD want = left == INFINITE ? 0 : left;     // 0: no limit
    DWORD &have = limits_[which];
    const bool close = want && have && (want > have ? want - have : have - want) <= kTimeoutSlackMs;
    if (want != have && !close) {
        setsockopt(s, SOL_SOCKET, which ? SO_SNDTIMEO : SO_RCVTIMEO, reinterpret_cast<const char *>(&want),
                   sizeof want);
        have = want;
    }
    return true;
}

Io FrameStream::Read(SOCKET s, std::span<BYTE> out, const Deadline &deadline, bool idle)
{
    if (!buffer_) buffer_.reset(new (std::nothrow) BYTE[kBufferSize]);
    size_t done = 0;
    for (;;) {
        const size_t take = std::min(end_ - start_, out.size() - done);
        if (take) std::memcpy(out.data() + done, buffer_.get() + start_, take);
        start_ += take;
        done += take;
        if (done == out.size()) return Io::Done;
        start_ = end_ = 0;

        // Nothing buffered: take all the stream holds, up to the buffer's size.
        // An idle wait before the first byte keeps whatever limit is set.
        if (!(idle && done == 0) && !Limit(s, 0, deadline)) return Io::Timeout;
        const size_t want = out.size() - done;
        const bool direct = !buffer_ || want >= kBufferSize / 2;
        BYTE *to = direct ? out.data() + done : buffer_.get();
        const size_t room = direct ? std::min(want, kMaxIo) : kBufferSize;
        int n = recv(s, reinterpret_cast<char *>(to), static_cast<int>(room), 0);
        if (n == 0) return Io::Closed;
        if (n == SOCKET_ERROR) {
            int e = WSAGetLastError();
            if (e == WSAEINTR || (e == WSAETIMEDOUT && idle && done == 0)) continue;
            if (e == WSAETIMEDOUT) return Io::Timeout;
            return e == WSAECONNRESET || e == WSAECONNABORTED || e == WSAESHUTDOWN ? Io::Closed : Io::Failed;
        }
        if (direct) done += static_cast<size_t>(n);
        else end_ = static_cast<size_t>(n);
    }
}

Io FrameStream::Write(SOCKET s, const FrameHeader &h, const void *payload, const Deadline &deadline)
{
    HeaderBytes head = EncodeHeader(h);
    WSABUF pieces[2] = {{static_cast<ULONG>(head.size()), reinterpret_cast<char *>(head.data())},
                        {h.length, static_cast<char *>(const_cast<void *>(payload))}};
    WSABUF *piece = pieces;
    DWORD count = h.length ? 2 : 1;
    while (count) {
        if (!Limit(s, 1, deadline)) return Io::Timeout;
        DWORD sent = 0;
        if (WSASend(s, piece, count, &sent, 0, nullptr, nullptr) == SOCKET_ERROR) {
            int e = WSAGetLastError();
            if (e == WSAEINTR) continue;
            return e == WSAETIMEDOUT ? Io::Timeout : Io::Closed;
        }
        // Step over what went out; a piece sent in part keeps its tail.
        while (count && sent >= piece->len) sent -= piece->len, ++piece, --count;
        if (count) {
            piece->buf += sent;
            piece->len -= sent;
        }
    }
    return Io::Done;
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
    u_long blocking = 0;      // from here on, reads and writes wait inside the call
    ioctlsocket(s.get(), FIONBIO, &blocking);
    BOOL noDelay = TRUE;
    setsockopt(s.get(), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char *>(&noDelay), sizeof noDelay);
    return s;
}

} // namespace zuredu
