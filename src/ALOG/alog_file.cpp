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

#include <cstring>
#include <string_view>

namespace {

struct AlogHandle {
    DWORD        limitKb;
    char         path[dada::kPathBuf];
    DWORD        blockCount;
    DWORD        fileSize;
    ZKFILE       file;
    AlogCallback callback;
    UINT_PTR     callbackData;
    HANDLE       turn;   // the file's writers in every process take turns on it (LogTurn)
};

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
            log->fileSize = ZK_Seek(f, 0, ZK_SEEK_END);
            return;
        }
        if (!log->callback || Notify(log, ALOG_EVENT_NOOPEN, ZK_NOFILE) != 0) return;
    }
}

// Writers in every process that append to one log file take turns: a named
// mutex derived from the file's full long name (without letter case), made
// once per handle, is held from the size check to the end of the write, so
// that lines neither interleave nor get lost and a truncation by one keeps
// whole lines for all.
HANDLE OpenTurn(const char *path)
{
    char full[dada::kPathMax], longName[dada::kPathMax];
    DWORD n = GetFullPathNameA(path, sizeof full, full, nullptr);
    if (n == 0 || n >= sizeof full) lstrcpynA(full, path, sizeof full);
    n = GetLongPathNameA(full, longName, sizeof longName);
    const char *name = n && n < sizeof longName ? longName : full;
    unsigned long long hash = 14695981039346656037ull;   // FNV-1a
    for (const char *p = name; *p; ++p) hash = (hash ^ BYTE(dada::AsciiUpper(*p == '/' ? '\\' : *p))) * 1099511628211ull;
    char mutexName[64];
    wsprintfA(mutexName, "Local\\DADADA32.alog.%08lX%08lX", DWORD(hash >> 32), DWORD(hash));
    return CreateMutexA(nullptr, FALSE, mutexName);
}

class LogTurn {
public:
    explicit LogTurn(HANDLE mutex)
    {
        // Abandoned by a writer that died: the turn is ours all the same.
        if (mutex && WaitForSingleObject(mutex, INFINITE) != WAIT_FAILED) held_ = mutex;
    }
    ~LogTurn()
    {
        if (held_) ReleaseMutex(held_);
    }
    LogTurn(const LogTurn &) = delete;
    LogTurn &operator=(const LogTurn &) = delete;

private:
    HANDLE held_ = nullptr;
};

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
    log->turn = OpenTurn(log->path);
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
    if (log->turn) CloseHandle(log->turn);
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

    // Another process may have appended since this one last wrote: its
    // bytes count towards the limit, and the line goes at the end as it is
    // now.  (A lone writer always stands at the end: nothing changes.)
    LogTurn turn(log->turn);
    const DWORD here = ZK_Seek(log->file, 0, ZK_SEEK_CURRENT);
    const DWORD end = ZK_Seek(log->file, 0, ZK_SEEK_END);
    if (here != 0xFFFFFFFFu && end != 0xFFFFFFFFu && end > here) log->fileSize += end - here;

    const DWORD length = text ? static_cast<DWORD>(std::strlen(text)) : 0;
    if (log->limitKb && log->callback &&
        (static_cast<ULONGLONG>(log->fileSize) + length) / 1024 > log->limitKb) {
        DWORD answer = Notify(log, ALOG_EVENT_LIMIT, log->file);
        if (answer != 1) return answer;
    }

    DWORD result;
    if (ZK_Write(log->file, text, length) == length) {
        log->fileSize += length;
        result = 1;
    } else {
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

