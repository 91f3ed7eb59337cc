// Walking folder trees with FindAllFiles.
#include <gtest/gtest.h>
#include "dadada32.h"
#include "testutil.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Rec {
    DWORD kind;
    std::string path, name;
    DWORD size = 0, attributes = 0;
    bool operator==(const Rec &o) const { return kind == o.kind && path == o.path && name == o.name; }
    bool operator<(const Rec &o) const { return std::tie(path, name, kind) < std::tie(o.path, o.name, o.kind); }
};
std::ostream &operator<<(std::ostream &os, const Rec &r) { return os << r.kind << ":" << r.path << "|" << r.name; }

DWORD WINAPI Collect(FindFileRecord *r);
struct Walk {   // every record of one FindAllFiles call; the procedure answers 0 at record `stopAt`
    std::vector<Rec> recs;
    int stopAt;
    bool pathTerminated = true;   // every path field ended within its 260 bytes
    Walk(const std::string &folder, DWORD recurse, int stop = -1) : stopAt(stop)
    {
        EXPECT_EQ(1, FindAllFiles(folder.c_str(), recurse, Collect, reinterpret_cast<UINT_PTR>(this)));
    }
    size_t count(DWORD kind, const char *name = nullptr) const
    {
        return std::count_if(recs.begin(), recs.end(), [&](const Rec &r) { return name ? r.name == name : r.kind == kind; });
    }
    std::vector<Rec> sorted() const { auto v = recs; std::sort(v.begin(), v.end()); return v; }
};
DWORD WINAPI Collect(FindFileRecord *r)
{
    auto *w = reinterpret_cast<Walk *>(r->userValue);
    w->pathTerminated = w->pathTerminated && memchr(r->path, 0, sizeof r->path);
    w->recs.push_back({r->kind, std::string(r->path, strnlen(r->path, sizeof r->path)), r->name, r->sizeLow, r->attributes});
    return int(w->recs.size()) - 1 == w->stopAt ? 0 : 1;
}

// Folders and one-byte files of any path length, through the long-path wide calls.
std::wstring Long(const std::string &p) { return L"\\\\?\\" + std::wstring(p.begin(), p.end()); }
bool Make(const std::string &path, bool folder = false)
{
    if (folder) return CreateDirectoryW(Long(path).c_str(), nullptr);
    HANDLE h = CreateFileW(Long(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD done;
    return h != INVALID_HANDLE_VALUE && WriteFile(h, "x", 1, &done, nullptr) && CloseHandle(h);
}
void RemoveLong(const std::wstring &path)
{
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((path + L"\\*").c_str(), &fd);
    for (bool more = h != INVALID_HANDLE_VALUE; more; more = FindNextFileW(h, &fd)) {
        std::wstring name = fd.cFileName, full = path + L"\\" + name;
        if (name == L"." || name == L"..") continue;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveLong(full);
        else DeleteFileW(full.c_str());
    }
    if (h != INVALID_HANDLE_VALUE) FindClose(h);
    RemoveDirectoryW(path.c_str());
}

// A tree whose paths may pass the ANSI limit, removed at the end.
struct LongTree {
    explicit LongTree(std::string r) : root(std::move(r)) { Make(root, true); }
    ~LongTree() { RemoveLong(Long(root)); }
    std::string Chain(size_t length) const   // nested folders until the path is `length` characters
    {
        std::string p = root;
        while (p.size() + 1 < length) {
            size_t left = length - p.size();
            if (!Make(p += "\\" + std::string(left > 32 ? 30 : left - 1, 'p'), true)) break;
        }
        return p;
    }
    std::string root;
};

class FindTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char *f : {"sub", "sub\\deeper", "empty"}) ASSERT_TRUE(Make(d_ + "\\" + f, true));
        for (const char *f : {"a.txt", "sub\\f", "sub\\deeper\\g", "hidden"}) ASSERT_TRUE(Make(d_ + "\\" + f));
        SetFileAttributesA((d_ + "\\hidden").c_str(), FILE_ATTRIBUTE_HIDDEN);
    }
    dadatest::TempDir dir_;
    std::string d_ = dir_.path();
};

TEST_F(FindTest, FlatWalkReportsEveryEntryOnce)
{
    const std::vector<Rec> want = {{0, d_, "a.txt"}, {1, d_, "empty"}, {0, d_, "hidden"}, {1, d_, "sub"}};
    for (const auto &[folder, recurse] : {std::pair{d_, 0}, {d_ + "\\", 0}, {d_, 2} /* only exactly 1 recurses */}) {
        Walk w(folder, recurse);
        EXPECT_EQ(want, w.sorted()) << folder << " " << recurse;
        for (const Rec &r : w.recs) {
            EXPECT_EQ(r.kind == 0 ? 1u : 0u, r.size) << r.name;
            DWORD bits = r.name == "hidden" ? KVATTR_HIDDEN : r.kind == 1 ? KVATTR_DIRECTORY : 0;
            EXPECT_EQ(bits, r.attributes & (KVATTR_HIDDEN | KVATTR_DIRECTORY)) << r.name;
        }
    }
}

