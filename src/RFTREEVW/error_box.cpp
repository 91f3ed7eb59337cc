// The browser's one way of telling the user about a failure: a message box
// built from the thread's last-error value.
#include "RFTREEVW/rftreevw.h"
#include "RFDIR/rfdir.h"
#include "FRAME/module.h"
#include "resource.h"

namespace dada::browse {

namespace {

constexpr DWORD kNotReady = ERROR_NOT_READY;   // a drive without a disc: no box
constexpr UINT kBoxStyle = MB_ICONEXCLAMATION | MB_OK;
constexpr DWORD kLanguage = MAKELANGID(LANG_NEUTRAL, SUBLANG_SYS_DEFAULT);

// The library's own text for its three failure codes; 0 for other codes.
UINT OwnTextId(DWORD code)
{
    switch (code) {
    case kNoCallPacket: return IDS_RPC_NO_MEMORY;
    case kReadVolumesFailed: return IDS_READ_VOLUMES_FAILED;
    case kReadDirectoryFailed: return IDS_READ_DIR_FAILED;
    default: return 0;
    }
}

// The text for `code` into `own` or a system buffer (`system`, freed by the
// caller); null when there is none.
LPCSTR LoadErrorText(DWORD code, char (&own)[kSearchBuffer], LPSTR &system)
{
    if (UINT id = OwnTextId(code))
        return LoadStringA(g_module, id, own, kBrowsePath) > 0 ? own : nullptr;
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code,
                                   kLanguage, reinterpret_cast<LPSTR>(&system), 0, nullptr);
    return n ? system : nullptr;
}

} // namespace

void ShowErrorBox()
{
    const DWORD code = GetLastError();
    if (code == kNotReady) return;
    char own[kSearchBuffer] = {};
    LPSTR system = nullptr;
    if (LPCSTR text = LoadErrorText(code, own, system)) {
        MessageBoxA(nullptr, text, nullptr, kBoxStyle);
    } else {
        char generic[128];
        wsprintfA(generic, "An error occured calling FormatMessage().Error Code %d", static_cast<int>(GetLastError()));
        MessageBoxA(nullptr, generic, "Generic", kBoxStyle);
    }
    if (system) LocalFree(system);
}

} // namespace dada::browse
