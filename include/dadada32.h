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

/* The parsed line: items split in place, zero-terminated, plus counts. */
typedef struct CmdLine CmdLine;

#define CMDLINE_NO_ITEM 0xFFFFFFFFu   /* CmdLineGetNextItem: no such item */

CmdLine *DADAAPI CmdLineInit(LPCSTR text);
DWORD    DADAAPI CmdLineGetSwitchCount(const CmdLine *line);
DWORD    DADAAPI CmdLineGetParamCount(const CmdLine *line);
DWORD    DADAAPI CmdLineFindSwitch(const CmdLine *line, LPCSTR name);
void     DADAAPI CmdLineEnd(CmdLine *line);
DWORD    DADAAPI CmdLineGetParam(const CmdLine *line, DWORD index, LPSTR dest, DWORD size);
DWORD    DADAAPI CmdLineGetSwitch(const CmdLine *line, DWORD index, LPSTR dest, DWORD size);
/* The index-th item of any kind; answers index + 1, or CMDLINE_NO_ITEM. */
DWORD    DADAAPI CmdLineGetNextItem(const CmdLine *line, DWORD index, LPSTR dest, DWORD size);
DWORD    DADAAPI CmdLineGetOptionValue(const CmdLine *line, LPCSTR name, LPSTR dest, DWORD size);
CmdLine *DADAAPI CmdLineDuplicate(const CmdLine *line);
DWORD    DADAAPI IsSwitch(LPCSTR text);


/* ======================================================================
 * String tables and mprintf
 * ====================================================================== */

/* A loaded string-table file.  The caller keeps a StringTable * variable
 * and hands its address to String_Init and String_End. */
typedef struct StringTable StringTable;

#define STRTAB_VERSION 0x0100u   /* format version in the file header */
#define STRTAB_MASK    0x6Eu     /* every text byte is stored XOR this */

/* Always answers 0: *table is the new table, or NULL on any failure. */
DWORD DADAAPI String_Init(StringTable **table, LPCSTR path);
void  DADAAPI String_End(StringTable **table);
/* Bounded copy of text `id`; answers the count copied, `size` when dest is
 * NULL, 0 when the id is absent. */
DWORD DADAAPI String_Get(const StringTable *table, DWORD id, LPSTR dest, DWORD size);
/* Fills ^N%c, ^N%d and ^N%s (N = 1..9, args[N-1]); answers the length
 * written.  With a NULL dest nothing is written and the length is answered. */
DWORD DADAAPI mprintf(LPSTR dest, LPCSTR format, const UINT_PTR *args);


/* ======================================================================
 * Dynamic array, linked list, sub-allocator
 * ====================================================================== */

/* Caller-supplied allocator pair of an array: give both or neither. */
typedef void *(WINAPI *ArrayAllocFn)(DWORD size);
typedef void  (WINAPI *ArrayFreeFn)(void *block);

typedef struct Array Array;

Array   *DADAAPI ARRAY_Create(ArrayAllocFn allocFn, ArrayFreeFn freeFn);
void     DADAAPI ARRAY_Destroy(Array *array);
DWORD    DADAAPI ARRAY_Add(Array **array, UINT_PTR value);
DWORD    DADAAPI ARRAY_GetCount(const Array *array);
UINT_PTR DADAAPI ARRAY_GetAt(const Array *array, DWORD index);
DWORD    DADAAPI ARRAY_RemoveAt(Array *array, DWORD index);

/* Every element of a linked list begins with these two links. */
typedef struct LinkedListNode {
    struct LinkedListNode *older;   /* towards the tail (oldest), NULL at the tail */
    struct LinkedListNode *newer;   /* towards the head (newest), NULL at the head */
} LinkedListNode;

typedef struct LinkedList LinkedList;

DWORD           DADAAPI LinkedList_Init(LinkedList **list);
void            DADAAPI LinkedList_End(LinkedList **list);
DWORD           DADAAPI LinkedList_AddHead(LinkedList *list, LinkedListNode *element);
LinkedListNode *DADAAPI LinkedList_RemoveTail(LinkedList *list);
DWORD           DADAAPI LinkedList_GetCount(const LinkedList *list);
/* Positions count from the tail: 0 is the oldest element. */
LinkedListNode *DADAAPI LinkedList_PeekAt(const LinkedList *list, DWORD position);
LinkedListNode *DADAAPI LinkedList_RemoveAt(LinkedList *list, DWORD position);

/* Small pieces carved from shared process-wide heaps. */
void *DADAAPI MemorySubAlloc(DWORD size);
DWORD DADAAPI MemorySubFree(void *piece);


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
