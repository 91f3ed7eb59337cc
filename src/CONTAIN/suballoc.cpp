// Memory sub-allocator: small pieces carved from up to 50 process-wide
// heaps of global memory.  Every piece ever carved has one entry in its
// heap's entry table; free entries are reused first fit and merged with the
// entry after them in the table when the two touch.
#include "dadada32.h"
#include "dada/memblock.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

struct SubPiece {
    DWORD inUse;   // only the low byte counts
    DWORD size;
    BYTE *address;
};

struct SubHeap {
    DWORD     size;
    DWORD     used;            // carved from the start; the free top follows
    BYTE     *base;
    DWORD     entryCapacity;
    DWORD     entryCount;
    SubPiece *entries;
    DWORD     dirty;           // a merge pass is due
};

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(SubPiece) == 12);
static_assert(offsetof(SubHeap, size) == 0);
static_assert(offsetof(SubHeap, used) == 4);
static_assert(offsetof(SubHeap, base) == 8);
static_assert(offsetof(SubHeap, entryCapacity) == 12);
static_assert(offsetof(SubHeap, entryCount) == 16);
static_assert(offsetof(SubHeap, entries) == 20);
static_assert(offsetof(SubHeap, dirty) == 24);
static_assert(sizeof(SubHeap) == 28);
#endif

namespace {

constexpr DWORD kMaxHeaps = 50;
constexpr DWORD kMinHeapBytes = 65535;
constexpr DWORD kEntryGrowth = 100;
constexpr DWORD kSpareEntries = 2;

SubHeap *g_heaps;   // kMaxHeaps descriptors; created once, never released

bool InUse(const SubPiece &e) { return (e.inUse & 0xFF) != 0; }

SubPiece *NewEntryTable(DWORD entries)
{
    return static_cast<SubPiece *>(dada::BlockAlloc(SIZE_T(entries) * sizeof(SubPiece), dada::Block::Moveable));
}

// Joins each free entry with the free entry after it in the table when the
// first ends where the second begins.
void Merge(SubHeap &h)
{
    if (!h.dirty || h.entryCount < 2) return;
    h.dirty = 0;
    for (DWORD i = 0; i + 1 < h.entryCount;) {
        SubPiece &a = h.entries[i], &b = h.entries[i + 1];
        if (!InUse(a) && !InUse(b) && a.address + a.size == b.address) {
            a.size += b.size;
            std::memmove(&h.entries[i + 1], &h.entries[i + 2], (h.entryCount - i - 2) * sizeof(SubPiece));
            std::memset(&h.entries[--h.entryCount], 0, sizeof(SubPiece));
        } else {
            ++i;
        }
    }
}

DWORD LargestAvailable(const SubHeap &h)
{
    DWORD largest = h.size - h.used;
    for (DWORD i = 0; i < h.entryCount; ++i)
        if (!InUse(h.entries[i])) largest = std::max(largest, h.entries[i].size);
    return largest;
}

bool EnsureSpareEntries(SubHeap &h)
{
    if (h.entryCapacity - h.entryCount >= kSpareEntries) return true;
    SubPiece *table = NewEntryTable(h.entryCapacity + kEntryGrowth);
    if (!table) return false;
    std::memcpy(table, h.entries, SIZE_T(h.entryCount) * sizeof(SubPiece));
    h.entryCapacity += kEntryGrowth;
    dada::BlockFree(h.entries);
    h.entries = table;
    return true;
}

void Append(SubHeap &h, DWORD inUse, DWORD size, BYTE *address)
{
    h.entries[h.entryCount++] = SubPiece{inUse, size, address};
}

void *AllocateFrom(SubHeap &h, DWORD n)
{
    for (DWORD i = 0; i < h.entryCount; ++i) {
        if (InUse(h.entries[i]) || h.entries[i].size < n) continue;
        if (!EnsureSpareEntries(h)) return nullptr;
        SubPiece &e = h.entries[i];
        DWORD rest = e.size - n;
        e.inUse = 1;
        e.size = n;
        if (rest) {
            Append(h, 0, rest, e.address + n);
            h.dirty = 1;
        }
        return e.address;
    }
    if (h.size - h.used < n || !EnsureSpareEntries(h)) return nullptr;
    BYTE *piece = h.base + h.used;
    Append(h, 1, n, piece);
    h.used += n;
    return piece;
}

SubHeap *NewHeap(SubHeap &h, DWORD n)
{
    DWORD size = std::max(n, kMinHeapBytes);
    h.base = static_cast<BYTE *>(dada::BlockAlloc(size, dada::Block::Moveable));
    h.entries = NewEntryTable(kEntryGrowth);
    if (!h.base || !h.entries) {
        dada::BlockFree(h.base);
        dada::BlockFree(h.entries);
        h = SubHeap{};
        return nullptr;
    }
    h.size = size;
    h.entryCapacity = kEntryGrowth;
    return &h;
}

} // namespace

extern "C" {

void *WINAPI MemorySubAlloc(DWORD size)
{
    // An empty request still gets a piece of its own, so that no two pieces
    // ever share an address.
    DWORD n = std::max<DWORD>(size, 1);
    if (!g_heaps) g_heaps = static_cast<SubHeap *>(dada::BlockAlloc(kMaxHeaps * sizeof(SubHeap), dada::Block::Fixed));
    if (!g_heaps) return nullptr;
    DWORD i = 0;
    for (; i < kMaxHeaps && g_heaps[i].base; ++i) {
        Merge(g_heaps[i]);
        if (LargestAvailable(g_heaps[i]) >= n) return AllocateFrom(g_heaps[i], n);
    }
    if (i == kMaxHeaps) return nullptr;
    SubHeap *heap = NewHeap(g_heaps[i], n);
    return heap ? AllocateFrom(*heap, n) : nullptr;
}

DWORD WINAPI MemorySubFree(void *piece)
{
    if (!g_heaps || !piece) return 0;
    for (DWORD i = 0; i < kMaxHeaps && g_heaps[i].base; ++i) {
        SubHeap &h = g_heaps[i];
        for (DWORD k = 0; k < h.entryCount; ++k) {
            if (h.entries[k].address != piece) continue;
            h.entries[k].inUse = 0;
            h.dirty = 1;
            return 1;
        }
    }
    return 0;
}

} // extern "C"
