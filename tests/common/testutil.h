// Helpers shared by the test programs.
#pragma once
#include <windows.h>
#include <functional>
#include <string>
#include "zoredo32.h"

namespace dadatest {

// A fresh folder under `parent` (with its trailing backslash; null: the
// temporary folder), removed with its contents.
class TempDir {
public:
    explicit TempDir(const char *parent = nullptr);
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    const std::string &path() const { return path_; }
    std::string file(const std::string &name) const { return path_ + "\\" + name; }
private:
    std::string path_;
};

void RemoveTree(const std::string &path);
std::string ReadFileBytes(const std::string &path);
bool WriteFileBytes(const std::string &path, const std::string &data);
bool FileExists(const std::string &path);

// Kernel-library faults for the length of a scope (test build of ZOREDO32).
class KernelFault {
public:
    KernelFault(DWORD ordinal, DWORD skip, DWORD count, DWORD shortBytes = 0)
    { ZKT_ClearFaults(); ZKT_SetFault(ordinal, skip, count, shortBytes); }
    ~KernelFault() { ZKT_ClearFaults(); }
    KernelFault(const KernelFault &) = delete;
    KernelFault &operator=(const KernelFault &) = delete;
};

// Folder of the running test program, with a trailing backslash.
std::string ProgramDir();

constexpr DWORD kPollMs = 20;

// Polls `done` every kPollMs for up to `ms`; answers its last value.
inline bool WaitUntil(const std::function<bool()> &done, DWORD ms = 5000)
{
    for (const DWORD start = GetTickCount(); GetTickCount() - start < ms; Sleep(kPollMs))
        if (done()) return true;
    return done();
}

} // namespace dadatest
