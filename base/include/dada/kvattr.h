// The product's own file attribute set, built from Win32 attributes.
// Shared by SysAttrToKvAttr, the file search and the kernel file library.
#pragma once
#include <windows.h>
#include <array>
#include <utility>

namespace dada {

// The product's attribute bits (the public header repeats them for C
// callers as KVATTR_*; the library asserts that both agree).
enum KvAttr : DWORD {
    kKvArchive   = 0x01,
    kKvDirectory = 0x02,
    kKvHidden    = 0x04,
    kKvNormal    = 0x08,
    kKvReadOnly  = 0x10,
    kKvSystem    = 0x20,
};

inline constexpr std::array<std::pair<DWORD, DWORD>, 6> kKvAttrMap{{
    {FILE_ATTRIBUTE_ARCHIVE,   kKvArchive},
    {FILE_ATTRIBUTE_DIRECTORY, kKvDirectory},
    {FILE_ATTRIBUTE_HIDDEN,    kKvHidden},
    {FILE_ATTRIBUTE_NORMAL,    kKvNormal},
    {FILE_ATTRIBUTE_READONLY,  kKvReadOnly},
    {FILE_ATTRIBUTE_SYSTEM,    kKvSystem},
}};

constexpr DWORD KvAttrFromWin32(DWORD win32)
{
    DWORD kv = 0;
    for (auto [sys, bit] : kKvAttrMap)
        if (win32 & sys) kv |= bit;
    return kv;
}

static_assert(KvAttrFromWin32(FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY) ==
              (kKvArchive | kKvDirectory | kKvReadOnly));
static_assert(KvAttrFromWin32(0x100) == 0);

} // namespace dada
