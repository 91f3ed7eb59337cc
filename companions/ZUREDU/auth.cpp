#include "auth.h"
#include "hosts.h"

#include <bcrypt.h>
#include <cstring>

namespace zuredu {

namespace {

constexpr char kFixedKey[] = "ZUREDU without a network secret";
constexpr DWORD kAuthMagic = 0x4155445Au;   // "ZDUA"
constexpr WORD kAuthVersion = 1;
constexpr size_t kStepHead = 8;
enum Step : WORD { Hello = 1, Answer = 2, Confirm = 3 };
constexpr char kServerLabel[] = "ZUREDU server", kClientLabel[] = "ZUREDU client";

// The HMAC-SHA256 provider, opened once for the process (its handle may be
// shared by threads); null when the platform has none.
INIT_ONCE g_hmacOnce = INIT_ONCE_STATIC_INIT;
BCRYPT_ALG_HANDLE g_hmac = nullptr;
BOOL CALLBACK OpenHmac(PINIT_ONCE, PVOID, PVOID *)
{
    if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&g_hmac, BCRYPT_SHA256_ALGORITHM, nullptr,
                                                     BCRYPT_ALG_HANDLE_HMAC_FLAG)))
        g_hmac = nullptr;
    return TRUE;
}

bool Random(BYTE *out, size_t n)
{
    return BCRYPT_SUCCESS(BCryptGenRandom(nullptr, out, static_cast<ULONG>(n), BCRYPT_USE_SYSTEM_PREFERRED_RNG));
}

void PutStep(BYTE *p, Step step)
{
    std::memcpy(p, &kAuthMagic, 4);   // little-endian like every frame of ours
    std::memcpy(p + 4, &kAuthVersion, 2);
    std::memcpy(p + 6, &step, 2);
}

bool IsStep(const BYTE *p, Step step)
{
    BYTE want[kStepHead];
    PutStep(want, step);
    return std::memcmp(p, want, kStepHead) == 0;
}

// Compares in time independent of where the first difference lies.
bool SameProof(const BYTE *a, const BYTE *b)
{
    BYTE diff = 0;
    for (size_t i = 0; i < kProofSize; ++i) diff |= static_cast<BYTE>(a[i] ^ b[i]);
    return diff == 0;
}

} // namespace

NetworkKey LoadNetworkKey()
{
    NetworkKey key;
    key.bytes = EnvValue("DADA_SECRET");
    if (key.bytes.empty()) key.bytes = HostsValue("network", "secret");
    key.configured = !key.bytes.empty();
    if (!key.configured) key.bytes = kFixedKey;
    return key;
}

bool Proof(const NetworkKey &key, const char *label, const BYTE *a, const BYTE *b, BYTE out[kProofSize])
{
    InitOnceExecuteOnce(&g_hmacOnce, OpenHmac, nullptr, nullptr);
    if (!g_hmac) return false;
    BCRYPT_HASH_HANDLE hash = nullptr;
    auto *secret = reinterpret_cast<PUCHAR>(const_cast<char *>(key.bytes.data()));
    if (!BCRYPT_SUCCESS(BCryptCreateHash(g_hmac, &hash, nullptr, 0, secret, static_cast<ULONG>(key.bytes.size()), 0)))
        return false;
    bool ok = BCRYPT_SUCCESS(BCryptHashData(hash, reinterpret_cast<PUCHAR>(const_cast<char *>(label)),
                                            static_cast<ULONG>(std::strlen(label)), 0)) &&
              BCRYPT_SUCCESS(BCryptHashData(hash, const_cast<PUCHAR>(a), kNonceSize, 0)) &&
              BCRYPT_SUCCESS(BCryptHashData(hash, const_cast<PUCHAR>(b), kNonceSize, 0)) &&
              BCRYPT_SUCCESS(BCryptFinishHash(hash, out, kProofSize, 0));
    BCryptDestroyHash(hash);
    return ok;
}

bool ClientHandshake(SOCKET s, FrameStream &stream, const NetworkKey &key, const Deadline &deadline)
{
    BYTE hello[kStepHead + kNonceSize];
    PutStep(hello, Hello);
    BYTE *mine = hello + kStepHead;
    if (!Random(mine, kNonceSize) || stream.WriteBytes(s, hello, deadline) != Io::Done) return false;

    BYTE answer[kStepHead + kNonceSize + kProofSize];
    if (stream.Read(s, answer, deadline) != Io::Done || !IsStep(answer, Answer)) return false;
    const BYTE *theirs = answer + kStepHead;
    BYTE expected[kProofSize];
    if (!Proof(key, kServerLabel, mine, theirs, expected) || !SameProof(expected, theirs + kNonceSize))
        return false;

    BYTE confirm[kStepHead + kProofSize];
    PutStep(confirm, Confirm);
    return Proof(key, kClientLabel, mine, theirs, confirm + kStepHead) &&
           stream.WriteBytes(s, confirm, deadline) == Io::Done;
}

bool ServerHandshake(SOCKET s, FrameStream &stream, const NetworkKey &key, const Deadline &deadline)
{
    BYTE hello[kStepHead + kNonceSize];
    if (stream.Read(s, hello, deadline) != Io::Done || !IsStep(hello, Hello)) return false;
    const BYTE *theirs = hello + kStepHead;

    BYTE answer[kStepHead + kNonceSize + kProofSize];
    PutStep(answer, Answer);
    BYTE *mine = answer + kStepHead;
    if (!Random(mine, kNonceSize) || !Proof(key, kServerLabel, theirs, mine, mine + kNonceSize) ||
        stream.WriteBytes(s, answer, deadline) != Io::Done)
        return false;

    BYTE confirm[kStepHead + kProofSize], expected[kProofSize];
    return stream.Read(s, confirm, deadline) == Io::Done && IsStep(confirm, Confirm) &&
           Proof(key, kClientLabel, theirs, mine, expected) && SameProof(expected, confirm + kStepHead);
}

} // namespace zuredu
