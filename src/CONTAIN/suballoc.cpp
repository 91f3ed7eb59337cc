// Memory sub-allocator: small pieces carved from up to 50 process-wide
// heaps of global memory.  Every piece ever carved has one entry in its
// heap's entry table; free entries are reused first fit and merged with the
// entry after them in the table when the two touch.
//
// The answers are those of plain walks over the entry tables (first fit in
// table order, a merge pass over the table before a heap is considered),
// but each heap keeps an index beside its table so that no call walks it:
//   - a tree over the table slots, 16 values (a cache line) to a node:
//     per slot the size of a free entry (0 for the rest), above it bounds
//     of the largest value under each node, gives the first fit by
//     descent.  Only a value that grows is carried up at once; one that
//     shrinks leaves the bounds above it too high until a search enters
//     such a node in vain and sets it right, so taking an entry into use
//     costs nothing above its slot;
//   - a hash from piece address to slot finds the entry a free names;
//   - per slot, links between the live slots give "the entry after it in
//     the table", and two flags say whether the entry touches (in address)
//     the live entry before it and the one after it in the table;
//   - the pending list holds the slots whose entry and its successor are
//     both free and touch: exactly the pairs the next merge pass joins.
// Why the pending list is exact: an entry becomes in use only by an
// allocation from its heap, and that always follows the heap's merge pass;
// so between two passes entries only become free, and a pair becomes
// mergeable only when one of its two entries is freed (a split never makes
// one: the rest it appends starts inside the split entry's old extent, so
// it touches its table predecessor only when that is the split entry,
// which is in use).  A full pass collapses every run of touching free
// neighbours into the run's first entry; joining the pending pairs gives
// exactly that.  A free thus looks at its entry's own slot and, only when a
// touch flag says so, at one neighbour; a pass with nothing pending costs
// nothing.
// An entry removed by a merge leaves a hole (address null) in the table, so
// no slot moves; the holes are squeezed out when the table is full and
// three quarters of it are holes, otherwise the table grows by 100 entries
// (the index beside it by doubling).  The block under the table grows by
// half its size, so most growths find the room already there instead of
// copying the table: the descriptor's capacity still counts 100 more per
// growth.
//
// Not thread-safe: the heap table is process-wide and unlocked, as callers
// are told.
#include "dadada32.h"
#include "dada/memblock.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
constexpr size_t kNotFound = SIZE_MAX;       // no position in a hash
constexpr uint32_t kFan = 16;               // values under a tree node: 64 bytes
constexpr uint32_t kTreeLevels = 9;         // levels below the root: kFan^9 passes any slot count
constexpr size_t kFirstUsedBuckets = 64;
constexpr size_t kBucketsPerUsed = 4;       // `used` at most a quarter full: short probes

// An entry's in-use field: only its low byte is the flag; the index keeps
// in the bits above it whether the entry touches (in address) the live
// entry before it and the one after it in the table.
constexpr DWORD kInUseByte = 0xFF;
constexpr DWORD kTouchesPrev = 0x100;   // begins where the entry before it ends
constexpr DWORD kTouchesNext = 0x200;   // ends where the entry after it begins

bool InUse(const SubPiece &e) { return (e.inUse & kInUseByte) != 0; }
bool Live(const SubPiece &e) { return e.address != nullptr; }
bool Touch(const SubPiece &a, const SubPiece &b) { return a.address + a.size == b.address; }
void SetBits(SubPiece &e, DWORD bits, bool on) { e.inUse = on ? e.inUse | bits : e.inUse & ~bits; }

// Address -> slot: linear probing over buckets that hold the entry's offset
// in its heap block and its slot + 1 (0: empty); a power-of-two size.
struct Bucket {
    uint32_t offset, slot1;
};
using SlotHash = std::vector<Bucket>;

struct SlotLink {
    uint32_t prev, next;   // the live slots before and after it in table order
    uint32_t queued;       // in the pending list
};

