// Platform code and floppy checks.
#include <gtest/gtest.h>
#include "dadada32.h"

namespace {

TEST(GetOsVersion, NtFamilyAndStable)
{
    EXPECT_EQ(OSVERSION_WINNT, GetOsVersion());
    EXPECT_EQ(OSVERSION_WINNT, GetOsVersion());
}

TEST(DiskIsFloppy, OnlyDrivesAAndB)
{
    const std::pair<const char *, BOOL> cases[] = {
        {"C:\\windows", 0}, {"c:", 0}, {"Z:\\", 0}, {"", 0}, {"\\\\srv\\share", 0},
    };
    for (auto [path, want] : cases) EXPECT_EQ(want, DiskIsFloppy(path)) << path;
    EXPECT_EQ(0, DiskIsFloppy(nullptr));
    // The answer for A and B is the platform's drive type.
    for (const char *path : {"a:\\file", "B:\\", "A:"}) {
        char root[] = "X:\\";
        root[0] = char(toupper(path[0]));
        EXPECT_EQ(GetDriveTypeA(root) == DRIVE_REMOVABLE, DiskIsFloppy(path) != 0) << path;
    }
}

TEST(CheckForFloppy, OnlyAAndBAreAsked)
{
    for (char c : {'c', 'C', 'z', '1', '\0'}) EXPECT_EQ(0, CheckForFloppy(c)) << int(c);
    // No disk in B (there is no such drive here): 0, and no message box
    // blocks the call.
    UINT before = SetErrorMode(SEM_NOOPENFILEERRORBOX);
    EXPECT_EQ(0, CheckForFloppy('b'));
    EXPECT_EQ(UINT(SEM_NOOPENFILEERRORBOX), SetErrorMode(before));   // error mode put back
}

TEST(CheckForFloppy, AMountedVolumeIsADisk)
{
    char windir[MAX_PATH];
    ASSERT_NE(0u, GetWindowsDirectoryA(windir, sizeof windir));
    windir[3] = '\0';   // "C:\"
    if (!DefineDosDeviceA(0, "A:", windir))
        FAIL() << "cannot map a drive A: for the test, error " << GetLastError();
    EXPECT_EQ(1, CheckForFloppy('a'));
    EXPECT_EQ(1, CheckForFloppy('A'));
    DefineDosDeviceA(DDD_REMOVE_DEFINITION, "A:", windir);
}

} // namespace
