/*
 * ZOREDO32 - the product's kernel file library (our own build).
 *
 * Callers import these services by ordinal only; the names below are the
 * ones our import library gives them.  Every call is stdcall with 32-bit
 * arguments.  A file handle is a 32-bit value; ZK_NOFILE (-1) means no file,
 * and no valid file is ever 0 or -1.
 */
#ifndef ZOREDO32_H
#define ZOREDO32_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef DWORD ZKFILE;
#define ZK_NOFILE ((ZKFILE)0xFFFFFFFFu)

/* Open modes (ordinal 24). */
#define ZK_OPEN_WRITE 1u   /* the caller will write to the file or delete it */
#define ZK_OPEN_READ  2u   /* the caller only reads it */

/* Seek origins (ordinal 26). */
#define ZK_SEEK_BEGIN 0u
#define ZK_SEEK_END   1u
#define ZK_SEEK_CURRENT 2u  /* our own: signed offset from the current position */

/* The library's attribute set (ordinal 39); the same set as SysAttrToKvAttr. */
#define ZK_ATTR_ARCHIVE  0x01u
#define ZK_ATTR_FOLDER   0x02u
#define ZK_ATTR_HIDDEN   0x04u
#define ZK_ATTR_NORMAL   0x08u
#define ZK_ATTR_READONLY 0x10u
#define ZK_ATTR_SYSTEM   0x20u

/* Ordinals of the services. */
enum {
    ZK_ORD_EXISTS = 21, ZK_ORD_CREATE = 23, ZK_ORD_OPEN = 24, ZK_ORD_CLOSE = 25,
    ZK_ORD_SEEK = 26, ZK_ORD_READ = 27, ZK_ORD_WRITE = 28, ZK_ORD_DELETE = 29,
    ZK_ORD_LENGTH = 30, ZK_ORD_SETLENGTH = 34, ZK_ORD_ATTRIBUTES = 39
};

DWORD  WINAPI ZK_FileExists(LPCSTR path);                        /* 21: 1 when a file (not a folder) is there */
ZKFILE WINAPI ZK_Create(LPCSTR path);                            /* 23: new empty file for writing */
ZKFILE WINAPI ZK_Open(LPCSTR path, DWORD mode);                  /* 24: existing file */
void   WINAPI ZK_Close(ZKFILE file);                             /* 25 */
DWORD  WINAPI ZK_Seek(ZKFILE file, DWORD offset, DWORD origin);  /* 26: new position, or -1; offset is
                                                                    unsigned from the start, signed from the end */
DWORD  WINAPI ZK_Read(ZKFILE file, void *buffer, DWORD count);   /* 27: bytes read */
DWORD  WINAPI ZK_Write(ZKFILE file, const void *buffer, DWORD count); /* 28: bytes written */
DWORD  WINAPI ZK_Delete(LPCSTR path);                            /* 29: 1 when deleted */
DWORD  WINAPI ZK_Length(ZKFILE file);                            /* 30: length, 0 for no file */
DWORD  WINAPI ZK_SetLength(ZKFILE file, DWORD length);           /* 34: nonzero on success */
DWORD  WINAPI ZK_GetAttributes(LPCSTR path, DWORD *attributes);  /* 39: nonzero when the path exists */

/*
 * Fault injection: only in the test build of the library (ZOREDO32_FAULTS),
 * which the test programs load instead of the shipped one.
 *
 * ZKT_SetFault: calls of the service `ordinal` (0: every service) first pass
 * `skip` times, then fail `count` times (ZKT_FOREVER: until cleared).  A
 * failing open, create or seek answers ZK_NOFILE / -1; a failing read or
 * write moves at most `shortBytes` bytes (fewer than asked) and answers that
 * count; a failing delete, set-length, attributes or exists answers 0 and
 * does nothing; a failing length answers 0; a failing close closes the file.
 */
#define ZKT_FOREVER 0xFFFFFFFFu
void  WINAPI ZKT_SetFault(DWORD ordinal, DWORD skip, DWORD count, DWORD shortBytes);
void  WINAPI ZKT_ClearFaults(void);
DWORD WINAPI ZKT_CallCount(DWORD ordinal);   /* calls since the last clear; 0: all services */
LONG  WINAPI ZKT_OpenFiles(void);            /* files opened or created and not yet closed */

#ifdef __cplusplus
}
#endif

#endif /* ZOREDO32_H */
