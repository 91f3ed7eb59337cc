// Hooks of the test build (ZUREDU_TESTHOOKS): a trace of the procedures
// called, failures of the start-up procedures on demand, and replies
// damaged in transit.  In the shipped build they cost nothing.
// The damage done is chosen by the top bits of the minimum length given to
// ZUT_CorruptReplies (ZUT_DAMAGE_* in zuredu.h); none flips the last byte.
#pragma once
#include <windows.h>
#include "zuredu.h"

namespace zuredu {

#ifdef ZUREDU_TESTHOOKS
constexpr DWORD kDamageShorten = ZUT_DAMAGE_SHORTEN;
constexpr DWORD kDamageSecondWord = ZUT_DAMAGE_SECOND_WORD;
constexpr DWORD kDamageKinds = kDamageShorten | kDamageSecondWord;

void LoadHooks();                        // from the environment, at load
void Trace(const char *procedure);
bool ShouldFail(const char *procedure);  // counts the call
void MaybeCorrupt(BYTE *data, DWORD &length);   // may shorten it
#else
inline void LoadHooks() {}
inline void Trace(const char *) {}
inline bool ShouldFail(const char *) { return false; }
inline void MaybeCorrupt(BYTE *, DWORD &) {}
#endif

} // namespace zuredu
