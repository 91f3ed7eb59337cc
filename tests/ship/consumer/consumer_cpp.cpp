// Builds an activity-log line from an event record, writes it, and matches
// file names through DADADA32.dll; exits 1 when an answer is wrong.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include "dadada32.h"

namespace {

struct LogEnd {
    void operator()(void *log) const { ALOG_End(log); }
};
using Log = std::unique_ptr<void, LogEnd>;

int failures = 0;

void Expect(bool ok, const std::string &what)
{
    if (!ok) {
        std::printf("wrong: %s\n", what.c_str());
        ++failures;
    }
}

} // namespace

int main()
{
    const char path[] = "consumer_cpp.log";
    DeleteFileA(path);

    char line[128];
    AlogRecord record = {};
    record.buffer = line;
    record.bufferSize = sizeof(line);
    record.eventCode = 1;                       // an infected file
    record.text = "C:\\SCAN\\EICAR.COM";
    ALOG_BuildLogRecord(&record);
    Expect(std::string(line) == "Infected\tC:\\SCAN\\EICAR.COM\r\n", "built line " + std::string(line));
    {
        Log log(ALOG_Init(path, 64, nullptr, 0));
        Expect(log && ALOG_Write(log.get(), line) == 1, "ALOG_Write");
    }
    std::ifstream in(path, std::ios::binary);
    std::string back((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Expect(back == line, "log file holds " + back);

    const struct { const char *patterns, *name; bool match; } matches[] = {
        {"*.COM;*.EXE", "EICAR.COM", true},
        {"EICAR.*", "EICAR.TXT", true},
        {"*.EXE", "EICAR.COM", false},
    };
    for (const auto &m : matches)
        Expect(!NameWildcardMatch(m.patterns, m.name) == !m.match,
               std::string("NameWildcardMatch ") + m.patterns + " " + m.name);
    std::printf("consumer_cpp: %d wrong answers\n", failures);
    return failures ? 1 : 0;
}
