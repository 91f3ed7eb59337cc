// Small helpers of the benchmark programs: wall-clock seconds and paths in
// the temporary folder.
#pragma once
#include <windows.h>
#include <string>

inline double BenchNow()
{
    static const LARGE_INTEGER freq = [] { LARGE_INTEGER f; QueryPerformanceFrequency(&f); return f; }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return double(t.QuadPart) / double(freq.QuadPart);
}

inline std::string BenchTempPath(const std::string &name)
{
    char dir[MAX_PATH];
    GetTempPathA(sizeof dir, dir);
    return std::string(dir) + name;
}
