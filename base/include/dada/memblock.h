// The memory-block convention of every handle the library gives out:
// one zero-initialised global-memory block, locked at creation and kept
// locked for life; its address is the handle; released through
// GlobalHandle -> GlobalUnlock -> GlobalFree.
#pragma once
#include <windows.h>
#include <memory>

namespace dada {

enum class Block : UINT {
    Moveable = GMEM_MOVEABLE | GMEM_ZEROINIT,
    Fixed = GMEM_FIXED | GMEM_ZEROINIT,
    FixedUncleared = GMEM_FIXED,   // the array's record only: it clears its own fields
};

// A locked block of `size` bytes (zeroed unless FixedUncleared), or null.
void *BlockAlloc(SIZE_T size, Block kind);
// Releases a block from BlockAlloc; null is ignored.
void BlockFree(void *p);

template <class T> T *BlockNew(Block kind) { return static_cast<T *>(BlockAlloc(sizeof(T), kind)); }

// Owns a block for the length of a scope.
struct BlockDeleter { void operator()(void *p) const { BlockFree(p); } };
template <class T> using BlockPtr = std::unique_ptr<T, BlockDeleter>;

} // namespace dada
