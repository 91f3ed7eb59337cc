// The library's own module handle: its resources (strings, dialogs,
// bitmaps) are loaded through it.
#pragma once
#include <windows.h>

namespace dada {
extern HINSTANCE g_module;
}
