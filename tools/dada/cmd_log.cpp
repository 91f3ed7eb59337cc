// dada log: build one activity-log line and append it, keeping the limit.
#include "command.h"
#include "dadada32.h"

#include <cstdio>
#include <string>

namespace {

struct LogState {
    unsigned long limitKb;
    bool truncated;
};

DWORD WINAPI OnLogEvent(DWORD event, DWORD file, UINT_PTR data)
{
    auto *state = reinterpret_cast<LogState *>(data);
    switch (event) {
    case ALOG_EVENT_LIMIT:
        state->truncated = true;
        return ALOG_TruncateLog(file, state->limitKb) ? 1 : 0;
    case ALOG_EVENT_NOOPEN:
        std::fprintf(stderr, "dada: the log file can be neither opened nor created\n");
        return 1;   // give up
    default:
        std::fprintf(stderr, "dada: short write to the log file\n");
        return 0;
    }
}

int RunLog(const dadatool::Args &args)
{
    dadatool::Options o;
    if (!o.parse(args, {"event", "text", "extra", "user", "limit"}, {"date", "whoami"})) return 2;
    if (o.positional().size() != 1) return dadatool::Usage("log needs exactly one FILE");
    unsigned long event = 0, limit = 0;
    if (!o.has("event")) return dadatool::Usage("log needs --event N");
    if (!o.getNumber("event", event)) return 2;
    if (event > 0xFFFF) return dadatool::Usage("--event must be 0 to 65535");
    if (o.has("limit") && !o.getNumber("limit", limit)) return 2;

    std::string text = o.get("text"), extra = o.get("extra"), user = o.get("user");
    char line[2048];
    AlogRecord rec{};
    rec.buffer = line;
    rec.bufferSize = sizeof line;
    rec.flags = (o.has("date") ? ALOG_FLAG_DATETIME : 0) |
                (o.has("user") || o.has("whoami") ? ALOG_FLAG_USER : 0);
    rec.eventCode = static_cast<WORD>(event);
    rec.text = o.has("text") ? text.c_str() : nullptr;
    rec.extraText = o.has("extra") ? extra.c_str() : nullptr;
    rec.userName = o.has("user") ? user.c_str() : nullptr;
    ALOG_BuildLogRecord(&rec);
    // The line has room for so much: say when a field did not fit whole.
    const std::string built = line;
    for (const std::string *field : {&text, &extra, &user})
        if (!field->empty() && built.find(*field) == std::string::npos) {
            std::fprintf(stderr, "dada: the text was cut to fit the %u-byte line\n", unsigned(sizeof line));
            break;
        }

    LogState state{limit, false};
    ALOGHANDLE log = ALOG_Init(o.positional()[0].c_str(), static_cast<DWORD>(limit), OnLogEvent,
                               reinterpret_cast<UINT_PTR>(&state));
    if (!log) return dadatool::Fail("out of memory");
    DWORD written = ALOG_Write(log, line);
    ALOG_End(log);
    if (written != 1) return dadatool::Fail("the line was not written to " + o.positional()[0]);
    std::printf("%s%s", state.truncated ? "(log truncated to its limit)\n" : "", line);
    return 0;
}

dadatool::Register reg{{"log",
    "log FILE --event N [--text T] [--extra T] [--user U | --whoami] [--date] [--limit KB]",
    RunLog}};

} // namespace
