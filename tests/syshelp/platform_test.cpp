// Off NT, NameIsDevice uses its fixed table (the library keeps its first platform answer).
#include <gtest/gtest.h>
#include "dadada32.h"
#include "testkit/importpatch.h"

static BOOL WINAPI Windows95(LPOSVERSIONINFOA info)
{
    info->dwMajorVersion = 4;
    info->dwPlatformId = VER_PLATFORM_WIN32_WINDOWS;
    return TRUE;
}

TEST(Platform, DeviceTableOffNt)
{
    testkit::ImportPatch patch("GetVersionExA", reinterpret_cast<void *>(&Windows95));
    ASSERT_EQ(OSVERSION_WIN95, GetOsVersion());
    const struct { const char *name; BOOL device; } cases[] = {
        {"con", 1}, {"Lpt2", 1}, {"lpt3", 0}, {"aux", 0}, {"C:\\temp\\prn", 1}, {"temp\\prn", 0}, {"prn.txt", 0}};
    for (const auto &c : cases) EXPECT_EQ(c.device, NameIsDevice(c.name)) << c.name;
}
