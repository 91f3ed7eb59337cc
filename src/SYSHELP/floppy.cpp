// Floppy drives: is a path on one, and is a disk in it.
#include "dadada32.h"
#include "dada/ascii.h"
#include "dada/limits.h"

namespace {

bool IsFloppyLetter(char c) { return c == 'A' || c == 'B'; }

} // namespace

extern "C" BOOL DADAAPI DiskIsFloppy(LPCSTR path)
{
    if (!path) return FALSE;
    char letter = dada::AsciiUpper(path[0]);
    if (!IsFloppyLetter(letter)) return FALSE;
    char root[] = "X:\\";
    root[0] = letter;
    return GetDriveTypeA(root) == DRIVE_REMOVABLE;
}

extern "C" BOOL DADAAPI CheckForFloppy(CHAR driveLetter)
{
    char letter = dada::AsciiUpper(driveLetter);
    if (!IsFloppyLetter(letter)) return FALSE;
    char root[] = "X:\\";
    root[0] = letter;

    char label[dada::kPathMax], fileSystem[dada::kPathMax];
    UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS);
    BOOL ok = GetVolumeInformationA(root, label, sizeof label, nullptr, nullptr, nullptr,
                                    fileSystem, sizeof fileSystem);
    DWORD error = GetLastError();
    SetErrorMode(previous);
    // General failure and an unrecognised volume still mean a disk is there.
    return ok || error == ERROR_GEN_FAILURE || error == ERROR_UNRECOGNIZED_VOLUME;
}
