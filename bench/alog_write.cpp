// ALOG_Write against a plain Win32 loop doing the same work, side by side:
// open-close mode (open, seek to end, write, close per line) and a burst of
// lines on one handle.  Rounds are interleaved and the best of each side
// counts (the machine may be shared).  Lines "ratio NAME VALUE TARGET min"
// are for bench/run.
#include "dadada32.h"

#include <cstdio>
#include <string>

namespace {

constexpr int kOpenCloseLines = 1000;
constexpr int kBurstLines = 50000;
constexpr int kRounds = 7;
const char kLine[] = "01/02/2026\t10:30\tInfected\tscanner\tC:\\data\\some\\file.exe\tW32.Test\r\n";

double Now()
{
    static LARGE_INTEGER freq = [] { LARGE_INTEGER f; QueryPerformanceFrequency(&f); return f; }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return double(t.QuadPart) / double(freq.QuadPart);
}

std::string TempFile(const char *name)
{
    char dir[MAX_PATH];
    GetTempPathA(sizeof dir, dir);
    return std::string(dir) + name;
}

double LibraryRun(const std::string &path, bool burst)
{
    const int kLines = burst ? kBurstLines : kOpenCloseLines;
    DeleteFileA(path.c_str());
    ALOGHANDLE log = ALOG_Init(path.c_str(), 0, nullptr, 0);
    double t0 = Now();
    if (burst) ALOG_BlockWrite(log, kLines);
    for (int i = 0; i < kLines; ++i) ALOG_Write(log, kLine);
    double t = Now() - t0;
    ALOG_End(log);
    return kLines / t;
}

double PlainRun(const std::string &path, bool burst)
{
    const int kLines = burst ? kBurstLines : kOpenCloseLines;
    DeleteFileA(path.c_str());
    const DWORD len = sizeof kLine - 1;
    auto open = [&] {
        return CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    };
    double t0 = Now();
    HANDLE h = burst ? open() : INVALID_HANDLE_VALUE;
    if (burst) SetFilePointer(h, 0, nullptr, FILE_END);
    for (int i = 0; i < kLines; ++i) {
        if (!burst) {
            h = open();
            SetFilePointer(h, 0, nullptr, FILE_END);
        }
        DWORD done;
        WriteFile(h, kLine, len, &done, nullptr);
        if (!burst) CloseHandle(h);
    }
    if (burst) CloseHandle(h);
    return kLines / (Now() - t0);
}

} // namespace

int main()
{
    std::string a = TempFile("dada_bench_alog.log"), b = TempFile("dada_bench_plain.log");
    std::printf("ALOG_Write, lines of %u bytes (%d open-close, %d in a burst), best of %d rounds\n",
                unsigned(sizeof kLine - 1), kOpenCloseLines, kBurstLines, kRounds);
    for (bool burst : {false, true}) {
        double lib = 0, plain = 0;
        for (int round = 0; round < kRounds; ++round) {
            double l = LibraryRun(a, burst), p = PlainRun(b, burst);
            if (l > lib) lib = l;
            if (p > plain) plain = p;
        }
        std::printf("%-12s library %10.0f lines/s   plain Win32 %10.0f lines/s   ratio %.2f\n",
                    burst ? "burst" : "open-close", lib, plain, lib / plain);
        std::printf("ratio %s %.3f %s min\n", burst ? "ALOG_WriteBurst" : "ALOG_WriteOpenClose", lib / plain,
                    burst ? "0.95" : "-");
    }
    DeleteFileA(a.c_str());
    DeleteFileA(b.c_str());
    return 0;
}
