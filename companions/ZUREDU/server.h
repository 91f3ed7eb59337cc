// The serving side: services and their handlers, the listener, and one
// thread per client connection.
#pragma once
#include <windows.h>
#include "zuredu.h"

namespace zuredu {

// Port listened on, 0 when not listening.
DWORD ListeningPort();
// Starts listening (see NetService_Listen); 0 on failure.
DWORD StartListening(const char *name, const char *endpoint);
void StopListening();

// Holds a reference to this module for the life of a thread of ours, so that
// an unload while it runs waits for it (the thread ends with
// FreeLibraryAndExitThread).  Starts `fn(arg)`; false when it cannot.
bool StartOwnThread(LPTHREAD_START_ROUTINE fn, void *arg);

// Services.
DWORD AddService(DWORD firstNumber, DWORD lastNumber);
bool BindHandler(DWORD service, DWORD number, NETSVC_HANDLER handler, DWORD firstType, DWORD lastType);
// Removes the service's handlers and waits (bounded) for their calls to end;
// answers true when no service remains.
bool RemoveService(DWORD service);

} // namespace zuredu
