// The binding to the product's communication library (ZUREDU) and RPC
// library (ZAROV), loaded at run time.  This is the one place that names
// their procedures; everything else calls the wrappers below, which look
// their procedure up by name at every call and give a fixed "unbound"
// result when it is not available.
#pragma once
#include <windows.h>

namespace dada {

// Handler of one service's requests, called on the comm library's threads:
// (ignored, request, request length, &reply, &reply length) -> nonzero when
// a reply was left.
typedef DWORD (WINAPI *NetServiceHandler)(DWORD, const void *, DWORD, void **, DWORD *);

// Process attach: load, resolve, start the service, register the handlers.
// Its answer is the load's answer.
BOOL BindRemoteServices();
// Process detach: shut the service down and unload both libraries.
void UnbindRemoteServices();

// Index of a procedure in its name table, or -1 when the library is not
// bound or the name (compared exactly) is not one of its procedures.
int FindCommProcedure(const char *name);
int FindRpcProcedure(const char *name);

// The wrappers; unbound results in brackets.
void  NetService_AllServicesStarted();                                   // [nothing]
DWORD NetService_BeginUsingAPI();                                        // 1/0 [0]
DWORD NetService_BindCallback(DWORD service, DWORD number, NetServiceHandler handler,
                              DWORD value1, DWORD value2);               // 1/0 [0]
DWORD NetService_Connect(const char *server, DWORD one);                 // connection [0]
void  NetService_Disconnect(DWORD *connection);                          // [nothing]
void  NetService_DoneUsingAPI();                                         // [nothing]
DWORD NetService_SendPacket(DWORD connection, DWORD packetType, const void *request,
                            DWORD length, void **reply, DWORD *replyLength,
                            DWORD timeout);                              // 0 = done [1]
void  NetService_ServiceShutdown(DWORD *service);                        // [nothing]
DWORD NetService_ServiceStart(const DWORD *pair, DWORD *unused);         // service [0]
WORD  NetSession_GetConnectionType(const char *server);                  // [0]
DWORD RPC_SendCall(void *packet);                                        // 1/0 [0]

} // namespace dada
