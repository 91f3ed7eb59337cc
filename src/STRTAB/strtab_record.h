// A loaded string table: all record bytes of the file, texts unmasked, and
// the offset of every record indexed.
#pragma once
#include <windows.h>
#include <cstddef>

struct StringTable {
    DWORD count;     // records indexed
    BYTE *texts;     // the file's record bytes, plus one zero byte
    DWORD *offsets;  // count offsets of records from `texts`
};

#if defined(_WIN32) && !defined(_WIN64)
static_assert(offsetof(StringTable, count) == 0);
static_assert(offsetof(StringTable, texts) == 4);
static_assert(offsetof(StringTable, offsets) == 8);
static_assert(sizeof(StringTable) == 12);
#endif
