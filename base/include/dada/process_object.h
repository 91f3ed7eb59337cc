// Process-wide objects of a DLL that are destroyed when the DLL is unloaded
// by FreeLibrary, but not when the process ends: by then the system has
// stopped the other threads wherever they stood, possibly half way through
// a change to one of these objects, and it takes back everything they hold.
// (A plain function-local static would be destroyed in both cases.)
//
// Each DLL that uses them calls ReleaseProcessObjects from its
// DLL_PROCESS_DETACH when the reserved argument is null.  ProcessObject is
// safe from any thread; ReleaseProcessObjects runs under the loader lock,
// when no other thread of the DLL may still use the objects.
#pragma once

namespace dada {

inline constexpr int kMostProcessObjects = 16;   // per DLL

// Remembers `release(object)` for ReleaseProcessObjects; false (and the
// object is simply kept) when the table is full.
bool AtRelease(void (*release)(void *), void *object);

// Releases the objects in the reverse order of their creation.
void ReleaseProcessObjects();

template <class T> T &ProcessObject()
{
    static T *const object = [] {
        T *p = new T;
        AtRelease([](void *q) { delete static_cast<T *>(q); }, p);
        return p;
    }();
    return *object;
}

} // namespace dada
