#include "dada/process_object.h"

#include <windows.h>

namespace dada {

namespace {

// Constant-initialised: usable before any constructor of the DLL has run,
// and nothing to destroy at the end.
SRWLOCK g_lock = SRWLOCK_INIT;
struct Entry {
    void (*release)(void *);
    void *object;
} g_entries[kMostProcessObjects];
int g_count = 0;

} // namespace

bool AtRelease(void (*release)(void *), void *object)
{
    AcquireSRWLockExclusive(&g_lock);
    const bool kept = g_count < kMostProcessObjects;
    if (kept) g_entries[g_count++] = {release, object};
    ReleaseSRWLockExclusive(&g_lock);
    return kept;
}

void ReleaseProcessObjects()
{
    AcquireSRWLockExclusive(&g_lock);
    while (g_count > 0) {
        const Entry e = g_entries[--g_count];
        ReleaseSRWLockExclusive(&g_lock);
        e.release(e.object);
        AcquireSRWLockExclusive(&g_lock);
    }
    ReleaseSRWLockExclusive(&g_lock);
}

} // namespace dada