// The index of one heap's entry table; see the top of the file.
struct HeapIndex {
    DWORD largest = 0;                  // the tree's root: at least the largest free entry
    uint32_t live = 0;                  // entries (slots that are no hole)
    uint32_t inUse = 0;                 // entries in use (keys of `used`)
    uint32_t head = kNone, tail = kNone;
    uint32_t levels = 0;                // tree levels below the root, the slots' own included
    uint32_t level[kTreeLevels] = {};   // where each level starts in `tree`
    std::vector<DWORD> tree;            // each level padded to whole nodes
    std::vector<SlotLink> link;         // per slot
    SlotHash all;                       // the live entries of slots below `hashed`; twice the slots
    uint32_t hashed = 0;
    SlotHash used;                      // the entries in use: small, so it stays in the cache
    std::vector<uint32_t> pending;      // slots whose pair with the next entry is to be merged
    DWORD room = 0;                     // entries the table's block holds: entryCapacity or more
};

SubHeap *g_heaps;                       // kMaxHeaps descriptors; created once, never released
HeapIndex g_index[kMaxHeaps];           // beside g_heaps[i]
// For the walk of the heaps, which must not touch each heap's index: each
// heap's largest available piece (a bound, as the root is), and which
// heaps have pairs pending.
DWORD g_available[kMaxHeaps];
uint64_t g_merging;                     // bit i: heap i's pending list is not empty
// The heaps in use (the descriptors before the first empty one), and for a
// free, which must find its heap without trying each in turn, the same
// heaps in the order of their blocks' addresses.
DWORD g_heapCount;
BYTE *g_bases[kMaxHeaps];               // ascending
DWORD g_heapAt[kMaxHeaps];              // the heap whose block starts at g_bases[k]
static_assert(kMaxHeaps <= 64);

uint32_t OffsetOf(const SubHeap &h, const BYTE *address) { return static_cast<uint32_t>(address - h.base); }

// ---- the tree over the slots ----------------------------------------------

// Level 0 holds a value per slot: the size of a free entry, 0 for the
// rest (in use, a hole, a slot past the table's end).  Each level above
// holds a value per kFan values below (a node), the root one for the
// whole top level.  Level 0 is exact; the values above bound the largest
// value under them from above (see Changed and Search).
// Without a branch: the in-use flags of neighbouring entries follow no
// pattern.  A hole is all zero.
DWORD LeafValue(const SubPiece &e) { return e.size & (DWORD(0) - DWORD((e.inUse & kInUseByte) == 0)); }

#if defined(__SSE2__)
// Unsigned order through the signed compare: both sides with the top bit flipped.
__m128i Flip(__m128i v) { return _mm_xor_si128(v, _mm_set1_epi32(INT32_MIN)); }
__m128i Load(const DWORD *v) { return Flip(_mm_loadu_si128(reinterpret_cast<const __m128i *>(v))); }
__m128i Max(__m128i a, __m128i b)   // of flipped values
{
    const __m128i aBigger = _mm_cmpgt_epi32(a, b);
    return _mm_or_si128(_mm_and_si128(aBigger, a), _mm_andnot_si128(aBigger, b));
}
#endif

// The largest of a node's kFan values.
DWORD NodeMax(const DWORD *v)
{
#if defined(__SSE2__)
    __m128i m = Max(Max(Load(v), Load(v + 4)), Max(Load(v + 8), Load(v + 12)));
    m = Max(m, _mm_shuffle_epi32(m, _MM_SHUFFLE(1, 0, 3, 2)));
    m = Max(m, _mm_shuffle_epi32(m, _MM_SHUFFLE(2, 3, 0, 1)));
    return DWORD(_mm_cvtsi128_si32(m)) ^ 0x80000000u;
#else
    DWORD top = 0;
    for (uint32_t k = 0; k < kFan; ++k) top = std::max(top, v[k]);
    return top;
#endif
}

// Bit k set where a node's value k is at least n (n > 0); no branch per
// value, as which of them fit follows no pattern.
uint32_t AtLeast(const DWORD *v, DWORD n)
{
    assert(n > 0);
#if defined(__SSE2__)
    const __m128i below = Flip(_mm_set1_epi32(int(n - 1)));   // v >= n: v > n - 1
    const __m128i a = _mm_packs_epi32(_mm_cmpgt_epi32(Load(v), below), _mm_cmpgt_epi32(Load(v + 4), below));
    const __m128i b = _mm_packs_epi32(_mm_cmpgt_epi32(Load(v + 8), below), _mm_cmpgt_epi32(Load(v + 12), below));
    return uint32_t(_mm_movemask_epi8(_mm_packs_epi16(a, b)));
#else
    uint32_t bits = 0;
    for (uint32_t k = 0; k < kFan; ++k) bits |= uint32_t(v[k] >= n) << k;
    return bits;
#endif
}

