// How a call and its answer travel as one ZUREDU packet:
//   call:   procedure | argument size | reply size | n | n x (kind | length | bytes)
//   answer: status | n | n x (kind | length | bytes)
// All little-endian 32-bit; integers and counts travel as 4 bytes.
#pragma once
#include <windows.h>
#include <array>
#include <span>
#include <vector>
#include "zarov.h"

namespace zarov {

constexpr DWORD kMaxArgBytes = 65536;

struct Arg {
    DWORD kind;
    std::vector<BYTE> bytes;
    DWORD number() const;   // a kind 3 or 7 argument's value
};
Arg IntArg(DWORD kind, DWORD value);

struct Message {
    std::vector<DWORD> head;
    std::vector<Arg> args;
};

std::vector<BYTE> Encode(const Message &m);
// False unless `data` is exactly `headWords` words and a well-formed list of
// at most RPC_MAX_ARGS arguments (kinds 3, 7, 8; 3 and 7 of 4 bytes; an 8
// right after a 7 whose value is its length; none over kMaxArgBytes).
bool Decode(std::span<const BYTE> data, size_t headWords, Message &m);
// The kinds of `args` equal `kinds` up to its first RPC_ARG_NONE.
bool KindsMatch(const std::vector<Arg> &args, const DWORD (&kinds)[RPC_MAX_ARGS]);

} // namespace zarov
