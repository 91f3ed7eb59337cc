// A dialog keeps the address of its working record in two window
// properties: the first holds address >> 16, the second the low 16 bits, so
// the whole address comes back on both architectures.  Before they are set
// the address reads as null.
#pragma once
#include <windows.h>

namespace dada {

inline void StoreDialogContext(HWND dialog, LPCSTR high, LPCSTR low, const void *context)
{
    const auto address = reinterpret_cast<UINT_PTR>(context);
    SetPropA(dialog, high, reinterpret_cast<HANDLE>(address >> 16));
    SetPropA(dialog, low, reinterpret_cast<HANDLE>(address & 0xFFFF));
}

inline void *LoadDialogContext(HWND dialog, LPCSTR high, LPCSTR low)
{
    const auto h = reinterpret_cast<UINT_PTR>(GetPropA(dialog, high));
    const auto l = reinterpret_cast<UINT_PTR>(GetPropA(dialog, low));
    return reinterpret_cast<void *>((h << 16) | (l & 0xFFFF));
}

} // namespace dada
