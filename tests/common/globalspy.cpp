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

} // namespace

GlobalAllocSpy::GlobalAllocSpy() : patch_("GlobalAlloc", reinterpret_cast<void *>(&Recorder))
{
    g_real = patch_.original<GlobalAllocFn>();
    g_flags.clear();
}

std::vector<UINT> GlobalAllocSpy::takeFlags()
{
    std::vector<UINT> flags;
    flags.swap(g_flags);
    return flags;
}

} // namespace dadatest
