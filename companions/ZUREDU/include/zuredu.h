/*
 * ZUREDU - the product's communication library (our own build), over TCP.
 *
 * Every procedure is stdcall and exported by name.  Connection and service
 * handles, counts, packet types and time-outs are 32-bit; addresses are
 * pointer-sized.
 *
 * Machines.  A process acts as a named machine of the product: it listens on
 * that machine's endpoint only when it is asked to, either by the environment
 * variable DADA_MACHINE=NAME (read when the first service starts) or by
 * NetService_Listen.  Otherwise it serves nobody and starting a service never
 * touches the network, so any number of processes may load the library.
 *
 * Hosts map.  NAME -> ADDRESS:PORT comes from the INI file that DADA_HOSTS
 * names (a full path), section [hosts]:
 *
 *     [hosts]
 *     ALPHA=127.0.0.1:47101
 *     BETA=127.0.0.1:47102
 *
 * Names compare without regard to letter case.  A name not in the file (or
 * no file) resolves only when it is "localhost", "127.0.0.1" or this
 * computer's name: those map to 127.0.0.1:ZUREDU_DEFAULT_PORT.
 *
 * Network secret.  Every connection starts with a mutual challenge-response
 * over the secret in DADA_SECRET, else the key secret= of section [network]
 * in the hosts file; both ends must hold the same one.  Without a secret a
 * process listens on loopback only and serves only this computer's peers.
 *
 * Requests and replies.  A request of packet type T goes to the handler that
 * a service of the serving process registered for a range of types holding
 * T (NetService_BindCallback); the handler runs on one of the library's
 * threads, one thread per client connection.
 */
#ifndef ZUREDU_H
#define ZUREDU_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

#define ZUREDU_DEFAULT_PORT 47017u

/* Largest request or reply a packet may carry, in bytes. */
#define ZUREDU_MAX_PACKET (8u * 1024u * 1024u)

/* NetService_SendPacket results (0: the exchange completed).  A reply block
 * may come back with a non-zero result too (the server's own status). */
#define NETSVC_OK             0u
#define NETSVC_E_INVALID      0xC5000001u  /* bad argument or unknown connection */
#define NETSVC_E_SEND         0xC5000002u  /* the request could not be sent; the server is unreachable */
#define NETSVC_E_TIMEOUT      0xC5000003u  /* no reply within the time-out */
#define NETSVC_E_CLOSED       0xC5000004u  /* the server closed the connection before replying */
#define NETSVC_E_PROTOCOL     0xC5000005u  /* the server answered with a malformed frame */
#define NETSVC_E_NO_MEMORY    0xC5000006u  /* the reply block could not be allocated */
#define NETSVC_E_NO_HANDLER   0xC5000007u  /* server: no service handles this packet type */
#define NETSVC_E_NO_REPLY     0xC5000008u  /* server: the handler left no reply */
#define NETSVC_E_REPLY_SIZE   0xC5000009u  /* server: the handler's reply was too large or not a memory block */

/* NetSession_GetConnectionType results.  LOCAL for a null or empty name,
 * the machine this process is, this computer's name, "localhost" and
 * "127.0.0.1" (leading backslashes ignored, letter case not), and for a name
 * the hosts map sends to this process's own loopback endpoint; REMOTE for
 * any other name the hosts map resolves; UNKNOWN otherwise.  A browser takes
 * the file-system road for LOCAL and the remote-call road otherwise. */
#define NETSESSION_UNKNOWN    0u  /* the name resolves to no machine */
#define NETSESSION_REMOTE     1u  /* another machine of the product, reached through this library */
#define NETSESSION_LOCAL      2u  /* this machine (or no name): its disks are reached directly */

/* Request handler: (ignored, request, request length, reply-pointer variable,
 * reply-length variable) -> non-zero when a reply was left.  The reply is a
 * zeroed, locked global-memory block; the library sends it and frees it
 * (GlobalHandle, GlobalUnlock, GlobalFree). */
typedef DWORD (WINAPI *NETSVC_HANDLER)(DWORD ignored, void *request, DWORD requestLength,
                                       void **reply, DWORD *replyLength);

/* Marks the end of a service start-up (recorded; no other effect). */
void  WINAPI NetService_AllServicesStarted(void);
/* 1: the caller may use the library (sockets are ready); 0: they are not. */
DWORD WINAPI NetService_BeginUsingAPI(void);
/* Registers `handler` for the service number `service` of the started
 * service `serviceHandle`, for requests whose packet type lies in
 * firstType..lastType.  The service number must lie in the range given to
 * NetService_ServiceStart.  A later registration of the same service number
 * replaces the earlier one.  1 on success, 0 on a bad argument. */
