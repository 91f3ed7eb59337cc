#include "dada/memblock.h"

namespace dada {

void *BlockAlloc(SIZE_T size, Block kind)
{
    HGLOBAL h = GlobalAlloc(static_cast<UINT>(kind), size);
    if (!h) return nullptr;
    void *p = GlobalLock(h);
    if (!p) GlobalFree(h);
    return p;
}

void BlockFree(void *p)
{
    if (!p) return;
    HGLOBAL h = GlobalHandle(p);
    if (!h) return;
    GlobalUnlock(h);
    GlobalFree(h);
}

} // namespace dada
