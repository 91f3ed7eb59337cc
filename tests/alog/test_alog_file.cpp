// Activity log file: lazy open, limit events, bursts, failures.
#include <gtest/gtest.h>
#include "dadada32.h"
#include "testutil.h"

#include <string>
#include <vector>

using namespace dadatest;

namespace {

// Records every callback event and answers from a script (then `rest`).
struct Recorder {
    std::vector<DWORD> events;
    std::vector<DWORD> answers;   // answers in order, for any event
    DWORD rest = 1;
    DWORD limitKb = 0;            // truncate on event 1 when non-zero
    DWORD next()
    {
        if (answers.empty()) return rest;
        DWORD a = answers.front();
        answers.erase(answers.begin());
        return a;
    }
    static DWORD WINAPI Callback(DWORD event, DWORD file, UINT_PTR data)
    {
        auto *r = reinterpret_cast<Recorder *>(data);
        r->events.push_back(event);
        if (event == ALOG_EVENT_LIMIT) EXPECT_NE(file, ZK_NOFILE);
        else EXPECT_EQ(file, ZK_NOFILE);
        if (event == ALOG_EVENT_LIMIT && r->limitKb) ALOG_TruncateLog(file, r->limitKb);
        return r->next();
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

TEST_F(AlogFile, InitDoesNotTouchTheFileAndFirstWriteCreatesIt)
{
    ALOGHANDLE log = open(0);
    ASSERT_NE(log, nullptr);
    EXPECT_FALSE(FileExists(path));
    EXPECT_EQ(ALOG_Write(log, "one\r\n"), 1u);
    EXPECT_EQ(ReadFileBytes(path), "one\r\n");
    EXPECT_EQ(ZKT_OpenFiles(), 0) << "open-close mode keeps the file closed between writes";
    EXPECT_EQ(ALOG_Write(log, "two\r\n"), 1u);
    EXPECT_EQ(ReadFileBytes(path), "one\r\ntwo\r\n");
    ALOG_End(log);
}

TEST_F(AlogFile, NullHandlesDoNothing)
{
    EXPECT_EQ(ALOG_Write(nullptr, "x"), 0u);
    ALOG_BlockWrite(nullptr, 3);
    ALOG_End(nullptr);
}

// The limit check: (fileSize + text length) / 1024 > limitKb raises event 1.
TEST_F(AlogFile, LimitBoundary)
{
    static const struct { DWORD limitKb, existing, text; bool event; } cases[] = {
        {100, 102000, 1423, false},
        {100, 102000, 1424, true},
        {1, 0, 2047, false},
        {1, 0, 2048, true},
        {1, 2047, 1, true},
        {0, 500000, 100000, false},   // no limit
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "limit " << c.limitKb << " existing " << c.existing
                                        << " text " << c.text);
        ASSERT_TRUE(WriteFileBytes(path, std::string(c.existing, 'x')));
        Recorder r;
        ALOGHANDLE log = open(c.limitKb, &r);
        EXPECT_EQ(ALOG_Write(log, std::string(c.text, 'y').c_str()), 1u);
        EXPECT_EQ(r.events, c.event ? std::vector<DWORD>{1} : std::vector<DWORD>{});
        EXPECT_EQ(ReadFileBytes(path).size(), size_t(c.existing) + c.text);
        ALOG_End(log);
    }
}

TEST_F(AlogFile, LimitWithoutCallbackIsNotEnforced)
{
    ASSERT_TRUE(WriteFileBytes(path, std::string(5000, 'x')));
    ALOGHANDLE log = open(1);
    EXPECT_EQ(ALOG_Write(log, "more\r\n"), 1u);
    EXPECT_EQ(ReadFileBytes(path).size(), 5006u);
    ALOG_End(log);
}

TEST_F(AlogFile, RefusedLimitEventWritesNothingAndKeepsTheBurst)
{
    ASSERT_TRUE(WriteFileBytes(path, std::string(3000, 'x')));
    for (DWORD answer : {0u, 7u}) {
        SCOPED_TRACE(answer);
        Recorder r;
        r.answers = {answer};
        ALOGHANDLE log = open(1, &r);
        ALOG_BlockWrite(log, 2);
        EXPECT_EQ(ALOG_Write(log, "refused\r\n"), answer) << "the callback's answer comes back";
        EXPECT_EQ(ReadFileBytes(path).size(), 3000u);
        EXPECT_EQ(ZKT_OpenFiles(), 1) << "a refusal leaves the file open";
        r.rest = 1;
        EXPECT_EQ(ALOG_Write(log, "a\r\n"), 1u);
        EXPECT_EQ(ZKT_OpenFiles(), 1) << "the refused write did not count down the burst";
        EXPECT_EQ(ALOG_Write(log, "b\r\n"), 1u);
        EXPECT_EQ(ZKT_OpenFiles(), 0);
        EXPECT_EQ(r.events, (std::vector<DWORD>{1, 1, 1}));
        ALOG_End(log);
        ASSERT_TRUE(WriteFileBytes(path, std::string(3000, 'x')));
    }
}

TEST_F(AlogFile, OpenFailureAsksTheCallbackUntilItGivesUp)
{
    path = dir.file("missing\\folder\\activity.log");
    Recorder r;
    r.answers = {0, 0, 0, 1};
    ALOGHANDLE log = open(0, &r);
    EXPECT_EQ(ALOG_Write(log, "x"), 0u);
    EXPECT_EQ(r.events, (std::vector<DWORD>{2, 2, 2, 2}));
    EXPECT_EQ(ZKT_CallCount(ZK_ORD_OPEN), 4u);
    EXPECT_EQ(ZKT_CallCount(ZK_ORD_CREATE), 4u);
    // The handle stays usable: once the folder exists, the next write works.
    CreateDirectoryA(dir.file("missing").c_str(), nullptr);
    CreateDirectoryA(dir.file("missing\\folder").c_str(), nullptr);
    EXPECT_EQ(ALOG_Write(log, "x"), 1u);
    ALOG_End(log);
}

TEST_F(AlogFile, OpenFailureWithoutCallbackTriesOnce)
{
    path = dir.file("missing\\activity.log");
    ALOGHANDLE log = open(0);
    EXPECT_EQ(ALOG_Write(log, "x"), 0u);
    EXPECT_EQ(ZKT_CallCount(ZK_ORD_OPEN), 1u);
    ALOG_End(log);
}

TEST_F(AlogFile, LogPathThatIsAFolderCannotBeOpened)
{
    ASSERT_TRUE(CreateDirectoryA(path.c_str(), nullptr));
    Recorder r;
    r.rest = 1;
    ALOGHANDLE log = open(0, &r);
    EXPECT_EQ(ALOG_Write(log, "new\r\n"), 0u);
    EXPECT_EQ(r.events, std::vector<DWORD>{2});
    ALOG_End(log);
}

TEST_F(AlogFile, ReadOnlyLogCannotBeOpened)
{
    ASSERT_TRUE(WriteFileBytes(path, "old\r\n"));
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
    Recorder r;
    r.rest = 1;
    ALOGHANDLE log = open(0, &r);
    EXPECT_EQ(ALOG_Write(log, "new\r\n"), 0u);
    EXPECT_EQ(r.events, std::vector<DWORD>{2});
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(ReadFileBytes(path), "old\r\n");
    ALOG_End(log);
}

TEST_F(AlogFile, KernelOpenAndCreateFailing)
{
    Recorder r;
    r.answers = {0, 1};
    ALOGHANDLE log = open(0, &r);
    {
        KernelFault fault(0, 0, 4);   // open, create, open, create
        EXPECT_EQ(ALOG_Write(log, "x"), 0u);
    }
    EXPECT_EQ(r.events, (std::vector<DWORD>{2, 2}));
    EXPECT_FALSE(FileExists(path));
    EXPECT_EQ(ALOG_Write(log, "x"), 1u) << "the next write tries again";
    ALOG_End(log);
}

TEST_F(AlogFile, BurstKeepsTheFileOpenForCountWrites)
{
    ALOGHANDLE log = open(0);
    ALOG_BlockWrite(log, 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(ALOG_Write(log, "line\r\n"), 1u);
        EXPECT_EQ(ZKT_OpenFiles(), i < 2 ? 1 : 0) << "write " << i;
    }
    EXPECT_EQ(ZKT_CallCount(ZK_ORD_OPEN) + ZKT_CallCount(ZK_ORD_CREATE), 2u)
        << "one failed open and one create for the whole burst";
    EXPECT_EQ(ALOG_Write(log, "line\r\n"), 1u);
    EXPECT_EQ(ZKT_OpenFiles(), 0);
    EXPECT_EQ(ZKT_CallCount(ZK_ORD_OPEN), 2u) << "the fourth write opens the file again";
    EXPECT_EQ(ZKT_CallCount(ZK_ORD_CLOSE), 2u);
    EXPECT_EQ(ReadFileBytes(path).size(), 24u);
    ALOG_End(log);
}

TEST_F(AlogFile, EndClosesAnOpenBurst)
{
    ALOGHANDLE log = open(0);
    ALOG_BlockWrite(log, 10);
    EXPECT_EQ(ALOG_Write(log, "x"), 1u);
    EXPECT_EQ(ZKT_OpenFiles(), 1);
    ALOG_End(log);
}

TEST_F(AlogFile, ShortWriteReportsEventThreeAndDoesNotCountTheBytes)
{
    Recorder r;
    r.rest = 123;   // ignored for event 3
    ALOGHANDLE log = open(1, &r);
    ALOG_BlockWrite(log, 2);   // one open for both writes: the known size is kept
    {
        KernelFault fault(ZK_ORD_WRITE, 0, 1, 5);
        EXPECT_EQ(ALOG_Write(log, "0123456789"), 0u);
    }
    EXPECT_EQ(r.events, std::vector<DWORD>{3});
    // 2040 more bytes: below 2048 only if the failed 10 were not counted.
    r.events.clear();
    EXPECT_EQ(ALOG_Write(log, std::string(2040, 'z').c_str()), 1u);
    EXPECT_TRUE(r.events.empty());
    EXPECT_EQ(ReadFileBytes(path), "01234" + std::string(2040, 'z'));
    ALOG_End(log);
}

TEST_F(AlogFile, KnownSizeOnlyGrowsWhileOpen)
{
    // The callback truncates, but the handle's size does not shrink while the
    // file stays open, so every write of the burst raises event 1 again.
    ASSERT_TRUE(WriteFileBytes(path, std::string(3000, 'x') + "\r\n"));
    Recorder r;
    r.limitKb = 1;
    ALOGHANDLE log = open(1, &r);
    ALOG_BlockWrite(log, 2);
    EXPECT_EQ(ALOG_Write(log, "a\r\n"), 1u);
    EXPECT_EQ(ALOG_Write(log, "b\r\n"), 1u);
    EXPECT_EQ(r.events, (std::vector<DWORD>{1, 1}));
    // Closed now: the next open re-reads the (small) length, no event.
    r.events.clear();
    EXPECT_EQ(ALOG_Write(log, "c\r\n"), 1u);
    EXPECT_TRUE(r.events.empty());
    ALOG_End(log);
}

TEST_F(AlogFile, NullTextWritesNothing)
{
    ALOGHANDLE log = open(0);
    EXPECT_EQ(ALOG_Write(log, nullptr), 1u);
    EXPECT_EQ(ALOG_Write(log, ""), 1u);
    EXPECT_EQ(ReadFileBytes(path), "");
    ALOG_End(log);
}

TEST_F(AlogFile, HandleIsALockedGlobalBlock)
{
    ALOGHANDLE log = open(0);
    HGLOBAL h = GlobalHandle(log);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(GlobalFlags(h) & GMEM_LOCKCOUNT, 1u);
    ALOG_End(log);
}

} // namespace
