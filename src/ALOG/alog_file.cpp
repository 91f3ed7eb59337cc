// Activity log file: lazy open, append, size limit through the caller's
// callback, bursts, and truncation to the most recent complete lines.
#include "dadada32.h"
#include "FRAME/kfile.h"
#include "dada/memblock.h"
#include "FRAME/module.h"
#include "dada/ascii.h"
#include "dada/handle.h"
#include "dada/limits.h"
#include "resource.h"

#include <atomic>
#include <bit>
#include <cstring>
#include <string_view>

namespace {

struct LogShare;

struct AlogHandle {
    DWORD        limitKb;
    char         path[dada::kPathBuf];
    DWORD        blockCount;
    DWORD        fileSize;
    ZKFILE       file;
    AlogCallback callback;
    UINT_PTR     callbackData;
    HANDLE       shareMap;   // the file's writers in every process share one LogShare
    LogShare    *share;      // its view; null when it could not be made
    DWORD        position;   // where `file` stands, when this handle knows; else kUnknownEnd
};

constexpr DWORD kUnknownEnd = 0xFFFFFFFFu;   // ZK_Seek's failure answer, never a length

DWORD Notify(AlogHandle *log, DWORD event, ZKFILE file)
{
    return log->callback(event, file, log->callbackData);
}

// Opens (or creates) the log, asking the callback on failure whether to try
// again.  Leaves log->file at ZK_NOFILE when it gives up.
void OpenLog(AlogHandle *log)
{
    for (;;) {
        ZKFILE f = ZK_Open(log->path, ZK_OPEN_WRITE);
        if (f == ZK_NOFILE) f = ZK_Create(log->path);
        if (f != ZK_NOFILE) {
            log->file = f;
            log->fileSize = log->position = ZK_Seek(f, 0, ZK_SEEK_END);
            return;
        }
        if (!log->callback || Notify(log, ALOG_EVENT_NOOPEN, ZK_NOFILE) != 0) return;
    }
}

// Writers in every process that append to one log file take turns, so that
// lines neither interleave nor get lost and a truncation by one keeps whole
// lines for all.  The turn lives in a small shared block, a named mapping
// derived from the file's full long name (without letter case), made once
// per handle.  Taking a free turn is one interlocked operation and needs no
// call into the system; a waiter spins briefly, then sleeps.  The block also
// holds the file's length as the last writer left it, so that a writer whose
// handle already stands there need not ask the file.
//
// Thread-safety: any thread of any process; the holder's thread may take the
// turn again (the limit callback may write to the same file through another
// handle), and a turn whose holder thread has ended is taken over.
struct LogShare {
    LONG64 holder;            // 0: free; else thread id << 32 | process id (only through Holder())
    LONG  depth;              // turns the holder has taken; only the holder touches it
    LONG  endKnown;           // `end` is the file's length (0: whoever comes next asks the file)
    DWORD end;
};

static_assert(std::atomic_ref<LONG64>::is_always_lock_free, "the turn is taken by processes that share no lock");

std::atomic_ref<LONG64> Holder(LogShare *s) { return std::atomic_ref<LONG64>(s->holder); }

constexpr DWORD kSpinRounds = 200;          // busy polls before the waiter starts to sleep
constexpr DWORD kHolderCheckRounds = 64;    // sleeps (about 1 ms each) between checks that the holder lives

void OpenShare(AlogHandle *log)
{
    char full[dada::kPathMax], longName[dada::kPathMax];
    DWORD n = GetFullPathNameA(log->path, sizeof full, full, nullptr);
    if (n == 0 || n >= sizeof full) lstrcpynA(full, log->path, sizeof full);
    n = GetLongPathNameA(full, longName, sizeof longName);
    const char *name = n && n < sizeof longName ? longName : full;
    unsigned long long hash = 14695981039346656037ull;   // FNV-1a
    for (const char *p = name; *p; ++p) hash = (hash ^ BYTE(dada::AsciiUpper(*p == '/' ? '\\' : *p))) * 1099511628211ull;
    char shareName[64];
    wsprintfA(shareName, "Local\\DADADA32.alogshare.%08lX%08lX", DWORD(hash >> 32), DWORD(hash));
    log->shareMap = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(LogShare), shareName);
    if (!log->shareMap) return;
    log->share = static_cast<LogShare *>(MapViewOfFile(log->shareMap, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(LogShare)));
    if (!log->share) {
        CloseHandle(log->shareMap);
        log->shareMap = nullptr;
    }
}

void CloseShare(AlogHandle *log)
{
    if (log->share) UnmapViewOfFile(log->share);
    if (log->shareMap) CloseHandle(log->shareMap);
    log->share = nullptr;
    log->shareMap = nullptr;
}

