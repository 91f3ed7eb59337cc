// The platform family, asked once it is known.
#include "dadada32.h"

namespace {
DWORD g_platform;   // 0 until the platform has answered
}

extern "C" DWORD DADAAPI GetOsVersion(void)
{
    if (g_platform) return g_platform;
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    static_assert(sizeof(OSVERSIONINFOA) == 148);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (GetVersionExA(&info) != 1) return OSVERSION_UNKNOWN;
#pragma GCC diagnostic pop
    switch (info.dwPlatformId) {
    case VER_PLATFORM_WIN32s:        g_platform = OSVERSION_WIN32S; break;
    case VER_PLATFORM_WIN32_WINDOWS: g_platform = OSVERSION_WIN95; break;
    case VER_PLATFORM_WIN32_NT:      g_platform = OSVERSION_WINNT; break;
    default:                         break;   // not kept: asked again next time
    }
    return g_platform;
}
