// FileRetrieve: prepares the local target on the caller's thread, then a
// worker thread fetches the remote file.  The outcome reaches the caller by
// callback, by its semaphore, or by waiting here.
#include "REMOTE/retrieve_context.h"
#include "dada/memblock.h"
#include "FRAME/module.h"
#include "dada/handle.h"
#include "NAME/name_internal.h"
#include "zoredo32.h"
#include <cstring>

namespace dada::xfer {

void Notify(HANDLE semaphore, FileRetrieveCallback callback, DWORD status)
{
    DWORD answer = 0;
    if (callback) {
        answer = callback(status);
        if (status == XFER_DONE || XFER_FAILED(status)) answer = 0;
    }
    if (!answer && semaphore) ReleaseSemaphore(semaphore, 1, nullptr);
}

namespace {

// Takes up to 10 counts; usable when it ran dry before that.
bool DrainSemaphore(HANDLE semaphore)
{
    for (int i = 0; i < 10; ++i)
        if (WaitForSingleObject(semaphore, 0) == WAIT_TIMEOUT) return true;
    return false;
}

// Creates the local file, replacing or composing as the rules allow.
DWORD PrepareTarget(RetrieveContext &c)
{
    DWORD attributes = 0;
    if (ZK_GetAttributes(c.localName, &attributes)) {
        if (attributes & ZK_ATTR_FOLDER) {
            // A folder receives the file under the remote file's own name.
            char file[kPathBuf], composed[kLocalNameArea];
            if (std::strlen(c.remoteName) > kPathMax) return XFER_E_TARGET_CREATE;
            NameReturnFile(c.remoteName, file);
            std::strcpy(composed, c.localName);
            if (!NameAppendFile(composed, kLocalNameArea, file)) return XFER_E_TARGET_CREATE;
            std::strcpy(c.localName, composed);
        } else if (!(attributes & (ZK_ATTR_HIDDEN | ZK_ATTR_SYSTEM)) && c.overwrite) {
            ZK_Delete(c.localName);
        } else {
            return XFER_E_TARGET_EXISTS;
        }
    }
    c.localFile = ZK_Create(c.localName);
    return c.localFile == ZK_NOFILE ? XFER_E_TARGET_CREATE : XFER_DONE;
}

// The worker holds a reference to this library for its whole life, taken
// before it starts: a caller that unloads the library once the outcome was
// reported does not pull the code from under the worker's last steps.
HMODULE PinLibrary()
{
    HMODULE self = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(&PinLibrary), &self);
    return self;
}

DWORD WINAPI PinnedWorker(LPVOID context)
{
    const DWORD status = FileRetrieveWorker(context);
    FreeLibraryAndExitThread(dada::g_module, status);
}

} // namespace

} // namespace dada::xfer

using namespace dada::xfer;

extern "C" DWORD DADAAPI FileRetrieve(LPCSTR remoteName, LPCSTR localName, DWORD overwrite,
                                      HANDLE semaphore, FileRetrieveCallback callback)
{
    if (!remoteName) remoteName = "";
    const size_t remoteSize = std::strlen(remoteName) + 1;
    auto *c = static_cast<RetrieveContext *>(dada::BlockAlloc(
        offsetof(RetrieveContext, storage) + remoteSize + kLocalNameArea + kRequestArea,
        dada::Block::Moveable));
    if (!c) {
        Notify(semaphore, callback, XFER_E_NO_CONTEXT);
        return 0;
    }
    c->remoteName = c->storage;
    c->localName = c->remoteName + remoteSize;
    c->request = reinterpret_cast<BYTE *>(c->localName + kLocalNameArea);
    std::memcpy(c->remoteName, remoteName, remoteSize);
    const bool localFits = localName && std::strlen(localName) < kLocalNameArea;
    if (localFits) std::strcpy(c->localName, localName);
    c->overwrite = overwrite;
    c->semaphore = semaphore;
    c->callback = callback;
    c->localFile = ZK_NOFILE;
    c->status = XFER_DONE;

    // The semaphore a call that waits makes for itself; it goes on return.
    dada::UniqueHandle own;
    // Ends a setup that failed: report, release what was made, answer 0
    // (the status also as the thread's last error).
    auto fail = [c](DWORD status) -> DWORD {
        c->status = status;
        Notify(c->semaphore, c->callback, status);
        dada::BlockFree(c);
        SetLastError(status);
        return 0;
    };

    const bool usable = semaphore && DrainSemaphore(semaphore);
    if (!usable && !callback) {
        own.reset(CreateSemaphoreA(nullptr, 0, 1, nullptr));
        c->semaphore = own.get();
        if (!own) return fail(XFER_E_NO_SEMAPHORE);
        c->ownSemaphore = 1;
    }
    const bool synchronous = c->ownSemaphore != 0;

    if (!localFits) return fail(XFER_E_TARGET_CREATE);
    if (DWORD status = PrepareTarget(*c)) return fail(status);

    DWORD waited = XFER_DONE;
    if (synchronous) c->waiterStatus = &waited;
    // The worker keeps the library loaded until its last step.
    HMODULE pinned = PinLibrary();
    dada::UniqueHandle worker{pinned ? CreateThread(nullptr, kWorkerStack, PinnedWorker, c, 0, nullptr) : nullptr};
    if (!worker) {
        if (pinned) FreeLibrary(pinned);
        ZK_Close(c->localFile);
        ZK_Delete(c->localName);
        return fail(XFER_E_NO_THREAD);
    }
    if (!synchronous) return 1;   // detached: the worker frees the context
    // The caller may leave, or unload the library, as soon as this returns:
    // the worker must be gone by then, not merely done.
    WaitForSingleObject(own.get(), INFINITE);
    WaitForSingleObject(worker.get(), INFINITE);
    if (waited == XFER_DONE) return 1;
    SetLastError(waited);   // the failure status, for a caller that asks
    return 0;
}
