// Sub-allocator.  The heap table is process-wide, so each scenario that
// needs a fresh one runs in a child process (a death-test that must exit 0);
// the random sequence checks that live pieces stay intact and disjoint.
#include <gtest/gtest.h>
#include "dadada32.h"
#include "globalspy.h"

#include <cstdio>
#include <map>
#include <random>
#include <vector>

namespace {

#define REQUIRE(cond) \
    if (!(cond)) std::fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #cond), std::fflush(stderr), _exit(1)

BYTE *Alloc(DWORD n) { return static_cast<BYTE *>(MemorySubAlloc(n)); }

// Size of the global-memory block that starts at p (0 if p is no block start).
SIZE_T BlockAt(void *p)
{
    HGLOBAL h = GlobalHandle(p);
    if (!h) return 0;
    void *start = GlobalLock(h);
    GlobalUnlock(h);
    return start == p ? GlobalSize(h) : 0;
}

void FirstHeaps()
{
    dadatest::GlobalAllocSpy spy;
    BYTE *p = Alloc(100);
    REQUIRE(p && BlockAt(p) == 65535);
    // The heap table is fixed; a heap block and its entry table are moveable.
    const UINT fixed = GMEM_FIXED | GMEM_ZEROINIT, moveable = GMEM_MOVEABLE | GMEM_ZEROINIT;
    REQUIRE(spy.takeFlags() == (std::vector<UINT>{fixed, moveable, moveable}));
    BYTE *big = Alloc(100000);
    REQUIRE(big && BlockAt(big) == 100000);
    REQUIRE(Alloc(200) == p + 100);
    REQUIRE(Alloc(65535 - 300) == p + 300);   // fills the first heap exactly
    BYTE *next = Alloc(1);
    REQUIRE(next == big + 100000 || BlockAt(next) == 65535);
}

void SplitAndReuse()
{
    BYTE *p = Alloc(100), *q = Alloc(50);
    REQUIRE(q == p + 100);
    REQUIRE(MemorySubFree(p) == 1);
    REQUIRE(Alloc(40) == p);
    REQUIRE(Alloc(60) == p + 40);
    REQUIRE(MemorySubFree(p + 1) == 0);
    REQUIRE(MemorySubFree(q) == 1);
    REQUIRE(MemorySubFree(q) == 1);
    REQUIRE(MemorySubFree(nullptr) == 0);
    BYTE *z1 = Alloc(0), *z2 = Alloc(0);
    REQUIRE(z1 && z2 && z1 != z2);
}

void NeighboursMerge()
{
    BYTE *a = Alloc(100), *b = Alloc(100);
    REQUIRE(Alloc(65535 - 200) == a + 200);
    REQUIRE(MemorySubFree(a) == 1 && MemorySubFree(b) == 1);
    REQUIRE(Alloc(200) == a);
}

void FiftyHeaps()
{
    std::vector<BYTE *> full;
    for (int i = 0; i < 50; ++i) {
        full.push_back(Alloc(65535));
        REQUIRE(full.back() && BlockAt(full.back()) == 65535);
    }
    REQUIRE(Alloc(65535) == nullptr);
    REQUIRE(Alloc(1) == nullptr);
    REQUIRE(MemorySubFree(full[17]) == 1);
    REQUIRE(Alloc(70000) == nullptr);
    REQUIRE(Alloc(65535) == full[17]);
}

void RunFresh(void (*scenario)()) { scenario(); _exit(0); }

#define FRESH(name) TEST(SubAllocDeathTest, name) { EXPECT_EXIT(RunFresh(name), testing::ExitedWithCode(0), ""); }
FRESH(FirstHeaps) FRESH(SplitAndReuse) FRESH(NeighboursMerge) FRESH(FiftyHeaps)

// Seeded alloc/free sequence against a model of the live pieces.
TEST(SubAlloc, RandomSequenceKeepsPiecesIntact)
{
    std::mt19937 rng(77);
    struct Piece { DWORD size; BYTE fill; };
    std::map<BYTE *, Piece> live;
    SIZE_T liveBytes = 0;
    auto intact = [](BYTE *p, const Piece &piece) {
        for (DWORD i = 0; i < piece.size; ++i)
            if (p[i] != piece.fill) return false;
        return true;
    };
    for (int step = 0; step < 20000; ++step) {
        if (live.empty() || (rng() % 100 < 55 && liveBytes < 600000)) {
            DWORD r = rng() % 100;
            DWORD n = r < 60 ? 1 + rng() % 64 : r < 90 ? 65 + rng() % 2000 : r < 99 ? 2001 + rng() % 30000 : 0;
            BYTE *p = Alloc(n);
            ASSERT_TRUE(p) << "step " << step << ", " << n << " bytes";
            auto after = live.lower_bound(p);
            if (after != live.end()) ASSERT_LE(p + n, after->first) << "overlaps the next live piece";
            if (after != live.begin()) {
                auto before = std::prev(after);
                ASSERT_LE(before->first + before->second.size, p) << "overlaps the previous live piece";
            }
            BYTE fill = BYTE(rng());
            memset(p, fill, n);
            live[p] = {n, fill};
            liveBytes += n;
        } else {
            auto it = std::next(live.begin(), rng() % live.size());
            ASSERT_TRUE(intact(it->first, it->second)) << "step " << step;
            if (it->second.size > 1) ASSERT_EQ(0u, MemorySubFree(it->first + 1));
            ASSERT_EQ(1u, MemorySubFree(it->first));
            if (rng() % 10 == 0) ASSERT_EQ(1u, MemorySubFree(it->first)) << "a second free";
            liveBytes -= it->second.size;
            live.erase(it);
        }
        if (step % 1000 == 0)
            for (auto &[p, piece] : live) ASSERT_TRUE(intact(p, piece)) << "step " << step;
    }
    for (auto &[p, piece] : live) {
        ASSERT_TRUE(intact(p, piece));
        ASSERT_EQ(1u, MemorySubFree(p));
    }
}

} // namespace
