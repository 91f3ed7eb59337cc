// Dynamic array of caller values, kept in global memory or in memory from
// the caller's own allocator pair.  It grows by 10 slots before it is full.
#include "dadada32.h"
#include "dada/memblock.h"

#include <cstddef>
#include <cstring>

struct Array {
    DWORD        capacity;   // slots in storage; always more than count
    DWORD        count;
    UINT_PTR    *storage;
    ArrayAllocFn allocFn;    // both set, or both null
    ArrayFreeFn  freeFn;
};

#if defined(_WIN32) && !defined(_WIN64)
static_assert(offsetof(Array, capacity) == 0);
static_assert(offsetof(Array, count) == 4);
static_assert(offsetof(Array, storage) == 8);
static_assert(offsetof(Array, allocFn) == 12);
static_assert(offsetof(Array, freeFn) == 16);
static_assert(sizeof(Array) == 20);
#endif

namespace {

constexpr DWORD kGrowth = 10;

// From the caller's allocator, or else a fixed global block of `kind`;
// cleared either way.
void *Allocate(ArrayAllocFn allocFn, SIZE_T bytes, dada::Block kind = dada::Block::Fixed)
{
    if (bytes > MAXDWORD) return nullptr;
    void *p = allocFn ? allocFn(static_cast<DWORD>(bytes)) : dada::BlockAlloc(bytes, kind);
    if (p) std::memset(p, 0, bytes);
    return p;
}

void Release(ArrayFreeFn freeFn, void *p)
{
    if (freeFn) freeFn(p);
    else dada::BlockFree(p);
}

UINT_PTR *NewSlots(const Array *a, DWORD slots)
{
    return static_cast<UINT_PTR *>(Allocate(a->allocFn, SIZE_T(slots) * sizeof(UINT_PTR)));
}

} // namespace

extern "C" Array *DADAAPI ARRAY_Create(ArrayAllocFn allocFn, ArrayFreeFn freeFn)
{
    // A lone allocator or release function is not used at all: a block must
    // go back to where it came from.
    if (!allocFn || !freeFn) allocFn = nullptr, freeFn = nullptr;
    // The record is taken uncleared and cleared field by field; its slots
    // come zeroed.
    auto *a = static_cast<Array *>(Allocate(allocFn, sizeof(Array), dada::Block::FixedUncleared));
    if (!a) return nullptr;
    a->allocFn = allocFn;
    a->freeFn = freeFn;
    a->storage = NewSlots(a, kGrowth);
    if (!a->storage) {
        Release(freeFn, a);
        return nullptr;
    }
    a->capacity = kGrowth;
    return a;
}

extern "C" void DADAAPI ARRAY_Destroy(Array *array)
{
    if (!array) return;
    ArrayFreeFn freeFn = array->freeFn;
    Release(freeFn, array->storage);
    Release(freeFn, array);
}

extern "C" DWORD DADAAPI ARRAY_Add(Array **variable, UINT_PTR value)
{
    Array *a = variable ? *variable : nullptr;
    if (!a) return 0;
    if (a->count + 1 >= a->capacity) {
        if (a->capacity > MAXDWORD - kGrowth) return 0;
        UINT_PTR *slots = NewSlots(a, a->capacity + kGrowth);
        if (!slots) return 0;
        std::memcpy(slots, a->storage, SIZE_T(a->capacity) * sizeof(UINT_PTR));
        a->capacity += kGrowth;
        Release(a->freeFn, a->storage);
        a->storage = slots;
    }
    a->storage[a->count++] = value;
    return 1;
}

extern "C" DWORD DADAAPI ARRAY_GetCount(const Array *array) { return array ? array->count : 0; }

extern "C" UINT_PTR DADAAPI ARRAY_GetAt(const Array *array, DWORD index)
{
    return array && index < array->count ? array->storage[index] : 0;
}

extern "C" DWORD DADAAPI ARRAY_RemoveAt(Array *array, DWORD index)
{
    if (array && index < array->count) {
        std::memmove(array->storage + index, array->storage + index + 1,
                     SIZE_T(array->count - index - 1) * sizeof(UINT_PTR));
        array->storage[--array->count] = 0;
    }
    return 1;
}