DWORD WINAPI NetService_BindCallback(DWORD serviceHandle, DWORD service, NETSVC_HANDLER handler,
                                     DWORD firstType, DWORD lastType);
/* Opens a connection to the machine `server` (a name of the hosts map; leading
 * backslashes are ignored).  `mode` 1 connects at once (the only mode).
 * Answers the connection handle, or 0 when the machine is unknown or does
 * not answer. */
DWORD WINAPI NetService_Connect(LPCSTR server, DWORD mode);
/* Closes the connection whose handle `*connection` holds and clears it. */
void  WINAPI NetService_Disconnect(DWORD *connection);
/* Ends one NetService_BeginUsingAPI. */
void  WINAPI NetService_DoneUsingAPI(void);
/* Sends `request` with `packetType`, waits up to `timeoutMs` milliseconds
 * (INFINITE: no limit) and leaves the reply block (or null) and its length in
 * `*reply` and `*replyLength`; the caller frees the block.  A connection whose
 * stream broke (time-out, server gone) is reopened by the next call.
 * Answers NETSVC_OK or one of the NETSVC_E_ codes. */
DWORD WINAPI NetService_SendPacket(DWORD connection, DWORD packetType, const void *request,
                                   DWORD requestLength, void **reply, DWORD *replyLength,
                                   DWORD timeoutMs);
/* Ends the service whose handle `*serviceHandle` holds: its handlers are
 * removed (after the calls in progress return) and the handle cleared.  When
 * the last service ends the process stops listening. */
void  WINAPI NetService_ServiceShutdown(DWORD *serviceHandle);
/* Starts a service.  `serviceRange` points to the lowest and highest service
 * number the caller will register.  `*listenPort` receives the port this
 * process listens on, 0 when it does not.  Answers the service handle, or 0
 * on a bad argument.  Starts listening when DADA_MACHINE names this machine. */
DWORD WINAPI NetService_ServiceStart(const DWORD *serviceRange, DWORD *listenPort);
/* NETSESSION_UNKNOWN, NETSESSION_REMOTE or NETSESSION_LOCAL for `server`. */
DWORD WINAPI NetSession_GetConnectionType(LPCSTR server);

/* Makes this process the machine `name` (null: this computer's name) and
 * listens on `endpoint` ("ADDRESS:PORT", port 0 picks a free one) or, when
 * `endpoint` is null or empty, on the name's endpoint in the hosts map.
 * Answers the port listened on, or 0 on failure.  A process listens on one
 * endpoint at most: while it listens, the answer is the current port. */
DWORD WINAPI NetService_Listen(LPCSTR name, LPCSTR endpoint);

#ifdef ZUREDU_TESTHOOKS
/* Test build only (found in the test programs' folder and the variants
 * folders).  Read at load from the environment:
 *   DADA_ZUREDU_TRACE=PATH   append the name of every procedure called, one a line
 *   DADA_ZUREDU_FAIL=LIST    comma-separated NetService_BeginUsingAPI,
 *                            NetService_ServiceStart, NetService_BindCallback, each
 *                            optionally "#N": fail only the N-th call (1-based)
 *   DADA_ZUREDU_CORRUPT=N[:MIN]  flip the last byte of the next N replies
 *                            of at least MIN bytes (default 17) that
 *                            NetService_SendPacket receives
 * ZUT_CorruptReplies' minimum length may carry one kind of damage in its
 * top bits instead of the flipped last byte: */
#define ZUT_DAMAGE_SHORTEN     0x80000000u  /* the last byte is dropped */
#define ZUT_DAMAGE_SECOND_WORD 0x40000000u  /* a bit of the second 32-bit word flips */
DWORD WINAPI ZUT_CorruptReplies(DWORD count, DWORD minLength); /* answers the count still pending before */
DWORD WINAPI ZUT_GetTrace(LPSTR buffer, DWORD size);            /* names, '\n'-ended; answers the full length */
void  WINAPI ZUT_SetFailures(LPCSTR list);                      /* as DADA_ZUREDU_FAIL; null clears */
#endif

#ifdef __cplusplus
}
#endif

#endif /* ZUREDU_H */
