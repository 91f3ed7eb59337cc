// Loading large exclusion profiles: ExcludeOpenEx on profiles of 1 000 to
// 100 000 items, then 100 checks against the loaded list, beside the
// plain Win32 floor (the section read in one GetPrivateProfileSectionA) and,
// for the smaller profiles, one GetPrivateProfileStringA per item.
#include "dadada32.h"
#include "bench_clock.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string WriteProfile(int items)
{
    std::string path = BenchTempPath("bench_exclude_" + std::to_string(items) + ".ini");
    std::string body = "[ExcludedItems]\r\nNumExcludeItems=" + std::to_string(items) + "\r\n";
    for (int i = 0; i < items; ++i)
        body += "ExcludedItem_" + std::to_string(i) + "=C:\\data\\f" + std::to_string(i) + "|*.t" +
                std::to_string(i % 7) + "|1|" + std::to_string(i % 2) + "\r\n";
    HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(f, body.data(), DWORD(body.size()), &written, nullptr);
    CloseHandle(f);
    return path;
}

} // namespace

int main()
{
    std::printf("%8s %12s %12s %14s %14s %10s\n", "items", "open s", "checks s", "section read s", "per-key read s",
                "open/floor");
    for (int items : {1000, 10000, 100000}) {
        const std::string ini = WriteProfile(items);
        double t0 = BenchNow();
        EXCLUDEHANDLE h = nullptr;
        if (ExcludeOpenEx(&h, ini.c_str(), nullptr) != EXCLUDE_OK || ExcludeGetCount(h) != DWORD(items)) return 1;
        const double open = BenchNow() - t0;
        t0 = BenchNow();
        long covered = 0;
        for (int i = 0; i < 100; ++i) {
            const int j = i * 997 % items;   // spread over the list; each path is covered
            covered += ExcludeCheck(h, ("C:\\data\\f" + std::to_string(j) + "\\x.t" + std::to_string(j % 7)).c_str(),
                                    1) == EXCLUDE_COVERED;
        }
        const double checks = BenchNow() - t0;
        ExcludeClose(&h, 0);

        t0 = BenchNow();
        std::vector<char> section(size_t(items) * 64 + 4096);
        GetPrivateProfileSectionA("ExcludedItems", section.data(), DWORD(section.size()), ini.c_str());
        const double floor = BenchNow() - t0;

        double perKey = -1;
        if (items <= 10000) {
            t0 = BenchNow();
            char value[260];
            for (int i = 0; i < items; ++i)
                GetPrivateProfileStringA("ExcludedItems", ("ExcludedItem_" + std::to_string(i)).c_str(), "", value,
                                         sizeof value, ini.c_str());
            perKey = BenchNow() - t0;
        }
        std::printf("%8d %12.3f %12.3f %14.3f %14.3f %10.1f  (%ld covered)\n", items, open, checks, floor, perKey,
                    open / floor, covered);
        DeleteFileA(ini.c_str());
    }
    return 0;
}
