// Framing of packets on a TCP stream, and socket reads and writes bounded
// by a deadline.
//
// Every packet is a 24-byte header (little-endian) and its payload:
//   magic "ZDUR" | version 1 (16) | kind (16) | packet type | sequence |
//   status | payload length
// A request carries kind 1 and status 0; its reply kind 2, the request's
// packet type and sequence, and the server's status.
#pragma once
#include <winsock2.h>
#include <windows.h>
#include <array>
#include <cstdint>
#include <memory>
#include <span>

namespace zuredu {

constexpr DWORD kMagic = 0x5255445Au;   // "ZDUR"
constexpr WORD kVersion = 1;
constexpr size_t kHeaderSize = 24;

enum class Kind : WORD { Request = 1, Reply = 2 };

struct FrameHeader {
    Kind kind;
    DWORD packetType;
    DWORD sequence;
    DWORD status;
    DWORD length;
};

using HeaderBytes = std::array<BYTE, kHeaderSize>;

HeaderBytes EncodeHeader(const FrameHeader &h);
// False for anything that is not a header of ours: bad magic or version,
// unknown kind, a payload over ZUREDU_MAX_PACKET, or a request with a status.
bool DecodeHeader(const HeaderBytes &bytes, FrameHeader &h);

// A point in time as GetTickCount64 counts; INFINITE time-outs never pass.
class Deadline {
public:
    explicit Deadline(DWORD timeoutMs);
    // Milliseconds left, 0 when passed; INFINITE for no limit.
    DWORD left() const;
private:
    ULONGLONG end_;
    bool infinite_;
};

enum class Io { Done, Timeout, Closed, Failed };

// Reads and writes of frames on one blocking stream socket.  Each socket
// read takes everything the stream holds (up to kBufferSize), so a header
// and a short payload cost one call; large payloads go straight to their
// buffer.  No readiness wait is made: the call itself waits, bounded by the
// socket's time-outs, which follow the deadline (set again only when they
// drift from it by more than a small slack).  One per socket; Reset() for a
// new socket.
class FrameStream {
public:
    // Reads exactly `out.size()` bytes.  `idle`: the read waits for a frame
    // that may be long in coming, so a time-out before its first byte is
    // not an error (the wait goes on until data, a close or a shutdown).
    Io Read(SOCKET s, std::span<BYTE> out, const Deadline &deadline, bool idle = false);
    // Header and payload in one gathered send (more only when the socket
    // takes part of them).
    Io Write(SOCKET s, const FrameHeader &h, const void *payload, const Deadline &deadline);
    void Reset();
private:
    bool Limit(SOCKET s, int which, const Deadline &deadline);   // false: no time left
    static constexpr size_t kBufferSize = 64 * 1024;
    std::unique_ptr<BYTE[]> buffer_;   // null when it could not be had: reads go direct
    size_t start_ = 0, end_ = 0;       // the unread bytes
    DWORD limits_[2] = {0, 0};         // receive and send time-outs set, ms; 0: none
};

// Sockets are ready for the process (once; never undone).
bool SocketsReady();

// "ADDRESS:PORT" (dotted IPv4 or "localhost"; port 0 to 65535).
bool ParseEndpoint(const char *text, sockaddr_in &out);

// Owns a socket.
class Socket {
public:
    Socket() = default;
    explicit Socket(SOCKET s) : s_(s) {}
    ~Socket() { reset(); }
    Socket(Socket &&o) noexcept : s_(o.release()) {}
    Socket &operator=(Socket &&o) noexcept { if (this != &o) { reset(); s_ = o.release(); } return *this; }
    Socket(const Socket &) = delete;
    Socket &operator=(const Socket &) = delete;
    SOCKET get() const { return s_; }
    bool valid() const { return s_ != INVALID_SOCKET; }
    SOCKET release() { SOCKET s = s_; s_ = INVALID_SOCKET; return s; }
    void reset() { if (s_ != INVALID_SOCKET) closesocket(s_); s_ = INVALID_SOCKET; }
private:
    SOCKET s_ = INVALID_SOCKET;
};

// A TCP connection to `to`, made within `timeoutMs`; invalid on failure.
Socket ConnectTo(const sockaddr_in &to, DWORD timeoutMs);

} // namespace zuredu
