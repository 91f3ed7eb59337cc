// Records the flags of the GlobalAlloc calls that DADADA32.dll makes for the
// length of a scope, by pointing its import of GlobalAlloc at a recorder.
// One spy at a time.
#pragma once
#include <windows.h>
#include <vector>
#include "testkit/importpatch.h"

namespace dadatest {

class GlobalAllocSpy {
public:
    GlobalAllocSpy();
    // The flags of the calls so far, in order; clears the record.
    std::vector<UINT> takeFlags();

private:
    testkit::ImportPatch patch_;
};

} // namespace dadatest
