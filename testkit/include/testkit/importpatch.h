// Points DADADA32.dll's import of one function at a replacement for the
// length of a scope, to make a platform call slow or failing on purpose.
// The slot is found by the imported name, so forwarded exports are found
// too.  One patch per function at a time.
#pragma once
#include <windows.h>
#include <cstring>

namespace testkit {

namespace imports {

// Calls fn(name, slot) for every function that `module` imports by name;
// fn answers true to stop the walk.
template <class F> void ForEachImport(HMODULE module, F fn)
{
    auto *base = reinterpret_cast<BYTE *>(module);
    if (!base) return;
    auto *nt = reinterpret_cast<IMAGE_NT_HEADERS *>(base + reinterpret_cast<IMAGE_DOS_HEADER *>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY &dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!dir.VirtualAddress) return;
    for (auto *d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR *>(base + dir.VirtualAddress); d->Name; ++d) {
        if (!d->OriginalFirstThunk) continue;
        auto *names = reinterpret_cast<IMAGE_THUNK_DATA *>(base + d->OriginalFirstThunk);
        auto *slots = reinterpret_cast<IMAGE_THUNK_DATA *>(base + d->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            auto *byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME *>(base + names->u1.AddressOfData);
            if (fn(reinterpret_cast<const char *>(byName->Name), reinterpret_cast<void **>(&slots->u1.Function)))
                return;
        }
    }
}

inline void **FindSlot(const char *function)
{
    void **found = nullptr;
    ForEachImport(GetModuleHandleA("DADADA32.dll"), [&](const char *name, void **slot) {
        if (std::strcmp(name, function) == 0) found = slot;
        return found != nullptr;
    });
    return found;
}

inline void Store(void **slot, void *value)
{
    DWORD old;
    VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old);
    *slot = value;
    VirtualProtect(slot, sizeof *slot, old, &old);
}

} // namespace imports

class ImportPatch {
public:
    ImportPatch(const char *function, void *replacement)
        : slot_(imports::FindSlot(function)), original_(slot_ ? *slot_ : nullptr)
    {
        if (slot_) imports::Store(slot_, replacement);
    }
    ~ImportPatch()
    {
        if (slot_) imports::Store(slot_, original_);
    }
    ImportPatch(const ImportPatch &) = delete;
    ImportPatch &operator=(const ImportPatch &) = delete;

    bool active() const { return slot_ != nullptr; }
    // What the slot held before: the real function.
    template <class F> F original() const { return reinterpret_cast<F>(original_); }

private:
    void **slot_ = nullptr;
    void *original_ = nullptr;
};

} // namespace testkit
