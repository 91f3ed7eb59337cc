// Builds an activity-log line from an event record, writes it through a log
// that a smart pointer owns, and matches file names through DADADA32.dll;
// exits 1 when an answer is wrong.  (The C program reads its log back.)
#include <cstdio>
#include <cstring>
#include <memory>
#include "dadada32.h"

int main()
{
    char line[128];
    AlogRecord record{line, sizeof line, 0, 1, "C:\\SCAN\\EICAR.COM", nullptr, nullptr};   // event 1: an infected file
    ALOG_BuildLogRecord(&record);
    std::unique_ptr<void, decltype(&ALOG_End)> log(ALOG_Init("consumer_cpp.log", 64, nullptr, 0), ALOG_End);
    const bool ok = log && ALOG_Write(log.get(), line) == 1 && !std::strcmp(line, "Infected\tC:\\SCAN\\EICAR.COM\r\n") &&
                    NameWildcardMatch("*.COM;*.EXE", "EICAR.COM") && !NameWildcardMatch("*.EXE", "EICAR.COM");
    std::printf("consumer_cpp: the answers are %s\n", ok ? "right" : "wrong");
    return ok ? 0 : 1;
}
