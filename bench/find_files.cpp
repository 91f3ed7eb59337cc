// FindAllFiles against a plain recursive FindFirstFileA/FindNextFileA walk
// that does the same work (a record per entry, the same path handling), over
// a generated tree of about 20 000 files.
#include "dadada32.h"
#include "bench_clock.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr int kTop = 20, kSub = 10, kFiles = 100;   // 20 000 files, 220 folders

struct Tally { unsigned long records = 0, bytes = 0; };

DWORD WINAPI Count(FindFileRecord *r)
{
    auto *t = reinterpret_cast<Tally *>(r->userValue);
    ++t->records;
    t->bytes += r->sizeLow;
    return 1;
}

// The same work without the library: fill a record per entry and hand it on.
void PlainWalk(std::string &dir, Tally &t)
{
    WIN32_FIND_DATAA fd;
    size_t len = dir.size();
    dir += "\\*.*";
    HANDLE h = FindFirstFileA(dir.c_str(), &fd);
    dir.resize(len);
    if (h == INVALID_HANDLE_VALUE) return;
    do {
        if (!std::strcmp(fd.cFileName, ".") || !std::strcmp(fd.cFileName, "..")) continue;
        FindFileRecord rec;
        std::memset(&rec, 0, sizeof rec);
        rec.kind = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 1 : 0;
        std::memcpy(rec.path, dir.c_str(), dir.size() < 260 ? dir.size() : 260);
        std::strcpy(rec.name, fd.cFileName);
        rec.userValue = reinterpret_cast<UINT_PTR>(&t);
        rec.sizeLow = fd.nFileSizeLow;
        SysAttrToKvAttr(fd.dwFileAttributes, &rec.attributes);
        rec.creationTime = fd.ftCreationTime;
        rec.lastAccessTime = fd.ftLastAccessTime;
        rec.lastWriteTime = fd.ftLastWriteTime;
        Count(&rec);
        if (rec.kind == 1) {
            dir += "\\";
            dir += fd.cFileName;
            PlainWalk(dir, t);
            dir.resize(len);
            rec.kind = 2;
            Count(&rec);
        }
    } while (FindNextFileA(h, &fd));
    FindClose(h);
}

void MakeTree(const std::string &root)
{
    CreateDirectoryA(root.c_str(), nullptr);
    for (int a = 0; a < kTop; ++a) {
        std::string top = root + "\\top" + std::to_string(a);
        CreateDirectoryA(top.c_str(), nullptr);
        for (int b = 0; b < kSub; ++b) {
            std::string sub = top + "\\sub" + std::to_string(b);
            CreateDirectoryA(sub.c_str(), nullptr);
            for (int c = 0; c < kFiles; ++c) {
                std::string f = sub + "\\file" + std::to_string(c) + ".dat";
                HANDLE h = CreateFileA(f.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
                DWORD done;
                WriteFile(h, "data", 1 + c % 4, &done, nullptr);
                CloseHandle(h);
            }
        }
    }
}

DWORD WINAPI RemoveEntry(FindFileRecord *r)
{
    std::string full = std::string(r->path) + "\\" + r->name;
    if (r->kind == 0) DeleteFileA(full.c_str());
    return 1;
}

void RemoveTree(const std::string &root)
{
    FindAllFiles(root.c_str(), 1, RemoveEntry, 0);
    for (int a = 0; a < kTop; ++a) {
        std::string top = root + "\\top" + std::to_string(a);
        for (int b = 0; b < kSub; ++b) RemoveDirectoryA((top + "\\sub" + std::to_string(b)).c_str());
        RemoveDirectoryA(top.c_str());
    }
    RemoveDirectoryA(root.c_str());
}

} // namespace

int main()
{
    std::string root = BenchTempPath("dada_bench_tree");
    double t0 = BenchNow();
    MakeTree(root);
    std::printf("tree of %d files in %d folders made in %.1f s; best of 5 walks each\n",
                kTop * kSub * kFiles, kTop + kTop * kSub, BenchNow() - t0);

    double lib = 1e9, plain = 1e9;
    Tally libTally, plainTally;
    for (int round = 0; round < 5; ++round) {
        libTally = {};
        double s = BenchNow();
        FindAllFiles(root.c_str(), 1, Count, reinterpret_cast<UINT_PTR>(&libTally));
        double l = BenchNow() - s;
        plainTally = {};
        std::string dir = root;
        s = BenchNow();
        PlainWalk(dir, plainTally);
        double p = BenchNow() - s;
        if (l < lib) lib = l;
        if (p < plain) plain = p;
    }
    std::printf("FindAllFiles  %8.1f ms  %lu records  %lu bytes\n", lib * 1e3, libTally.records, libTally.bytes);
    std::printf("plain walk    %8.1f ms  %lu records  %lu bytes\n", plain * 1e3, plainTally.records, plainTally.bytes);
    std::printf("ratio (plain / FindAllFiles) %.2f\n", plain / lib);
    std::printf("ratio FindAllFiles %.3f - min\n", plain / lib);
    RemoveTree(root);
    return 0;
}
