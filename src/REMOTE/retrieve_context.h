// The working record of one FileRetrieve, shared by its setup on the
// caller's thread and its worker thread, which frees it.
#pragma once
#include "dadada32.h"
#include "dada/limits.h"
#include <cstddef>

namespace dada::xfer {

constexpr DWORD kLocalNameArea = kPathMax;
constexpr DWORD kRequestArea = 512;
constexpr DWORD kServerNameSize = 49;
constexpr DWORD kWorkerStack = 8192;
constexpr DWORD kChunkAttempts = 5;
constexpr DWORD kExchangeTimeout = 2000;

struct RetrieveContext {
    char *remoteName;          // into `storage`
    char *localName;           // into `storage`, kLocalNameArea bytes
    DWORD overwrite;
    HANDLE semaphore;
    FileRetrieveCallback callback;
    DWORD localFile;
    DWORD remoteFile;
    DWORD connection;
    DWORD offset;
    DWORD size;
    DWORD status;
    DWORD requested;
    DWORD replyLength;
    BYTE *reply;
    BYTE *data;
    DWORD length;
    BYTE *request;             // into `storage`, kRequestArea bytes
    DWORD ownSemaphore;
    DWORD *waiterStatus;
    char storage[1];           // remote name, local-name area, request area
};

#if defined(_WIN32) && !defined(_WIN64)
static_assert(offsetof(RetrieveContext, status) == 40 && offsetof(RetrieveContext, request) == 64 &&
              offsetof(RetrieveContext, storage) == 76, "every field 32 bits wide, in order");
#endif

// Reports the end of a retrieve to the caller's callback and semaphore.
void Notify(HANDLE semaphore, FileRetrieveCallback callback, DWORD status);

// The worker thread: connect, open, transfer, close, end.  Frees `context`.
DWORD WINAPI FileRetrieveWorker(LPVOID context);

} // namespace dada::xfer
