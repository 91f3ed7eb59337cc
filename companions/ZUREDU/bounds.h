// Every time limit and cap of the library, named once.  A well-behaved peer
// never meets one; a peer that idles, trickles or floods is dropped by them.
#pragma once
#include <windows.h>

namespace zuredu {

// Client: a TCP connection and its handshake must be made within this.
constexpr DWORD kConnectMs = 5000;
// Client: a connection unused this long is made afresh before the next
// request, so the server's idle limit never cuts a request in two.
constexpr DWORD kClientFreshMs = 60000;

// Server: the handshake of a new connection must be over within this.
constexpr DWORD kHandshakeMs = 5000;
// Server: a connection with no request for this long is closed.
constexpr DWORD kIdleMs = 120000;
// Server: a frame, from its first byte to its last, and the reply to it,
// must each go through within this.
constexpr DWORD kFrameMs = 30000;
// Server: connections held from one peer address, and in all.  A new one
// beyond either cap takes the place of the idlest held (a connection still
// in its handshake first, then the one longest without a request); it is
// refused only when every held one is inside a handler.
constexpr size_t kMaxConnectionsPerPeer = 32;
constexpr size_t kMaxConnections = 96;
// Server: connection threads alive at once, dropped ones included.
constexpr LONG kMaxConnectionThreads = 2 * static_cast<LONG>(kMaxConnections);

} // namespace zuredu
