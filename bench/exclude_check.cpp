// ExcludeCheck with a 50-item list against the same paths run through 50
// bare NameWildcardMatch calls each, side by side; and a count of the heap
// allocations the library makes while checking (there must be none).
#include "bench_clock.h"
#include "dadada32.h"
#include "testkit/alloccount.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kItems = 50;
constexpr int kPaths = 100000;
constexpr int kRounds = 11;   // the best of each side counts (the machine may be shared)

unsigned Next(unsigned &seed) { seed = seed * 1103515245u + 12345u; return seed >> 16; }

ExcludeItem Item(const std::string &folder, const std::string &pattern, DWORD subfolders)
{
    ExcludeItem item{};
    std::strcpy(item.folder, folder.c_str());
    std::strcpy(item.pattern, pattern.c_str());
    item.mask = 1;
    item.subfolders = subfolders;
    return item;
}

// 15 folders, 10 drive-less folders, 15 name patterns, 10 folder patterns
// with subfolders.
std::vector<ExcludeItem> Items()
{
    std::vector<ExcludeItem> items;
    for (int i = 0; i < 15; ++i) items.push_back(Item("C:\\data\\proj" + std::to_string(i), "", i & 1));
    for (int i = 0; i < 10; ++i) items.push_back(Item("\\share" + std::to_string(i), "", 1));
    for (int i = 0; i < 15; ++i) items.push_back(Item("", "*.ex" + std::to_string(i) + ";cache" + std::to_string(i) + ".*", 0));
    for (int i = 0; i < 10; ++i) items.push_back(Item("D:\\work\\area" + std::to_string(i), "*.tmp;*.bak", 1));
    return items;
}

std::vector<std::string> Paths()
{
    static const char *const roots[] = {"C:\\data\\proj", "C:\\users\\u", "E:\\share", "D:\\work\\area",
                                        "\\\\srv\\vol\\share", "C:\\program files\\app"};
    static const char *const exts[] = {"doc", "txt", "exe", "tmp", "dll", "ex3", "bak", "jpg"};
    std::vector<std::string> paths;
    unsigned seed = 42;
    for (int i = 0; i < kPaths; ++i) {
        std::string p = roots[Next(seed) % 6] + std::to_string(Next(seed) % 30);
        for (unsigned depth = Next(seed) % 4; depth; --depth) p += "\\sub" + std::to_string(Next(seed) % 5);
        p += "\\file" + std::to_string(Next(seed) % 1000) + "." + exts[Next(seed) % 8];
        paths.push_back(p);
    }
    return paths;
}

} // namespace

int main()
{
    EXCLUDEHANDLE list = nullptr;
    ExcludeStorageHook hook{0, [](UINT_PTR, DWORD, DWORD op, UINT_PTR data) -> DWORD WINAPI {
        if (op == EXCLUDE_OP_GETCOUNT) *reinterpret_cast<DWORD *>(data) = 0;
        return 1;
    }};
    if (ExcludeOpenEx(&list, nullptr, &hook) != EXCLUDE_OK) return 1;
    const auto items = Items();
    for (const auto &item : items)
        if (ExcludeAdd(list, &item) != EXCLUDE_OK) return 1;
    std::vector<const char *> patterns;
    for (const auto &item : items) patterns.push_back(item.pattern[0] ? item.pattern : "*.*");
    const auto paths = Paths();

    double best = 0, bestBare = 0;
    long covered = 0, matched = 0;
    for (int round = 0; round < kRounds; ++round) {
        covered = 0;
        double t0 = BenchNow();
        for (const auto &p : paths) covered += ExcludeCheck(list, p.c_str(), 1) == EXCLUDE_COVERED;
        double rate = kPaths / (BenchNow() - t0);

        matched = 0;
        t0 = BenchNow();
        for (const auto &p : paths) {
            const char *name = std::strrchr(p.c_str(), '\\') + 1;
            for (const char *pattern : patterns) matched += NameWildcardMatch(pattern, name) != 0;
        }
        double bare = kPaths / (BenchNow() - t0);
        if (rate > best) best = rate;
        if (bare > bestBare) bestBare = bare;
    }

    // Where the time goes: the same paths against a list whose one item has
    // another mask (the path split alone, nothing matched), and against 50
    // bare name patterns (every item a pattern match, as in the bare loop).
    auto rateOf = [&](EXCLUDEHANDLE l) {
        double r = 0;
        for (int round = 0; round < kRounds; ++round) {
            double t0 = BenchNow();
            for (const auto &p : paths) ExcludeCheck(l, p.c_str(), 1);
            r = std::max(r, kPaths / (BenchNow() - t0));
        }
        return r;
    };
    EXCLUDEHANDLE splitOnly = nullptr, patternsOnly = nullptr;
    ExcludeOpenEx(&splitOnly, nullptr, &hook);
    ExcludeOpenEx(&patternsOnly, nullptr, &hook);
    ExcludeItem other = Item("C:\\x", "", 0);
    other.mask = 2;
    ExcludeAdd(splitOnly, &other);
    for (int i = 0; i < kItems; ++i) {
        ExcludeItem item = Item("", "*.ex" + std::to_string(i) + ";cache" + std::to_string(i) + ".*", 0);
        ExcludeAdd(patternsOnly, &item);
    }
    const double split = rateOf(splitOnly), onlyPatterns = rateOf(patternsOnly);
    ExcludeClose(&splitOnly, 0);
    ExcludeClose(&patternsOnly, 0);

    dadatest::AllocationCounter counter(GetModuleHandleA("DADADA32.dll"));
    for (const auto &p : paths) ExcludeCheck(list, p.c_str(), 1);
    LONG allocations = counter.Count();

    std::printf("ExcludeCheck, %d items, %d paths (%ld covered), best of %d rounds\n", kItems, kPaths, covered, kRounds);
    std::printf("ExcludeCheck          %10.0f checks/s\n", best);
    std::printf("50 x NameWildcardMatch %9.0f paths/s (%ld matches)\n", bestBare, matched);
    std::printf("ratio check / bare matching %.2f\n", best / bestBare);
    std::printf("  path split alone (one item of another mask) %10.0f checks/s: %.0f ns of %.0f ns per check\n",
                split, 1e9 / split, 1e9 / best);
    std::printf("  50 bare name-pattern items               %10.0f checks/s, ratio to the bare loop %.2f\n",
                onlyPatterns, onlyPatterns / bestBare);
    std::printf("ratio ExcludeCheck %.3f 1.0 min\n", best / bestBare);
    std::printf("ratio ExcludeCheckPatternsOnly %.3f - min\n", onlyPatterns / bestBare);
    std::printf("heap allocations by the library during %d checks: %ld (%d import slots watched)\n", kPaths,
                allocations, counter.Redirected());
    ExcludeClose(&list, 0);
    return allocations == 0 && counter.Redirected() > 0 ? 0 : 1;
}
