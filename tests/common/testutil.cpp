#include "testutil.h"
#include "dada/handle.h"

#include <algorithm>
#include <atomic>
#include <vector>

namespace dadatest {

TempDir::TempDir(const char *parent)
{
    static std::atomic<unsigned> serial{0};
    char base[MAX_PATH] = "";
    if (!parent) GetTempPathA(sizeof base, base);
    for (;;) {
        path_ = std::string(parent ? parent : base) + "dadatest_" + std::to_string(GetCurrentProcessId()) + "_" +
                std::to_string(serial++);
        if (CreateDirectoryA(path_.c_str(), nullptr)) break;
    }
}

TempDir::~TempDir() { RemoveTree(path_); }

namespace {

void RemoveTreeW(const std::wstring &path)
{
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((path + L"\\*").c_str(), &fd);
    for (bool more = h != INVALID_HANDLE_VALUE; more; more = FindNextFileW(h, &fd)) {
        const std::wstring name = fd.cFileName, full = path + L"\\" + name;
        if (name == L"." || name == L"..") continue;
        SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveTreeW(full);
        else DeleteFileW(full.c_str());
    }
    if (h != INVALID_HANDLE_VALUE) FindClose(h);
    RemoveDirectoryW(path.c_str());
}

} // namespace

// Through the long-path wide calls when the path is absolute: trees past MAX_PATH go too.
void RemoveTree(const std::string &path)
{
    std::wstring wide(path.size(), L'\0');
    wide.resize(MultiByteToWideChar(CP_ACP, 0, path.data(), int(path.size()), wide.data(), int(wide.size())));
    std::replace(wide.begin(), wide.end(), L'/', L'\\');   // the long-path form takes names as they stand
    while (wide.size() > 3 && wide.back() == L'\\') wide.pop_back();
    RemoveTreeW(path.size() > 2 && path[1] == ':' ? L"\\\\?\\" + wide : wide);
}

std::string ReadFileBytes(const std::string &path)
{
    const dada::UniqueHandle h(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                           OPEN_EXISTING, 0, nullptr));
    std::string data;
    char buf[65536];
    DWORD got;
    while (h && ReadFile(h.get(), buf, sizeof buf, &got, nullptr) && got) data.append(buf, got);
    return data;
}

bool WriteFileBytes(const std::string &path, const std::string &data)
{
    const dada::UniqueHandle h(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD done = 0;
    return h && WriteFile(h.get(), data.data(), DWORD(data.size()), &done, nullptr) && done == data.size();
}

bool FileExists(const std::string &path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ProgramDir()
{
    char buf[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, buf, sizeof buf);
    std::string s(buf, n);
    return s.substr(0, s.find_last_of('\\') + 1);
}

} // namespace dadatest
