/*
 * ZAROV - the product's RPC library (our own build), over the transport of
 * the communication library ZUREDU.
 *
 * A call is described by a CallPacket: the server's name, the procedure's
 * CallDescriptor, and the addresses of the in- and out-arguments.  The
 * argument kinds say how each slot is read and written:
 *   RPC_ARG_INT   (3) a 32-bit integer at the slot's address;
 *   RPC_ARG_COUNT (7) a 32-bit byte count, the length of the RPC_ARG_BYTES
 *                     argument right after it;
 *   RPC_ARG_BYTES (8) that many bytes at the slot's address.
 * RPC_SendCall sends the in-arguments to the server, waits for the answer
 * and writes the out-arguments through the out slots; a byte buffer out is
 * never longer than the reply room (descriptor replySize minus 4).
 *
 * Serving.  A process answers calls once it has called RPC_ServerStart (and
 * listens as a machine through ZUREDU: DADA_MACHINE or NetService_Listen).
 * It answers:
 *   301 read volume names: in (3) 0, (3) most names wanted;
 *       out (7) count, (8) the names "C:\" ... as an untyped name list.
 *   302 read a folder: in (7,8) search path such as "C:\DIR\*.*" or the
 *       share form of a named server, "\\NAME\C$\DIR\*.*", which is read
 *       as this machine's "C:\DIR\*.*" (another UNC path: RPC_E_NOT_FOUND),
 *       (7,8) pattern list "*.TXT;*.LOG" (count 0: none), (3) continuation,
 *       (3) mode (1: folders only); out (3) continuation, (7) count,
 *       (8) a typed name list (type byte 1 file, 2 folder, then the name).
 *       The entries come in the order of the directory search, "." and
 *       ".." included; each batch fits the 2044-byte room; the continuation
 *       is 0 for the first batch and RPC_CONTINUATION_DONE after the last.
 * A name list is a run of zero-terminated entries closed by one more zero
 * byte; the count includes it (an empty list is two zero bytes).
 */
#ifndef ZAROV_H
#define ZAROV_H

#include <windows.h>
#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

#define RPC_MAX_ARGS 12
#define RPC_ARG_NONE  0u
#define RPC_ARG_INT   3u
#define RPC_ARG_COUNT 7u
#define RPC_ARG_BYTES 8u

#define RPC_PROC_READ_VOLUMES   301u
#define RPC_PROC_READ_DIRECTORY 302u
#define RPC_CONTINUATION_DONE   0xFFFFFFFFu
#define RPC_MODE_FOLDERS_ONLY   1u

/* Type bytes of a typed name list. */
#define RPC_ENTRY_FILE   1u
#define RPC_ENTRY_FOLDER 2u

/* The packet type and service number of calls on the ZUREDU transport. */
#define ZAROV_PACKET_TYPE 4352u
#define ZAROV_SERVICE     3u

/* RPC_SendCall results. */
#define RPC_OK              0u
#define RPC_E_BAD_PACKET    0xC6000001u  /* no packet, server name or descriptor; bad kinds or slots */
#define RPC_E_NO_CONNECTION 0xC6000002u  /* the server is unknown or does not answer */
#define RPC_E_TRANSPORT     0xC6000003u  /* the exchange failed (time-out, connection lost) */
#define RPC_E_BAD_REPLY     0xC6000004u  /* the answer does not fit the descriptor or the room */
#define RPC_E_NO_MEMORY     0xC6000005u
/* Answered by the server (and passed on by RPC_SendCall). */
#define RPC_E_UNKNOWN_PROC  0xC6000010u  /* the server has no such procedure */
#define RPC_E_BAD_ARGUMENTS 0xC6000011u  /* the arguments do not fit the procedure */
#define RPC_E_NOT_FOUND     0xC6000012u  /* the folder cannot be read */
#define RPC_E_SERVER        0xC6000013u  /* the server could not build its answer */

/* 27 words per procedure, static and read-only. */
typedef struct CallDescriptor {
    DWORD procedure;
    DWORD argumentSize;             /* not read by the library */
    DWORD replySize;                /* bytes of the packet from replyCount on */
    DWORD inKinds[RPC_MAX_ARGS];    /* RPC_ARG_NONE ends the list */
    DWORD outKinds[RPC_MAX_ARGS];
} CallDescriptor;

/* Initialisers of the two descriptors. */
#define RPC_DESCRIPTOR_READ_VOLUMES \
    { RPC_PROC_READ_VOLUMES, 8, 1028, {3, 3}, {7, 8} }
#define RPC_DESCRIPTOR_READ_DIRECTORY \
    { RPC_PROC_READ_DIRECTORY, 512, 2048, {7, 8, 7, 8, 3, 3}, {3, 7, 8} }

typedef struct CallPacket {
    DWORD reserved0;
    LPCSTR server;
    const CallDescriptor *descriptor;
    DWORD reserved1[2];
    void *in[RPC_MAX_ARGS];
    DWORD reserved2[2];
    void *out[RPC_MAX_ARGS];
    DWORD replyCount;               /* the reply: byte count of the list ... */
    BYTE replyList[4];              /* ... and the list, replySize - 4 bytes */
} CallPacket;

/* Bytes of a packet for a descriptor. */
#define RPC_PACKET_SIZE(descriptor) (offsetof(CallPacket, replyCount) + (descriptor)->replySize)

#if defined(_WIN32) && !defined(_WIN64) && defined(__cplusplus)
static_assert(sizeof(CallDescriptor) == 108, "27 words");
static_assert(offsetof(CallPacket, server) == 4, "server name");
static_assert(offsetof(CallPacket, descriptor) == 8, "descriptor");
static_assert(offsetof(CallPacket, in) == 20, "in slots");
static_assert(offsetof(CallPacket, out) == 76, "out slots");
static_assert(offsetof(CallPacket, replyCount) == 124, "reply count");
static_assert(offsetof(CallPacket, replyList) == 128, "reply list");
#endif

/* Performs the call; RPC_OK (0) or one of the RPC_E_ codes. */
DWORD WINAPI RPC_SendCall(CallPacket *packet);
/* Starts answering calls in this process: 1 when it does. */
DWORD WINAPI RPC_ServerStart(void);
/* Stops answering calls. */
void WINAPI RPC_ServerStop(void);

#ifdef __cplusplus
}
#endif

#endif /* ZAROV_H */
