// The product's own file attribute set, built from Win32 attributes.
// Shared by SysAttrToKvAttr, the file search and the kernel file library.
#pragma once
#include <windows.h>
#include <array>
#include <utility>

namespace dada {

inline constexpr std::array<std::pair<DWORD, DWORD>, 6> kKvAttrMap{{
    {FILE_ATTRIBUTE_ARCHIVE,   0x01},
    {FILE_ATTRIBUTE_DIRECTORY, 0x02},
    {FILE_ATTRIBUTE_HIDDEN,    0x04},
    {FILE_ATTRIBUTE_NORMAL,    0x08},
    {FILE_ATTRIBUTE_READONLY,  0x10},
    {FILE_ATTRIBUTE_SYSTEM,    0x20},
}};

constexpr DWORD KvAttrFromWin32(DWORD win32)
{
    DWORD kv = 0;
    for (auto [sys, bit] : kKvAttrMap)
        if (win32 & sys) kv |= bit;
    return kv;
}

static_assert(KvAttrFromWin32(0x31) == 0x13);
static_assert(KvAttrFromWin32(0x100) == 0);

} // namespace dada
