// ZOREDO32: kernel file services over Win32 file I/O.
//
// Handles: the library hands out its own 32-bit values, never the Win32
// handle behind them.  A value is a slot index in its low kIndexBits bits and
// a random tag, drawn afresh at every open, above them; a closed slot goes to
// the back of the free queue, so a value is not soon handed out again and
// cannot be guessed from another.  A value the table does not hold (never
// handed out, or already closed) is refused by every service with
// ERROR_INVALID_HANDLE and touches no file.  Valid values are never 0 or -1.
//
// Thread-safety: every service may be called from any thread.  A service
// holds a use count on its slot while it works on the Win32 handle; a close
// retires the value at once and the Win32 handle is closed when the last use
// ends, so a close racing a read never lets the read reach another file.
// Taking and giving back a use is one interlocked operation each on the
// slot's state word (tag, closing mark and use count together); only opening
// and retiring a slot take the table's lock.
#define _CRT_RAND_S
#include "zoredo32.h"
#include "dada/kvattr.h"
#include "dada/ascii.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include "dada/process_object.h"
#include "dada/lock.h"

namespace {

std::atomic<LONG> g_openFiles{0};

constexpr DWORD kIndexBits = 14;
constexpr DWORD kMaxOpen = 1u << kIndexBits;          // files open at once
constexpr DWORD kTagMask = (1u << (32 - kIndexBits)) - 1;

// A slot's state word: the tag of the value it holds (0: free) above the
// closing mark, and below them the number of services using its handle.
using SlotState = ULONG64;
constexpr int kTagShift = 33;
constexpr SlotState kClosing = SlotState{1} << 32;
constexpr SlotState kUsesMask = kClosing - 1;
static_assert(std::atomic<SlotState>::is_always_lock_free, "the state word is shared between threads without a lock");

class HandleTable {
public:
    HandleTable() : slots_(new Slot[kMaxOpen]) {}

    // A value for `h`, or ZK_NOFILE when the table is full (`h` is then closed).
    ZKFILE Add(HANDLE h)
    {
        AcquireSRWLockExclusive(&lock_);
        if (fresh_ < kMaxOpen) free_.push_back(fresh_++);
        if (free_.empty()) {
            ReleaseSRWLockExclusive(&lock_);
            CloseHandle(h);
            SetLastError(ERROR_TOO_MANY_OPEN_FILES);
            return ZK_NOFILE;
        }
        const DWORD index = free_.front();
        free_.pop_front();
        DWORD tag;
        ZKFILE value;
        do {
            unsigned int r = 0;
            rand_s(&r);
            tag = r & kTagMask;
            value = tag << kIndexBits | index;
        } while (tag == 0 || value == ZK_NOFILE);
        Slot &s = slots_[index];
        s.h = h;
        s.state.store(SlotState{tag} << kTagShift, std::memory_order_release);
        ReleaseSRWLockExclusive(&lock_);
        ++g_openFiles;
        return value;
    }

    // The Win32 handle behind `value` with a use held, or null (refused).
    HANDLE Use(ZKFILE value)
    {
        if (const SlotState open = OpenState(value)) {
            Slot &s = slots_[value & (kMaxOpen - 1)];
            SlotState seen = s.state.load(std::memory_order_acquire);
            while ((seen & ~kUsesMask) == open && (seen & kUsesMask) < kUsesMask)
                if (s.state.compare_exchange_weak(seen, seen + 1, std::memory_order_acquire)) return s.h;
        }
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }

    void Done(ZKFILE value)
    {
        Slot &s = slots_[value & (kMaxOpen - 1)];
        const SlotState after = s.state.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if ((after & kClosing) && (after & kUsesMask) == 0) Retire(value);
    }

    // Retires `value`; false when the table does not hold it.
    bool Close(ZKFILE value)
    {
        if (const SlotState open = OpenState(value)) {
            Slot &s = slots_[value & (kMaxOpen - 1)];
            SlotState seen = s.state.load(std::memory_order_acquire);
            while ((seen & ~kUsesMask) == open)
                if (s.state.compare_exchange_weak(seen, seen | kClosing, std::memory_order_acq_rel)) {
                    if ((seen & kUsesMask) == 0) Retire(value);
                    return true;
                }
        }
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }

private:
    struct Slot {
        HANDLE h = nullptr;
        std::atomic<SlotState> state{0};
    };

    // The state word of the slot while it holds `value` and no use; 0 for
    // values never handed out (tag 0, or no file).
    static SlotState OpenState(ZKFILE value)
    {
        return value == ZK_NOFILE ? 0 : SlotState{value >> kIndexBits} << kTagShift;
    }

    // Called once per value, by whoever ends its last use after the close.
    void Retire(ZKFILE value)
    {
        const DWORD index = value & (kMaxOpen - 1);
        Slot &s = slots_[index];
        HANDLE h = s.h;
        AcquireSRWLockExclusive(&lock_);
        s.h = nullptr;
        s.state.store(0, std::memory_order_release);
        free_.push_back(index);
        ReleaseSRWLockExclusive(&lock_);
        --g_openFiles;
        CloseHandle(h);
    }

