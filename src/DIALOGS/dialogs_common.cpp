// Pieces the library's dialogs share.
#include "DIALOGS/dialogs_internal.h"
#include "NAME/dbcs.h"
#include <cstring>

namespace dada::dialogs {

namespace {
constexpr size_t kWsprintfLimit = 1024;   // the most wsprintfA ever writes, terminator aside
}

HINSTANCE OwnerModule(HWND window)
{
    auto module = window ? reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE)) : nullptr;
    return module ? module : GetModuleHandleA(nullptr);
}

int LoadText(HINSTANCE module, UINT id, LPSTR buffer, int size)
{
    if (!buffer || size <= 0) return 0;
    buffer[0] = '\0';
    int n = LoadStringA(module, id, buffer, size);
    if (n <= 0) buffer[0] = '\0';
    return n > 0 ? n : 0;
}

void FormatOne(LPSTR out, size_t size, LPCSTR format, UINT_PTR argument)
{
    if (!out || !size) return;
    char wide[kWsprintfLimit + 1];
    int n = wsprintfA(wide, format ? format : "", argument);
    std::string_view text(wide, n > 0 ? static_cast<size_t>(n) : 0);
    size_t keep = 0;   // whole characters only
    for (size_t i = 0; i < text.size();) {
        size_t next = i + dbcs::CharLen(text, i);
        if (next > size - 1) break;
        keep = i = next;
    }
    std::memcpy(out, wide, keep);
    out[keep] = '\0';
}

} // namespace dada::dialogs