// True when the thread `holder` names has ended (or its id now belongs to a
// thread of another process): its turn will never be given back.
bool HolderGone(LONG64 holder)
{
    const DWORD thread = DWORD(ULONG64(holder) >> 32), process = DWORD(holder);
    dada::UniqueHandle h(OpenThread(SYNCHRONIZE | THREAD_QUERY_LIMITED_INFORMATION, FALSE, thread));
    if (!h) return GetLastError() == ERROR_INVALID_PARAMETER;   // no such thread
    return WaitForSingleObject(h.get(), 0) == WAIT_OBJECT_0 || GetProcessIdOfThread(h.get()) != process;
}

class LogTurn {
public:
    explicit LogTurn(LogShare *share) : share_(share)
    {
        if (!share_) return;
        const LONG64 me = LONG64(ULONG64(GetCurrentThreadId()) << 32 | GetCurrentProcessId());
        LONG64 seen = 0;
        if (!Holder(share_).compare_exchange_strong(seen, me, std::memory_order_acquire)) {
            if (seen == me) {
                ++share_->depth;
                return;
            }
            Wait(me, seen);
        }
        share_->depth = 1;
    }
    ~LogTurn()
    {
        if (share_ && --share_->depth == 0) Holder(share_).store(0, std::memory_order_release);
    }
    LogTurn(const LogTurn &) = delete;
    LogTurn &operator=(const LogTurn &) = delete;

private:
    // Until the turn is free, or its holder (`seen`) is gone: then it is
    // taken over, and the file's end is no longer known.
    void Wait(LONG64 me, LONG64 seen)
    {
        auto turn = Holder(share_);
        for (DWORD round = 1;; ++round) {
            if (round < kSpinRounds) {
                YieldProcessor();
            } else {
                Sleep(round < 2 * kSpinRounds ? 0 : 1);
                if (round % kHolderCheckRounds == 0 && seen && HolderGone(seen) &&
                    turn.compare_exchange_strong(seen, me, std::memory_order_acquire)) {
                    share_->endKnown = 0;   // it may have died half way through a write
                    return;
                }
            }
            seen = turn.load(std::memory_order_relaxed);
            if (seen == 0 && turn.compare_exchange_strong(seen, me, std::memory_order_acquire)) return;
        }
    }

    LogShare *share_;
};

// Records where this handle (and so the file's end) now stands, for this
// handle and for the other writers; kUnknownEnd makes the next writer ask.
void Stand(AlogHandle *log, DWORD end)
{
    log->position = end;
    if (LogShare *s = log->share) {
        s->end = end;
        s->endKnown = end != kUnknownEnd;
    }
}

// Called in the turn: another writer (in this process or another, or the
// limit callback) may have appended or cut since this handle last wrote.
// Appended bytes count towards the limit, and the line goes at the end as it
// is now.  A lone writer always stands at the end already: nothing changes.
void CatchUp(AlogHandle *log)
{
    const LogShare *s = log->share;
    if (s && s->endKnown && s->end == log->position) return;
    const DWORD here = ZK_Seek(log->file, 0, ZK_SEEK_CURRENT);
    const DWORD end = ZK_Seek(log->file, 0, ZK_SEEK_END);
    if (here != kUnknownEnd && end != kUnknownEnd && end > here) log->fileSize += end - here;
    Stand(log, end);
}

// Length of a zero-terminated text, a machine word at a time: the C
// runtime's strlen may go byte by byte (wine's does, about 50 ns for a log
// line, more than the rest of a write).  Reads stay within the aligned words
// that hold the text's bytes, so never reach past the page of its terminator.
DWORD TextLength(const char *text)
{
    const char *p = text;
    for (; reinterpret_cast<UINT_PTR>(p) % sizeof(UINT_PTR); ++p)
        if (!*p) return static_cast<DWORD>(p - text);
    constexpr UINT_PTR kOnes = ~UINT_PTR{0} / 0xFF, kHighs = kOnes << 7;
    for (;; p += sizeof(UINT_PTR)) {
        UINT_PTR word;
        std::memcpy(&word, p, sizeof word);
        // The lowest marked byte is the first zero byte (little-endian).
        if (const UINT_PTR zeros = (word - kOnes) & ~word & kHighs)
            return static_cast<DWORD>(p - text) + std::countr_zero(zeros) / 8;
    }
}

// Start of the complete lines in a tail of `size` bytes: one past the first
// CR or LF, and one more for the LF of the CR LF pair unless that is the end.
// A tail without a line end keeps nothing.
size_t FirstLineStart(const char *tail, size_t size)
{
    size_t i = 0;
    while (i < size && tail[i] != '\r' && tail[i] != '\n') ++i;
    if (i == size) return size;
    ++i;
    if (i < size) ++i;
    return i;
}

