// Device names: the NT list of MS-DOS device names, or a fixed table on the
// other platforms.
#include "dadada32.h"
#include "NAME/name_internal.h"

#include <array>
#include <cstring>
#include <string_view>

using namespace dada;

namespace {

constexpr std::array<std::string_view, 4> kDeviceTable{"con", "prn", "lpt1", "lpt2"};

// The NT device-name list: a run of zero-terminated names ended by an empty
// one.  Filled once by the first call that gets a non-empty list; a list
// longer than one path buffer is kept whole so that no device is missed.
char *g_deviceNames;

char *QueryDeviceNames()
{
    HANDLE heap = GetProcessHeap();
    for (DWORD size = 4096; size <= (1u << 22); size *= 2) {
        auto *list = static_cast<char *>(HeapAlloc(heap, HEAP_ZERO_MEMORY, size));
        if (!list) return nullptr;
        DWORD got = QueryDosDeviceA(nullptr, list, size);
        if (got && list[0]) return list;
        HeapFree(heap, 0, list);
        if (got || GetLastError() != ERROR_INSUFFICIENT_BUFFER) return nullptr;
    }
    return nullptr;
}

const char *DeviceNames()
{
    if (g_deviceNames) return g_deviceNames;
    char *list = QueryDeviceNames();
    if (!list) return nullptr;
    // Two threads may both fill it; the first one's list is kept.
    if (InterlockedCompareExchangePointer(reinterpret_cast<PVOID *>(&g_deviceNames), list, nullptr))
        HeapFree(GetProcessHeap(), 0, list);
    return g_deviceNames;
}

bool InNtList(std::string_view name)
{
    const char *list = DeviceNames();
    if (!list) return false;
    for (const char *p = list; *p; p += std::strlen(p) + 1)
        if (EqualsNoCase(p, name)) return true;
    return false;
}

bool InDeviceTable(LPCSTR name)
{
    char part[kPathBuf];
    if (NameHasDriveLetter(name) || name[0] == '\\')
        NameReturnFile(name, part);
    else
        CopyPath(part, name);
    for (std::string_view device : kDeviceTable)
        if (EqualsNoCase(part, device)) return true;
    return false;
}

} // namespace

extern "C" BOOL DADAAPI NameIsDevice(LPCSTR name)
{
    if (!name) return FALSE;
    if (GetOsVersion() == OSVERSION_WINNT) return InNtList(name);
    return InDeviceTable(name);
}

namespace dada {

void ReleaseDeviceNameCache()
{
    if (char *list = static_cast<char *>(
            InterlockedExchangePointer(reinterpret_cast<PVOID *>(&g_deviceNames), nullptr)))
        HeapFree(GetProcessHeap(), 0, list);
}

} // namespace dada
