// Activity log file: lazy open, limit events, bursts, failures.
#include <gtest/gtest.h>
#include "dadada32.h"
#include "testutil.h"

#include <string>
#include <vector>

using namespace dadatest;
using Events = std::vector<DWORD>;

namespace {

// Records the callback's events and answers from a script, then `rest`;
// truncates to `truncateKb` on event 1 when that is set.
struct Recorder {
    Events events;
    std::vector<DWORD> answers;
    DWORD rest = 1, truncateKb = 0;
    static DWORD WINAPI Callback(DWORD event, DWORD file, UINT_PTR data)
    {
        auto *r = reinterpret_cast<Recorder *>(data);
        r->events.push_back(event);
        EXPECT_EQ(file == ZK_NOFILE, event != ALOG_EVENT_LIMIT) << "event " << event;
        if (event == ALOG_EVENT_LIMIT && r->truncateKb) ALOG_TruncateLog(file, r->truncateKb);
        if (r->answers.empty()) return r->rest;
        DWORD a = r->answers.front();
        r->answers.erase(r->answers.begin());
        return a;
    }
};

class AlogFile : public ::testing::Test {
protected:
    void SetUp() override { ZKT_ClearFaults(); }
    void TearDown() override { EXPECT_EQ(ZKT_OpenFiles(), 0) << "a log file was left open"; }
    ALOGHANDLE open(DWORD limitKb, Recorder *r = nullptr)
    {
        return ALOG_Init(path.c_str(), limitKb, r ? Recorder::Callback : nullptr,
                         reinterpret_cast<UINT_PTR>(r));
    }
    TempDir dir;
    std::string path = dir.file("activity.log");
};

TEST_F(AlogFile, LazyOpenCreateAndOpenClosePerWrite)
{
    ALOGHANDLE log = open(0);
    ASSERT_NE(log, nullptr);
    EXPECT_EQ(GlobalFlags(GlobalHandle(log)) & GMEM_LOCKCOUNT, 1u) << "a locked global block";
    EXPECT_FALSE(FileExists(path));
    for (const char *text : {"one\r\n", "two\r\n", "", static_cast<const char *>(nullptr)}) {
        EXPECT_EQ(ALOG_Write(log, text), 1u);
        EXPECT_EQ(ZKT_OpenFiles(), 0) << "closed between writes";
    }
    EXPECT_EQ(ReadFileBytes(path), "one\r\ntwo\r\n");
    ALOG_End(log);
    EXPECT_EQ(ALOG_Write(nullptr, "x"), 0u);
    ALOG_BlockWrite(nullptr, 3);
    ALOG_End(nullptr);
}

// (fileSize + text length) / 1024 > limitKb raises event 1, only with a callback.
TEST_F(AlogFile, LimitBoundary)
{
    static const struct { DWORD limitKb, existing, text; bool callback, event; } cases[] = {
        {100, 102000, 1423, true, false}, {100, 102000, 1424, true, true},
        {1, 0, 2047, true, false},        {1, 0, 2048, true, true},
        {1, 2047, 1, true, true},         {0, 500000, 100000, true, false},
        {1, 5000, 10, false, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.limitKb << " KB, " << c.existing << " + " << c.text);
        ASSERT_TRUE(WriteFileBytes(path, std::string(c.existing, 'x')));
        Recorder r;
        ALOGHANDLE log = open(c.limitKb, c.callback ? &r : nullptr);
        EXPECT_EQ(ALOG_Write(log, std::string(c.text, 'y').c_str()), 1u);
        EXPECT_EQ(r.events, c.event ? Events{1} : Events{});
        EXPECT_EQ(ReadFileBytes(path).size(), size_t(c.existing) + c.text);
        ALOG_End(log);
    }
}

TEST_F(AlogFile, RefusedLimitEventWritesNothingAndKeepsTheBurst)
{
    for (DWORD answer : {0u, 7u}) {
        SCOPED_TRACE(answer);
        ASSERT_TRUE(WriteFileBytes(path, std::string(3000, 'x')));
        Recorder r;
        r.answers = {answer};
        ALOGHANDLE log = open(1, &r);
        ALOG_BlockWrite(log, 2);
        EXPECT_EQ(ALOG_Write(log, "refused\r\n"), answer);
        EXPECT_EQ(ReadFileBytes(path).size(), 3000u);
        EXPECT_EQ(ZKT_OpenFiles(), 1) << "a refusal leaves the file open";
        EXPECT_EQ(ALOG_Write(log, "a\r\n"), 1u);
        EXPECT_EQ(ZKT_OpenFiles(), 1) << "the refusal did not count down the burst";
        EXPECT_EQ(ALOG_Write(log, "b\r\n"), 1u);
        EXPECT_EQ(r.events, (Events{1, 1, 1}));
        ALOG_End(log);
    }
}

// A log that can be neither opened nor created: event 2 until the callback
// gives up; without a callback a single try.  The handle stays usable.
TEST_F(AlogFile, OpenFailures)
{
    enum Setup { MissingFolder, Folder, ReadOnly, KernelFault4 };
    static const struct { Setup setup; bool callback; std::vector<DWORD> answers; Events events; DWORD opens; } cases[] = {
        {MissingFolder, true, {0, 0, 0, 1}, {2, 2, 2, 2}, 4},
        {MissingFolder, false, {}, {}, 1},
        {Folder, true, {1}, {2}, 1},
        {ReadOnly, true, {1}, {2}, 1},
        {KernelFault4, true, {0, 1}, {2, 2}, 2},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.setup);
        TempDir d;
        path = c.setup == MissingFolder ? d.file("missing\\activity.log") : d.file("activity.log");
        if (c.setup == Folder) CreateDirectoryA(path.c_str(), nullptr);
        if (c.setup == ReadOnly) {
            WriteFileBytes(path, "old\r\n");
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
        }
        Recorder r;
        r.answers = c.answers;
        ZKT_ClearFaults();
        if (c.setup == KernelFault4) ZKT_SetFault(0, 0, 4, 0);   // open, create, open, create
        ALOGHANDLE log = open(0, c.callback ? &r : nullptr);
        EXPECT_EQ(ALOG_Write(log, "new\r\n"), 0u);
        EXPECT_EQ(r.events, c.events);
        EXPECT_EQ(ZKT_CallCount(ZK_ORD_OPEN), c.opens);
        ZKT_ClearFaults();
        if (c.setup == ReadOnly) {
            EXPECT_EQ(ReadFileBytes(path), "old\r\n");
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        }
        if (c.setup == MissingFolder) CreateDirectoryA(d.file("missing").c_str(), nullptr);
        if (c.setup != Folder) EXPECT_EQ(ALOG_Write(log, "x"), 1u) << "the next write tries again";
        ALOG_End(log);
    }
}

