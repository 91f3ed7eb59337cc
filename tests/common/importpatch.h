// Points DADADA32.dll's import of one function at a replacement for the
// length of a scope, to make a platform call slow or failing on purpose.
// The slot is found by the imported name, so forwarded exports are found
// too.  One patch per function at a time.
#pragma once
#include <windows.h>

namespace dadatest {

class ImportPatch {
public:
    ImportPatch(const char *function, void *replacement);
    ~ImportPatch();
    ImportPatch(const ImportPatch &) = delete;
    ImportPatch &operator=(const ImportPatch &) = delete;

    bool active() const { return slot_ != nullptr; }
    // What the slot held before: the real function.
    template <class F> F original() const { return reinterpret_cast<F>(original_); }

private:
    void **slot_ = nullptr;
    void *original_ = nullptr;
};

} // namespace dadatest
