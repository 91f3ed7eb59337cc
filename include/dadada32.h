/*
 * DADADA32.dll - shared utility library of the anti-virus product.
 *
 * Every export is stdcall (WINAPI), exported undecorated at a fixed ordinal
 * (see res/DADADA32.def).  Handles are the addresses of locked global-memory
 * blocks: pass back exactly what you were given and release it through the
 * matching end or destroy function.
 *
 * On i686 every record below has exactly the documented byte layout.  On
 * x86_64 the fields that hold addresses, handles, procedures or values that
 * are handed back unchanged are pointer-sized; packed records stay packed.
 */
#ifndef DADADA32_H
#define DADADA32_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

#ifdef DADADA32_BUILD
#define DADAAPI WINAPI
#else
#define DADAAPI DECLSPEC_IMPORT WINAPI
#endif

/* ======================================================================
 * Activity log
 * ====================================================================== */

/* Callback events. */
#define ALOG_EVENT_LIMIT     1u  /* text would pass the limit; answer 1 to write it */
#define ALOG_EVENT_NOOPEN    2u  /* file cannot be opened or created; 0 = try again */
#define ALOG_EVENT_SHORTWRITE 3u /* a write wrote fewer bytes than asked */

/* (event, kernel file handle or -1, callback data) -> answer */
typedef DWORD (WINAPI *AlogCallback)(DWORD event, DWORD file, UINT_PTR callbackData);

typedef void *ALOGHANDLE;

/* AlogRecord flags (only the low byte is examined). */
#define ALOG_FLAG_DATETIME 0x40u
#define ALOG_FLAG_USER     0x80u

#pragma pack(push, 1)
typedef struct AlogRecord {
    LPSTR  buffer;      /* the caller's output buffer */
    DWORD  bufferSize;  /* its size in bytes; at least 5 */
    DWORD  flags;       /* ALOG_FLAG_* in the low byte */
    WORD   eventCode;
    LPCSTR text;        /* first free text, or NULL */
    LPCSTR extraText;   /* second free text (only with text), or NULL */
    LPCSTR userName;    /* NULL: the user running the program */
} AlogRecord;
#pragma pack(pop)

ALOGHANDLE DADAAPI ALOG_Init(LPCSTR path, DWORD limitKb, AlogCallback callback, UINT_PTR callbackData);
void  DADAAPI ALOG_End(ALOGHANDLE log);
DWORD DADAAPI ALOG_Write(ALOGHANDLE log, LPCSTR text);
void  DADAAPI ALOG_BlockWrite(ALOGHANDLE log, DWORD count);
void  DADAAPI ALOG_BuildLogRecord(AlogRecord *record);
DWORD DADAAPI ALOG_TruncateLog(DWORD file, DWORD limitKb);

/* ======================================================================
 * Path names: composition, classification, matching, file search
 * ====================================================================== */


/* ======================================================================
 * Exclusion lists
 * ====================================================================== */


/* ======================================================================
 * Command line
 * ====================================================================== */


/* ======================================================================
 * String tables and mprintf
 * ====================================================================== */


/* ======================================================================
 * Dynamic array, linked list, sub-allocator
 * ====================================================================== */


/* ======================================================================
 * Remote file services: checksum, retrieve, file move
 * ====================================================================== */


/* ======================================================================
 * Window, font and system helpers
 * ====================================================================== */


#ifdef __cplusplus
}
#endif

#endif /* DADADA32_H */
