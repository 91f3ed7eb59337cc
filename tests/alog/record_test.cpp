// ALOG_BuildLogRecord: the fields of a log line and the bounds of the buffer.
#include <gtest/gtest.h>
#include "dadada32.h"

#include <cstring>
#include <string>

namespace {

std::string Build(WORD code, DWORD flags, const char *text, const char *extra,
                  const char *user, DWORD size = 512)
{
    std::string buf(size + 16, '\x7f');   // canary bytes past the buffer
    AlogRecord rec{buf.data(), size, flags, code, text, extra, user};
    ALOG_BuildLogRecord(&rec);
    EXPECT_EQ(buf.substr(size), std::string(16, '\x7f')) << "wrote past the buffer";
    size_t len = strnlen(buf.data(), size);
    EXPECT_LT(len, size) << "not terminated inside the buffer";
    return buf.substr(0, len);
}

// The library's own resource string `id`.
std::string LibraryText(UINT id)
{
    char buf[260] = "";
    LoadStringA(GetModuleHandleA("DADADA32.dll"), id, buf, sizeof buf);
    return buf;
}

// Every event code and the string its name comes from.
const struct { WORD code; UINT id; } kEventNames[] = {
    {1, 50}, {2, 51}, {3, 52}, {4, 53}, {5, 54}, {6, 55}, {7, 56}, {8, 57}, {9, 58}, {10, 59},
    {11, 84}, {12, 85}, {13, 86}, {14, 87}, {50, 60}, {51, 61}, {60, 80}, {61, 81}, {62, 82},
    {63, 83}, {80, 62}, {81, 63}, {82, 64}, {83, 65}, {84, 66}, {85, 67}, {86, 68}, {87, 69},
    {88, 70}, {89, 71}, {90, 72}, {91, 73}, {92, 74}, {93, 75}, {94, 76}, {95, 77},
    {110, 88}, {111, 89}, {112, 90}, {113, 91}, {114, 92},
};

// Every named code, then codes without a name: an empty event field.
TEST(AlogRecord, EventNames)
{
    for (const auto &e : kEventNames)
        EXPECT_EQ(Build(e.code, 0, nullptr, nullptr, nullptr), LibraryText(e.id) + "\t\r\n") << "code " << e.code;
    for (WORD code : {0, 15, 49, 52, 64, 79, 96, 109, 115, 999, 65535})
        EXPECT_EQ(Build(code, 0, nullptr, nullptr, nullptr), "\t\r\n") << "code " << code;
}

TEST(AlogRecord, Fields)
{
    static const struct {
        WORD code; DWORD flags; const char *text, *extra, *user; const char *expect;
    } cases[] = {
        {50, 0, nullptr, nullptr, nullptr, "Service Started\t\r\n"},
        {1, 0, "C:\\f.exe", nullptr, nullptr, "Infected\tC:\\f.exe\r\n"},
        {1, 0, "C:\\f.exe", "W32.X", nullptr, "Infected\tC:\\f.exe\tW32.X\r\n"},
        {1, 0, nullptr, "W32.X", nullptr, "Infected\t\r\n"},             // extra needs text
        {1, 0x80, "C:\\f.exe", "W32.X", "alice", "Infected\talice\tC:\\f.exe\tW32.X\r\n"},
        {1, 0x80, nullptr, nullptr, "alice", "Infected\talice\t\r\n"},
        {4, 0x80, "", "", "", "Deleted\t\t\t\r\n"},
        {999, 0x80, "t", nullptr, "bob", "\tbob\tt\r\n"},
        {1, 0xFFFFFF00, "x", nullptr, "bob", "Infected\tx\r\n"},         // only the low byte counts
        {1, 0x3F, "x", nullptr, "bob", "Infected\tx\r\n"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(Build(c.code, c.flags, c.text, c.extra, c.user), c.expect)
            << "code " << c.code << " flags " << c.flags;
}

TEST(AlogRecord, DateTimeAndLoggedOnUser)
{
    char user[256];
    DWORD n = sizeof user;
    ASSERT_TRUE(GetUserNameA(user, &n));
    auto now = [] {
        char d[100], t[100];
        GetDateFormatA(LOCALE_USER_DEFAULT, 0, nullptr, nullptr, d, sizeof d);
        GetTimeFormatA(LOCALE_USER_DEFAULT, TIME_NOSECONDS, nullptr, nullptr, t, sizeof t);
        return std::string(d) + "\t" + t + "\t";
    };
    std::string before = now();
    std::string line = Build(1, 0xC0, "C:\\data\\f.exe", "W32.Test", nullptr);
    std::string rest = std::string("Infected\t") + user + "\tC:\\data\\f.exe\tW32.Test\r\n";
    EXPECT_TRUE(line == before + rest || line == now() + rest) << line;
}

TEST(AlogRecord, CutToTheBuffer)
{
    static const struct {
        DWORD size; WORD code; DWORD flags; const char *text, *user; const char *expect;
    } cases[] = {
        // Four bytes are held back, so each field may use size - length - 4.
        {20, 50, 0, "a long path that does not fit", nullptr, "Service Started\t\r\n"},
        {30, 1, 0, "C:\\a\\very\\long\\path\\name.exe", nullptr, "Infected\tC:\\a\\very\\long\\pa\r\n"},
        {13, 1, 0, "x", nullptr, "Infected\t\r\n"},
        {12, 1, 0, "x", nullptr, "Infecte\t\r\n"},   // the name is cut, its tab still fits
        {5, 1, 0, nullptr, nullptr, "\t\r\n"},
        {4, 1, 0, "x", nullptr, ""},
        {1, 1, 0, "x", nullptr, ""},
        {20, 1, 0x80, nullptr, "a-user-name-longer-than-room", "Infected\ta-user-\r\n"},
        {6, 1, 0x40, "x", nullptr, ""},   // no room for the date
    };
    for (const auto &c : cases)
        EXPECT_EQ(Build(c.code, c.flags, c.text, nullptr, c.user, c.size), c.expect) << "size " << c.size;
}

TEST(AlogRecord, NullRecordOrBufferIsIgnored)
{
    ALOG_BuildLogRecord(nullptr);
    AlogRecord rec{};
    rec.bufferSize = 100;
    ALOG_BuildLogRecord(&rec);
}

} // namespace
