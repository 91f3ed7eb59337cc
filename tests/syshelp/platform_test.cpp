// The platform answer faked before the library first asks for it (it keeps
// the first answer for the process, so this program holds this test alone):
// NameIsDevice off NT compares with its fixed table instead of the system's
// device list.
#include <gtest/gtest.h>
#include "dadada32.h"
#include "testkit/importpatch.h"

namespace {

BOOL WINAPI Windows95(LPOSVERSIONINFOA info)
{
    info->dwMajorVersion = 4;
    info->dwPlatformId = VER_PLATFORM_WIN32_WINDOWS;
    return TRUE;
}

TEST(Platform, DeviceTableOffNt)
{
    testkit::ImportPatch patch("GetVersionExA", reinterpret_cast<void *>(&Windows95));
    ASSERT_TRUE(patch.active());
    ASSERT_EQ(OSVERSION_WIN95, GetOsVersion());
    const struct { const char *name; BOOL device; } cases[] = {
        {"con", 1}, {"PRN", 1}, {"Lpt1", 1}, {"lpt2", 1}, {"lpt3", 0}, {"aux", 0}, {"nul", 0},
        {"C:\\temp\\prn", 1}, {"\\lpt2", 1}, {"temp\\prn", 0}, {"prn.txt", 0}, {"", 0}};
    for (const auto &c : cases) EXPECT_EQ(c.device, NameIsDevice(c.name)) << c.name;
}

} // namespace
