// Peers prove who they are: a mutual challenge-response over a shared
// network secret, at the start of every connection, before any request.
//
//   client -> server  "ZDUA" | version 1 (16) | step 1 (16) | client nonce (32)
//   server -> client  "ZDUA" | version 1 (16) | step 2 (16) | server nonce (32) | server proof (32)
//   client -> server  "ZDUA" | version 1 (16) | step 3 (16) | client proof (32)
//
// proof = HMAC-SHA256(secret, label | client nonce | server nonce), the label
// "ZUREDU server" or "ZUREDU client", so that neither side's proof can be
// played back as the other's.  Nonces come fresh from the system's random
// generator.  The client checks the server's proof before it sends its own;
// the server serves nothing before it has checked the client's.  Costs the
// client one round trip per connection.
//
// Without a configured secret both sides use a fixed key that is no secret:
// the handshake then proves only that the peer speaks this protocol, and
// the server listens on loopback and refuses every other peer.
#pragma once
#include <winsock2.h>
#include <windows.h>
#include <string>
#include "wire.h"

namespace zuredu {

struct NetworkKey {
    std::string bytes;
    bool configured = false;   // a secret was set; false: the fixed key
};

// DADA_SECRET when set, else the key secret= of section [network] in the
// DADA_HOSTS file, else the fixed key.
NetworkKey LoadNetworkKey();

constexpr size_t kNonceSize = 32, kProofSize = 32;

// HMAC-SHA256 of `label | a | b` under `key`; false when the platform's
// cryptography fails.
bool Proof(const NetworkKey &key, const char *label, const BYTE *a, const BYTE *b, BYTE out[kProofSize]);

// The handshake on a fresh connection; true when the peer proved it holds
// the key.  On false the caller closes the connection.
bool ClientHandshake(SOCKET s, FrameStream &stream, const NetworkKey &key, const Deadline &deadline);
bool ServerHandshake(SOCKET s, FrameStream &stream, const NetworkKey &key, const Deadline &deadline);

} // namespace zuredu
