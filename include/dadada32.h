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
 *
 * Threads: a handle belongs to one thread at a time.  A few exports share
 * process-wide state that is NOT guarded; make their first calls (and, for
 * the sub-allocator, every call) from one thread, or serialise them:
 *   - MemorySubAlloc, MemorySubFree: one heap table for the whole process;
 *   - SetSmallFont, SetBoldFont: the two dialog fonts, made on first use and
 *     kept until the library is unloaded;
 *   - NameIsDevice: the device-name list, read once (two threads racing the
 *     first read both query it; one list is kept, nothing is lost);
 *   - GetOsVersion, and NameIsDevice through it: the platform, asked once.
 * The other exports share nothing unguarded between threads.
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

/* Paths are ANSI strings of at most 260 characters with '\' as separator,
 * handled double-byte aware in the system's ANSI code page.  Sizes are byte
 * counts including the terminator. */

BOOL  DADAAPI NameAppendFile(LPSTR path, DWORD size, LPCSTR name);
BOOL  DADAAPI NameAppendExtension(LPSTR path, DWORD size, LPCSTR extension);
void  DADAAPI NameReturnFile(LPCSTR path, LPSTR file /* >= 261 bytes */);
void  DADAAPI NameReturnExtension(LPCSTR path, LPSTR extension, DWORD size);
void  DADAAPI NameStripFile(LPSTR path);
void  DADAAPI NameStripExtension(LPSTR path);
BOOL  DADAAPI NameHasDriveLetter(LPCSTR path);
/* Address of the first '*', or if there is none of the first '?'; NULL. */
LPSTR DADAAPI NameHasWildcards(LPCSTR path);
void  DADAAPI NameShortenFile(LPSTR text, HWND window);
BOOL  DADAAPI NameReturnLongName(LPCSTR path, LPSTR out, DWORD size);
/* format 1: the expanded folder is put into display case. */
BOOL  DADAAPI NameReturnShortName(LPCSTR path, LPSTR out, DWORD size, DWORD format);
void  DADAAPI NameOutputFormat(LPSTR path);

BOOL  DADAAPI NameIsDevice(LPCSTR name);
BOOL  DADAAPI NameIsUNCPath(LPCSTR path);
BOOL  DADAAPI NameIsDirectory(LPCSTR path);
/* "<...>": a bracketed target item. */
BOOL  DADAAPI NameIsTargetFile(LPCSTR item);
/* Characters not allowed in a scan item; answers their count. */
DWORD DADAAPI NameReturnIllegalChars(LPSTR out, DWORD size, DWORD rootFlag, DWORD wildcardFlag);

#define NAME_VALIDATE_WILDCARDS 0x2u  /* wildcards allowed in the file part */
#define NAME_VALIDATE_TARGETS   0x4u  /* bracketed target items allowed */
BOOL  DADAAPI NameValidateItem(LPCSTR item, DWORD flags);

/* patterns: ';'-separated list; '*' runs to the next dot of the name. */
BOOL  DADAAPI NameWildcardMatch(LPCSTR patterns, LPCSTR name);
/* folder and pattern: >= 261 bytes each. */
void  DADAAPI NameSeparatePath(LPCSTR item, LPSTR folder, LPSTR pattern);

/* The product's attribute set. */
#define KVATTR_ARCHIVE   0x01u
#define KVATTR_DIRECTORY 0x02u
#define KVATTR_HIDDEN    0x04u
#define KVATTR_NORMAL    0x08u
#define KVATTR_READONLY  0x10u
#define KVATTR_SYSTEM    0x20u
void  DADAAPI SysAttrToKvAttr(DWORD win32Attributes, DWORD *kvAttributes);

/* Record kinds handed to a FindAllFilesProc. */
#define FIND_KIND_FILE       0u
#define FIND_KIND_FOLDER     1u
#define FIND_KIND_FOLDER_END 2u  /* a subfolder is done; path is its parent */
#define FIND_KIND_TOO_LONG   3u  /* the folder path reached 260 characters */

#pragma pack(push, 1)
typedef struct FindFileRecord {
    DWORD    kind;
    CHAR     path[260];     /* folder being listed, no trailing backslash */
    CHAR     name[260];     /* the entry's long name */
    UINT_PTR userValue;     /* FindAllFiles' fourth argument */
    DWORD    sizeLow;
    DWORD    attributes;    /* KVATTR_* */
    FILETIME creationTime;
    FILETIME lastAccessTime;
    FILETIME lastWriteTime;
} FindFileRecord;
#pragma pack(pop)

