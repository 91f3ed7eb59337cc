// Records the flags of the GlobalAlloc calls that DADADA32.dll makes
// for the length of a scope, by pointing its import of GlobalAlloc at a
// recorder.  One spy at a time.
#pragma once
#include <windows.h>
#include <vector>

namespace dadatest {

class GlobalAllocSpy {
public:
    GlobalAllocSpy();
    ~GlobalAllocSpy();
    GlobalAllocSpy(const GlobalAllocSpy &) = delete;
    GlobalAllocSpy &operator=(const GlobalAllocSpy &) = delete;

    bool hooked() const { return slot_ != nullptr; }
    // The flags of the calls so far, in order; clears the record.
    std::vector<UINT> takeFlags();

private:
    void **slot_ = nullptr;
};

} // namespace dadatest