TEST_F(AlogFile, BurstKeepsTheFileOpenForCountWrites)
{
    ALOGHANDLE log = open(0);
    ALOG_BlockWrite(log, 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(ALOG_Write(log, "line\r\n"), 1u);
        EXPECT_EQ(ZKT_OpenFiles(), i < 2 ? 1 : 0) << "write " << i;
    }
    EXPECT_EQ(ZKT_CallCount(ZK_ORD_OPEN) + ZKT_CallCount(ZK_ORD_CREATE), 2u) << "one open for the burst";
    EXPECT_EQ(ALOG_Write(log, "line\r\n"), 1u);
    EXPECT_EQ(ZKT_CallCount(ZK_ORD_OPEN), 2u) << "the fourth write opens the file again";
    EXPECT_EQ(ZKT_CallCount(ZK_ORD_CLOSE), 2u);
    ALOG_BlockWrite(log, 10);
    EXPECT_EQ(ALOG_Write(log, "x"), 1u);
    EXPECT_EQ(ZKT_OpenFiles(), 1);
    ALOG_End(log);   // closes the open burst
}

TEST_F(AlogFile, ShortWriteReportsEventThreeAndDoesNotCountTheBytes)
{
    Recorder r;
    r.rest = 123;   // ignored for event 3
    ALOGHANDLE log = open(1, &r);
    ALOG_BlockWrite(log, 2);
    ZKT_SetFault(ZK_ORD_WRITE, 0, 1, 5);
    EXPECT_EQ(ALOG_Write(log, "0123456789"), 0u);
    EXPECT_EQ(r.events, Events{3});
    // 2040 more bytes stay below 2048 only if the failed 10 were not counted.
    EXPECT_EQ(ALOG_Write(log, std::string(2040, 'z').c_str()), 1u);
    EXPECT_EQ(r.events, Events{3});
    EXPECT_EQ(ReadFileBytes(path), "01234" + std::string(2040, 'z'));
    ALOG_End(log);
}

TEST_F(AlogFile, KnownSizeOnlyGrowsWhileOpen)
{
    // The callback truncates, but while the file stays open the known size
    // does not shrink, so every write of the burst raises event 1 again.
    ASSERT_TRUE(WriteFileBytes(path, std::string(3000, 'x') + "\r\n"));
    Recorder r;
    r.truncateKb = 1;
    ALOGHANDLE log = open(1, &r);
    ALOG_BlockWrite(log, 2);
    EXPECT_EQ(ALOG_Write(log, "a\r\n"), 1u);
    EXPECT_EQ(ALOG_Write(log, "b\r\n"), 1u);
    EXPECT_EQ(ALOG_Write(log, "c\r\n"), 1u);   // reopened: the small length is read again
    EXPECT_EQ(r.events, (Events{1, 1}));
    ALOG_End(log);
}

} // namespace
