// CrcBuffer: the checksum that guards transferred data on both ends.
#include "dadada32.h"
#include <array>
#include <cstdint>

namespace {

// kTables[0] is the byte table of the reflected IEEE 802.3 polynomial;
// kTables[k][b] is the register after byte b followed by k zero bytes, so
// eight bytes fold into the register with eight look-ups and no loop.
using Tables = std::array<std::array<uint32_t, 256>, 8>;

constexpr Tables MakeTables()
{
    Tables t{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        t[0][i] = c;
    }
    for (size_t k = 1; k < t.size(); ++k)
        for (uint32_t i = 0; i < 256; ++i) t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
    return t;
}

constexpr Tables kTables = MakeTables();
static_assert(kTables[0][1] == 0x77073096u, "reflected IEEE 802.3 table");

uint32_t Le32(const unsigned char *p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

} // namespace

// The register is read once and written once; no complement on either side.
// Byte for byte the same as c = T[(b ^ c) & 0xFF] ^ (c >> 8), eight bytes a
// step.
extern "C" void DADAAPI CrcBuffer(const void *data, DWORD count, DWORD *crc)
{
    if (!crc || !count || !data) return;
    const auto *p = static_cast<const unsigned char *>(data);
    const auto &t = kTables;
    uint32_t c = *crc;
    for (; count >= 8; count -= 8, p += 8) {
        const uint32_t lo = Le32(p) ^ c, hi = Le32(p + 4);
        c = t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^ t[4][lo >> 24] ^
            t[3][hi & 0xFF] ^ t[2][(hi >> 8) & 0xFF] ^ t[1][(hi >> 16) & 0xFF] ^ t[0][hi >> 24];
    }
    for (; count; --count, ++p) c = t[0][(*p ^ c) & 0xFF] ^ (c >> 8);
    *crc = c;
}
