// Process attach and detach.
#include "FRAME/module.h"
#include "NAME/name_internal.h"
#include "REMOTE/binding.h"
#include "SYSHELP/syshelp_internal.h"
#include "dada/process_object.h"

namespace dada {
HINSTANCE g_module;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        dada::g_module = instance;
        // The load's answer is the remote services' answer.
        return dada::BindRemoteServices();
    case DLL_PROCESS_DETACH:
        // The dialog fonts first (small, then bold), then the remote services
        // are unbound.
        dada::ReleaseDialogFonts();
        dada::UnbindRemoteServices();
        dada::ReleaseDeviceNameCache();
        if (!reserved) dada::ReleaseProcessObjects();   // unloaded, not the process ending
        return TRUE;
    default:
        return TRUE;
    }
}