    SRWLOCK lock_ = SRWLOCK_INIT;
    std::unique_ptr<Slot[]> slots_;
    std::deque<DWORD> free_;    // closed slots, oldest first
    DWORD fresh_ = 0;           // slots below this have been used
};

HandleTable &Table() { return dada::ProcessObject<HandleTable>(); }

// Runs `fn` on the Win32 handle behind `file`; `refused` when it is not ours.
template <class Fn, class R>
R WithFile(ZKFILE file, R refused, Fn fn)
{
    HANDLE h = Table().Use(file);
    if (!h) return refused;
    R r = fn(h);
    Table().Done(file);
    return r;
}

ZKFILE FromWin32(HANDLE h)
{
    if (h == INVALID_HANDLE_VALUE || h == nullptr) return ZK_NOFILE;
    return Table().Add(h);
}

// The reserved device names, in any folder and with any extension ("NUL",
// "c:\x\con.txt", "COM1:"), and paths into the device namespace.
bool IsDeviceName(LPCSTR path)
{
    if (!std::strncmp(path, "\\\\.\\", 4) || !std::strncmp(path, "\\\\?\\", 4) ||
        !std::strncmp(path, "//./", 4) || !std::strncmp(path, "//?/", 4))
        return true;
    const char *base = path;
    for (const char *p = path; *p; ++p)
        if (*p == '\\' || *p == '/' || (*p == ':' && p == path + 1)) base = p + 1;
    size_t n = std::strcspn(base, ".:");
    while (n && base[n - 1] == ' ') --n;
    const std::string_view name(base, n);
    static constexpr std::string_view kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "CLOCK$"};
    for (std::string_view d : kDevices)
        if (dada::EqualsNoCase(name, d)) return true;
    return n == 4 && (dada::EqualsNoCase(name.substr(0, 3), "COM") || dada::EqualsNoCase(name.substr(0, 3), "LPT")) &&
           base[3] >= '0' && base[3] <= '9';
}

#ifdef ZOREDO32_FAULTS
// One fault rule and per-service call counters, guarded by a lock: the
// services are called from several threads (the file-transfer server).
struct FaultState {
    dada::CriticalSection lock;
    DWORD ordinal = 0, skip = 0, count = 0, shortBytes = 0;
    std::atomic<DWORD> calls[64]{};
};
FaultState &Faults() { return dada::ProcessObject<FaultState>(); }

// Counts the call and tells whether it must fail.
bool Fails(DWORD ordinal)
{
    FaultState &s = Faults();
    ++s.calls[ordinal];
    ++s.calls[0];
    dada::Locked l(s.lock);
    bool fail = false;
    if (s.count && (s.ordinal == 0 || s.ordinal == ordinal)) {
        if (s.skip) {
            --s.skip;
        } else {
            fail = true;
            if (s.count != ZKT_FOREVER) --s.count;
        }
    }
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
    if (IsDeviceName(path)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return ZK_NOFILE;
    }
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
    Table().Close(file);
}

DWORD WINAPI ZK_Seek(ZKFILE file, DWORD offset, DWORD origin)
{
    if (Fails(ZK_ORD_SEEK)) return 0xFFFFFFFFu;
    DWORD method;
    LARGE_INTEGER move;
    switch (origin) {
    case ZK_SEEK_BEGIN: method = FILE_BEGIN; move.QuadPart = offset; break;
    case ZK_SEEK_END:   method = FILE_END; move.QuadPart = static_cast<LONG>(offset); break;
    case ZK_SEEK_CURRENT: method = FILE_CURRENT; move.QuadPart = static_cast<LONG>(offset); break;
    default:            return 0xFFFFFFFFu;
    }
    return WithFile(file, 0xFFFFFFFFu, [&](HANDLE h) -> DWORD {
        LARGE_INTEGER pos;
        if (!SetFilePointerEx(h, move, &pos, method) || pos.QuadPart > 0xFFFFFFFELL) return 0xFFFFFFFFu;
        return static_cast<DWORD>(pos.QuadPart);
    });
}

DWORD WINAPI ZK_Read(ZKFILE file, void *buffer, DWORD count)
{
    if (Fails(ZK_ORD_READ)) count = ShortCount(count);
    if (!buffer || !count) return 0;
    return WithFile(file, DWORD{0}, [&](HANDLE h) -> DWORD {
        DWORD done = 0;
        return ReadFile(h, buffer, count, &done, nullptr) ? done : 0;
    });
}

DWORD WINAPI ZK_Write(ZKFILE file, const void *buffer, DWORD count)
{
    if (Fails(ZK_ORD_WRITE)) count = ShortCount(count);
    if (!buffer || !count) return 0;
    return WithFile(file, DWORD{0}, [&](HANDLE h) -> DWORD {
        DWORD done = 0;
        return WriteFile(h, buffer, count, &done, nullptr) ? done : 0;
    });
}

DWORD WINAPI ZK_Delete(LPCSTR path)
{
    if (Fails(ZK_ORD_DELETE) || !path || IsReadOnlyFile(path)) return 0;
    return DeleteFileA(path) ? 1 : 0;
}

DWORD WINAPI ZK_Length(ZKFILE file)
{
    if (Fails(ZK_ORD_LENGTH)) return 0;
    return WithFile(file, DWORD{0}, [](HANDLE h) -> DWORD {
        LARGE_INTEGER size;
        if (!GetFileSizeEx(h, &size)) return 0u;
        return size.QuadPart > 0xFFFFFFFFLL ? 0xFFFFFFFFu : static_cast<DWORD>(size.QuadPart);
    });
}

DWORD WINAPI ZK_SetLength(ZKFILE file, DWORD length)
{
    if (Fails(ZK_ORD_SETLENGTH)) return 0;
    return WithFile(file, DWORD{0}, [&](HANDLE h) -> DWORD {
        LARGE_INTEGER pos;
        pos.QuadPart = length;
        return SetFilePointerEx(h, pos, nullptr, FILE_BEGIN) && SetEndOfFile(h) ? 1u : 0u;
    });
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
    dada::Locked l(s.lock);
    s.ordinal = ordinal; s.skip = skip; s.count = count; s.shortBytes = shortBytes;
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

// Unloaded (not the process ending): the process-wide objects go too.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved)
{
    if (reason == DLL_PROCESS_DETACH && !reserved) dada::ReleaseProcessObjects();
    return TRUE;
}