/* Non-zero to go on, 0 to stop the walk. */
typedef DWORD (WINAPI *FindAllFilesProc)(FindFileRecord *record);
BOOL  DADAAPI FindAllFiles(LPCSTR folder, DWORD recurse, FindAllFilesProc proc, UINT_PTR userValue);


/* ======================================================================
 * Exclusion lists
 * ====================================================================== */

/* Status codes of the list operations. */
#define EXCLUDE_OK            0u
#define EXCLUDE_NOMEMORY      4u  /* not enough memory */
#define EXCLUDE_BADARG        5u  /* missing argument, index out of range, item not found */
#define EXCLUDE_LOADFAILED    6u  /* the storage failed to deliver a stored item */
#define EXCLUDE_DUPLICATE     7u  /* the item is already in the list */
#define EXCLUDE_ILLEGALCHAR   8u  /* the item holds a character that is not allowed */

/* Answers of ExcludeCheck. */
#define EXCLUDE_COVERED       1u  /* an item covers the path: skip it */
#define EXCLUDE_NOTCOVERED    2u  /* no item covers the path */

/* Operations of an ExcludeStorageProc (index, data). */
#define EXCLUDE_OP_READ       0u  /* item index, ExcludeItem * to fill */
#define EXCLUDE_OP_WRITE      1u  /* item index, ExcludeItem * to store */
#define EXCLUDE_OP_OPEN       2u  /* 0, 0: before anything is read */
#define EXCLUDE_OP_CLOSE      3u  /* 0, 0 */
#define EXCLUDE_OP_GETCOUNT   4u  /* 0, DWORD * to fill (preset to 0) */
#define EXCLUDE_OP_SETCOUNT   5u  /* 0, the count itself */
#define EXCLUDE_OP_DELETE     6u  /* index of a stored item no longer in the list, 0 */

#pragma pack(push, 1)
typedef struct ExcludeItem {
    CHAR  folder[261];   /* folder the item covers; empty: any folder */
    CHAR  pattern[261];  /* name or wildcard pattern list; empty: the whole folder */
    DWORD mask;          /* applied when it shares a bit with the check's mask */
    DWORD subfolders;    /* non-zero: the subfolders of the folder too */
} ExcludeItem;
#pragma pack(pop)

/* (hook context, item index, operation, data) -> 1 for success */
typedef DWORD (WINAPI *ExcludeStorageProc)(UINT_PTR context, DWORD index, DWORD operation,
                                           UINT_PTR data);

/* Optional third argument of ExcludeOpenEx: the list keeps a copy. */
typedef struct ExcludeStorageHook {
    UINT_PTR           context;
    ExcludeStorageProc proc;
} ExcludeStorageHook;

typedef void *EXCLUDEHANDLE;

DWORD DADAAPI ExcludeOpenEx(EXCLUDEHANDLE *handle, LPCSTR profile, const ExcludeStorageHook *hook);
DWORD DADAAPI ExcludeClose(EXCLUDEHANDLE *handle, DWORD save);
DWORD DADAAPI ExcludeFlush(EXCLUDEHANDLE list);
DWORD DADAAPI ExcludeGetCount(EXCLUDEHANDLE list);
DWORD DADAAPI ExcludeGet(EXCLUDEHANDLE list, DWORD index, ExcludeItem *item);
DWORD DADAAPI ExcludeAdd(EXCLUDEHANDLE list, const ExcludeItem *item);
DWORD DADAAPI ExcludeDelete(EXCLUDEHANDLE list, LPCSTR folder, LPCSTR pattern);
ExcludeItem *DADAAPI ExcludeFind(EXCLUDEHANDLE list, LPCSTR folder, LPCSTR pattern);
DWORD DADAAPI ExcludeCheck(EXCLUDEHANDLE list, LPCSTR path, DWORD mask);


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

/* File-transfer protocol between machines: every request travels with this
 * packet type; the first field of every request and reply is its code. */
#define XFER_PACKET_TYPE   4097u
#define XFER_REQ_OPEN      256u   /* name -> handle, size */
#define XFER_REQ_READ      257u   /* handle, offset, count -> data + checksum */
#define XFER_REQ_CLOSE     259u   /* handle -> 1 */
#define XFER_REPLY_ERROR   260u   /* reply only: the request failed (status follows) */

