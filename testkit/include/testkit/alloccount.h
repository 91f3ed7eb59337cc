// Counts the heap allocations one module makes by itself: while a counter
// lives, the module's import-table entries of the allocation functions
// point at counting forwarders.
#pragma once
#include <windows.h>
#include <cstdlib>
#include <cstring>
#include "testkit/importpatch.h"

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
        testkit::imports::ForEachImport(module_, [&](const char *name, void **slot) {
            for (const auto &t : targets) {
                if (std::strcmp(name, t.name) != 0) continue;
                if (install) orig_[t.index] = *slot;
                testkit::imports::Store(slot, install ? t.hook : orig_[t.index]);
                if (install) ++redirected_;
            }
            return false;
        });
        calls_ = 0;
    }

    HMODULE module_;
    int redirected_ = 0;
};

} // namespace dadatest
