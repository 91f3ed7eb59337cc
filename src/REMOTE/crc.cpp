// CrcBuffer: the checksum that guards transferred data on both ends.
#include "dadada32.h"
#include <array>
#include <cassert>
#include <cpuid.h>
#include <cstdint>
#include <wmmintrin.h>

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

// Bytes folded with the eight tables.
uint32_t CrcTables(const unsigned char *p, size_t count, uint32_t c)
{
    const auto &t = kTables;
    for (; count >= 8; count -= 8, p += 8) {
        const uint32_t lo = Le32(p) ^ c, hi = Le32(p + 4);
        c = t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^ t[4][lo >> 24] ^
            t[3][hi & 0xFF] ^ t[2][(hi >> 8) & 0xFF] ^ t[1][(hi >> 16) & 0xFF] ^ t[0][hi >> 24];
    }
    for (; count; --count, ++p) c = t[0][(*p ^ c) & 0xFF] ^ (c >> 8);
    return c;
}

// Carry-less multiplication folds 64 bytes a step into four 128-bit
// remainders, then one, then reduces it to the 32-bit register (Barrett).
// The constants are powers of x modulo the polynomial, bit-reflected:
// x^(4*128+32), x^(4*128-32) for the four-way fold, x^(128+32), x^(128-32)
// for the one-way fold, x^64 for 64 -> 32 bits, then P(x) and
// floor(x^64 / P(x)).  Takes a multiple of 16 bytes, at least 64.
constexpr size_t kFoldMinimum = 64;
constexpr size_t kFoldStep = 16;

#define FOLD_TARGET __attribute__((target("pclmul,sse2")))

FOLD_TARGET __m128i Load(const unsigned char *at)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i *>(at));
}

// x times its constant pair (low half by the first, high by the second), plus next.
FOLD_TARGET __m128i Fold(__m128i x, __m128i k, __m128i next)
{
    return _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x00), _mm_clmulepi64_si128(x, k, 0x11)), next);
}

FOLD_TARGET __attribute__((force_align_arg_pointer))
uint32_t CrcFold(const unsigned char *p, size_t count, uint32_t c)
{
    assert(count >= kFoldMinimum && count % kFoldStep == 0);
    const __m128i k1k2 = _mm_set_epi64x(0x01c6e41596, 0x0154442bd4);
    const __m128i k3k4 = _mm_set_epi64x(0x00ccaa009e, 0x01751997d0);
    const __m128i k5 = _mm_set_epi64x(0, 0x0163cd6124);
    const __m128i poly = _mm_set_epi64x(0x01f7011641, 0x01db710641);
    const __m128i low32 = _mm_setr_epi32(-1, 0, -1, 0);

    __m128i x[4] = {_mm_xor_si128(Load(p), _mm_cvtsi32_si128(static_cast<int>(c))), Load(p + 16), Load(p + 32),
                    Load(p + 48)};
    for (p += 64, count -= 64; count >= 64; p += 64, count -= 64)
        for (int i = 0; i < 4; ++i) x[i] = Fold(x[i], k1k2, Load(p + 16 * i));
    __m128i r = x[0];
    for (int i = 1; i < 4; ++i) r = Fold(r, k3k4, x[i]);
    for (; count >= 16; p += 16, count -= 16) r = Fold(r, k3k4, Load(p));

    // 128 -> 64 bits, 64 -> 32 bits, then the Barrett reduction.
    r = _mm_xor_si128(_mm_srli_si128(r, 8), _mm_clmulepi64_si128(r, k3k4, 0x10));
    r = _mm_xor_si128(_mm_srli_si128(r, 4), _mm_clmulepi64_si128(_mm_and_si128(r, low32), k5, 0x00));
    __m128i q = _mm_and_si128(_mm_clmulepi64_si128(_mm_and_si128(r, low32), poly, 0x10), low32);
    r = _mm_xor_si128(r, _mm_clmulepi64_si128(q, poly, 0x00));
    return static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(r, 4)));
}

bool HasCarrylessMultiply()
{
    unsigned a, b, c, d;
    return __get_cpuid(1, &a, &b, &c, &d) && (c & bit_PCLMUL) && (d & bit_SSE2);
}

// Read once; every thread sees the same answer.
const bool kCanFold = HasCarrylessMultiply();

} // namespace

// The register is read once and written once; no complement on either side.
// Byte for byte the same as c = T[(b ^ c) & 0xFF] ^ (c >> 8).
extern "C" void DADAAPI CrcBuffer(const void *data, DWORD count, DWORD *crc)
{
    if (!crc || !count || !data) return;
    const auto *p = static_cast<const unsigned char *>(data);
    uint32_t c = *crc;
    size_t folded = 0;
    if (kCanFold && count >= kFoldMinimum) {
        folded = count & ~(kFoldStep - 1);
        c = CrcFold(p, folded, c);
    }
    *crc = CrcTables(p + folded, count - folded, c);
}
