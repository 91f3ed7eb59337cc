// FileMove against CopyFileA + DeleteFileA of the same files, side by side:
// a set of 0 B to 8 MB files moved to another name in the same folder,
// sources made again (untimed) before every round.  Plain loops of
// FileMove's own shape, with its 65534-byte blocks and with 64 KB ones,
// run in the same rounds and show where the time goes.  Lines for
// bench/run: a time ratio, at most 1.1, and FileMove over the plain loop
// of the same blocks (no target).
#include "bench_clock.h"
#include "dadada32.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr int kRounds = 5;   // interleaved; each side's best time of each file counts
const DWORD kSizes[] = {0, 100, 4096, 65534, 65535, 65536, 1u << 20, 3u << 20, 8u << 20};
constexpr int kCopiesEach = 3;

std::string Temp(const std::string &name)
{
    return BenchTempPath("bench_filemove_" + std::to_string(GetCurrentProcessId()) + "_" + name);
}

struct Pair { std::string from, to; };

std::vector<Pair> MakeSources(const char *tag, const std::vector<char> &bytes)
{
    std::vector<Pair> pairs;
    int k = 0;
    for (DWORD size : kSizes)
        for (int c = 0; c < kCopiesEach; ++c, ++k) {
            Pair p{Temp(std::string(tag) + std::to_string(k) + ".src"), Temp(std::string(tag) + std::to_string(k) + ".dst")};
            DeleteFileA(p.to.c_str());
            HANDLE h = CreateFileA(p.from.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            DWORD w = 0;
            if (size) WriteFile(h, bytes.data(), size, &w, nullptr);
            CloseHandle(h);
            pairs.push_back(p);
        }
    return pairs;
}

// A plain Win32 move of the same shape as FileMove's: read and write blocks
// of `block` bytes, then delete the source.
bool PlainMove(const Pair &p, DWORD block, std::vector<char> &buffer)
{
    HANDLE in = CreateFileA(p.from.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    HANDLE out = CreateFileA(p.to.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD got = 0, put = 0;
    bool ok = in != INVALID_HANDLE_VALUE && out != INVALID_HANDLE_VALUE;
    while (ok && ReadFile(in, buffer.data(), block, &got, nullptr) && got)
        ok = WriteFile(out, buffer.data(), got, &put, nullptr) && put == got;
    CloseHandle(in);
    CloseHandle(out);
    return ok && DeleteFileA(p.from.c_str());
}

} // namespace

int main()
{
    std::vector<char> bytes(*std::max_element(std::begin(kSizes), std::end(kSizes)));
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = char(i * 7 + (i >> 9));
    std::vector<char> buffer(65536);
    // The sides, in turn in every round: FileMove, the plain equivalent, and
    // plain loops of FileMove's shape with its block size and with 64 KB
    // (where the gap to CopyFileA goes).
    struct Side {
        const char *name;
        std::function<bool(const Pair &)> move;
        std::vector<double> best = std::vector<double>(std::size(kSizes) * kCopiesEach, 1e9);   // per file
        double Total(DWORD from, DWORD to) const   // of the files from..to bytes long
        {
            double t = 0;
            for (size_t i = 0; i < best.size(); ++i)
                if (kSizes[i / kCopiesEach] >= from && kSizes[i / kCopiesEach] <= to) t += best[i];
            return t;
        }
    } sides[] = {
        {"FileMove", [](const Pair &p) { return FileMove(p.from.c_str(), p.to.c_str(), 1) == 1; }},
        {"CopyFileA + DeleteFileA", [](const Pair &p) {
            return CopyFileA(p.from.c_str(), p.to.c_str(), FALSE) && DeleteFileA(p.from.c_str()); }},
        {"plain loop, 65534-byte blocks", [&](const Pair &p) { return PlainMove(p, 65534, buffer); }},
        {"plain loop, 65536-byte blocks", [&](const Pair &p) { return PlainMove(p, 65536, buffer); }},
    };
    bool ok = true;
    for (int r = 0; r < kRounds; ++r)
        for (Side &side : sides) {
            auto pairs = MakeSources("side", bytes);
            for (size_t i = 0; i < pairs.size(); ++i) {
                const double t0 = BenchNow();
                ok &= side.move(pairs[i]);
                side.best[i] = std::min(side.best[i], BenchNow() - t0);
            }
            for (const auto &p : pairs) DeleteFileA(p.to.c_str());
        }
    unsigned long total = 0;
    for (DWORD size : kSizes) total += size * kCopiesEach;
    std::printf("%d files, %.1f MB per round, each file the best of %d interleaved rounds\n",
                int(std::size(kSizes)) * kCopiesEach, total / 1048576.0, kRounds);
    std::printf("  %-30s %9s %14s %14s\n", "", "all files", "up to 64 KB", "1 to 8 MB");
    for (const Side &side : sides)
        std::printf("  %-30s %6.1f ms %11.1f ms %11.1f ms\n", side.name, side.Total(0, ~0u) * 1e3,
                    side.Total(0, 65536) * 1e3, side.Total(65537, ~0u) * 1e3);
    const Side &lib = sides[0], &plain = sides[1], &sameBlocks = sides[2];
    std::printf("ratio FileMove %.3f 1.1 max\n", lib.Total(0, ~0u) / plain.Total(0, ~0u));
    std::printf("ratio FileMoveVsSameBlockLoop %.3f - max\n", lib.Total(0, ~0u) / sameBlocks.Total(0, ~0u));
    if (!ok) std::printf("a move or a copy failed\n");
    return ok ? 0 : 1;
}
