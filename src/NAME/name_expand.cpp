// Expanding a path to its full or short form, and fitting it to a window.
#include "dadada32.h"
#include "NAME/name_internal.h"
#include "dada/handle.h"

#include <cstring>

using namespace dada;

namespace {

enum class Form { Long, Short };

// Expands the folder part of `path` and keeps a trailing wildcard pattern
// (the text after the backslash before the first wildcard) as it was.
BOOL Expand(LPCSTR path, LPSTR out, DWORD size, Form form, bool displayCase)
{
    if (!path || !out) return FALSE;
    char copy[kPathBuf];
    CopyPath(copy, path);

    const char *pattern = nullptr;
    bool wildcard;
    if (size_t at = SeparatorBeforeWildcard(copy, wildcard); at != std::string_view::npos) {
        copy[at] = '\0';
        pattern = copy + at + 1;
    }

    DWORD got = form == Form::Long ? GetFullPathNameA(copy, size, out, nullptr)
                                   : GetShortPathNameA(copy, out, size);
    // A result that does not fit reports the size it needs and leaves the
    // output unfilled: that is a failure too.
    if (got == 0 || got >= size) return FALSE;
    if (displayCase) NameOutputFormat(out);
    if (pattern) NameAppendFile(out, size, pattern);   // a pattern that does not fit is dropped
    return TRUE;
}

} // namespace

extern "C" BOOL DADAAPI NameReturnLongName(LPCSTR path, LPSTR out, DWORD size)
{
    return Expand(path, out, size, Form::Long, false);
}

extern "C" BOOL DADAAPI NameReturnShortName(LPCSTR path, LPSTR out, DWORD size, DWORD format)
{
    return Expand(path, out, size, Form::Short, format == 1);
}

extern "C" void DADAAPI NameShortenFile(LPSTR text, HWND window)
{
    if (!text) return;
    WindowDC dc{window, GetDC(window)};
    if (!dc) return;
    RECT rect;
    if (GetWindowRect(window, &rect))
        DrawTextExA(dc.get(), text, -1, &rect,
                    DT_SINGLELINE | DT_NOCLIP | DT_END_ELLIPSIS | DT_MODIFYSTRING, nullptr);
}
