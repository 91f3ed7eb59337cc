// The test peer's protocol: a request's first word is a command, the second its argument.
#pragma once
#include <windows.h>

namespace peer {

constexpr DWORD kPeerPacketType = 77;

enum Command : DWORD {
    Echo = 1,       // reply: the request itself
    Big = 2,        // reply: `arg` bytes of PatternByte
    Sleep = 3,      // wait `arg` ms, then echo
    NoReply = 4,    // leave no reply
    Oversized = 5,  // a reply block claiming more bytes than it holds
};

inline BYTE PatternByte(DWORD i) { return static_cast<BYTE>(i * 7 + 3); }

} // namespace peer
