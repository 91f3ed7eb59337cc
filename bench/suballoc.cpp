// Sub-allocator against one locked global-memory block per piece: rounds of
// N small allocations followed by freeing them all, side by side in one run.
//   bench_suballoc [pieces-per-round] [rounds]
#include "dadada32.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

double Seconds(LARGE_INTEGER a, LARGE_INTEGER b, LARGE_INTEGER f) { return double(b.QuadPart - a.QuadPart) / f.QuadPart; }

template <class Alloc, class Free>
double Run(DWORD pieces, DWORD rounds, Alloc alloc, Free release)
{
    std::vector<void *> p(pieces);
    LARGE_INTEGER f, a, b;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&a);
    for (DWORD r = 0; r < rounds; ++r) {
        for (DWORD i = 0; i < pieces; ++i) p[i] = alloc(16 + (i * 7) % 48);
        for (DWORD i = 0; i < pieces; ++i) release(p[i]);
    }
    QueryPerformanceCounter(&b);
    return Seconds(a, b, f);
}

} // namespace

int main(int argc, char **argv)
{
    DWORD pieces = argc > 1 ? std::strtoul(argv[1], nullptr, 0) : 1000;
    DWORD rounds = argc > 2 ? std::strtoul(argv[2], nullptr, 0) : 50;
    double sub = Run(pieces, rounds, MemorySubAlloc, MemorySubFree);
    double global = Run(pieces, rounds,
        [](DWORD n) { return GlobalLock(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, n)); },
        [](void *p) { HGLOBAL h = GlobalHandle(p); GlobalUnlock(h); GlobalFree(h); });
    std::printf("%lu pieces x %lu rounds: sub-allocator %.3f s, global memory %.3f s, ratio %.2f\n",
                (unsigned long)pieces, (unsigned long)rounds, sub, global, sub / global);
    return 0;
}
