// The parsed command line: the text split into zero-terminated items in
// place, and the counts taken while splitting.
#pragma once
#include <windows.h>
#include <cstddef>
#include "dada/limits.h"

// One more than the longest line kept.
constexpr size_t kCmdLineTextBytes = dada::kPathBuf;

struct CmdLine {
    char  items[kCmdLineTextBytes];
    DWORD length;        // bytes of `items` in use (quotes removed)
    DWORD switchCount;   // counted while splitting
    DWORD paramCount;
};

// Slash and minus mark a switch as the first character of an item.
inline bool IsSwitchChar(char c) { return c == '/' || c == '-'; }

#if defined(_WIN32) && !defined(_WIN64)
static_assert(offsetof(CmdLine, items) == 0);
static_assert(offsetof(CmdLine, length) == 264);
static_assert(offsetof(CmdLine, switchCount) == 268);
static_assert(offsetof(CmdLine, paramCount) == 272);
static_assert(sizeof(CmdLine) == 276);
#endif
