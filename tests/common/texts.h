// The library's own texts (string resources 50-101), as its users see them.
#pragma once
#include <windows.h>

namespace dadatest {

struct LibraryString { UINT id; const char *text; };

inline constexpr LibraryString kLibraryStrings[] = {
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

// The text of string `id`, or null.
constexpr const char *LibraryText(UINT id)
{
    for (const auto &s : kLibraryStrings)
        if (s.id == id) return s.text;
    return nullptr;
}

} // namespace dadatest
