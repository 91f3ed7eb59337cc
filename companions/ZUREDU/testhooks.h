// Hooks of the test build (ZUREDU_TESTHOOKS): a trace of the procedures
// called, failures of the start-up procedures on demand, and replies
// damaged in transit.  In the shipped build they cost nothing.
// The damage done is chosen by the top bits of the minimum length given to
// ZUT_CorruptReplies: none flips the last byte, kDamageShorten drops it,
// kDamageSecondWord flips a bit of the reply's second 32-bit word.
#pragma once
#include <windows.h>

namespace zuredu {

constexpr DWORD kDamageShorten = 0x80000000u;
constexpr DWORD kDamageSecondWord = 0x40000000u;
constexpr DWORD kDamageKinds = kDamageShorten | kDamageSecondWord;

#ifdef ZUREDU_TESTHOOKS
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
