#include "globalspy.h"

namespace dadatest {

namespace {

// The import-address slot of DADADA32.dll that holds `target`, or null.
void **FindSlot(void *target)
{
    auto *base = reinterpret_cast<BYTE *>(GetModuleHandleA("DADADA32.dll"));
    if (!base || !target) return nullptr;
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

using GlobalAllocFn = HGLOBAL(WINAPI *)(UINT, SIZE_T);
std::vector<UINT> g_flags;

HGLOBAL WINAPI Recorder(UINT flags, SIZE_T size)
{
    static const auto real = reinterpret_cast<GlobalAllocFn>(
        reinterpret_cast<void *>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GlobalAlloc")));
    g_flags.push_back(flags);
    return real(flags, size);
}

} // namespace

ImportPatch::ImportPatch(const char *dll, const char *function, void *replacement)
{
    HMODULE module = GetModuleHandleA(dll);
    original_ = module ? reinterpret_cast<void *>(GetProcAddress(module, function)) : nullptr;
    slot_ = FindSlot(original_);
    if (slot_) Store(slot_, replacement);
}

ImportPatch::~ImportPatch()
{
    if (slot_) Store(slot_, original_);
}

GlobalAllocSpy::GlobalAllocSpy() : patch_("kernel32.dll", "GlobalAlloc", reinterpret_cast<void *>(&Recorder))
{
    g_flags.clear();
}

std::vector<UINT> GlobalAllocSpy::takeFlags()
{
    std::vector<UINT> flags;
    flags.swap(g_flags);
    return flags;
}

} // namespace dadatest
