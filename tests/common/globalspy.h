// Records the flags of the GlobalAlloc calls that DADADA32.dll makes for the
// length of a scope, by pointing its import of GlobalAlloc at a recorder.
// One spy at a time.
#pragma once
#include <windows.h>
#include <utility>
#include <vector>
#include "testkit/importpatch.h"

namespace dadatest {

class GlobalAllocSpy {
public:
    GlobalAllocSpy() : patch_("GlobalAlloc", reinterpret_cast<void *>(&Recorder))
    {
        real_ = patch_.original<Real>();
        flags_.clear();
    }
    // The flags of the calls so far, in order; clears the record.
    std::vector<UINT> takeFlags() { return std::exchange(flags_, {}); }

private:
    using Real = HGLOBAL(WINAPI *)(UINT, SIZE_T);
    static HGLOBAL WINAPI Recorder(UINT flags, SIZE_T size)
    {
        flags_.push_back(flags);
        return real_(flags, size);
    }
    static inline Real real_ = nullptr;
    static inline std::vector<UINT> flags_;
    testkit::ImportPatch patch_;
};

} // namespace dadatest
