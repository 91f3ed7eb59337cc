// Memory sub-allocator: small pieces carved from up to 50 process-wide
// heaps of global memory.  Every piece ever carved has one entry in its
// heap's entry table; free entries are reused first fit and merged with the
// entry after them in the table when the two touch.
//
// The answers are those of plain walks over the entry tables (first fit in
// table order, a merge pass over the table before a heap is considered),
// but each heap keeps an index beside its table so that no call walks it:
//   - a max-tree over the table slots (the size of each free entry, 0 for
//     the rest) gives the largest free entry and the first fit by descent;
//   - a hash from piece address to slot finds the entry a free names;
//   - links between the live slots give "the entry after it in the table";
//   - the slots whose pair with the next entry may have become mergeable
//     since the last merge pass (a free touches the freed entry and the one
//     before it, a split the new last entry's predecessor) are the only ones
//     the merge pass looks at.  A full pass collapses every run of touching
//     free neighbours into the run's first entry; touching only the pending
//     slots gives exactly that, as no other pair can have changed.
// An entry removed by a merge leaves a hole (address null) in the table, so
// no slot moves; the holes are squeezed out when the table is full and
// three quarters of it are holes, otherwise the table grows by 100 entries
// (the index beside it by doubling).
//
// Not thread-safe: the heap table is process-wide and unlocked, as callers
// are told.
#include "dadada32.h"
#include "dada/memblock.h"

#include <algorithm>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

struct SubPiece {
    DWORD inUse;   // only the low byte counts
    DWORD size;
    BYTE *address; // null: a hole left by a merge
};

