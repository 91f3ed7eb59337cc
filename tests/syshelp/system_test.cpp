// Platform code and floppy checks.
#include <gtest/gtest.h>
#include "dadada32.h"

namespace {

TEST(SystemHelpers, OsVersionAndFloppyDrives)
{
    EXPECT_EQ(OSVERSION_WINNT, GetOsVersion());
    EXPECT_EQ(OSVERSION_WINNT, GetOsVersion());   // and stays so once kept
    for (const char *path : {"C:\\windows", "c:", "Z:\\", "", "\\\\srv\\share", (const char *)nullptr})
        EXPECT_EQ(0, DiskIsFloppy(path)) << path;
    for (const char *path : {"a:\\file", "B:\\", "A:"}) {   // A and B: the platform's drive type
        char root[] = "X:\\";
        root[0] = char(toupper(path[0]));
        EXPECT_EQ(GetDriveTypeA(root) == DRIVE_REMOVABLE, DiskIsFloppy(path) != 0) << path;
    }
    for (char c : {'c', 'C', 'z', '1', '\0'}) EXPECT_EQ(0, CheckForFloppy(c)) << int(c);
    UINT before = SetErrorMode(SEM_NOOPENFILEERRORBOX);
    EXPECT_EQ(0, CheckForFloppy('b'));   // no such drive here: 0, and no message box blocks the call
    EXPECT_EQ(UINT(SEM_NOOPENFILEERRORBOX), SetErrorMode(before));   // error mode put back
}

TEST(CheckForFloppy, AMountedVolumeIsADisk)
{
    char windir[MAX_PATH];
    ASSERT_NE(0u, GetWindowsDirectoryA(windir, sizeof windir));
    windir[3] = '\0';   // "C:\"
    for (const char *drive : {"A:", "B:"}) {
        ASSERT_TRUE(DefineDosDeviceA(0, drive, windir)) << "cannot map " << drive << " error " << GetLastError();
        EXPECT_EQ(1, CheckForFloppy(drive[0])) << drive;
        EXPECT_EQ(1, CheckForFloppy(char(tolower(drive[0])))) << drive;
        DefineDosDeviceA(DDD_REMOVE_DEFINITION, drive, windir);
    }
}

} // namespace
