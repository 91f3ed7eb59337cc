// Pieces the library's dialogs share (not exported).
#pragma once
#include <windows.h>

namespace dada::dialogs {

// The module that owns `window`: callers keep the texts and icons of their
// requests there.  Without a window, the program's own module.
HINSTANCE OwnerModule(HWND window);

// String `id` of `module` into `buffer` of `size` bytes; an id the module
// does not have gives an empty text.  Answers the length loaded.
int LoadText(HINSTANCE module, UINT id, LPSTR buffer, int size);

// wsprintfA with one argument, cut to fit `size` bytes (at a character
// boundary, always terminated).
void FormatOne(LPSTR out, size_t size, LPCSTR format, UINT_PTR argument);

} // namespace dada::dialogs
