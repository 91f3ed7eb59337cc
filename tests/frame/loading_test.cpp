// The library frame: loading, ordinals, resources.
#include <gtest/gtest.h>
#include "dadada32.h"

#include <string>

namespace {

TEST(Frame, OrdinalsReachTheirFunctions)
{
    HMODULE dll = GetModuleHandleA("DADADA32.dll");
    ASSERT_NE(dll, nullptr);
    auto byOrdinal = [&](WORD ord) { return reinterpret_cast<void *>(GetProcAddress(dll, MAKEINTRESOURCEA(ord))); };
    EXPECT_EQ(byOrdinal(84), reinterpret_cast<void *>(&ALOG_BuildLogRecord));
    EXPECT_EQ(byOrdinal(80), reinterpret_cast<void *>(&ALOG_Init));
    EXPECT_EQ(byOrdinal(85), reinterpret_cast<void *>(&ALOG_TruncateLog));

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
