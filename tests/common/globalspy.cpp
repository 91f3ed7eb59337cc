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

// The import-address slot of DADADA32.dll that holds `target`, or null.
void **FindSlot(void *target)
{
    auto *base = reinterpret_cast<BYTE *>(GetModuleHandleA("DADADA32.dll"));
    if (!base) return nullptr;
    auto *dos = reinterpret_cast<IMAGE_DOS_HEADER *>(base);
    auto *nt = reinterpret_cast<IMAGE_NT_HEADERS *>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY &dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!dir.VirtualAddress) return nullptr;
    for (auto *d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR *>(base + dir.VirtualAddress); d->Name; ++d)
        for (auto *t = reinterpret_cast<IMAGE_THUNK_DATA *>(base + d->FirstThunk); t->u1.Function; ++t)
            if (reinterpret_cast<void *>(t->u1.Function) == target) return reinterpret_cast<void **>(&t->u1.Function);
    return nullptr;
}

void Store(void **slot, void *value)
{
    DWORD old;
    VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old);
    *slot = value;
    VirtualProtect(slot, sizeof *slot, old, &old);
}

} // namespace

GlobalAllocSpy::GlobalAllocSpy()
{
    g_real = reinterpret_cast<GlobalAllocFn>(
        reinterpret_cast<void *>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GlobalAlloc")));
    g_flags.clear();
    slot_ = FindSlot(reinterpret_cast<void *>(g_real));
    if (slot_) Store(slot_, reinterpret_cast<void *>(&Recorder));
}

GlobalAllocSpy::~GlobalAllocSpy()
{
    if (slot_) Store(slot_, reinterpret_cast<void *>(g_real));
}

std::vector<UINT> GlobalAllocSpy::takeFlags()
{
    std::vector<UINT> flags;
    flags.swap(g_flags);
    return flags;
}

} // namespace dadatest
