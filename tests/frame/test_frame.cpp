// The library frame: loading, ordinals, resources.
#include <gtest/gtest.h>
#include "dadada32.h"

#include <string>

namespace {

const struct { UINT id; const char *text; } kStrings[] = {
    {50, "Infected"}, {51, "Cleaned"}, {52, "Clean Error"}, {53, "Deleted"},
    {54, "Delete Error"}, {55, "Excluded"}, {56, "Exclude Error"}, {57, "Access Denied"},
    {58, "Moved"}, {59, "Move Error"}, {60, "Service Started"}, {61, "Service Ended"},
    {62, "Task successfully completed"}, {63, "Task cancelled"},
    {64, "Task reported infected system memory"}, {65, "Task reported infected boot record"},
    {66, "Task reported infected files"}, {67, "Task cleaned all infected files"},
    {68, "Task reported error accessing log file"}, {69, "Task reported memory allocation error"},
    {70, "Task reported path too long"}, {71, "Task encountered write protected media"},
    {72, "Task could not find media"}, {73, "Task received invalid scan item"},
    {74, "Task reported file I/O error"}, {75, "Task reported disk I/O error"},
    {76, "Task reported system error"}, {77, "Task reported internal error"},
    {78, "All Files"}, {79, "*.*"}, {80, "Task started."}, {81, "Error starting task."},
    {82, "Task stopped."}, {83, "Error stopping task."}, {84, "Memory Infected"},
    {85, "Boot Sector Infected"}, {86, "Boot Sector Cleaned"}, {87, "Boot Sector Clean Error"},
    {88, "Scan Error"}, {89, "Scan Started"}, {90, "Scan Complete"}, {91, "Scan Settings"},
    {92, "Scan Summary"}, {93, "*.TXT"}, {94, "TEXT Files"}, {95, "*.LOG"}, {96, "LOG Files"},
    {97, "Files"}, {98, "%s\t%s\tActivity log truncated after exceeding limit size"},
    {99, "No memory to set up a RPC Packet"}, {100, "Could not read a Directory"},
    {101, "Could not read volume names"},
};

TEST(Frame, StringTableIsComplete)
{
    HMODULE dll = GetModuleHandleA("DADADA32.dll");
    ASSERT_NE(dll, nullptr);
    for (const auto &s : kStrings) {
        char buf[260] = "";
        LoadStringA(dll, s.id, buf, sizeof buf);
        EXPECT_STREQ(buf, s.text) << "string " << s.id;
    }
    char buf[16] = "unchanged";
    EXPECT_EQ(LoadStringA(dll, 49, buf, sizeof buf), 0);
    EXPECT_EQ(LoadStringA(dll, 102, buf, sizeof buf), 0);
}

TEST(Frame, OrdinalsReachTheirFunctions)
{
    HMODULE dll = GetModuleHandleA("DADADA32.dll");
    ASSERT_NE(dll, nullptr);
    auto byOrdinal = [&](WORD ord) { return reinterpret_cast<void *>(GetProcAddress(dll, MAKEINTRESOURCEA(ord))); };
    EXPECT_EQ(byOrdinal(84), reinterpret_cast<void *>(&ALOG_BuildLogRecord));
    EXPECT_EQ(byOrdinal(80), reinterpret_cast<void *>(&ALOG_Init));
    EXPECT_EQ(byOrdinal(85), reinterpret_cast<void *>(&ALOG_TruncateLog));
    for (WORD empty : {8, 21, 23, 29, 39, 51, 59, 64, 69, 76, 79, 86, 89, 93, 99, 115, 119, 129})
        EXPECT_EQ(byOrdinal(empty), nullptr) << "ordinal " << empty;

    using BuildFn = void(WINAPI *)(AlogRecord *);
    auto build = reinterpret_cast<BuildFn>(GetProcAddress(dll, MAKEINTRESOURCEA(84)));
    char line[64];
    AlogRecord rec{line, sizeof line, 0, 51, nullptr, nullptr, nullptr};
    build(&rec);
    EXPECT_STREQ(line, "Service Ended\t\r\n");
}

TEST(Frame, LoadsAndUnloadsRepeatedly)
{
    // A second copy under another name is a separate module: attach and
    // detach run each time.
    char dir[MAX_PATH], copy[MAX_PATH];
    GetModuleFileNameA(GetModuleHandleA("DADADA32.dll"), dir, sizeof dir);
    std::string path(dir);
    std::string other = path.substr(0, path.find_last_of('\\') + 1) + "DADACOPY.dll";
    lstrcpyA(copy, other.c_str());
    ASSERT_TRUE(CopyFileA(dir, copy, FALSE));
    for (int round = 0; round < 2; ++round) {
        HMODULE h = LoadLibraryA(copy);
        ASSERT_NE(h, nullptr) << "round " << round;
        char buf[32] = "";
        LoadStringA(h, 50, buf, sizeof buf);
        EXPECT_STREQ(buf, "Infected") << "resources come from the loaded copy";
        EXPECT_TRUE(FreeLibrary(h));
    }
    DeleteFileA(copy);
}

} // namespace
