// ALOG_TruncateLog: keep the complete lines of the last limit x 1024 bytes
// behind the truncation notice.
#include <gtest/gtest.h>
#include "dadada32.h"
#include "testutil.h"

#include <string>

using namespace dadatest;

namespace {

// The notice as it reads now (system locale, no seconds), CR LF included.
std::string Notice()
{
    char date[260], time[260];
    GetDateFormatA(LOCALE_SYSTEM_DEFAULT, 0, nullptr, nullptr, date, sizeof date);
    GetTimeFormatA(LOCALE_SYSTEM_DEFAULT, TIME_NOSECONDS | LOCALE_NOUSEROVERRIDE, nullptr, nullptr,
                   time, sizeof time);
    return std::string(date) + "\t" + time + "\tActivity log truncated after exceeding limit size\r\n";
}

std::string Lines(size_t total, const char *eol)
{
    std::string s;
    for (int i = 0; s.size() < total; ++i) s += "entry number " + std::to_string(i) + eol;
    s.resize(total);
    return s;
}

class AlogTruncate : public ::testing::Test {
protected:
    // Truncates `content` with the limit; answers the result, leaves the file in `after`.
    DWORD truncate(const std::string &content, DWORD limitKb)
    {
        EXPECT_TRUE(WriteFileBytes(path, content));
        ZKFILE f = ZK_Open(path.c_str(), ZK_OPEN_WRITE);
        EXPECT_NE(f, ZK_NOFILE);
        before = Notice();
        DWORD r = ALOG_TruncateLog(f, limitKb);
        afterNotice = Notice();
        ZK_Close(f);
        after = ReadFileBytes(path);
        return r;
    }
    void expectNoticeThen(const std::string &kept)
    {
        EXPECT_TRUE(after == before + kept || after == afterNotice + kept) << after.substr(0, 200);
    }
    TempDir dir;
    std::string path = dir.file("big.log");
    std::string before, afterNotice, after;
};

TEST_F(AlogTruncate, KeepsCompleteLinesOfTheTail)
{
    static const struct { size_t size; DWORD limitKb; } cases[] = {
        {5000, 4}, {2049, 2}, {4097, 4}, {100000, 7}, {1025, 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.size << " bytes, limit " << c.limitKb);
        std::string data = Lines(c.size, "\r\n");
        const size_t limit = c.limitKb * 1024;
        std::string tail = data.substr(data.size() - limit);
        size_t eol = tail.find_first_of("\r\n");
        ASSERT_NE(eol, std::string::npos);
        size_t cut = tail[eol] == '\r' ? eol + 2 : eol + 1;
        EXPECT_NE(truncate(data, c.limitKb), 0u);
        expectNoticeThen(tail.substr(cut));
        EXPECT_LE(after.size(), limit + before.size() + 2);
    }
}

// A tail starting with the previous line's CR LF keeps the next line; a tail
// without a line end keeps only the notice; limit 0 or a file within the
// limit is emptied, without a notice.
TEST_F(AlogTruncate, EdgesOfTheCut)
{
    const struct { std::string data; DWORD limitKb; bool notice; std::string kept; } cases[] = {
        {std::string(100, 'a') + "\r\n" + std::string(1020, 'b') + "\r\n", 1, true, std::string(1020, 'b') + "\r\n"},
        {std::string(3000, 'x'), 1, true, ""},
        {Lines(5000, "\r\n"), 0, false, ""}, {Lines(1000, "\r\n"), 1, false, ""},
        {Lines(1024, "\r\n"), 1, false, ""}, {"", 3, false, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.data.size() << " bytes, limit " << c.limitKb);
        EXPECT_NE(truncate(c.data, c.limitKb), 0u);
        if (c.notice) expectNoticeThen(c.kept);
        else EXPECT_EQ(after, "");
    }
}

TEST_F(AlogTruncate, FailuresAnswerZero)
{
    EXPECT_EQ(ALOG_TruncateLog(ZK_NOFILE, 4), 0u);
    ASSERT_TRUE(WriteFileBytes(path, Lines(3000, "\r\n")));
    ZKFILE f = ZK_Open(path.c_str(), ZK_OPEN_WRITE);
    KernelFault fault(ZK_ORD_SETLENGTH, 0, 1);
    EXPECT_EQ(ALOG_TruncateLog(f, 1), 0u);
    ZK_Close(f);
}

} // namespace
