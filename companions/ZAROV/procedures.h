// The procedures a serving process answers, and the name lists they build.
#pragma once
#include <windows.h>
#include <string_view>
#include <vector>
#include "callwire.h"

namespace zarov {

constexpr DWORD kVolumesRoom = 1024;     // bytes of name list in a 301 answer
constexpr DWORD kDirectoryRoom = 2044;   // and in a 302 answer

// A name list bounded by its room: entries (an optional type byte, the
// name, its zero) closed by one more zero byte, which the room also holds.
class NameList {
public:
    explicit NameList(DWORD room) : room_(room) {}
    // False (and nothing added) when the entry and the closing zero do not fit.
    bool add(BYTE type, std::string_view name);
    size_t entries() const { return entries_; }
    // The finished list: an empty one is two zero bytes.
    std::vector<BYTE> finish() const;
private:
    DWORD room_;
    std::vector<BYTE> bytes_;
    size_t entries_ = 0;
};

struct Answer {
    DWORD status = RPC_OK;
    std::vector<Arg> out;
};

// `room`: the reply room the caller's descriptor offers.
Answer ReadVolumes(const std::vector<Arg> &in, DWORD room);
Answer ReadDirectory(const std::vector<Arg> &in, DWORD room);

} // namespace zarov
