// One owner for a critical section and one scope guard for it, for the
// process-wide tables of the DLLs.  A CriticalSection is made ready at
// construction and deleted at destruction; neither may be copied.
#pragma once
#include <windows.h>

namespace dada {

class CriticalSection {
public:
    CriticalSection() { InitializeCriticalSection(&cs_); }
    ~CriticalSection() { DeleteCriticalSection(&cs_); }
    CriticalSection(const CriticalSection &) = delete;
    CriticalSection &operator=(const CriticalSection &) = delete;

    void enter() { EnterCriticalSection(&cs_); }
    void leave() { LeaveCriticalSection(&cs_); }

private:
    CRITICAL_SECTION cs_;
};

// Holds `cs` from construction to the end of the scope.
class Locked {
public:
    explicit Locked(CriticalSection &cs) : cs_(cs) { cs_.enter(); }
    ~Locked() { cs_.leave(); }
    Locked(const Locked &) = delete;
    Locked &operator=(const Locked &) = delete;

private:
    CriticalSection &cs_;
};

} // namespace dada
