// Activity log: the file, its truncation, records, several writer processes.
#include <gtest/gtest.h>
#include "dadada32.h"
#include "machine.h"

#include <map>
#include <sstream>
#include <thread>

using namespace dadatest;
using Events = std::vector<DWORD>;

namespace {

const std::string kNotice = "Activity log truncated after exceeding limit size\r\n";

// Records events, answers the n-th with answers[n] (or 1), may truncate on 1.
struct Recorder {
    Events events, answers;
    DWORD truncateKb = 0;
    static DWORD WINAPI Callback(DWORD event, DWORD file, UINT_PTR data)
    {
        auto *r = reinterpret_cast<Recorder *>(data);
        r->events.push_back(event);
        EXPECT_EQ(file == ZK_NOFILE, event != ALOG_EVENT_LIMIT) << "event " << event;
        if (event == ALOG_EVENT_LIMIT && r->truncateKb) ALOG_TruncateLog(file, r->truncateKb);
        return r->events.size() <= r->answers.size() ? r->answers[r->events.size() - 1] : 1;
    }
};

// The truncation notice as it reads now (system locale, no seconds).
std::string Notice()
{
    char date[260], time[260];
    GetDateFormatA(LOCALE_SYSTEM_DEFAULT, 0, nullptr, nullptr, date, sizeof date);
    GetTimeFormatA(LOCALE_SYSTEM_DEFAULT, TIME_NOSECONDS | LOCALE_NOUSEROVERRIDE, nullptr, nullptr, time, sizeof time);
    return std::string(date) + "\t" + time + "\t" + kNotice;
}

// One log through a run of writes: limit events, refusals, bursts, short writes, open retries.
TEST(AlogFile, WriteScripts)
{
    constexpr DWORD kNoFile = ~0u;
    struct Fault { DWORD ordinal, skip, count, shortBytes; };
    struct Write { DWORD length, result; LONG openAfter; };
    static const struct {
        const char *name; DWORD existing, limitKb, burst, truncateKb; Fault fault; bool callback;
        Events answers; std::vector<Write> writes; Events events; DWORD opens, size;
    } cases[] = {
        {"new file", kNoFile, 0, 0, 0, {}, true, {}, {{5, 1, 0}, {0, 1, 0}}, {}, 2, 5},
        {"below the limit", 102000, 100, 0, 0, {}, true, {}, {{1423, 1, 0}}, {}, 1, 103423},
        {"past the limit", 102000, 100, 0, 0, {}, true, {}, {{1424, 1, 0}}, {1}, 1, 103424},
        {"refused: no count", 3000, 1, 2, 0, {}, true, {7}, {{9, 7, 1}, {3, 1, 1}}, {1, 1}, 1, 3003},   // ends open
        {"burst of 3", 0, 0, 3, 0, {}, true, {}, {{6, 1, 1}, {6, 1, 1}, {6, 1, 0}, {6, 1, 0}}, {}, 2, 24},
        {"unseen truncation", 3002, 1, 2, 1, {}, true, {}, {{3, 1, 1}, {3, 1, 0}, {3, 1, 0}}, {1, 1}, 2, kNoFile},
        {"short write", 0, 1, 2, 0, {ZK_ORD_WRITE, 0, 1, 5}, true, {123}, {{10, 0, 1}, {2040, 1, 0}}, {3}, 1, 2045},
        {"open retried", 0, 0, 0, 0, {0, 0, 6, 0}, true, {0, 0, 1}, {{5, 0, 0}, {5, 1, 0}}, {2, 2, 2}, 4, 5},
        {"no callback, one try", 0, 0, 0, 0, {0, 0, 2, 0}, false, {}, {{5, 0, 0}, {5, 1, 0}}, {}, 2, 5},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string path = dir.file("activity.log");
        if (c.existing != kNoFile) ASSERT_TRUE(WriteFileBytes(path, std::string(c.existing, 'x')));
        Recorder r{{}, c.answers, c.truncateKb};
        ALOGHANDLE log = ALOG_Init(path.c_str(), c.limitKb, c.callback ? Recorder::Callback : nullptr, UINT_PTR(&r));
        ALOG_BlockWrite(log, c.burst);
        EXPECT_EQ(FileExists(path), c.existing != kNoFile) << "the file is opened at the first write";
        KernelFault fault(c.fault.ordinal, c.fault.skip, c.fault.count, c.fault.shortBytes);   // and counts calls
        for (const Write &w : c.writes) {
            EXPECT_EQ(ALOG_Write(log, std::string(w.length, 'y').c_str()), w.result);
            EXPECT_EQ(ZKT_OpenFiles(), w.openAfter);
        }
        EXPECT_EQ(r.events, c.events);
        EXPECT_EQ(ZKT_CallCount(ZK_ORD_OPEN), c.opens);
        if (c.size != kNoFile) EXPECT_EQ(ReadFileBytes(path).size(), c.size);
        ALOG_End(log);
    }
    EXPECT_EQ(ALOG_Write(nullptr, "x"), 0u);
}

// The notice, then the lines whole in the last limit KB; within the limit, or limit 0: emptied.
TEST(AlogTruncate, KeepsCompleteLinesOfTheTail)
{
    const std::string b1020(1020, 'b');
    const struct { std::string data; DWORD limitKb; bool cut; std::string kept; } cases[] = {
        {std::string(3000, 'x'), 1, true, ""},
        {std::string(100, 'a') + "\r\n" + b1020 + "\r\n", 1, true, b1020 + "\r\n"},   // the tail starts at a line end
        {"a\n" + std::string(1023, 'b') + "\nc\n", 1, true, "\n"},   // a lone LF: the byte after it goes too
        {std::string(5000, 'y'), 0, false, ""},
        {std::string(1024, 'z'), 1, false, ""},
    };
    TempDir dir;
    const std::string path = dir.file("big.log");
    for (const auto &c : cases) {
        ASSERT_TRUE(WriteFileBytes(path, c.data));
        ZKFILE f = ZK_Open(path.c_str(), ZK_OPEN_WRITE);
        const std::string before = Notice() + c.kept;
        EXPECT_NE(ALOG_TruncateLog(f, c.limitKb), 0u);
        const std::string after = Notice() + c.kept;
        ZK_Close(f);
        const std::string got = ReadFileBytes(path);
        EXPECT_TRUE(c.cut ? got == before || got == after : got.empty()) << c.limitKb << " KB: " << got.substr(0, 200);
    }
    EXPECT_EQ(ALOG_TruncateLog(ZK_NOFILE, 4), 0u);
}

// Fields in order, each cut to size - length - 4.
TEST(AlogRecord, FieldsAndCuts)
{
    static const struct {
        DWORD size; WORD code; DWORD flags; const char *text, *extra, *user; const char *expect;
    } cases[] = {
        {512, 1, 0, nullptr, "W32.X", nullptr, "Infected\t\r\n"},   // extra needs text
        {512, 1, 0x80, "C:\\f.exe", "W32.X", "alice", "Infected\talice\tC:\\f.exe\tW32.X\r\n"},
        {512, 1, 0xFFFFFF3F, "x", nullptr, "bob", "Infected\tx\r\n"},   // only the low byte counts
        {12, 1, 0, "x", nullptr, nullptr, "Infecte\t\r\n"},    // the name is cut, its tab still fits
        {20, 1, 0x80, nullptr, nullptr, "a-user-name-longer-than-room", "Infected\ta-user-\r\n"},
        {6, 1, 0x40, "x", nullptr, nullptr, ""},   // no room for the date
    };
    for (const auto &c : cases) {
        std::string buf(c.size + 16, '\x7f');   // canary bytes past the buffer
        AlogRecord rec{buf.data(), c.size, c.flags, c.code, c.text, c.extra, c.user};
        ALOG_BuildLogRecord(&rec);
        EXPECT_EQ(buf.substr(c.size), std::string(16, '\x7f')) << "wrote past the buffer";
        EXPECT_EQ(buf.substr(0, strnlen(buf.data(), c.size)), c.expect) << c.size << " " << c.expect;
    }
    ALOG_BuildLogRecord(nullptr);
}

constexpr int kWriters = 4, kLines = 500;

std::string WriterLine(const std::string &id, int k)
{
    return "writer " + id + " line " + std::to_string(k) + " " + std::string(48, '.') + "\r\n";
}

DWORD WINAPI DieInCallback(DWORD, DWORD, UINT_PTR)
{
    Sleep(300);
    ExitProcess(9);
}

// The writer role of EveryLineWhole, in the processes it starts.  With
// " die" after the filter it ends itself (code 9) in its first limit
// callback, 300 ms after the others started to wait for its turn; with
// " slow" it sleeps a millisecond after every line, so it still writes then.
TEST(AlogProcesses, WriterRole)
{
    char setting[MAX_PATH + 16], *path;   // "LIMIT PATH"
    if (!GetEnvironmentVariableA("ALOG_WRITER", setting, sizeof setting)) GTEST_SKIP() << "only in a writer process";
    const std::string_view role = GetCommandLineA();
    const bool dies = role.ends_with(" die"), slow = role.ends_with(" slow");
    Recorder r{{}, {}, std::strtoul(setting, &path, 10)};
    ALOGHANDLE log = ALOG_Init(path + 1, r.truncateKb, dies ? DieInCallback : Recorder::Callback, UINT_PTR(&r));
    const std::string id = std::to_string(GetCurrentProcessId());
    for (int k = 0; k < kLines; ++k) {
        ASSERT_EQ(ALOG_Write(log, WriterLine(id, k).c_str()), 1u) << k;
        if (slow) Sleep(1);
    }
    ALOG_End(log);
}

// Several processes append to one log: lines whole, each writer's in order,
// none lost without a limit, and a writer that dies holding the turn stops no one.
TEST(AlogProcesses, EveryLineWhole)
{
    const struct { int limitKb; bool firstDies; } kRuns[] = {{0, false}, {8, false}, {8, true}};
    for (const auto &[limitKb, firstDies] : kRuns) {
        TempDir dir;
        SetEnvironmentVariableA("ALOG_WRITER", (std::to_string(limitKb) + " " + dir.file("shared.log")).c_str());
        std::vector<std::thread> writers;
        for (int w = 0; w < kWriters; ++w)
            writers.emplace_back([w, dies = firstDies] {
                const char *role = !dies ? "" : w == 0 ? " die" : " slow";
                EXPECT_EQ(RunProgram(std::string("alog_test.exe --gtest_filter=*.WriterRole") + role, nullptr, 120000),
                          dies && w == 0 ? 9 : 0) << w;
            });
        for (auto &t : writers) t.join();
        SetEnvironmentVariableA("ALOG_WRITER", nullptr);
        std::istringstream in(ReadFileBytes(dir.file("shared.log")));
        std::map<std::string, int> next;   // each writer's next line
        int notices = 0;
        for (std::string line; std::getline(in, line);) {
            char id[16] = "";
            int k = -1;
            if (std::sscanf(line.c_str(), "writer %15s line %d", id, &k) == 2 && line + "\n" == WriterLine(id, k)) {
                EXPECT_TRUE(limitKb ? k >= next[id] : k == next[id]) << "lost or out of order: " << line;
                next[id] = k + 1;
            } else {
                EXPECT_TRUE(limitKb && (line + "\n").ends_with("\t" + kNotice)) << "torn: " << line;
                ++notices;
            }
        }
        EXPECT_EQ(notices > 0, limitKb > 0);
        EXPECT_EQ(limitKb ? next.size() : kWriters, next.size());
        for (const auto &[id, n] : next) EXPECT_TRUE(limitKb || n == kLines) << id << " wrote " << n;
    }
}

} // namespace
