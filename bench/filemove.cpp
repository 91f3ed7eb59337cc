// FileMove against CopyFileA + DeleteFileA of the same files, side by side:
// a set of 0 B to 8 MB files moved to another name in the same folder,
// sources made again (untimed) before every round.  Last line for
// bench/run: a time ratio, at most 1.1.
#include "bench_clock.h"
#include "dadada32.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kRounds = 5;   // interleaved; the best of each side counts
const DWORD kSizes[] = {0, 100, 4096, 65534, 65535, 65536, 1u << 20, 3u << 20, 8u << 20};
constexpr int kCopiesEach = 3;

std::string Temp(const std::string &name)
{
    char dir[MAX_PATH];
    GetTempPathA(sizeof dir, dir);
    return std::string(dir) + "bench_filemove_" + std::to_string(GetCurrentProcessId()) + "_" + name;
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

// Best time of plain moves of large files in blocks of `block` bytes.
double PlainLarge(DWORD block, const std::vector<char> &bytes)
{
    std::vector<char> buffer(65536);
    double best = 1e9;
    for (int r = 0; r < kRounds; ++r) {
        auto pairs = MakeSources("block", bytes);
        double t = 0;
        for (size_t i = 0; i < pairs.size(); ++i)
            if (kSizes[i / kCopiesEach] > 65536) {
                const double t0 = BenchNow();
                PlainMove(pairs[i], block, buffer);
                t += BenchNow() - t0;
            }
        best = std::min(best, t);
        for (const auto &p : pairs) DeleteFileA(p.from.c_str()), DeleteFileA(p.to.c_str());
    }
    return best;
}

} // namespace

int main()
{
    std::vector<char> bytes(*std::max_element(std::begin(kSizes), std::end(kSizes)));
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = char(i * 7 + (i >> 9));
    // Totals, and the files up to 64 KB apart (where the per-file name
    // look-ups weigh, not the bytes).
    double lib = 1e9, plain = 1e9, libSmall = 1e9, plainSmall = 1e9;
    bool ok = true;
    // One round of one side: each file timed, the best totals kept.
    auto round = [&](const char *tag, auto move, double &best, double &bestSmall) {
        auto pairs = MakeSources(tag, bytes);
        double all = 0, small = 0;
        for (size_t i = 0; i < pairs.size(); ++i) {
            const double t0 = BenchNow();
            ok &= move(pairs[i]);
            const double t = BenchNow() - t0;
            all += t;
            if (kSizes[i / kCopiesEach] <= 65536) small += t;
        }
        best = std::min(best, all);
        bestSmall = std::min(bestSmall, small);
        for (const auto &p : pairs) DeleteFileA(p.to.c_str());
    };
    for (int r = 0; r < kRounds; ++r) {
        round("lib", [](const Pair &p) { return FileMove(p.from.c_str(), p.to.c_str(), 1) == 1; }, lib, libSmall);
        round("plain", [](const Pair &p) {
            return CopyFileA(p.from.c_str(), p.to.c_str(), FALSE) && DeleteFileA(p.from.c_str());
        }, plain, plainSmall);
    }
    unsigned long total = 0;
    for (DWORD size : kSizes) total += size * kCopiesEach;
    std::printf("%d files, %.1f MB per round, best of %d interleaved rounds\n",
                int(std::size(kSizes)) * kCopiesEach, total / 1048576.0, kRounds);
    std::printf("  FileMove                   %8.1f ms\n", lib * 1e3);
    std::printf("  CopyFileA + DeleteFileA    %8.1f ms\n", plain * 1e3);
    std::printf("  files up to 64 KB: FileMove %.1f ms, CopyFileA + DeleteFileA %.1f ms (ratio %.2f)\n",
                libSmall * 1e3, plainSmall * 1e3, libSmall / plainSmall);
    std::printf("  files of 1 to 8 MB: FileMove %.1f ms, CopyFileA + DeleteFileA %.1f ms (ratio %.2f)\n",
                (lib - libSmall) * 1e3, (plain - plainSmall) * 1e3, (lib - libSmall) / (plain - plainSmall));
    std::printf("  the same large files moved by a plain ReadFile/WriteFile loop: blocks of 65534 bytes %.1f ms, "
                "of 65536 bytes %.1f ms\n", PlainLarge(65534, bytes) * 1e3, PlainLarge(65536, bytes) * 1e3);
    std::printf("ratio FileMove %.3f 1.1 max\n", lib / plain);
    if (!ok) std::printf("a move or a copy failed\n");
    return ok ? 0 : 1;
}