/* The seed both ends start CrcBuffer from. */
#define XFER_CRC_SEED      0x77073096u

/* Status codes.  Failures have bits 31 and 29 set (XFER_FAILED); the small
 * values are the client's phase values. */
#define XFER_DONE              0x00000000u
#define XFER_PHASE_OPENED      0x00000001u
#define XFER_PHASE_RECEIVED    0x00000002u
#define XFER_PHASE_CONNECTED   0x00000004u
#define XFER_E_NO_CONTEXT      0xA0000020u  /* the retrieve context could not be allocated */
#define XFER_E_NO_THREAD       0xA0000030u  /* the worker thread could not be started */
#define XFER_E_TARGET_EXISTS   0xA0000040u  /* the local target exists and may not be replaced */
#define XFER_E_TARGET_CREATE   0xA0000050u  /* the local target could not be named or created */
#define XFER_E_NO_API          0xA0000060u  /* the comm library is unavailable */
#define XFER_E_NO_SERVER       0xA0000070u  /* no server name in the remote name */
#define XFER_E_NO_CONNECTION   0xA0000080u  /* the server could not be reached */
#define XFER_E_BAD_NAME        0xA0000090u  /* no file part / name not mappable to a local path */
#define XFER_E_BAD_REPLY       0xA00000B0u  /* a reply names another handle or byte count */
#define XFER_E_BAD_CHECKSUM    0xA00000C0u  /* a read reply's checksum does not match its data */
#define XFER_E_WRITE           0xA00000D0u  /* the local file took fewer bytes than offered */
#define XFER_E_BAD_REQUEST     0xA00000E0u  /* unknown code or malformed request */
#define XFER_E_NO_REPLY_MEMORY 0xA00000F0u  /* the reply block could not be allocated */
#define XFER_E_OPEN            0xA0000100u  /* the server could not open the file */
#define XFER_E_SEEK            0xA0000110u  /* the server could not position the file */
#define XFER_E_READ            0xA0000120u  /* the server read fewer bytes than requested */
#define XFER_E_NO_SEMAPHORE    0xA0000130u  /* the completion semaphore could not be created */
#define XFER_FAILED(status)    (((status) & 0x20000000u) != 0)

/* The largest read a server answers; larger counts get
 * XFER_E_NO_REPLY_MEMORY (clients ask for at most XFER_CHUNK). */
#define XFER_CHUNK             16384u
#define XFER_MAX_READ          0x00100000u

/* Completion callback of FileRetrieve: called once with the final status.
 * Its answer is looked at only for a phase value (neither 0 nor a failure):
 * nonzero then keeps the semaphore from being released. */
typedef DWORD (WINAPI *FileRetrieveCallback)(DWORD status);

/* CRC-32 (reflected, polynomial 0xEDB88320) over `count` bytes, continuing
 * from *crc as a raw register: no complement before or after. */
void  DADAAPI CrcBuffer(const void *data, DWORD count, DWORD *crc);

/* Copies \\SERVER\path from another machine to `localName` (a file, or an
 * existing folder that receives the file under its remote name).  With a
 * callback or a usable semaphore it returns 1 at once and reports at the end;
 * otherwise it waits and returns 1 only when the whole file arrived. */
DWORD DADAAPI FileRetrieve(LPCSTR remoteName, LPCSTR localName, DWORD overwrite,
                           HANDLE semaphore, FileRetrieveCallback callback);

/* Moves a file by copy and delete; `overwrite` 1 replaces an existing
 * destination.  On failure no destination remains and the source is kept. */
DWORD DADAAPI FileMove(LPCSTR source, LPCSTR destination, DWORD overwrite);


/* ======================================================================
 * Remote browser
 * ====================================================================== */

/* The request of RemoteBrowse (and of FileBrowseDialog): eleven fields in
 * this order.  The owner,
 * the server name, the path buffer and the pattern are pointer-sized; the
 * rest are 32-bit. */
