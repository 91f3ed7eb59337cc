// The client side: connections to named machines and request/reply
// exchanges on them.
#pragma once
#include <windows.h>

namespace zuredu {

DWORD OpenConnection(const char *server);
void CloseConnection(DWORD handle);
DWORD Exchange(DWORD handle, DWORD packetType, const void *request, DWORD length, void **reply,
               DWORD *replyLength, DWORD timeoutMs);
DWORD ConnectionType(const char *server);

} // namespace zuredu
