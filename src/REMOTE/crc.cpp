// CrcBuffer: the checksum that guards transferred data on both ends.
#include "dadada32.h"
#include <array>
#include <cstdint>

namespace {

constexpr std::array<uint32_t, 256> MakeTable()
{
    std::array<uint32_t, 256> t{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        t[i] = c;
    }
    return t;
}

constexpr auto kTable = MakeTable();
static_assert(kTable[1] == 0x77073096u, "reflected IEEE 802.3 table");

} // namespace

// The register is read once and written once; no complement on either side.
extern "C" void DADAAPI CrcBuffer(const void *data, DWORD count, DWORD *crc)
{
    if (!crc || !count || !data) return;
    const auto *p = static_cast<const unsigned char *>(data);
    uint32_t c = *crc;
    for (DWORD i = 0; i < count; ++i) c = kTable[(p[i] ^ c) & 0xFF] ^ (c >> 8);
    *crc = c;
}
