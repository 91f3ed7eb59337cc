// Hooks of the test build (ZUREDU_TESTHOOKS): a trace of the procedures
// called, failures of the start-up procedures on demand, and replies
// corrupted in transit.  In the shipped build they cost nothing.
#pragma once
#include <windows.h>

namespace zuredu {

#ifdef ZUREDU_TESTHOOKS
void LoadHooks();                        // from the environment, at load
void Trace(const char *procedure);
bool ShouldFail(const char *procedure);  // counts the call
void MaybeCorrupt(BYTE *data, DWORD length);
#else
inline void LoadHooks() {}
inline void Trace(const char *) {}
inline bool ShouldFail(const char *) { return false; }
inline void MaybeCorrupt(BYTE *, DWORD) {}
#endif

} // namespace zuredu
