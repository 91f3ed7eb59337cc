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

// Reads exactly `out.size()` bytes.  `stop`, when given, is polled between
// waits (every 200 ms at most) and ends the read as Closed once non-zero.
Io ReadAll(SOCKET s, std::span<BYTE> out, const Deadline &deadline, const volatile LONG *stop = nullptr);
Io WriteAll(SOCKET s, std::span<const BYTE> data, const Deadline &deadline);
// Header and payload in one go.
Io WriteFrame(SOCKET s, const FrameHeader &h, const void *payload, const Deadline &deadline);

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
