// Sub-allocator against one locked global-memory block per piece, side by
// side in one run:
//   rounds  rounds of N allocations (16 to 63 bytes) then freeing them all,
//           at 100, 1 000 and 4 000 pieces;
//   random  a seeded mix of 8 to 200 byte pieces kept around N live (100,
//           1 000, 4 000), every piece filled and checked at its free, ten
//           identical rounds that each end with everything freed: the tenth
//           round must cost what the first did.
//   calls   the 4 000 mix's calls again (for information), each piece
//           written at one byte, then filled without the check: what is
//           left of the mix's time is the caller's work on its pieces.
// Lines "ratio NAME VALUE TARGET max" are for bench/run (time ratios: the
// library's time over the plain one's, at most TARGET).
#include "bench_clock.h"
#include "dadada32.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

namespace {

constexpr DWORD kPieceTotal = 200000;   // allocations per setting of `rounds`
constexpr int kTries = 3;               // interleaved; the best of each side counts
constexpr int kRandomRounds = 10;

void *GlobalPiece(DWORD n) { return GlobalLock(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, n)); }
DWORD GlobalRelease(void *p)
{
    HGLOBAL h = GlobalHandle(p);
    GlobalUnlock(h);
    return GlobalFree(h) == nullptr;
}

template <class Alloc, class Free> double Rounds(DWORD pieces, Alloc alloc, Free release)
{
    std::vector<void *> p(pieces);
    const double t0 = BenchNow();
    for (DWORD r = 0; r < kPieceTotal / pieces; ++r) {
        for (DWORD i = 0; i < pieces; ++i) p[i] = alloc(16 + (i * 7) % 48);
        for (DWORD i = 0; i < pieces; ++i) release(p[i]);
    }
    return BenchNow() - t0;
}

// One round of the random mix as calls: a size and the byte to fill the
// piece with, or size 0 and the position of the piece to free (the last
// one taking its place).  Both sides replay the same calls.
struct Call { DWORD n, k; BYTE fill; };
std::vector<Call> RandomCalls(DWORD live)
{
    std::vector<Call> calls;
    std::mt19937 rng(live);
    size_t count = 0;
    for (DWORD op = 0; op < 8 * live + 100000; ++op) {
        if (count < live ? rng() % 100 < 70 : rng() % 100 < 45) {
            const DWORD n = 8 + rng() % 193;
            calls.push_back({n, 0, BYTE(rng())});
            ++count;
        } else if (count) {
            calls.push_back({0, DWORD(rng() % count--), 0});
        }
    }
    for (; count; --count) calls.push_back({0, DWORD(count - 1), 0});
    return calls;
}

// What the caller does with each piece: one byte written; every byte
// written; every byte written, then checked at its free.
enum class Use { Byte, Fill, FillAndCheck };

// One replay of a round; false when an allocation failed or a piece lost
// its bytes.
template <class Alloc, class Free>
bool Replay(const std::vector<Call> &calls, Use use, Alloc alloc, Free release, double &seconds)
{
    struct Piece { BYTE *p; DWORD n; BYTE fill; };
    std::vector<Piece> pieces;
    pieces.reserve(calls.size());
    bool intact = true;
    const double t0 = BenchNow();
    for (const Call &c : calls) {
        if (c.n) {
            auto *p = static_cast<BYTE *>(alloc(c.n));
            if (!p) return false;
            if (use == Use::Byte) *static_cast<volatile BYTE *>(p) = c.fill;
            else std::memset(p, c.fill, c.n);
            pieces.push_back({p, c.n, c.fill});
        } else {
            const Piece &q = pieces[c.k];
            if (use == Use::FillAndCheck)
                for (DWORD i = 0; i < q.n; ++i) intact &= q.p[i] == q.fill;
            release(q.p);
            pieces[c.k] = pieces.back();
            pieces.pop_back();
        }
    }
    seconds = BenchNow() - t0;
    return intact;
}

} // namespace

int main()
{
    std::printf("Sub-allocator / one global block per piece (time ratios; best of %d)\n", kTries);
    for (DWORD pieces : {100u, 1000u, 4000u}) {
        double sub = 1e9, global = 1e9;
        for (int t = 0; t < kTries; ++t) {
            sub = std::min(sub, Rounds(pieces, MemorySubAlloc, MemorySubFree));
            global = std::min(global, Rounds(pieces, GlobalPiece, GlobalRelease));
        }
        std::printf("  rounds, %4lu pieces: sub-allocator %.3f s, global memory %.3f s\n",
                    static_cast<unsigned long>(pieces), sub, global);
        std::printf("ratio SubAllocRounds%lu %.3f 1.0 max\n", static_cast<unsigned long>(pieces), sub / global);
    }
    bool ok = true;
    for (DWORD live : {100u, 1000u, 4000u}) {
        const std::vector<Call> calls = RandomCalls(live);
        double subTotal = 0, globalTotal = 0;
        std::vector<double> times;
        for (int r = 0; r < kRandomRounds; ++r) {
            double sub = 0, global = 0;
            ok &= Replay(calls, Use::FillAndCheck, MemorySubAlloc, MemorySubFree, sub);
            ok &= Replay(calls, Use::FillAndCheck, GlobalPiece, GlobalRelease, global);
            times.push_back(sub);
            subTotal += sub;
            globalTotal += global;
        }
        // Early and late rounds, each the best of three (the machine is shared).
        const double first = *std::min_element(times.begin(), times.begin() + 3),
                     last = *std::min_element(times.end() - 3, times.end());
        std::printf("  random 8-200 B, %4lu live: sub-allocator %.3f s (rounds 1-3 %.4f s, rounds %d-%d %.4f s), "
                    "global memory %.3f s\n", static_cast<unsigned long>(live), subTotal, first, kRandomRounds - 2,
                    kRandomRounds, last, globalTotal);
        std::printf("ratio SubAllocRandom%lu %.3f 1.0 max\n", static_cast<unsigned long>(live),
                    subTotal / globalTotal);
        std::printf("ratio SubAllocSteady%lu %.3f 1.1 max\n", static_cast<unsigned long>(live), last / first);
        if (live != 4000) continue;
        // The same calls with less done to each piece, for information.
        for (Use use : {Use::Byte, Use::Fill}) {
            double sub = 0, global = 0;
            for (int r = 0; r < kRandomRounds; ++r) {
                double s = 0, g = 0;
                ok &= Replay(calls, use, MemorySubAlloc, MemorySubFree, s);
                ok &= Replay(calls, use, GlobalPiece, GlobalRelease, g);
                sub += s;
                global += g;
            }
            const char *name = use == Use::Byte ? "" : "Filled";
            std::printf("  calls of the 4000 mix%s: sub-allocator %.3f s, global memory %.3f s\n",
                        use == Use::Byte ? "" : ", pieces filled", sub, global);
            std::printf("ratio SubAllocCalls4000%s %.3f - max\n", name, sub / global);
        }
    }
    if (!ok) std::printf("a piece lost its bytes, or an allocation failed\n");
    return ok ? 0 : 1;
}