// A node's value: level l < levels in `tree`, the root (l == levels) in `largest`.
DWORD &NodeValue(HeapIndex &x, uint32_t l, size_t node) { return l < x.levels ? x.tree[x.level[l] + node] : x.largest; }
// The kFan values under node `node` of level l > 0.
DWORD *Children(HeapIndex &x, uint32_t l, size_t node) { return &x.tree[x.level[l - 1] + node * kFan]; }

// After the entry at `slot` changed: its level-0 value anew, and the nodes
// above it that are now below it take that value.  A value that shrinks
// (an entry taken into use or merged away) leaves them as they are: they
// stay bounds, and Search makes them exact where a search finds one too high.
void Changed(const SubHeap &h, HeapIndex &x, uint32_t slot)
{
    const DWORD value = x.tree[slot] = LeafValue(h.entries[slot]);
    if (!value) return;
    // Every level, without a branch on the values: where the climb could
    // stop follows no pattern, and the nodes above a slot are few.
    size_t i = slot;
    for (uint32_t l = 1; l <= x.levels; ++l) {
        i /= kFan;
        DWORD &up = NodeValue(x, l, i);
        up = std::max(up, value);
    }
}

// The first slot at or under node `node` of level l > 0 whose entry is
// free and of at least n bytes, or kNone.  Children whose bound is below n
// are passed over; a node searched in vain takes the largest of its
// children's bounds (below n by then), so that no later search for n
// enters it again.
uint32_t Search(HeapIndex &x, uint32_t l, size_t node, DWORD n)
{
    const DWORD *child = Children(x, l, node);
    for (uint32_t fits = AtLeast(child, n); fits; fits &= fits - 1) {
        const size_t below = node * kFan + std::countr_zero(fits);
        if (l == 1) return static_cast<uint32_t>(below);   // level 0 is exact
        if (const uint32_t s = Search(x, l - 1, below, n); s != kNone) return s;
    }
    NodeValue(x, l, node) = NodeMax(child);
    return kNone;
}

// The first slot in table order holding a free entry of at least n bytes,
// or kNone (and then the root is below n).
uint32_t FirstFit(HeapIndex &x, DWORD n)
{
    assert(n > 0);   // slots that are no free entry count 0
    return x.largest < n ? kNone : Search(x, x.levels, 0, n);
}

// ---- address -> slot ---------------------------------------------------------

size_t Home(const SlotHash &t, uint32_t offset) { return (offset * 2654435761u) & (t.size() - 1); }

void HashInsert(SlotHash &t, uint32_t offset, uint32_t slot)
{
    size_t i = Home(t, offset);
    while (t[i].slot1) i = (i + 1) & (t.size() - 1);
    t[i] = Bucket{offset, slot + 1};
}

// Position of `offset` in the hash, or kNotFound.
size_t HashFind(const SlotHash &t, uint32_t offset)
{
    for (size_t i = Home(t, offset);; i = (i + 1) & (t.size() - 1)) {
        if (!t[i].slot1) return kNotFound;
        if (t[i].offset == offset) return i;
    }
}

// Linear-probing removal: later members of the cluster move back into the gap.
void HashErase(SlotHash &t, size_t gap)
{
    const size_t mask = t.size() - 1;
    for (size_t i = (gap + 1) & mask; t[i].slot1; i = (i + 1) & mask) {
        const size_t home = Home(t, t[i].offset);
        if (((i - home) & mask) >= ((i - gap) & mask)) {
            t[gap] = t[i];
            gap = i;
        }
    }
    t[gap] = Bucket{};
}

// Room in `used` for one more entry in use; false when memory runs out.
bool UsedRoom(HeapIndex &x)
{
    if (kBucketsPerUsed * (size_t(x.inUse) + 1) <= x.used.size()) return true;
    try {
        SlotHash grown(std::max(kFirstUsedBuckets, 2 * x.used.size()));
        for (const Bucket &b : x.used)
            if (b.slot1) HashInsert(grown, b.offset, b.slot1 - 1);
        x.used.swap(grown);
        return true;
    } catch (const std::bad_alloc &) {
        return false;
    }
}

void MarkInUse(const SubHeap &h, HeapIndex &x, uint32_t slot)
{
    assert(kBucketsPerUsed * (size_t(x.inUse) + 1) <= x.used.size());
    HashInsert(x.used, OffsetOf(h, h.entries[slot].address), slot);
    ++x.inUse;
}

