// Directory searches past the platform's path limit.
#include "NAME/dir_search.h"
#include "dada/limits.h"

#include <cstring>
#include <cwchar>

namespace dada {

namespace {

// Room for a 512-byte search pattern made absolute behind "\\?\UNC\".
constexpr DWORD kWideChars = 2048;

// "\\?\C:\..." or "\\?\UNC\server\share\..." for an ANSI pattern.
bool LongPathPattern(const char *pattern, wchar_t (&out)[kWideChars])
{
    wchar_t wide[kWideChars], full[kWideChars];
    if (!MultiByteToWideChar(CP_ACP, 0, pattern, -1, wide, kWideChars)) return false;
    DWORD n = GetFullPathNameW(wide, kWideChars, full, nullptr);
    if (n == 0 || n >= kWideChars - 8) return false;
    if (full[0] == L'\\' && full[1] == L'\\') {
        if (full[2] == L'?' || full[2] == L'.') {   // already a device path
            std::wcscpy(out, full);
            return true;
        }
        std::wcscpy(out, L"\\\\?\\UNC");
        std::wcscat(out, full + 1);
        return true;
    }
    std::wcscpy(out, L"\\\\?\\");
    std::wcscat(out, full);
    return true;
}

// Wide find data as ANSI; false when the name has no ANSI form that fits.
bool ToAnsi(const WIN32_FIND_DATAW &w, WIN32_FIND_DATAA &a)
{
    std::memset(&a, 0, sizeof a);
    a.dwFileAttributes = w.dwFileAttributes;
    a.ftCreationTime = w.ftCreationTime;
    a.ftLastAccessTime = w.ftLastAccessTime;
    a.ftLastWriteTime = w.ftLastWriteTime;
    a.nFileSizeHigh = w.nFileSizeHigh;
    a.nFileSizeLow = w.nFileSizeLow;
    WideCharToMultiByte(CP_ACP, 0, w.cAlternateFileName, -1, a.cAlternateFileName,
                        sizeof a.cAlternateFileName, nullptr, nullptr);
    if (WideCharToMultiByte(CP_ACP, 0, w.cFileName, -1, a.cFileName, sizeof a.cFileName,
                            nullptr, nullptr))
        return true;
    if (!a.cAlternateFileName[0]) return false;
    std::strcpy(a.cFileName, a.cAlternateFileName);
    return true;
}

} // namespace

bool DirSearch::Open(const char *pattern, WIN32_FIND_DATAA &entry)
{
    Close();
    if (std::strlen(pattern) < kPathMax) {
        wide_ = false;
        handle_.reset(FindFirstFileA(pattern, &entry));
        return bool(handle_);
    }
    wchar_t longPattern[kWideChars];
    if (!LongPathPattern(pattern, longPattern)) return false;
    wide_ = true;
    WIN32_FIND_DATAW w;
    handle_.reset(FindFirstFileW(longPattern, &w));
    if (!handle_) return false;
    return ToAnsi(w, entry) || Next(entry);
}

bool DirSearch::Next(WIN32_FIND_DATAA &entry)
{
    if (!handle_) return false;
    if (!wide_) return FindNextFileA(handle_.get(), &entry) != FALSE;
    WIN32_FIND_DATAW w;
    while (FindNextFileW(handle_.get(), &w))
        if (ToAnsi(w, entry)) return true;
    return false;
}

void DirSearch::Close()
{
    handle_.reset();
}

} // namespace dada
