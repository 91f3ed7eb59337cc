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

} // namespace

int main()
{
    std::vector<char> bytes(*std::max_element(std::begin(kSizes), std::end(kSizes)));
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = char(i * 7 + (i >> 9));
    double lib = 1e9, plain = 1e9;
    bool ok = true;
    for (int r = 0; r < kRounds; ++r) {
        auto pairs = MakeSources("lib", bytes);
        double t0 = BenchNow();
        for (const auto &p : pairs) ok &= FileMove(p.from.c_str(), p.to.c_str(), 1) == 1;
        lib = std::min(lib, BenchNow() - t0);
        for (const auto &p : pairs) DeleteFileA(p.to.c_str());

        pairs = MakeSources("plain", bytes);
        t0 = BenchNow();
        for (const auto &p : pairs)
            ok &= CopyFileA(p.from.c_str(), p.to.c_str(), FALSE) && DeleteFileA(p.from.c_str());
        plain = std::min(plain, BenchNow() - t0);
        for (const auto &p : pairs) DeleteFileA(p.to.c_str());
    }
    unsigned long total = 0;
    for (DWORD size : kSizes) total += size * kCopiesEach;
    std::printf("%d files, %.1f MB per round, best of %d interleaved rounds\n",
                int(std::size(kSizes)) * kCopiesEach, total / 1048576.0, kRounds);
    std::printf("  FileMove                   %8.1f ms\n", lib * 1e3);
    std::printf("  CopyFileA + DeleteFileA    %8.1f ms\n", plain * 1e3);
    std::printf("ratio FileMove %.3f 1.1 max\n", lib / plain);
    if (!ok) std::printf("a move or a copy failed\n");
    return ok ? 0 : 1;
}