struct SubHeap {
    DWORD     size;
    DWORD     used;            // carved from the start; the free top follows
    BYTE     *base;
    DWORD     entryCapacity;
    DWORD     entryCount;      // table slots used, holes included
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
constexpr uint32_t kNone = 0xFFFFFFFFu;     // no slot
constexpr size_t kNotFound = SIZE_MAX;       // no position in the hash

bool InUse(const SubPiece &e) { return (e.inUse & 0xFF) != 0; }
bool Live(const SubPiece &e) { return e.address != nullptr; }

// The index of one heap's entry table; see the top of the file.
struct HeapIndex {
    uint32_t live = 0;                  // entries (slots that are no hole)
    uint32_t head = kNone, tail = kNone;
    std::vector<uint32_t> next, prev;   // per slot, between live slots
    uint32_t leaves = 0;                // power of two, at least the capacity
    std::vector<DWORD> tree;            // 2 * leaves; [1] is the largest free entry
    std::vector<uint32_t> hash;         // slot + 1, 0 empty; power-of-two size
    std::vector<uint32_t> pending;      // slots to look at in the next merge pass
    std::vector<uint8_t> queued;        // per slot: in `pending`
};

SubHeap *g_heaps;                       // kMaxHeaps descriptors; created once, never released
HeapIndex g_index[kMaxHeaps];           // beside g_heaps[i]

// ---- the max-tree over the slots -------------------------------------------

DWORD LeafValue(const SubPiece &e) { return Live(e) && !InUse(e) ? e.size : 0; }

// A node that keeps its value leaves every node above it as it was.
void TreeSet(HeapIndex &x, uint32_t slot, DWORD value)
{
    size_t k = x.leaves + slot;
    if (x.tree[k] == value) return;
    x.tree[k] = value;
    for (k >>= 1; k; k >>= 1) {
        const DWORD top = std::max(x.tree[2 * k], x.tree[2 * k + 1]);
        if (x.tree[k] == top) break;
        x.tree[k] = top;
    }
}

// The first slot in table order holding a free entry of at least n bytes.
uint32_t FirstFit(const HeapIndex &x, DWORD n)
{
    if (x.tree[1] < n) return kNone;
    size_t k = 1;
    while (k < x.leaves) k = x.tree[2 * k] >= n ? 2 * k : 2 * k + 1;
    return static_cast<uint32_t>(k - x.leaves);
}

// ---- address -> slot ---------------------------------------------------------

size_t HashOf(const SubHeap &h, const HeapIndex &x, const BYTE *address)
{
    const uint32_t offset = static_cast<uint32_t>(address - h.base);
    return (offset * 2654435761u) & (x.hash.size() - 1);
}

void HashInsert(const SubHeap &h, HeapIndex &x, uint32_t slot)
{
    size_t i = HashOf(h, x, h.entries[slot].address);
    while (x.hash[i]) i = (i + 1) & (x.hash.size() - 1);
    x.hash[i] = slot + 1;
}

// Position in `hash` of the live entry at `address`, or kNotFound.
size_t HashFind(const SubHeap &h, const HeapIndex &x, const BYTE *address)
{
    for (size_t i = HashOf(h, x, address);; i = (i + 1) & (x.hash.size() - 1)) {
        if (!x.hash[i]) return kNotFound;
        if (h.entries[x.hash[i] - 1].address == address) return i;
    }
}

// Linear-probing removal: later members of the cluster move back into the gap.
void HashErase(const SubHeap &h, HeapIndex &x, size_t gap)
{
    const size_t mask = x.hash.size() - 1;
    for (size_t i = (gap + 1) & mask; x.hash[i]; i = (i + 1) & mask) {
        const size_t home = HashOf(h, x, h.entries[x.hash[i] - 1].address);
        if (((i - home) & mask) >= ((i - gap) & mask)) {
            x.hash[gap] = x.hash[i];
            gap = i;
        }
    }
    x.hash[gap] = 0;
}

// ---- building the index ------------------------------------------------------

// Sizes a fresh index for a table of up to `capacity` entries; false when
// memory runs out.  Every later step on the index allocates nothing.
bool Reserve(HeapIndex &x, uint32_t capacity)
{
    try {
        uint32_t leaves = 1;
        while (leaves < capacity) leaves <<= 1;
        size_t buckets = 4;
        while (buckets < 2 * size_t(capacity)) buckets <<= 1;
        x.next.resize(capacity);
        x.prev.resize(capacity);
        x.queued.assign(capacity, 0);
        x.pending.reserve(capacity);
        x.tree.resize(2 * size_t(leaves));
        x.hash.resize(buckets);
        x.leaves = leaves;
        return true;
    } catch (const std::bad_alloc &) {
        return false;
    }
}

// Rebuilds the links, the tree and the hash from the table (not the
// pending slots).
void Fill(const SubHeap &h, HeapIndex &x)
{
    std::fill(x.tree.begin(), x.tree.end(), 0);
    std::fill(x.hash.begin(), x.hash.end(), 0);
    x.live = 0;
    x.head = x.tail = kNone;
    for (uint32_t s = 0; s < h.entryCount; ++s) {
        const SubPiece &e = h.entries[s];
        if (!Live(e)) continue;
        ++x.live;
        x.next[s] = kNone;
        x.prev[s] = x.tail;
        (x.tail == kNone ? x.head : x.next[x.tail]) = s;
        x.tail = s;
        x.tree[x.leaves + s] = LeafValue(e);
        HashInsert(h, x, s);
    }
    for (size_t k = x.leaves - 1; k; --k) x.tree[k] = std::max(x.tree[2 * k], x.tree[2 * k + 1]);
}

void Queue(HeapIndex &x, uint32_t slot)
{
    if (slot == kNone || x.queued[slot]) return;
    x.queued[slot] = 1;
    x.pending.push_back(slot);   // never reallocates: reserved for every slot
}

// Squeezes the holes out of the table, keeping the order of the entries
// and which of them are pending.
void Compact(SubHeap &h, HeapIndex &x)
{
    DWORD to = 0;
    for (DWORD s = 0; s < h.entryCount; ++s) {
        if (!Live(h.entries[s])) continue;
        x.queued[to] = x.queued[s];
        h.entries[to++] = h.entries[s];
    }
    std::memset(&h.entries[to], 0, SIZE_T(h.entryCount - to) * sizeof(SubPiece));
    std::fill(x.queued.begin() + to, x.queued.end(), 0);
    h.entryCount = to;
    x.pending.clear();
    for (uint32_t s = 0; s < to; ++s)
        if (x.queued[s]) x.pending.push_back(s);
    Fill(h, x);
}

SubPiece *NewEntryTable(DWORD entries)
{
    return static_cast<SubPiece *>(dada::BlockAlloc(SIZE_T(entries) * sizeof(SubPiece), dada::Block::Moveable));
}

// At least kSpareEntries free slots at the end of the table: squeezed out
// of the holes when they are three quarters of the table (a squeeze costs
// a walk of the table, so it must free many slots), else by growing it.
// False (nothing changed) when memory runs out.
bool EnsureSpareEntries(SubHeap &h, HeapIndex &x)
{
    if (h.entryCapacity - h.entryCount >= kSpareEntries) return true;
    const DWORD holes = h.entryCount - x.live;
    if (holes >= kSpareEntries && holes >= h.entryCount / 4 * 3) {
        Compact(h, x);
        return true;
    }
    // The index grows by doubling, so most table growths leave it as it is
    // (slots keep their numbers); a new table is made only once the index
    // has room for it.
    const DWORD capacity = h.entryCapacity + kEntryGrowth;
    HeapIndex grown;
    const bool regrow = x.next.size() < capacity;
    if (regrow && !Reserve(grown, std::max<DWORD>(capacity, 2 * DWORD(x.next.size())))) return false;
    SubPiece *table = NewEntryTable(capacity);
    if (!table) return false;
    std::memcpy(table, h.entries, SIZE_T(h.entryCount) * sizeof(SubPiece));
    dada::BlockFree(h.entries);
    h.entries = table;
    h.entryCapacity = capacity;
    if (regrow) {
        std::copy(x.queued.begin(), x.queued.end(), grown.queued.begin());
        grown.pending.assign(x.pending.begin(), x.pending.end());   // within the reserve
        x = std::move(grown);
        Fill(h, x);
    }
    return true;
}

uint32_t Append(SubHeap &h, HeapIndex &x, DWORD inUse, DWORD size, BYTE *address)
{
    assert(h.entryCount < h.entryCapacity);
    const uint32_t s = h.entryCount++;
    h.entries[s] = SubPiece{inUse, size, address};
    ++x.live;
    x.next[s] = kNone;
    x.prev[s] = x.tail;
    (x.tail == kNone ? x.head : x.next[x.tail]) = s;
    x.tail = s;
    TreeSet(x, s, LeafValue(h.entries[s]));
    HashInsert(h, x, s);
    return s;
}

// Takes the entry at `slot` out of the table (it was merged into the one
// before it), leaving a hole.
void Remove(SubHeap &h, HeapIndex &x, uint32_t slot)
{
    HashErase(h, x, HashFind(h, x, h.entries[slot].address));
    const uint32_t before = x.prev[slot], after = x.next[slot];
    (before == kNone ? x.head : x.next[before]) = after;
    (after == kNone ? x.tail : x.prev[after]) = before;
    TreeSet(x, slot, 0);
    h.entries[slot] = SubPiece{};
    --x.live;
}

// The merge pass: joins each free entry with the free entry after it in
// the table when the first ends where the second begins.
void Merge(SubHeap &h, HeapIndex &x)
{
    if (!h.dirty || x.live < 2) return;
    h.dirty = 0;
    for (uint32_t s : x.pending) {
        x.queued[s] = 0;
        SubPiece &a = h.entries[s];
        if (!Live(a) || InUse(a)) continue;
        bool grown = false;
        for (uint32_t n = x.next[s]; n != kNone && !InUse(h.entries[n]) && a.address + a.size == h.entries[n].address;
             n = x.next[s]) {
            a.size += h.entries[n].size;
            Remove(h, x, n);
            grown = true;
        }
        if (grown) TreeSet(x, s, a.size);
    }
    x.pending.clear();
}

DWORD LargestAvailable(const SubHeap &h, const HeapIndex &x) { return std::max(h.size - h.used, x.tree[1]); }

void *AllocateFrom(SubHeap &h, HeapIndex &x, DWORD n)
{
    if (FirstFit(x, n) != kNone) {
        if (!EnsureSpareEntries(h, x)) return nullptr;
        const uint32_t s = FirstFit(x, n);     // the same entry, wherever the table put it
        SubPiece &e = h.entries[s];
        const DWORD rest = e.size - n;
        e.inUse = 1;
        e.size = n;
        TreeSet(x, s, 0);
        if (rest) {
            const uint32_t t = Append(h, x, 0, rest, e.address + n);
            Queue(x, x.prev[t]);
            h.dirty = 1;
        }
        return e.address;
    }
    if (h.size - h.used < n || !EnsureSpareEntries(h, x)) return nullptr;
    BYTE *piece = h.base + h.used;
    Append(h, x, 1, n, piece);
    h.used += n;
    return piece;
}

SubHeap *NewHeap(SubHeap &h, HeapIndex &x, DWORD n)
{
    DWORD size = std::max(n, kMinHeapBytes);
    h.base = static_cast<BYTE *>(dada::BlockAlloc(size, dada::Block::Moveable));
    h.entries = NewEntryTable(kEntryGrowth);
    h.size = size;
    h.entryCapacity = kEntryGrowth;
    x = HeapIndex{};
    if (!h.base || !h.entries || !Reserve(x, kEntryGrowth)) {
        dada::BlockFree(h.base);
        dada::BlockFree(h.entries);
        h = SubHeap{};
        x = HeapIndex{};
        return nullptr;
    }
    Fill(h, x);
    return &h;
}

} // namespace

