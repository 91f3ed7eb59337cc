// A writer process for the multi-process log test:
//   alog_writer FILE ID LINES LIMITKB [die|slow]
// appends LINES lines "writer ID line K <padding>" through the activity log,
// truncating to LIMITKB (0: no limit) when the limit would be passed; with
// "die" it ends itself (exit code 9) in its first limit callback instead,
// while it holds the log's turn; with "slow" it sleeps a millisecond after
// every line, so that it still writes when a dying writer ends.
#include "dadada32.h"
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
DWORD g_limit;
bool g_die, g_slow;
DWORD WINAPI OnEvent(DWORD event, DWORD file, UINT_PTR)
{
    if (event == ALOG_EVENT_LIMIT && g_die) {
        Sleep(300);   // the others now wait for the turn
        ExitProcess(9);
    }
    return event == ALOG_EVENT_LIMIT ? ALOG_TruncateLog(file, g_limit) : 1;
}
} // namespace

int main(int argc, char **argv)
{
    if (argc != 5 && argc != 6) return 2;
    g_die = argc == 6 && !std::strcmp(argv[5], "die");
    g_slow = argc == 6 && !std::strcmp(argv[5], "slow");
    const int id = std::atoi(argv[2]), lines = std::atoi(argv[3]);
    g_limit = DWORD(std::atoi(argv[4]));
    ALOGHANDLE log = ALOG_Init(argv[1], g_limit, OnEvent, 0);
    if (!log) return 3;
    int failed = 0;
    for (int k = 0; k < lines; ++k) {
        char line[160];
        std::snprintf(line, sizeof line, "writer %d line %d %s\r\n", id, k, "................................................");
        failed += ALOG_Write(log, line) != 1;
        if (g_slow) Sleep(1);
    }
    ALOG_End(log);
    return failed ? 1 : 0;
}
