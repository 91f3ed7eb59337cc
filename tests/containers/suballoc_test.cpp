// Sub-allocator.  The heap table is process-wide, so each scenario that
// needs a fresh one runs in a child process (a death-test that must exit 0);
// a seeded sequence against a model of the tables checks every answer.
#include <gtest/gtest.h>
#include "dadada32.h"
#include "globalspy.h"

#include <algorithm>
#include <cstdint>
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
    REQUIRE(MemorySubFree(nullptr) == 0);
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

// The sub-allocator as plain walks over its tables: the answers every call
// must give.  Heap blocks are where the library put them: a new heap's base
// is learned from the library's answer (a new heap answers its start).
class LinearModel {
public:
    // The answer, or `fresh` when a new heap's start is due (then Adopt it).
    uintptr_t Alloc(DWORD size, bool &fresh)
    {
        const DWORD n = size ? size : 1;
        fresh = false;
        for (Heap &h : heaps_) {
            Merge(h);
            DWORD largest = h.size - h.used;
            for (const Entry &e : h.entries)
                if (!e.inUse) largest = std::max(largest, e.size);
            if (largest >= n) return From(h, n);
        }
        if (heaps_.size() == 50) return 0;
        fresh = true;
        heaps_.push_back({std::max<DWORD>(n, 65535), 0, 0, {}, false});
        return 0;
    }
    void Adopt(uintptr_t base, DWORD size)
    {
        heaps_.back().base = base;
        From(heaps_.back(), size ? size : 1);
    }
    bool Inside(uintptr_t p) const
    {
        for (const Heap &h : heaps_)
            if (p >= h.base && p < h.base + h.size) return true;
        return false;
    }
    bool InUse(uintptr_t p) const
    {
        for (const Heap &h : heaps_)
            for (const Entry &e : h.entries)
                if (e.address == p) return e.inUse;
        return false;
    }
    DWORD Free(uintptr_t p)
    {
        for (Heap &h : heaps_)
            for (Entry &e : h.entries)
                if (e.address == p) {
                    e.inUse = false;
                    h.dirty = true;
                    return 1;
                }
        return 0;
    }

private:
    struct Entry { bool inUse; DWORD size; uintptr_t address; };
    struct Heap { DWORD size, used; uintptr_t base; std::vector<Entry> entries; bool dirty; };

    static void Merge(Heap &h)
    {
        if (!h.dirty || h.entries.size() < 2) return;
        h.dirty = false;
        for (size_t i = 0; i + 1 < h.entries.size();) {
            Entry &a = h.entries[i], &b = h.entries[i + 1];
            if (!a.inUse && !b.inUse && a.address + a.size == b.address) {
                a.size += b.size;
                h.entries.erase(h.entries.begin() + i + 1);
            } else {
                ++i;
            }
        }
    }
    static uintptr_t From(Heap &h, DWORD n)
    {
        for (size_t i = 0; i < h.entries.size(); ++i) {
            Entry &e = h.entries[i];
            if (e.inUse || e.size < n) continue;
            const DWORD rest = e.size - n;
            const uintptr_t at = e.address;
            e = {true, n, at};
            if (rest) {
                h.entries.push_back({false, rest, at + n});
                h.dirty = true;
            }
            return at;
        }
        if (h.size - h.used < n) return 0;
        h.entries.push_back({true, n, h.base + h.used});
        h.used += n;
        return h.entries.back().address;
    }
    std::vector<Heap> heaps_;
};

// A long seeded mix against the model, every answer compared: pieces of 8
// to 200 bytes kept around 100, 1 000 and 3 000 live, drained to none
// between phases, with now and then a large piece (new heaps, up to the
// last of the 50), a free of an inner address, a second free, a free of an
// address no heap holds, and an empty request.  Every piece is filled and
// must be intact when it is freed.
void MatchesLinearModel()
{
    std::mt19937 rng(2026);
    LinearModel model;
    std::vector<BYTE *> live;
    std::map<BYTE *, DWORD> sizes;
    long step = 0;
    auto fill = [](BYTE *p) { return BYTE(reinterpret_cast<uintptr_t>(p) >> 3); };
    auto alloc = [&](DWORD n) {
        bool fresh;
        uintptr_t want = model.Alloc(n, fresh);
        BYTE *got = Alloc(n);
        if (fresh && got) {
            REQUIRE(!model.Inside(reinterpret_cast<uintptr_t>(got)));
            model.Adopt(reinterpret_cast<uintptr_t>(got), n);
            want = reinterpret_cast<uintptr_t>(got);
        }
        if (reinterpret_cast<uintptr_t>(got) != want) std::fprintf(stderr, "step %ld: alloc %lu\n", step, n);
        REQUIRE(reinterpret_cast<uintptr_t>(got) == want);
        if (got) live.push_back(got), memset(got, fill(got), n), sizes[got] = n;
    };
    auto release = [&](BYTE *p) {
        if (model.InUse(reinterpret_cast<uintptr_t>(p)) && sizes.count(p))
            for (DWORD i = 0; i < sizes[p]; ++i) REQUIRE(p[i] == fill(p));
        const DWORD want = model.Free(reinterpret_cast<uintptr_t>(p)), got = MemorySubFree(p);
        if (got != want) std::fprintf(stderr, "step %ld: free answers %lu\n", step, got);
        REQUIRE(got == want);
    };
    for (size_t target : {100u, 1000u, 3000u, 1000u}) {
        for (int i = 0; i < 12000; ++i, ++step) {
            const DWORD r = rng() % 1000;
            if (r < 2) {
                alloc(70000 + rng() % 100000);
            } else if (r < 4) {
                alloc(0);
            } else if (r < 8 && !live.empty()) {
                release(live[rng() % live.size()] + 1 + rng() % 7);   // may be the next piece's start
            } else if (r < 10) {
                BYTE local;
                REQUIRE(MemorySubFree(&local) == 0);
            } else if (live.size() < target ? rng() % 100 < 60 : rng() % 100 < 40) {
                alloc(8 + rng() % 193);
            } else if (!live.empty()) {
                const size_t k = rng() % live.size();
                BYTE *p = live[k];
                live[k] = live.back();
                live.pop_back();
                release(p);
                if (rng() % 20 == 0) release(p);
            }
        }
        while (!live.empty()) {
            BYTE *p = live.back();
            live.pop_back();
            release(p);
            ++step;
        }
    }
}

void RunFresh(void (*scenario)()) { scenario(); _exit(0); }

#define FRESH(name) TEST(SubAllocDeathTest, name) { EXPECT_EXIT(RunFresh(name), testing::ExitedWithCode(0), ""); }
FRESH(FirstHeaps) FRESH(FiftyHeaps) FRESH(MatchesLinearModel)

} // namespace
