// Counts the heap allocations one module makes by itself: while a counter
// lives, the module's import-table entries of the allocation functions
// point at counting forwarders.
#pragma once
#include <windows.h>
#include <cstdlib>
#include <cstring>

namespace dadatest {

class AllocationCounter {
public:
    explicit AllocationCounter(HMODULE module) : module_(module) { Patch(true); }
    ~AllocationCounter() { Patch(false); }
    AllocationCounter(const AllocationCounter &) = delete;
    AllocationCounter &operator=(const AllocationCounter &) = delete;

    // Allocations since the counter was made (or last reset).
    LONG Count() const { return calls_; }
    void Reset() { calls_ = 0; }
    // Import slots that were redirected; 0 means the module imports none of
    // the allocation functions and the count proves nothing.
    int Redirected() const { return redirected_; }

private:
    static inline LONG calls_ = 0;
    static inline void *orig_[9] = {};
    enum { kGlobalAlloc, kGlobalReAlloc, kLocalAlloc, kLocalReAlloc, kHeapAlloc, kHeapReAlloc,
           kMalloc, kCalloc, kRealloc };

    template <int I, class R, class... A> static R Forward(A... a)
    {
        InterlockedIncrement(&calls_);
        return reinterpret_cast<R(*)(A...)>(orig_[I])(a...);
    }
    template <int I, class R, class... A> static R WINAPI ForwardApi(A... a)
    {
        InterlockedIncrement(&calls_);
        return reinterpret_cast<R(WINAPI *)(A...)>(orig_[I])(a...);
    }

    struct Target { const char *name; int index; void *hook; };

    void Patch(bool install)
    {
        static const Target targets[] = {
            {"GlobalAlloc", kGlobalAlloc, reinterpret_cast<void *>(&ForwardApi<kGlobalAlloc, HGLOBAL, UINT, SIZE_T>)},
            {"GlobalReAlloc", kGlobalReAlloc, reinterpret_cast<void *>(&ForwardApi<kGlobalReAlloc, HGLOBAL, HGLOBAL, SIZE_T, UINT>)},
            {"LocalAlloc", kLocalAlloc, reinterpret_cast<void *>(&ForwardApi<kLocalAlloc, HLOCAL, UINT, SIZE_T>)},
            {"LocalReAlloc", kLocalReAlloc, reinterpret_cast<void *>(&ForwardApi<kLocalReAlloc, HLOCAL, HLOCAL, SIZE_T, UINT>)},
            {"HeapAlloc", kHeapAlloc, reinterpret_cast<void *>(&ForwardApi<kHeapAlloc, LPVOID, HANDLE, DWORD, SIZE_T>)},
            {"HeapReAlloc", kHeapReAlloc, reinterpret_cast<void *>(&ForwardApi<kHeapReAlloc, LPVOID, HANDLE, DWORD, LPVOID, SIZE_T>)},
            {"malloc", kMalloc, reinterpret_cast<void *>(&Forward<kMalloc, void *, size_t>)},
            {"calloc", kCalloc, reinterpret_cast<void *>(&Forward<kCalloc, void *, size_t, size_t>)},
            {"realloc", kRealloc, reinterpret_cast<void *>(&Forward<kRealloc, void *, void *, size_t>)},
        };
        auto *base = reinterpret_cast<BYTE *>(module_);
        auto *dos = reinterpret_cast<IMAGE_DOS_HEADER *>(base);
        auto *nt = reinterpret_cast<IMAGE_NT_HEADERS *>(base + dos->e_lfanew);
        const auto &dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
        if (!dir.VirtualAddress) return;
        for (auto *imp = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR *>(base + dir.VirtualAddress); imp->Name; ++imp) {
            if (!imp->OriginalFirstThunk) continue;
            auto *names = reinterpret_cast<IMAGE_THUNK_DATA *>(base + imp->OriginalFirstThunk);
            auto *slots = reinterpret_cast<IMAGE_THUNK_DATA *>(base + imp->FirstThunk);
            for (; names->u1.AddressOfData; ++names, ++slots) {
                if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
                auto *byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME *>(base + names->u1.AddressOfData);
                for (const auto &t : targets) {
                    if (std::strcmp(reinterpret_cast<const char *>(byName->Name), t.name) != 0) continue;
                    void *value = install ? t.hook : orig_[t.index];
                    if (install) orig_[t.index] = reinterpret_cast<void *>(slots->u1.Function);
                    DWORD old;
                    VirtualProtect(&slots->u1.Function, sizeof(void *), PAGE_READWRITE, &old);
                    slots->u1.Function = reinterpret_cast<ULONG_PTR>(value);
                    VirtualProtect(&slots->u1.Function, sizeof(void *), old, &old);
                    if (install) ++redirected_;
                }
            }
        }
        calls_ = 0;
    }

    HMODULE module_;
    int redirected_ = 0;
};

} // namespace dadatest