// ---- building the index ------------------------------------------------------

// Sizes a fresh index for a table of up to `capacity` entries; false when
// memory runs out.  Every later step on the index allocates nothing, but
// `used`, which grows in UsedRoom.
bool Reserve(HeapIndex &x, uint32_t capacity)
{
    try {
        size_t buckets = 4;
        while (buckets < 2 * size_t(capacity)) buckets <<= 1;
        // Level sizes: a value per slot, then one per node of the level
        // below, each padded to whole nodes, until one node is left under
        // the root.
        size_t values = 0, count = capacity;
        x.levels = 0;
        for (;;) {
            x.level[x.levels++] = static_cast<uint32_t>(values);
            values += (count + kFan - 1) / kFan * kFan;
            if (count <= kFan) break;
            count = (count + kFan - 1) / kFan;
        }
        assert(x.levels <= kTreeLevels);
        x.tree.resize(values);
        x.link.resize(capacity);
        x.pending.reserve(capacity);
        x.all.resize(buckets);
        return true;
    } catch (const std::bad_alloc &) {
        return false;
    }
}

// Links `slot` in after the tail, with the touch flags of the new pair.
void LinkLast(SubHeap &h, HeapIndex &x, uint32_t slot)
{
    SlotLink &k = x.link[slot];
    SubPiece &e = h.entries[slot];
    k.prev = x.tail;
    k.next = kNone;
    SetBits(e, kTouchesPrev | kTouchesNext, false);
    if (x.tail == kNone) {
        x.head = slot;
    } else {
        SubPiece &before = h.entries[x.tail];
        const bool touch = Touch(before, e);
        SetBits(before, kTouchesNext, touch);
        SetBits(e, kTouchesPrev, touch);
        x.link[x.tail].next = slot;
    }
    x.tail = slot;
    ++x.live;
}

// Rebuilds the links, the tree and the hash of the entries in use from the
// table (not the pending slots); the hash of all entries starts afresh.
void Fill(SubHeap &h, HeapIndex &x)
{
    std::fill(x.tree.begin(), x.tree.end(), 0);
    std::fill(x.all.begin(), x.all.end(), Bucket{});
    std::fill(x.used.begin(), x.used.end(), Bucket{});
    x.live = x.inUse = 0;
    x.largest = 0;
    x.head = x.tail = kNone;
    for (uint32_t s = 0; s < h.entryCount; ++s) {
        const SubPiece &e = h.entries[s];
        if (!Live(e)) continue;
        x.tree[s] = LeafValue(e);
        LinkLast(h, x, s);
        if (InUse(e)) MarkInUse(h, x, s);
    }
    x.hashed = 0;
    size_t nodes = (h.entryCount + kFan - 1) / kFan;   // of level 1
    for (uint32_t l = 1; l <= x.levels; nodes = (nodes + kFan - 1) / kFan, ++l)
        for (size_t k = 0; k < nodes; ++k) NodeValue(x, l, k) = NodeMax(Children(x, l, k));
}

void Queue(HeapIndex &x, uint32_t slot)
{
    if (x.link[slot].queued) return;
    x.link[slot].queued = 1;
    x.pending.push_back(slot);   // never reallocates: reserved for every slot
}

