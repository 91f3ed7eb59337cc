// ZUREDU: the exported procedures, the load step, and the usage count.
#include "zuredu.h"
#include "client.h"
#include "hosts.h"
#include "server.h"
#include "testhooks.h"
#include "dada/process_object.h"

using namespace zuredu;

namespace {
volatile LONG g_users = 0;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    if (reason == DLL_PROCESS_ATTACH) {
        DisableThreadLibraryCalls(instance);
        LoadHooks();
    } else if (reason == DLL_PROCESS_DETACH && !reserved) {
        dada::ReleaseProcessObjects();   // unloaded, not the process ending
    }
    return TRUE;
}

extern "C" void WINAPI NetService_AllServicesStarted(void)
{
    Trace("NetService_AllServicesStarted");
}

extern "C" DWORD WINAPI NetService_BeginUsingAPI(void)
{
    Trace("NetService_BeginUsingAPI");
    if (ShouldFail("NetService_BeginUsingAPI")) return 0;
    InterlockedIncrement(&g_users);
    return 1;
}

extern "C" void WINAPI NetService_DoneUsingAPI(void)
{
    Trace("NetService_DoneUsingAPI");
    // Never below zero, whatever the caller's pairing.
    LONG n;
    do {
        n = g_users;
    } while (n > 0 && InterlockedCompareExchange(&g_users, n - 1, n) != n);
}

extern "C" DWORD WINAPI NetService_ServiceStart(const DWORD *serviceRange, DWORD *listenPort)
{
    Trace("NetService_ServiceStart");
    if (ShouldFail("NetService_ServiceStart")) return 0;
    if (!serviceRange || serviceRange[0] > serviceRange[1]) return 0;
    DWORD service = AddService(serviceRange[0], serviceRange[1]);
    std::string machine = EnvValue("DADA_MACHINE");
    if (!machine.empty() && !ListeningPort()) StartListening(machine.c_str(), nullptr);
    if (listenPort) *listenPort = ListeningPort();
    return service;
}

extern "C" DWORD WINAPI NetService_BindCallback(DWORD serviceHandle, DWORD service, NETSVC_HANDLER handler,
                                                DWORD firstType, DWORD lastType)
{
    Trace("NetService_BindCallback");
    if (ShouldFail("NetService_BindCallback")) return 0;
    return BindHandler(serviceHandle, service, handler, firstType, lastType) ? 1 : 0;
}

extern "C" void WINAPI NetService_ServiceShutdown(DWORD *serviceHandle)
{
    Trace("NetService_ServiceShutdown");
    if (!serviceHandle || !*serviceHandle) return;
    if (RemoveService(*serviceHandle)) StopListening();
    *serviceHandle = 0;
}

extern "C" DWORD WINAPI NetService_Connect(LPCSTR server, DWORD mode)
{
    Trace("NetService_Connect");
    return OpenConnection(server);
}

extern "C" void WINAPI NetService_Disconnect(DWORD *connection)
{
    Trace("NetService_Disconnect");
    if (!connection || !*connection) return;
    CloseConnection(*connection);
    *connection = 0;
}

extern "C" DWORD WINAPI NetService_SendPacket(DWORD connection, DWORD packetType, const void *request,
                                              DWORD requestLength, void **reply, DWORD *replyLength,
                                              DWORD timeoutMs)
{
    Trace("NetService_SendPacket");
    return Exchange(connection, packetType, request, requestLength, reply, replyLength, timeoutMs);
}

extern "C" DWORD WINAPI NetSession_GetConnectionType(LPCSTR server)
{
    Trace("NetSession_GetConnectionType");
    return ConnectionType(server);
}

extern "C" DWORD WINAPI NetService_Listen(LPCSTR name, LPCSTR endpoint)
{
    Trace("NetService_Listen");
    return StartListening(name, endpoint);
}
