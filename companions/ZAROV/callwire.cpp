#include "callwire.h"

#include <cstring>

namespace zarov {

namespace {

void Put(std::vector<BYTE> &out, DWORD v)
{
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<BYTE>(v >> (8 * i)));
}

bool Take(std::span<const BYTE> &data, DWORD &v)
{
    if (data.size() < 4) return false;
    v = data[0] | data[1] << 8 | data[2] << 16 | static_cast<DWORD>(data[3]) << 24;
    data = data.subspan(4);
    return true;
}

} // namespace

DWORD Arg::number() const
{
    DWORD v = 0;
    std::memcpy(&v, bytes.data(), bytes.size() < 4 ? bytes.size() : 4);
    return v;
}

Arg IntArg(DWORD kind, DWORD value)
{
    Arg a{kind, std::vector<BYTE>(4)};
    std::memcpy(a.bytes.data(), &value, 4);
    return a;
}

std::vector<BYTE> Encode(const Message &m)
{
    std::vector<BYTE> out;
    for (DWORD w : m.head) Put(out, w);
    Put(out, static_cast<DWORD>(m.args.size()));
    for (const Arg &a : m.args) {
        Put(out, a.kind);
        Put(out, static_cast<DWORD>(a.bytes.size()));
        out.insert(out.end(), a.bytes.begin(), a.bytes.end());
    }
    return out;
}

bool Decode(std::span<const BYTE> data, size_t headWords, Message &m)
{
    m = {};
    m.head.resize(headWords);
    for (DWORD &w : m.head)
        if (!Take(data, w)) return false;
    DWORD n;
    if (!Take(data, n) || n > RPC_MAX_ARGS) return false;
    for (DWORD i = 0; i < n; ++i) {
        DWORD kind, length;
        if (!Take(data, kind) || !Take(data, length) || length > kMaxArgBytes || length > data.size())
            return false;
        bool fixed = kind == RPC_ARG_INT || kind == RPC_ARG_COUNT;
        if (fixed && length != 4) return false;
        if (kind == RPC_ARG_BYTES &&
            (m.args.empty() || m.args.back().kind != RPC_ARG_COUNT || m.args.back().number() != length))
            return false;
        if (!fixed && kind != RPC_ARG_BYTES) return false;
        m.args.push_back({kind, std::vector<BYTE>(data.begin(), data.begin() + length)});
        data = data.subspan(length);
    }
    // A count must be followed by its bytes.
    for (size_t i = 0; i < m.args.size(); ++i)
        if (m.args[i].kind == RPC_ARG_COUNT && (i + 1 == m.args.size() || m.args[i + 1].kind != RPC_ARG_BYTES))
            return false;
    return data.empty();
}

bool KindsMatch(const std::vector<Arg> &args, const DWORD (&kinds)[RPC_MAX_ARGS])
{
    size_t n = 0;
    while (n < RPC_MAX_ARGS && kinds[n] != RPC_ARG_NONE) ++n;
    if (args.size() != n) return false;
    for (size_t i = 0; i < n; ++i)
        if (args[i].kind != kinds[i]) return false;
    return true;
}

} // namespace zarov