// "date<TAB>time<TAB>Activity log truncated..." CR LF, in the system locale.
int BuildNotice(char *line, int size)
{
    char format[dada::kPathMax], date[dada::kPathMax], time[dada::kPathMax];
    if (!LoadStringA(dada::g_module, IDS_LOG_TRUNCATED, format, sizeof format)) format[0] = 0;
    if (!GetDateFormatA(LOCALE_SYSTEM_DEFAULT, 0, nullptr, nullptr, date, sizeof date)) date[0] = 0;
    if (!GetTimeFormatA(LOCALE_SYSTEM_DEFAULT, TIME_NOSECONDS | LOCALE_NOUSEROVERRIDE,
                        nullptr, nullptr, time, sizeof time)) time[0] = 0;
    int n = wsprintfA(line, format, date, time);   // at most 1024 bytes
    if (n < 0 || n > size - 3) n = 0;
    line[n++] = '\r';
    line[n++] = '\n';
    line[n] = 0;
    return n;
}

} // namespace

extern "C" ALOGHANDLE DADAAPI ALOG_Init(LPCSTR path, DWORD limitKb, AlogCallback callback, UINT_PTR callbackData)
{
    auto *log = dada::BlockNew<AlogHandle>(dada::Block::Moveable);
    if (!log) return nullptr;
    if (path) {
        DWORD n = GetShortPathNameA(path, log->path, sizeof log->path);
        if (n == 0 || n >= sizeof log->path) lstrcpynA(log->path, path, sizeof log->path);
    }
    OpenShare(log);
    log->position = kUnknownEnd;
    log->limitKb = limitKb;
    log->callback = callback;
    log->callbackData = callbackData;
    log->file = ZK_NOFILE;
    return log;
}

extern "C" void DADAAPI ALOG_End(ALOGHANDLE handle)
{
    auto *log = static_cast<AlogHandle *>(handle);
    if (!log) return;
    if (log->file != ZK_NOFILE) ZK_Close(log->file);
    log->file = ZK_NOFILE;
    CloseShare(log);
    dada::BlockFree(log);
}

extern "C" void DADAAPI ALOG_BlockWrite(ALOGHANDLE handle, DWORD count)
{
    if (auto *log = static_cast<AlogHandle *>(handle)) log->blockCount = count;
}

extern "C" DWORD DADAAPI ALOG_Write(ALOGHANDLE handle, LPCSTR text)
{
    auto *log = static_cast<AlogHandle *>(handle);
    if (!log) return 0;
    if (log->file == ZK_NOFILE) OpenLog(log);
    if (log->file == ZK_NOFILE) return 0;

    LogTurn turn(log->share);
    CatchUp(log);

    const DWORD length = text ? TextLength(text) : 0;
    if (log->limitKb && log->callback &&
        (static_cast<ULONGLONG>(log->fileSize) + length) / 1024 > log->limitKb) {
        DWORD answer = Notify(log, ALOG_EVENT_LIMIT, log->file);
        // The callback may have cut the file or written to it.
        log->position = kUnknownEnd;
        CatchUp(log);
        if (answer != 1) return answer;
    }

    DWORD result;
    if (ZK_Write(log->file, text, length) == length) {
        log->fileSize += length;
        Stand(log, log->position <= kUnknownEnd - 1 - length ? log->position + length : kUnknownEnd);
        result = 1;
    } else {
        Stand(log, kUnknownEnd);
        if (log->callback) Notify(log, ALOG_EVENT_SHORTWRITE, ZK_NOFILE);
        result = 0;
    }

    if (log->blockCount > 0) --log->blockCount;
    if (log->blockCount == 0) {
        ZK_Close(log->file);
        log->file = ZK_NOFILE;
    }
    return result;
}

extern "C" DWORD DADAAPI ALOG_TruncateLog(DWORD file, DWORD limitKb)
{
    if (file == ZK_NOFILE) return 0;
    const ULONGLONG limit = static_cast<ULONGLONG>(limitKb) * 1024;
    const DWORD length = ZK_Length(file);

    dada::BlockPtr<char> tail;
    std::string_view kept;
    bool cut = false;
    if (limit && length > limit) {
        // length > limit, so limit fits in 32 bits here.
        tail.reset(static_cast<char *>(dada::BlockAlloc(static_cast<SIZE_T>(limit) + 1, dada::Block::Moveable)));
        if (!tail) return 0;
        ZK_Seek(file, length - static_cast<DWORD>(limit), ZK_SEEK_BEGIN);
        DWORD got = ZK_Read(file, tail.get(), static_cast<DWORD>(limit));
        size_t start = FirstLineStart(tail.get(), got);
        kept = std::string_view(tail.get() + start, got - start);
        cut = true;
    }

    DWORD result = ZK_SetLength(file, 0);
    if (cut) {
        char notice[1024 + 3];
        int n = BuildNotice(notice, sizeof notice);
        ZK_Write(file, notice, n);
        ZK_Write(file, kept.data(), static_cast<DWORD>(kept.size()));
    }
    return result;
}

