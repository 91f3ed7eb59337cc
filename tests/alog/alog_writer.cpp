// A writer process for the multi-process log test:
//   alog_writer FILE ID LINES LIMITKB
// appends LINES lines "writer ID line K <padding>" through the activity log,
// truncating to LIMITKB (0: no limit) when the limit would be passed.
#include "dadada32.h"
#include <cstdio>
#include <cstdlib>

namespace {
DWORD g_limit;
DWORD WINAPI OnEvent(DWORD event, DWORD file, UINT_PTR)
{
    return event == ALOG_EVENT_LIMIT ? ALOG_TruncateLog(file, g_limit) : 1;
}
} // namespace

int main(int argc, char **argv)
{
    if (argc != 5) return 2;
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