extern "C" void *DADAAPI MemorySubAlloc(DWORD size)
{
    // An empty request still gets a piece of its own, so that no two pieces
    // ever share an address.
    DWORD n = std::max<DWORD>(size, 1);
    if (!g_heaps) g_heaps = static_cast<SubHeap *>(dada::BlockAlloc(kMaxHeaps * sizeof(SubHeap), dada::Block::Fixed));
    if (!g_heaps) return nullptr;
    DWORD i = 0;
    for (; i < kMaxHeaps && g_heaps[i].base; ++i) {
        Merge(g_heaps[i], g_index[i]);
        if (LargestAvailable(g_heaps[i], g_index[i]) >= n) return AllocateFrom(g_heaps[i], g_index[i], n);
    }
    if (i == kMaxHeaps) return nullptr;
    SubHeap *heap = NewHeap(g_heaps[i], g_index[i], n);
    return heap ? AllocateFrom(*heap, g_index[i], n) : nullptr;
}

extern "C" DWORD DADAAPI MemorySubFree(void *piece)
{
    if (!g_heaps || !piece) return 0;
    const BYTE *p = static_cast<const BYTE *>(piece);
    for (DWORD i = 0; i < kMaxHeaps && g_heaps[i].base; ++i) {
        SubHeap &h = g_heaps[i];
        if (p < h.base || p >= h.base + h.used) continue;   // the heaps' blocks are disjoint
        HeapIndex &x = g_index[i];
        const size_t at = HashFind(h, x, p);
        if (at == kNotFound) return 0;
        const uint32_t s = x.hash[at] - 1;
        h.entries[s].inUse = 0;
        h.dirty = 1;
        TreeSet(x, s, h.entries[s].size);
        Queue(x, s);
        Queue(x, x.prev[s]);
        return 1;
    }
    return 0;
}

