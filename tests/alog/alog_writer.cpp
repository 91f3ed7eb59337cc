// A writer process for the multi-process log test:
//   alog_writer FILE ID LINES LIMITKB [die]
// appends LINES lines "writer ID line K <padding>" through the activity log,
// truncating to LIMITKB (0: no limit) when the limit would be passed; with
// "die" it ends itself (exit code 9) in its first limit callback instead,
// while it holds the log's turn.
#include "dadada32.h"
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
DWORD g_limit;
bool g_die;
DWORD WINAPI OnEvent(DWORD event, DWORD file, UINT_PTR)
{
    if (event == ALOG_EVENT_LIMIT && g_die) ExitProcess(9);
    return event == ALOG_EVENT_LIMIT ? ALOG_TruncateLog(file, g_limit) : 1;
}
} // namespace

int main(int argc, char **argv)
{
    if (argc != 5 && argc != 6) return 2;
    g_die = argc == 6 && !std::strcmp(argv[5], "die");
    const int id = std::atoi(argv[2]), lines = std::atoi(argv[3]);
    g_limit = DWORD(std::atoi(argv[4]));
    ALOGHANDLE log = ALOG_Init(argv[1], g_limit, OnEvent, 0);
    if (!log) return 3;
    int failed = 0;
    for (int k = 0; k < lines; ++k) {
        char line[160];
        std::snprintf(line, sizeof line, "writer %d line %d %s\r\n", id, k, "................................................");
        failed += ALOG_Write(log, line) != 1;
    }
    ALOG_End(log);
    return failed ? 1 : 0;
}
