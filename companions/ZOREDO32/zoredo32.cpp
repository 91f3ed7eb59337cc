// ZOREDO32: kernel file services over Win32 file I/O.
//
// Handles: a Win32 file handle carries only 32 significant bits (also on
// 64-bit Windows), so it is handed out as a 32-bit value.  Valid handles are
// never 0 or -1.
#include "zoredo32.h"
#include "dada/kvattr.h"

#include <atomic>

namespace {

std::atomic<LONG> g_openFiles{0};

HANDLE ToWin32(ZKFILE f) { return ULongToHandle(f); }
ZKFILE FromWin32(HANDLE h)
{
    if (h == INVALID_HANDLE_VALUE || h == nullptr) return ZK_NOFILE;
    ++g_openFiles;
    return HandleToULong(h);
}

#ifdef ZOREDO32_FAULTS
// One fault rule and per-service call counters, guarded by a lock: the
// services are called from several threads (the file-transfer server).
struct FaultState {
    CRITICAL_SECTION lock;
    DWORD ordinal = 0, skip = 0, count = 0, shortBytes = 0;
    std::atomic<DWORD> calls[64]{};
    FaultState() { InitializeCriticalSection(&lock); }
};
FaultState &Faults() { static FaultState s; return s; }

// Counts the call and tells whether it must fail.
bool Fails(DWORD ordinal)
{
    FaultState &s = Faults();
    ++s.calls[ordinal];
    ++s.calls[0];
    EnterCriticalSection(&s.lock);
    bool fail = false;
    if (s.count && (s.ordinal == 0 || s.ordinal == ordinal)) {
        if (s.skip) {
            --s.skip;
        } else {
            fail = true;
            if (s.count != ZKT_FOREVER) --s.count;
        }
    }
    LeaveCriticalSection(&s.lock);
    return fail;
}
DWORD ShortCount(DWORD asked)
{
    DWORD n = Faults().shortBytes;
    return asked == 0 ? 0 : (n < asked ? n : asked - 1);
}
#else
constexpr bool Fails(DWORD) { return false; }
constexpr DWORD ShortCount(DWORD) { return 0; }
#endif

// Windows refuses to write, replace or delete a read-only file; wine running
// as root would not, so the rule is kept here, the same on both.
bool IsReadOnlyFile(LPCSTR path)
{
    DWORD a = GetFileAttributesA(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_READONLY) && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

ZKFILE OpenWin32(LPCSTR path, DWORD access, DWORD disposition)
{
    if (!path) return ZK_NOFILE;
    if ((access & GENERIC_WRITE) && IsReadOnlyFile(path)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return ZK_NOFILE;
    }
    return FromWin32(CreateFileA(path, access,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
}

} // namespace

extern "C" {

DWORD WINAPI ZK_FileExists(LPCSTR path)
{
    if (Fails(ZK_ORD_EXISTS) || !path) return 0;
    DWORD a = GetFileAttributesA(path);
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

ZKFILE WINAPI ZK_Create(LPCSTR path)
{
    if (Fails(ZK_ORD_CREATE)) return ZK_NOFILE;
    return OpenWin32(path, GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS);
}

ZKFILE WINAPI ZK_Open(LPCSTR path, DWORD mode)
{
    if (Fails(ZK_ORD_OPEN)) return ZK_NOFILE;
    switch (mode) {
    case ZK_OPEN_WRITE: return OpenWin32(path, GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING);
    case ZK_OPEN_READ:  return OpenWin32(path, GENERIC_READ, OPEN_EXISTING);
    default:            return ZK_NOFILE;
    }
}

void WINAPI ZK_Close(ZKFILE file)
{
    Fails(ZK_ORD_CLOSE);
    if (file == ZK_NOFILE || file == 0) return;
    if (CloseHandle(ToWin32(file))) --g_openFiles;
}

DWORD WINAPI ZK_Seek(ZKFILE file, DWORD offset, DWORD origin)
{
    if (Fails(ZK_ORD_SEEK) || file == ZK_NOFILE) return 0xFFFFFFFFu;
    DWORD method;
    LARGE_INTEGER move, pos;
    switch (origin) {
    case ZK_SEEK_BEGIN: method = FILE_BEGIN; move.QuadPart = offset; break;
    case ZK_SEEK_END:   method = FILE_END; move.QuadPart = static_cast<LONG>(offset); break;
    default:            return 0xFFFFFFFFu;
    }
    if (!SetFilePointerEx(ToWin32(file), move, &pos, method) || pos.QuadPart > 0xFFFFFFFELL)
        return 0xFFFFFFFFu;
    return static_cast<DWORD>(pos.QuadPart);
}

DWORD WINAPI ZK_Read(ZKFILE file, void *buffer, DWORD count)
{
    if (Fails(ZK_ORD_READ)) count = ShortCount(count);
    DWORD done = 0;
    if (file == ZK_NOFILE || !buffer || !count) return 0;
    if (!ReadFile(ToWin32(file), buffer, count, &done, nullptr)) return 0;
    return done;
}

DWORD WINAPI ZK_Write(ZKFILE file, const void *buffer, DWORD count)
{
    if (Fails(ZK_ORD_WRITE)) count = ShortCount(count);
    DWORD done = 0;
    if (file == ZK_NOFILE || !buffer || !count) return 0;
    if (!WriteFile(ToWin32(file), buffer, count, &done, nullptr)) return 0;
    return done;
}

DWORD WINAPI ZK_Delete(LPCSTR path)
{
    if (Fails(ZK_ORD_DELETE) || !path || IsReadOnlyFile(path)) return 0;
    return DeleteFileA(path) ? 1 : 0;
}

DWORD WINAPI ZK_Length(ZKFILE file)
{
    if (Fails(ZK_ORD_LENGTH) || file == ZK_NOFILE) return 0;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(ToWin32(file), &size)) return 0;
    return size.QuadPart > 0xFFFFFFFFLL ? 0xFFFFFFFFu : static_cast<DWORD>(size.QuadPart);
}

DWORD WINAPI ZK_SetLength(ZKFILE file, DWORD length)
{
    if (Fails(ZK_ORD_SETLENGTH) || file == ZK_NOFILE) return 0;
    LARGE_INTEGER pos;
    pos.QuadPart = length;
    HANDLE h = ToWin32(file);
    return SetFilePointerEx(h, pos, nullptr, FILE_BEGIN) && SetEndOfFile(h) ? 1 : 0;
}

DWORD WINAPI ZK_GetAttributes(LPCSTR path, DWORD *attributes)
{
    if (Fails(ZK_ORD_ATTRIBUTES) || !path || !attributes) return 0;
    DWORD a = GetFileAttributesA(path);
    if (a == INVALID_FILE_ATTRIBUTES) return 0;
    *attributes = dada::KvAttrFromWin32(a);
    return 1;
}

#ifdef ZOREDO32_FAULTS
void WINAPI ZKT_SetFault(DWORD ordinal, DWORD skip, DWORD count, DWORD shortBytes)
{
    FaultState &s = Faults();
    EnterCriticalSection(&s.lock);
    s.ordinal = ordinal; s.skip = skip; s.count = count; s.shortBytes = shortBytes;
    LeaveCriticalSection(&s.lock);
}

void WINAPI ZKT_ClearFaults(void)
{
    ZKT_SetFault(0, 0, 0, 0);
    for (auto &c : Faults().calls) c = 0;
}

DWORD WINAPI ZKT_CallCount(DWORD ordinal)
{
    return ordinal < 64 ? Faults().calls[ordinal].load() : 0;
}

LONG WINAPI ZKT_OpenFiles(void) { return g_openFiles.load(); }
#endif

} // extern "C"
