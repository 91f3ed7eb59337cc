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
    static constexpr int kTargets = 9;
    static inline void *orig_[kTargets] = {};

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

    // The allocation functions and their forwarders; a forwarder's number is its place here.
    void Patch(bool install)
    {
        static const struct { const char *name; void *hook; } targets[kTargets] = {
            {"GlobalAlloc", reinterpret_cast<void *>(&ForwardApi<0, HGLOBAL, UINT, SIZE_T>)},
            {"GlobalReAlloc", reinterpret_cast<void *>(&ForwardApi<1, HGLOBAL, HGLOBAL, SIZE_T, UINT>)},
            {"LocalAlloc", reinterpret_cast<void *>(&ForwardApi<2, HLOCAL, UINT, SIZE_T>)},
            {"LocalReAlloc", reinterpret_cast<void *>(&ForwardApi<3, HLOCAL, HLOCAL, SIZE_T, UINT>)},
            {"HeapAlloc", reinterpret_cast<void *>(&ForwardApi<4, LPVOID, HANDLE, DWORD, SIZE_T>)},
            {"HeapReAlloc", reinterpret_cast<void *>(&ForwardApi<5, LPVOID, HANDLE, DWORD, LPVOID, SIZE_T>)},
            {"malloc", reinterpret_cast<void *>(&Forward<6, void *, size_t>)},
            {"calloc", reinterpret_cast<void *>(&Forward<7, void *, size_t, size_t>)},
            {"realloc", reinterpret_cast<void *>(&Forward<8, void *, void *, size_t>)},
        };
        testkit::imports::ForEachImport(module_, [&](const char *name, void **slot) {
            for (int i = 0; i < kTargets; ++i) {
                if (std::strcmp(name, targets[i].name) != 0) continue;
                if (install) orig_[i] = *slot;
                testkit::imports::Store(slot, install ? targets[i].hook : orig_[i]);
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
