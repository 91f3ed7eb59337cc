// Activity log lines: date, time, event, user, texts; tab-separated, CR LF.
#include "dadada32.h"
#include "FRAME/module.h"
#include "resource.h"

#include <array>
#include <cstddef>
#include <cstring>

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(AlogRecord) == 26);
static_assert(offsetof(AlogRecord, bufferSize) == 4);
static_assert(offsetof(AlogRecord, flags) == 8);
static_assert(offsetof(AlogRecord, eventCode) == 12);
static_assert(offsetof(AlogRecord, text) == 14);
static_assert(offsetof(AlogRecord, extraText) == 18);
static_assert(offsetof(AlogRecord, userName) == 22);
#endif

namespace {

struct EventName { WORD code; DWORD stringId; };

// Searched from the start; the pair with code 0 ends it.
constexpr std::array<EventName, 42> kEvents{{
    {1, IDS_INFECTED}, {2, IDS_CLEANED}, {3, IDS_CLEAN_ERROR}, {4, IDS_DELETED},
    {5, IDS_DELETE_ERROR}, {6, IDS_EXCLUDED}, {7, IDS_EXCLUDE_ERROR},
    {8, IDS_ACCESS_DENIED}, {9, IDS_MOVED}, {10, IDS_MOVE_ERROR},
    {11, IDS_MEMORY_INFECTED}, {12, IDS_BOOT_INFECTED}, {13, IDS_BOOT_CLEANED},
    {14, IDS_BOOT_CLEAN_ERROR},
    {50, IDS_SERVICE_STARTED}, {51, IDS_SERVICE_ENDED},
    {60, IDS_TASK_STARTED}, {61, IDS_TASK_START_ERROR}, {62, IDS_TASK_STOPPED},
    {63, IDS_TASK_STOP_ERROR},
    {80, IDS_TASK_COMPLETED}, {81, IDS_TASK_CANCELLED}, {82, IDS_TASK_MEMORY},
    {83, IDS_TASK_BOOT}, {84, IDS_TASK_FILES}, {85, IDS_TASK_CLEANED_ALL},
    {86, IDS_TASK_LOG_ERROR}, {87, IDS_TASK_NO_MEMORY}, {88, IDS_TASK_PATH_TOO_LONG},
    {89, IDS_TASK_WRITE_PROTECT}, {90, IDS_TASK_NO_MEDIA}, {91, IDS_TASK_BAD_ITEM},
    {92, IDS_TASK_FILE_IO}, {93, IDS_TASK_DISK_IO}, {94, IDS_TASK_SYSTEM_ERROR},
    {95, IDS_TASK_INTERNAL_ERROR},
    {110, IDS_SCAN_ERROR}, {111, IDS_SCAN_STARTED}, {112, IDS_SCAN_COMPLETE},
    {113, IDS_SCAN_SETTINGS}, {114, IDS_SCAN_SUMMARY},
    {0, 0},
}};

DWORD EventStringId(WORD code)
{
    for (const EventName &e : kEvents) {
        if (e.code == 0) break;
        if (e.code == code) return e.stringId;
    }
    return 0;
}

// The line under construction.  Four bytes of the buffer are held back for
// CR LF and the terminator, so room() is what a field may still use.
class Line {
public:
    Line(char *buf, DWORD size) : buf_(buf), size_(size) { buf_[0] = 0; }

    DWORD room() const { return size_ - len_ > 4 ? size_ - len_ - 4 : 0; }
    char *end() { return buf_ + len_; }
    bool empty() const { return len_ == 0; }

    // A field that a platform call wrote at end(), zero-terminated.
    void took() { len_ += static_cast<DWORD>(std::strlen(end())); }

    // At most room() characters of s.
    void append(const char *s)
    {
        DWORD n = static_cast<DWORD>(strnlen(s, room()));
        std::memcpy(end(), s, n);
        len_ += n;
        buf_[len_] = 0;
    }
    void tab() { append("\t"); }
    void finish()
    {
        if (empty()) return;
        std::memcpy(end(), "\r\n", 3);
        len_ += 2;
    }

private:
    char *buf_;
    DWORD size_;
    DWORD len_ = 0;
};

// A platform call that fills at most `room` bytes (terminator included) and
// answers 0 on failure; nothing is asked of it when there is no room.
template <class Fill> bool Field(Line &line, Fill fill)
{
    const int room = static_cast<int>(line.room());
    if (room <= 0 || !fill(line.end(), room)) {
        *line.end() = 0;
        return false;
    }
    line.took();
    return true;
}

void BuildLine(const AlogRecord &rec, Line &line)
{
    const BYTE flags = static_cast<BYTE>(rec.flags);

    if (flags & ALOG_FLAG_DATETIME) {
        if (!Field(line, [](char *out, int n) {
                return GetDateFormatA(LOCALE_USER_DEFAULT, 0, nullptr, nullptr, out, n) != 0; }))
            return;
        line.tab();
        if (!Field(line, [](char *out, int n) {
                return GetTimeFormatA(LOCALE_USER_DEFAULT, TIME_NOSECONDS, nullptr, nullptr, out, n) != 0; }))
            return;
        line.tab();
    }

    if (DWORD id = EventStringId(rec.eventCode))
        Field(line, [id](char *out, int n) { return LoadStringA(dada::g_module, id, out, n) != 0; });
    line.tab();

    if (flags & ALOG_FLAG_USER) {
        bool named;
        if (rec.userName) {
            line.append(rec.userName);
            named = true;
        } else {
            named = Field(line, [](char *out, int n) {
                DWORD size = static_cast<DWORD>(n);
                return GetUserNameA(out, &size) != 0; });
        }
        if (named) line.tab();
    }

    if (!rec.text) return;
    line.append(rec.text);
    if (!rec.extraText) return;
    line.tab();
    line.append(rec.extraText);
}

} // namespace

extern "C" void DADAAPI ALOG_BuildLogRecord(AlogRecord *record)
{
    if (!record || !record->buffer || record->bufferSize == 0) return;
    Line line(record->buffer, record->bufferSize);
    BuildLine(*record, line);
    line.finish();
}
