// ALOG_Write against a plain Win32 loop doing the same work, side by side:
// open-close mode (open, seek to end, write, close per line) and a burst of
// lines on one handle.  The machine may be shared and its speed drifts
// within a second (runs of the same build differ by a third), so the two
// sides take turns in short slices of lines, and each side's fastest slice
// over all rounds counts: the cost of its lines when nothing else ran.
// Lines "ratio NAME VALUE TARGET min" are for bench/run.
#include "bench_clock.h"
#include "dadada32.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace {

constexpr int kOpenCloseLines = 1000;
constexpr int kBurstLines = 50000;
constexpr int kSlices = 50;   // turns each side takes in a round
constexpr int kRounds = 7;
const char kLine[] = "01/02/2026\t10:30\tInfected\tscanner\tC:\\data\\some\\file.exe\tW32.Test\r\n";
constexpr DWORD kLineLength = sizeof kLine - 1;

// One side of a round: a fresh file, then slices of lines.
class LibrarySide {
public:
    LibrarySide(const std::string &path, bool burst, int lines) : log_((DeleteFileA(path.c_str()), ALOG_Init(path.c_str(), 0, nullptr, 0)))
    {
        if (burst) ALOG_BlockWrite(log_, lines);
    }
    ~LibrarySide() { ALOG_End(log_); }
    void Lines(int n)
    {
        for (int i = 0; i < n; ++i) ALOG_Write(log_, kLine);
    }

private:
    ALOGHANDLE log_;
};

class PlainSide {
public:
    PlainSide(const std::string &path, bool burst, int) : path_(path), burst_(burst)
    {
        DeleteFileA(path.c_str());
    }
    ~PlainSide() { if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_); }
    void Lines(int n)
    {
        for (int i = 0; i < n; ++i) {
            if (h_ == INVALID_HANDLE_VALUE) {
                h_ = CreateFileA(path_.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
                SetFilePointer(h_, 0, nullptr, FILE_END);
            }
            DWORD done;
            WriteFile(h_, kLine, kLineLength, &done, nullptr);
            if (!burst_) {
                CloseHandle(h_);
                h_ = INVALID_HANDLE_VALUE;
            }
        }
    }

private:
    std::string path_;
    bool burst_;
    HANDLE h_ = INVALID_HANDLE_VALUE;
};

// One round: the best lines per second of each side's slices so far.
void Round(const std::string &a, const std::string &b, bool burst, double &lib, double &plain)
{
    const int lines = burst ? kBurstLines : kOpenCloseLines, slice = lines / kSlices;
    LibrarySide l(a, burst, lines);
    PlainSide p(b, burst, lines);
    for (int s = 0; s < kSlices; ++s) {
        const double t0 = BenchNow();
        l.Lines(slice);
        const double t1 = BenchNow();
        p.Lines(slice);
        const double t2 = BenchNow();
        lib = std::max(lib, slice / (t1 - t0));
        plain = std::max(plain, slice / (t2 - t1));
    }
}

} // namespace

int main()
{
    std::string a = BenchTempPath("dada_bench_alog.log"), b = BenchTempPath("dada_bench_plain.log");
    std::printf("ALOG_Write, lines of %u bytes (%d open-close, %d in a burst), fastest of %d slices a side in each of %d rounds\n",
                unsigned(kLineLength), kOpenCloseLines, kBurstLines, kSlices, kRounds);
    for (bool burst : {false, true}) {
        double lib = 0, plain = 0;
        for (int round = 0; round < kRounds; ++round) Round(a, b, burst, lib, plain);
        std::printf("%-12s library %10.0f lines/s   plain Win32 %10.0f lines/s   ratio %.2f\n",
                    burst ? "burst" : "open-close", lib, plain, lib / plain);
        std::printf("ratio %s %.3f %s min\n", burst ? "ALOG_WriteBurst" : "ALOG_WriteOpenClose", lib / plain,
                    burst ? "0.95" : "-");
    }
    DeleteFileA(a.c_str());
    DeleteFileA(b.c_str());
    return 0;
}
