#include "globalspy.h"

namespace dadatest {

namespace {

using GlobalAllocFn = HGLOBAL(WINAPI *)(UINT, SIZE_T);
GlobalAllocFn g_real;
std::vector<UINT> g_flags;

HGLOBAL WINAPI Recorder(UINT flags, SIZE_T size)
{
    g_flags.push_back(flags);
    return g_real(flags, size);
}

GlobalAllocFn Real()
{
    g_flags.clear();
    return g_real = reinterpret_cast<GlobalAllocFn>(
               reinterpret_cast<void *>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GlobalAlloc")));
}

} // namespace

GlobalAllocSpy::GlobalAllocSpy() : patch_((Real(), "GlobalAlloc"), reinterpret_cast<void *>(&Recorder)) {}

std::vector<UINT> GlobalAllocSpy::takeFlags()
{
    std::vector<UINT> flags;
    flags.swap(g_flags);
    return flags;
}

} // namespace dadatest
