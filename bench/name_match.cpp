// NameWildcardMatch against shlwapi's PathMatchSpecA over the same 100 000
// generated names and a handful of pattern lists, side by side.  The two do
// not share every rule ('*' stops at a dot here), so the match counts are
// printed too: the comparison is of speed over the same work.
#include "dadada32.h"
#include "bench_clock.h"

#include <shlwapi.h>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kNames = 100000;

std::vector<std::string> MakeNames()
{
    static const char *const exts[] = {".exe", ".TXT", ".com", ".dll", ".tar.gz", "", ".sys", ".Bat", ".txt"};
    static const char chars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJ0123456789_-";
    unsigned seed = 12345;
    auto next = [&] { seed = seed * 1103515245u + 12345u; return (seed >> 16) & 0x7FFF; };
    std::vector<std::string> names;
    names.reserve(kNames);
    for (int i = 0; i < kNames; ++i) {
        std::string n;
        for (unsigned len = 1 + next() % 12; len; --len) n += chars[next() % (sizeof chars - 1)];
        n += exts[next() % (sizeof exts / sizeof *exts)];
        names.push_back(n);
    }
    return names;
}

template <class Match> double Time(const std::vector<std::string> &names, Match match, int &hits)
{
    double best = 1e9;
    for (int round = 0; round < 5; ++round) {
        hits = 0;
        double t0 = BenchNow();
        for (const std::string &n : names) hits += match(n.c_str()) ? 1 : 0;
        double t = BenchNow() - t0;
        if (t < best) best = t;
    }
    return best;
}

} // namespace

int main()
{
    const std::vector<std::string> names = MakeNames();
    const char *const lists[] = {
        "*.exe", "*.exe;*.com;*.bat", "a*.t?t", "*.*", "setup?.exe;read*;*.dll;*.sys;*.vxd;*.386",
    };
    std::printf("%d names, best of 5 rounds, nanoseconds per name\n", kNames);
    std::printf("%-42s %10s %10s %8s %8s %7s\n", "patterns", "ours", "shlwapi", "hits", "hits", "ratio");
    for (const char *list : lists) {
        int ourHits = 0, theirHits = 0;
        double ours = Time(names, [&](const char *n) { return NameWildcardMatch(list, n); }, ourHits);
        double theirs = Time(names, [&](const char *n) { return PathMatchSpecA(n, list); }, theirHits);
        std::printf("%-42s %10.1f %10.1f %8d %8d %6.1fx\n", list, ours * 1e9 / kNames,
                    theirs * 1e9 / kNames, ourHits, theirHits, theirs / ours);
    }
    return 0;
}