// Squeezes the holes out of the table, keeping the order of the entries
// and which of them are pending.
void Compact(SubHeap &h, HeapIndex &x)
{
    DWORD to = 0;
    for (DWORD s = 0; s < h.entryCount; ++s) {
        if (!Live(h.entries[s])) continue;
        x.link[to].queued = x.link[s].queued;
        h.entries[to++] = h.entries[s];
    }
    std::memset(&h.entries[to], 0, SIZE_T(h.entryCount - to) * sizeof(SubPiece));
    for (DWORD s = to; s < h.entryCount; ++s) x.link[s].queued = 0;
    h.entryCount = to;
    x.pending.clear();
    for (uint32_t s = 0; s < to; ++s)
        if (x.link[s].queued) x.pending.push_back(s);
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
    const DWORD capacity = h.entryCapacity + kEntryGrowth;
    HeapIndex grown;
    const bool regrow = x.link.size() < capacity;
    if (regrow && !Reserve(grown, std::max<DWORD>(capacity, 2 * DWORD(x.link.size())))) return false;
    if (capacity > x.room) {
        const DWORD room = std::max(capacity, x.room + x.room / 2);
        SubPiece *table = NewEntryTable(room);
        if (!table) return false;
        std::memcpy(table, h.entries, SIZE_T(h.entryCount) * sizeof(SubPiece));
        dada::BlockFree(h.entries);
        h.entries = table;
        x.room = room;
    }
    h.entryCapacity = capacity;
    if (regrow) {
        for (uint32_t s = 0; s < h.entryCount; ++s) grown.link[s].queued = x.link[s].queued;
        grown.pending.assign(x.pending.begin(), x.pending.end());
        grown.used.swap(x.used);
        grown.room = x.room;
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
    LinkLast(h, x, s);
    Changed(h, x, s);
    if (inUse) MarkInUse(h, x, s);
    return s;
}

// Takes the free entry at `slot` out of the table (it was merged into the
// one before it), leaving a hole.
void Remove(SubHeap &h, HeapIndex &x, uint32_t slot)
{
    assert(!InUse(h.entries[slot]));
    if (slot < x.hashed) HashErase(x.all, HashFind(x.all, OffsetOf(h, h.entries[slot].address)));
    const uint32_t before = x.link[slot].prev, after = x.link[slot].next;
    (before == kNone ? x.head : x.link[before].next) = after;
    (after == kNone ? x.tail : x.link[after].prev) = before;
    h.entries[slot] = SubPiece{};
    Changed(h, x, slot);
    --x.live;
}

// The merge pass: joins each free entry with the free entry after it in
// the table when the first ends where the second begins.  Only the pending
// pairs can be such (see the top of the file).
void Merge(SubHeap &h, HeapIndex &x)
{
    if (!h.dirty || x.live < 2) return;
    h.dirty = 0;
    for (uint32_t s : x.pending) {
        x.link[s].queued = 0;
        SubPiece &a = h.entries[s];
        if (!Live(a)) continue;   // joined into an entry before it earlier in this pass
        assert(!InUse(a));
        for (uint32_t n = x.link[s].next; (a.inUse & kTouchesNext) && !InUse(h.entries[n]); n = x.link[s].next) {
            assert(Touch(a, h.entries[n]));
            a.size += h.entries[n].size;
            SetBits(a, kTouchesNext, h.entries[n].inUse & kTouchesNext);   // `a` now ends where `n` ended
            Remove(h, x, n);
            Changed(h, x, s);
        }
    }
    x.pending.clear();
}

// Keeps g_available up to date after a call changed heap i: an upper
// bound of its largest available piece, exact when it is the free top.
void Refresh(DWORD i) { g_available[i] = std::max(g_heaps[i].size - g_heaps[i].used, g_index[i].largest); }

// Allocates n bytes from the heap chosen for them: from the free entry at
// `slot` (its first fit), or from the free top when `slot` is kNone.  Null
// only when memory for the index or a grown table runs out.
void *AllocateFrom(SubHeap &h, HeapIndex &x, DWORD n, uint32_t slot)
{
    assert(x.pending.empty());   // the heap's merge pass came first
    if (!UsedRoom(x)) return nullptr;
    if (slot != kNone) {
        const DWORD count = h.entryCount;
        if (!EnsureSpareEntries(h, x)) return nullptr;
        if (h.entryCount != count) slot = FirstFit(x, n);   // squeezed: the same entry, moved down
        SubPiece &e = h.entries[slot];
        const DWORD rest = e.size - n;
        e.inUse = (e.inUse & ~kInUseByte) | 1;
        e.size = n;
        Changed(h, x, slot);
        MarkInUse(h, x, slot);
        if (rest) {
            // `e` now ends inside its old extent: it touches its successor
            // only if that is the rest, appended right after it.
            if (e.inUse & kTouchesNext) SetBits(h.entries[x.link[slot].next], kTouchesPrev, false);
            SetBits(e, kTouchesNext, false);
            Append(h, x, 0, rest, e.address + n);
            h.dirty = 1;
        }
        return e.address;
    }
    assert(h.size - h.used >= n);
    if (!EnsureSpareEntries(h, x)) return nullptr;
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
    x.room = kEntryGrowth;
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

// Puts heap i, just created, into the address order.
void Ordered(DWORD i)
{
    DWORD k = g_heapCount++;
    for (; k > 0 && uintptr_t(g_bases[k - 1]) > uintptr_t(g_heaps[i].base); --k) {
        g_bases[k] = g_bases[k - 1];
        g_heapAt[k] = g_heapAt[k - 1];
    }
    g_bases[k] = g_heaps[i].base;
    g_heapAt[k] = i;
}

// The heap whose carved bytes hold `p`, or kMaxHeaps: the last block that
// starts at or below `p`, by halving without a branch on the data (which
// heap a free names follows no pattern).
DWORD HeapHolding(const BYTE *p)
{
    if (g_heapCount == 0) return kMaxHeaps;
    DWORD lo = 0;
    for (DWORD n = g_heapCount; n > 1;) {
        const DWORD half = n / 2;
        lo = uintptr_t(g_bases[lo + half]) <= uintptr_t(p) ? lo + half : lo;
        n -= half;
    }
    const DWORD i = g_heapAt[lo];
    return uintptr_t(p) - uintptr_t(g_heaps[i].base) < g_heaps[i].used ? i : kMaxHeaps;
}

} // namespace

extern "C" void *DADAAPI MemorySubAlloc(DWORD size)
{
    // An empty request still gets a piece of its own, so that no two pieces
    // ever share an address.
    DWORD n = std::max<DWORD>(size, 1);
    if (!g_heaps) g_heaps = static_cast<SubHeap *>(dada::BlockAlloc(kMaxHeaps * sizeof(SubHeap), dada::Block::Fixed));
    if (!g_heaps) return nullptr;
    // The walk of the heaps: each one's merge pass, then its largest
    // available piece; the first heap where n fits is chosen.
    DWORD i = 0;
    uint32_t slot = kNone;
    for (; i < g_heapCount; ++i) {
        SubHeap &h = g_heaps[i];
        HeapIndex &x = g_index[i];
        if (g_merging >> i & 1) {
            Merge(h, x);
            g_merging &= ~(uint64_t(1) << i);
            Refresh(i);
        }
        // The pass ran, or would have joined nothing: its flag is clear
        // (a heap of fewer than two entries has no pass).  No branch: which
        // heaps are dirty follows the frees.
        h.dirty &= DWORD(x.live < 2);
        assert(g_available[i] >= std::max(h.size - h.used, g_index[i].largest));
        if (g_available[i] < n) continue;
        // The bound says n may fit: the first fit finds out, and where it
        // does not, leaves the bound below n.
        slot = FirstFit(x, n);
        if (slot != kNone) break;
        Refresh(i);
        if (h.size - h.used >= n) break;
    }
    if (i == g_heapCount) {
        if (i == kMaxHeaps || !NewHeap(g_heaps[i], g_index[i], n)) return nullptr;
        Ordered(i);
    }
    void *piece = AllocateFrom(g_heaps[i], g_index[i], n, slot);
    Refresh(i);
    return piece;
}

extern "C" DWORD DADAAPI MemorySubFree(void *piece)
{
    if (!g_heaps || !piece) return 0;
    const BYTE *p = static_cast<const BYTE *>(piece);
    const DWORD i = HeapHolding(p);
    if (i == kMaxHeaps) return 0;
    SubHeap &h = g_heaps[i];
    HeapIndex &x = g_index[i];
    const uint32_t offset = OffsetOf(h, p);
    const size_t at = HashFind(x.used, offset);
    if (at == kNotFound) {
        // Not in use: the start of a free entry still answers 1 (it stays free).
        for (; x.hashed < h.entryCount; ++x.hashed)
            if (Live(h.entries[x.hashed])) HashInsert(x.all, OffsetOf(h, h.entries[x.hashed].address), x.hashed);
        if (HashFind(x.all, offset) == kNotFound) return 0;
        h.dirty = 1;
        return 1;
    }
    const uint32_t s = x.used[at].slot1 - 1;
    HashErase(x.used, at);
    --x.inUse;
    SubPiece &e = h.entries[s];
    assert(e.address == p && InUse(e));
    e.inUse &= ~kInUseByte;
    h.dirty = 1;
    Changed(h, x, s);
    Refresh(i);
    // The pairs this free makes mergeable (see the top of the file).
    if ((e.inUse & kTouchesNext) && !InUse(h.entries[x.link[s].next])) Queue(x, s);
    if ((e.inUse & kTouchesPrev) && !InUse(h.entries[x.link[s].prev])) Queue(x, x.link[s].prev);
    if (!x.pending.empty()) g_merging |= uint64_t(1) << i;
    return 1;
}
