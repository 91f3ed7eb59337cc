// Sub-allocator against a model of its tables (process-wide: this program holds no other test).
#include <gtest/gtest.h>
#include "dadada32.h"
#include "globalspy.h"

#include <map>
#include <random>

namespace {

// Plain walks over the tables; a request of 0 is one of 1; a new heap's base is the library's answer.
struct Model {
    struct Entry { bool inUse; DWORD size; BYTE *address; };
    struct Heap { DWORD size, used; BYTE *base; std::vector<Entry> entries; };
    std::vector<Heap> heaps;

    BYTE *Alloc(DWORD size, BYTE *got)
    {
        const DWORD n = std::max<DWORD>(size, 1);
        for (Heap &h : heaps)
            if (BYTE *p = From(h, n)) return p;
        if (heaps.size() == 50) return nullptr;
        heaps.push_back({std::max<DWORD>(n, 65535), 0, got, {}});
        EXPECT_EQ(heaps.back().size, GlobalSize(GlobalHandle(got))) << "a new heap answers its block's start";
        return From(heaps.back(), n);
    }
    DWORD Free(BYTE *p)
    {
        for (Heap &h : heaps)
            for (Entry &e : h.entries)
                if (e.address == p) {
                    e.inUse = false;
                    return 1;
                }
        return 0;
    }
    // Joins free neighbours that follow each other in the table.
    static void Merge(Heap &h)
    {
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
    // After merging: first fit among the entries (the rest of a split one appended), else the free top.
    static BYTE *From(Heap &h, DWORD n)
    {
        Merge(h);
        for (Entry &e : h.entries) {
            if (e.inUse || e.size < n) continue;
            BYTE *at = e.address;
            const DWORD rest = e.size - n;
            e = {true, n, at};
            if (rest) h.entries.push_back({false, rest, at + n});
            return at;
        }
        if (h.size - h.used < n) return nullptr;
        h.entries.push_back({true, n, h.base + h.used});
        h.used += n;
        return h.entries.back().address;
    }
};

// Pieces of 8 to 200 bytes, around 100 to 3 000 live; now and then a new heap, an empty request,
// a free of an inner, freed or foreign address; then all 50 heaps.  Every piece's bytes are checked.
TEST(SubAlloc, MatchesModel)
{
    std::mt19937 rng(2026);
    Model model;
    std::vector<BYTE *> live;
    std::map<BYTE *, DWORD> sizes;   // pieces in use
    auto fill = [](BYTE *p) { return BYTE(reinterpret_cast<uintptr_t>(p) >> 3); };
    auto alloc = [&](DWORD n) {
        BYTE *got = static_cast<BYTE *>(MemorySubAlloc(n));
        ASSERT_EQ(model.Alloc(n, got), got) << "request of " << n;
        if (!got) return;
        live.push_back(got);
        memset(got, fill(got), n);
        sizes[got] = n;
    };
    auto release = [&](BYTE *p) {
        for (DWORD i = 0; sizes.count(p) && i < sizes[p]; ++i) ASSERT_EQ(fill(p), p[i]) << "piece of " << sizes[p];
        ASSERT_EQ(model.Free(p), MemorySubFree(p));
        sizes.erase(p);
    };
    dadatest::GlobalAllocSpy spy;
    alloc(100);
    // The heap table is fixed; a heap block and its entry table are moveable.
    const UINT fixed = GMEM_FIXED | GMEM_ZEROINIT, moveable = GMEM_MOVEABLE | GMEM_ZEROINIT;
    EXPECT_EQ((std::vector<UINT>{fixed, moveable, moveable}), spy.takeFlags());
    EXPECT_EQ(0u, MemorySubFree(nullptr));
    for (size_t target : {100u, 1000u, 3000u, 1000u}) {
        for (int step = 0; step < 12000 && !HasFatalFailure(); ++step) {
            const DWORD r = rng() % 1000;
            BYTE local;   // an address no heap holds
            if (r < 2) {
                alloc(70000 + rng() % 100000);
            } else if (r < 4) {
                alloc(0);
            } else if (r < 10 && !live.empty()) {
                release(r < 8 ? live[rng() % live.size()] + 1 + rng() % 7 : &local);   // an inner address may start the next piece
            } else if (rng() % 100 < (live.size() < target ? 60 : 40)) {
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
        for (; !live.empty() && !HasFatalFailure(); live.pop_back()) release(live.back());
        ASSERT_FALSE(HasFatalFailure()) << "phase of " << target << " live pieces";
    }
    for (int i = 0; i < 80 && !HasFatalFailure(); ++i) alloc(65535);   // up to the last of the 50 heaps, and past
    EXPECT_EQ(50u, model.heaps.size());
}

} // namespace