typedef struct RemoteBrowseInfo {
    HWND   owner;        /* parent of the dialog; its module holds the two texts */
    LPCSTR server;       /* bare machine name; NULL or "" is this machine */
    LPSTR  path;         /* 260 bytes.  In: the initial path (only its file-name
                            part is used).  Out: the chosen path */
    DWORD  pathSize;     /* not read by RemoteBrowse, which assumes 260 */
    DWORD  mode;         /* BROWSE_FOLDERS_ONLY, or any other value for folders and files */
    DWORD  titleId;      /* string ids in the owner's module: the dialog's caption ... */
    DWORD  promptId;     /* ... and the prompt above the tree */
    LPCSTR pattern;      /* ';'-separated patterns files must match; NULL lists every file */
    DWORD  filesOnly;    /* non-zero: OK only while a file is selected */
    DWORD  remoteCall;   /* written by RemoteBrowse: 1 remote calls, 0 file system */
    DWORD  folderChosen; /* written at selection changes: 1 when a closed folder was selected last */
} RemoteBrowseInfo;

#define BROWSE_FOLDERS_ONLY   1u
#define BROWSE_PATH_SIZE      260u

#if defined(_WIN32) && !defined(_WIN64) && defined(__cplusplus)
static_assert(sizeof(RemoteBrowseInfo) == 44, "eleven 32-bit fields");
static_assert(__builtin_offsetof(RemoteBrowseInfo, pattern) == 28, "pattern is field 8");
static_assert(__builtin_offsetof(RemoteBrowseInfo, folderChosen) == 40, "folder-chosen is field 11");
#endif

/* The modal "Browse for Folder" dialog over the drives and folders of this
 * machine or of a server.  1: OK, the path buffer holds the chosen path;
 * 0: Cancel; -1: the dialog could not be created or its tree prepared. */
INT DADAAPI RemoteBrowse(RemoteBrowseInfo *info);


/* ======================================================================
 * Window, font and system helpers
 * ====================================================================== */

void  DADAAPI SetSmallFont(HWND window);
void  DADAAPI SetBoldFont(HWND window);
void  DADAAPI CenterWindow(HWND window, HWND reference);
void  DADAAPI YieldToWindows(HWND window);
BOOL  DADAAPI DiskIsFloppy(LPCSTR path);
BOOL  DADAAPI CheckForFloppy(CHAR driveLetter);

#define OSVERSION_UNKNOWN 0u
#define OSVERSION_WIN32S  1u
#define OSVERSION_WIN95   2u
#define OSVERSION_WINNT   3u
DWORD DADAAPI GetOsVersion(void);


/* ======================================================================
 * Dialogs: notification, connection to a computer, folder and file pickers
 * ====================================================================== */

/* Caption ids that keep the template's own "&Yes" and "&No". */
#define NOTIFY_KEEP_YES 6u
#define NOTIFY_KEEP_NO  7u

typedef struct NotifyRequest {
    HWND     owner;        /* texts and icon come from the module that owns it */
    UINT_PTR insertValue;  /* non-zero: the message's one format argument */
    DWORD    messageId;
    DWORD    yesId;        /* 0 (or noId 0): only OK is shown */
    DWORD    noId;
    DWORD    titleId;
    WORD     iconId;
} NotifyRequest;

/* 1 for OK or Yes, 2 for No, Cancel, Escape or the close box; -1 when the
 * dialog cannot be made. */
int   DADAAPI NotifyUser(const NotifyRequest *request);

/* Results of ConnectComputer. */
#define CONNECT_OK        0
#define CONNECT_FAILED    1
#define CONNECT_CANCELLED 2
#define CONNECT_NO_DIALOG (-1)

/* Opens HKEY_LOCAL_MACHINE of `computer` behind a wait dialog; on
 * CONNECT_OK *key is the caller's to close. */
int   DADAAPI ConnectComputer(HWND owner, HKEY *key, LPCSTR computer);

BOOL  DADAAPI IsShellAvailable(void);
/* `path` needs 260 bytes when the shell's browser is used. */
BOOL  DADAAPI FolderBrowseDialog(HWND owner, LPSTR path, DWORD size, DWORD titleId);
/* Reads owner, path, pathSize, mode (non-zero: a folder is picked),
 * titleId, promptId (0: none), pattern (what a path must match in the
 * shell's browser; the file-open dialog's filter as it is) and filesOnly. */
BOOL  DADAAPI FileBrowseDialog(RemoteBrowseInfo *info);


#ifdef __cplusplus
}
#endif

#endif /* DADADA32_H */
