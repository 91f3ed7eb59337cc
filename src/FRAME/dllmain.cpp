// Process attach and detach.
#include "FRAME/module.h"
#include "NAME/name_internal.h"
#include "SYSHELP/syshelp_internal.h"

namespace dada {
HINSTANCE g_module;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        dada::g_module = instance;
        // The remote services are bound here; the load's answer is theirs.
        return TRUE;
    case DLL_PROCESS_DETACH:
        // The dialog fonts first (small, then bold), then the remote services
        // are unbound.
        dada::ReleaseDialogFonts();
        dada::ReleaseDeviceNameCache();
        return TRUE;
    default:
        return TRUE;
    }
}
