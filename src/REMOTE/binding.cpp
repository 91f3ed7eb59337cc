// Loading and unloading the comm and RPC libraries, and the wrappers.
#include "REMOTE/binding.h"
#include "REMOTE/xfer_server.h"
#include "dadada32.h"
#include "dada/handle.h"
#include "zuredu.h"
#include <array>
#include <cstring>

namespace dada {

namespace {

// The procedures' own signatures, as the comm library declares them (it is
// loaded at run time: only the types are taken from its header).
using VoidFn = decltype(&::NetService_BeginUsingAPI);
using NotifyFn = decltype(&::NetService_AllServicesStarted);
using BindCallbackFn = decltype(&::NetService_BindCallback);
using ConnectFn = decltype(&::NetService_Connect);
using HandleAddrFn = decltype(&::NetService_Disconnect);
using SendPacketFn = decltype(&::NetService_SendPacket);
using ServiceStartFn = decltype(&::NetService_ServiceStart);
using NameFn = decltype(&::NetSession_GetConnectionType);
typedef DWORD (WINAPI *CallFn)(void *);

template <size_t N> struct Library {
    const char *module;
    std::array<const char *, N> names;
    UniqueLibrary handle;
    std::array<FARPROC, N> procs;
};

Library<10> g_comm{"ZUREDU",
                   {"NetService_AllServicesStarted", "NetService_BeginUsingAPI",
                    "NetService_BindCallback", "NetService_Connect", "NetService_Disconnect",
                    "NetService_DoneUsingAPI", "NetService_SendPacket",
                    "NetService_ServiceShutdown", "NetService_ServiceStart",
                    "NetSession_GetConnectionType"},
                   {}, {}};
Library<1> g_rpc{"ZAROV", {"RPC_SendCall"}, {}, {}};
DWORD g_service;

// All of a library's procedures, resolved from the last name to the first,
// or none of them and the library unloaded again.
template <size_t N> bool Load(Library<N> &lib)
{
    lib.procs.fill(nullptr);
    lib.handle.reset(LoadLibraryA(lib.module));
    if (!lib.handle) return false;
    for (size_t i = N; i-- > 0;) {
        lib.procs[i] = GetProcAddress(lib.handle.get(), lib.names[i]);
        if (!lib.procs[i]) {
            lib.procs.fill(nullptr);
            lib.handle.reset();
            return false;
        }
    }
    return true;
}

template <size_t N> int Find(const Library<N> &lib, const char *name)
{
    if (!lib.handle || !name) return -1;
    for (size_t i = N; i-- > 0;) {
        if (std::strcmp(lib.names[i], name) == 0)
            return lib.procs[i] ? static_cast<int>(i) : -1;
    }
    return -1;
}

template <size_t N> void Unload(Library<N> &lib) { lib.handle.reset(); }

// The procedure named `name` as type F, looked up afresh, or null.
template <class F> F Comm(const char *name)
{
    const int i = FindCommProcedure(name);
    return i < 0 ? nullptr : reinterpret_cast<F>(g_comm.procs[i]);
}

DWORD WINAPI ServiceOneCallback(DWORD, const void *, DWORD, void **, DWORD *) { return 1; }

} // namespace

int FindCommProcedure(const char *name) { return Find(g_comm, name); }
int FindRpcProcedure(const char *name) { return Find(g_rpc, name); }

BOOL BindRemoteServices()
{
    if (!Load(g_comm)) return TRUE;     // a purely local library
    if (!Load(g_rpc)) return TRUE;      // comm resolved, no service
    if (!NetService_BeginUsingAPI()) return FALSE;

    static const DWORD pair[2] = {1, 2};
    DWORD scratch = 0;
    g_service = NetService_ServiceStart(pair, &scratch);
    if (!g_service) return FALSE;

    if (NetService_BindCallback(g_service, 2, xfer::FileTransferHandler, XFER_PACKET_TYPE, XFER_PACKET_TYPE) != 1)
        return FALSE;
    if (NetService_BindCallback(g_service, 1, ServiceOneCallback, 0, 0) != 1) return FALSE;
    NetService_AllServicesStarted();
    return TRUE;
}

void UnbindRemoteServices()
{
    if (g_service) NetService_ServiceShutdown(&g_service);
    NetService_DoneUsingAPI();
    Unload(g_comm);
    Unload(g_rpc);
}

void NetService_AllServicesStarted()
{
    if (auto f = Comm<NotifyFn>("NetService_AllServicesStarted")) f();
}

DWORD NetService_BeginUsingAPI()
{
    auto f = Comm<VoidFn>("NetService_BeginUsingAPI");
    return f && f() ? 1 : 0;
}

DWORD NetService_BindCallback(DWORD service, DWORD number, NetServiceHandler handler,
                              DWORD value1, DWORD value2)
{
    auto f = Comm<BindCallbackFn>("NetService_BindCallback");
    return f && f(service, number, reinterpret_cast<NETSVC_HANDLER>(handler), value1, value2) ? 1 : 0;
}

DWORD NetService_Connect(const char *server, DWORD one)
{
    auto f = Comm<ConnectFn>("NetService_Connect");
    return f ? f(server, one) : 0;
}

void NetService_Disconnect(DWORD *connection)
{
    if (auto f = Comm<HandleAddrFn>("NetService_Disconnect")) f(connection);
}

void NetService_DoneUsingAPI()
{
    if (auto f = Comm<NotifyFn>("NetService_DoneUsingAPI")) f();
}

DWORD NetService_SendPacket(DWORD connection, DWORD packetType, const void *request, DWORD length,
                            void **reply, DWORD *replyLength, DWORD timeout)
{
    auto f = Comm<SendPacketFn>("NetService_SendPacket");
    return f ? f(connection, packetType, request, length, reply, replyLength, timeout) : 1;
}

void NetService_ServiceShutdown(DWORD *service)
{
    if (auto f = Comm<HandleAddrFn>("NetService_ServiceShutdown")) f(service);
}

DWORD NetService_ServiceStart(const DWORD *pair, DWORD *unused)
{
    auto f = Comm<ServiceStartFn>("NetService_ServiceStart");
    return f ? f(pair, unused) : 0;
}

WORD NetSession_GetConnectionType(const char *server)
{
    auto f = Comm<NameFn>("NetSession_GetConnectionType");
    return f ? LOWORD(f(server)) : 0;
}

DWORD RPC_SendCall(void *packet)
{
    const int i = FindRpcProcedure("RPC_SendCall");
    if (i < 0) return 0;
    return reinterpret_cast<CallFn>(g_rpc.procs[i])(packet) ? 1 : 0;
}

} // namespace dada