TEST_F(FindTest, RecursiveWalkNestsFolderRecordsAndStops)
{
    Walk w(d_, 1);
    std::vector<Rec> want = {
        {0, d_, "a.txt"}, {1, d_, "empty"}, {2, d_, ""}, {2, d_, ""}, {0, d_, "hidden"}, {1, d_, "sub"},
        {1, d_ + "\\sub", "deeper"}, {0, d_ + "\\sub", "f"}, {2, d_ + "\\sub", ""}, {0, d_ + "\\sub\\deeper", "g"},
    };
    std::sort(want.begin(), want.end());
    ASSERT_EQ(want, w.sorted());
    for (size_t i = 0; i < w.recs.size(); ++i) {   // a folder record, its contents, an end record naming its parent
        if (w.recs[i].kind != 1) continue;
        std::string inside = w.recs[i].path + "\\" + w.recs[i].name;
        size_t j = i + 1;
        while (j < w.recs.size() && w.recs[j].path.rfind(inside, 0) == 0) ++j;
        ASSERT_LT(j, w.recs.size()) << inside;
        EXPECT_EQ((Rec{2, w.recs[i].path, ""}), w.recs[j]) << inside;
    }
    for (size_t stop = 0; stop < w.recs.size(); ++stop) {   // the procedure's 0 ends the walk at once
        Walk part(d_, 1, int(stop));
        ASSERT_EQ(stop + 1, part.recs.size());
        EXPECT_TRUE(std::equal(part.recs.begin(), part.recs.end(), w.recs.begin()));
    }
}

TEST_F(FindTest, CallerValueAndBadArguments)
{
    static UINT_PTR seen;
    auto proc = [](FindFileRecord *r) WINAPI -> DWORD { seen = r->userValue; return 0; };
    UINT_PTR value = UINT_PTR(sizeof(UINT_PTR) == 8 ? 0x123456789ABCull : 0x89ABCDEFu);
    EXPECT_EQ(1, FindAllFiles(d_.c_str(), 1, proc, value));
    EXPECT_EQ(value, seen);
    EXPECT_EQ(0, FindAllFiles(nullptr, 1, proc, 0));
    EXPECT_EQ(0, FindAllFiles(d_.c_str(), 1, nullptr, 0));
    EXPECT_TRUE(Walk(d_ + "\\missing", 1).recs.empty());
    EXPECT_TRUE(Walk(std::string(600, 'x'), 1).recs.empty());
    for (const Rec &r : Walk("C:\\", 0).recs) EXPECT_EQ("C:", r.path);
}

TEST(FindAllFiles, PathOf260CharactersIsLeftWithKind3)
{
    dadatest::TempDir dir;
    LongTree tree(dir.file("t"));
    std::string parent = tree.Chain(240), longDir = parent + "\\" + std::string(30, 'q');
    ASSERT_GE(longDir.size(), 260u);
    ASSERT_TRUE(Make(longDir, true) && Make(longDir + "\\f1") && Make(longDir + "\\f2") && Make(parent + "\\after"));

    Walk w(tree.root, 1);
    EXPECT_FALSE(w.pathTerminated);   // the 260-byte path field is full
    auto at = std::find_if(w.recs.begin(), w.recs.end(), [](const Rec &r) { return r.kind == 3; });
    ASSERT_TRUE(at != w.recs.end() && at + 1 != w.recs.end());
    EXPECT_EQ(longDir.substr(0, 260), at->path);
    EXPECT_TRUE(at->name == "f1" || at->name == "f2");
    EXPECT_EQ((Rec{2, parent, at->name}), at[1]);   // the end record keeps the other fields
    EXPECT_EQ(1u, w.count(3));
    EXPECT_EQ(1u, w.count(0, "after"));
    Walk top(longDir, 1);   // started there: one kind-3 record and the walk is over
    ASSERT_EQ(1u, top.recs.size());
    EXPECT_EQ(3u, top.recs[0].kind);
}

TEST(FindAllFiles, NameTooLongForTheBufferIsNotEntered)
{
    dadatest::TempDir dir;
    LongTree tree(dir.file("n"));
    std::string parent = tree.Chain(258), hname(255, 'h'), huge = parent + "\\" + hname;
    ASSERT_EQ(258u, parent.size());
    ASSERT_TRUE(Make(huge, true) && Make(huge + "\\inside") && Make(parent + "\\sibling"));
    Walk w(tree.root, 1);
    EXPECT_TRUE(w.pathTerminated);
    EXPECT_EQ(0u, w.count(3));
    EXPECT_EQ(0u, w.count(0, "inside"));
    EXPECT_EQ(1u, w.count(0, hname.c_str()));
    EXPECT_EQ(1u, w.count(0, "sibling"));
}

TEST(FindAllFiles, TreeDeeperThan120LevelsStopsDescending)
{
    LongTree tree("C:\\dq" + std::to_string(GetCurrentProcessId()));   // short root: 125 levels fit in 260
    std::string p = tree.root;
    for (int level = 1; level <= 125; ++level) ASSERT_TRUE(Make(p += "\\a", true)) << level;
    Walk w(tree.root, 1);
    EXPECT_EQ(120u, w.count(1));
    EXPECT_EQ(119u, w.count(2));
    EXPECT_EQ(tree.root, w.recs.back().path);   // the walk climbed back to the top
}

TEST(SysAttrToKvAttr, BitTable)
{
    const std::pair<DWORD, DWORD> cases[] = {{0x31, 0x13}, {0x100, 0}, {0, 0}, {0x20, 0x01}, {0x10, 0x02}, {0x02, 0x04},
                                             {0x80, 0x08}, {0x01, 0x10}, {0x04, 0x20}, {0xFFFFFFFF, 0x3F}, {0x802, 0x04}};
    for (auto [win32, kv] : cases) {
        DWORD out = 0xDEAD;
        SysAttrToKvAttr(win32, &out);
        EXPECT_EQ(kv, out) << std::hex << win32;
    }
    SysAttrToKvAttr(0x10, nullptr);   // no result address: nothing happens
}

} // namespace
