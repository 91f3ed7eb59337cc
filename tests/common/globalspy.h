// Import patching of DADADA32.dll for the length of a scope: one of its
// imports pointed at a replacement (a recorder, a fake platform).
#pragma once
#include <windows.h>
#include <vector>

namespace dadatest {

class ImportPatch {
public:
    // `function` of `dll` as DADADA32.dll imports it.
    ImportPatch(const char *dll, const char *function, void *replacement);
    ~ImportPatch();
    ImportPatch(const ImportPatch &) = delete;
    ImportPatch &operator=(const ImportPatch &) = delete;

    bool hooked() const { return slot_ != nullptr; }
    void *original() const { return original_; }

private:
    void **slot_ = nullptr;
    void *original_ = nullptr;
};

// Records the flags of the GlobalAlloc calls the library makes.  One spy
// at a time.
class GlobalAllocSpy {
public:
    GlobalAllocSpy();
    bool hooked() const { return patch_.hooked(); }
    // The flags of the calls so far, in order; clears the record.
    std::vector<UINT> takeFlags();

private:
    ImportPatch patch_;
};

} // namespace dadatest
