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
    DWORD size, attributes;
    bool operator==(const Rec &o) const { return kind == o.kind && path == o.path && name == o.name; }
};

std::ostream &operator<<(std::ostream &os, const Rec &r)
{
    return os << "{" << r.kind << ", " << r.path << ", " << r.name << "}";
}

struct Walk {
    std::vector<Rec> recs;
    int stopAt = -1;               // answer 0 for this record index
    bool pathTerminated = true;    // every record path ended within 260 bytes
};

DWORD WINAPI Collect(FindFileRecord *r)
{
    auto *w = reinterpret_cast<Walk *>(r->userValue);
    w->pathTerminated = w->pathTerminated && memchr(r->path, 0, sizeof r->path);
    w->recs.push_back({r->kind, std::string(r->path, strnlen(r->path, sizeof r->path)), r->name,
                       r->sizeLow, r->attributes});
    return int(w->recs.size()) - 1 == w->stopAt ? 0 : 1;
}

Walk WalkTree(const std::string &folder, DWORD recurse, int stopAt = -1)
{
    Walk w;
    w.stopAt = stopAt;
    EXPECT_EQ(1, FindAllFiles(folder.c_str(), recurse, Collect, reinterpret_cast<UINT_PTR>(&w)));
    return w;
}

// Creates a folder of any length (the long-path form of the wide call).
bool MakeDir(const std::string &path)
{
    std::wstring w = L"\\\\?\\" + std::wstring(path.begin(), path.end());
    return CreateDirectoryW(w.c_str(), nullptr);
}

bool MakeFile(const std::string &path, const std::string &data = "x")
{
    std::wstring w = L"\\\\?\\" + std::wstring(path.begin(), path.end());
    HANDLE h = CreateFileW(w.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD done;
    WriteFile(h, data.data(), DWORD(data.size()), &done, nullptr);
    CloseHandle(h);
    return true;
}

// Removes a tree whose paths may pass the ANSI limit.
void RemoveLong(const std::wstring &path)
{
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((path + L"\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = fd.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring full = path + L"\\" + name;
            SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveLong(full);
            else DeleteFileW(full.c_str());
        } while (FindNextFileW(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryW(path.c_str());
}

class LongTree {
public:
    explicit LongTree(std::string root) : root_(std::move(root)) { MakeDir(root_); }
    ~LongTree() { RemoveLong(L"\\\\?\\" + std::wstring(root_.begin(), root_.end())); }
    const std::string &root() const { return root_; }
private:
    std::string root_;
};

class FindTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        d_ = dir_.path();
        ASSERT_TRUE(MakeFile(d_ + "\\a.txt", "abc"));
        ASSERT_TRUE(MakeDir(d_ + "\\sub"));
        ASSERT_TRUE(MakeFile(d_ + "\\sub\\f", "12345"));
        ASSERT_TRUE(MakeDir(d_ + "\\sub\\deeper"));
        ASSERT_TRUE(MakeFile(d_ + "\\sub\\deeper\\g"));
        ASSERT_TRUE(MakeDir(d_ + "\\empty"));
        ASSERT_TRUE(MakeFile(d_ + "\\hidden"));
        SetFileAttributesA((d_ + "\\hidden").c_str(), FILE_ATTRIBUTE_HIDDEN);
    }
    dadatest::TempDir dir_;
    std::string d_;
};

std::vector<Rec> Sorted(std::vector<Rec> v)
{
    std::sort(v.begin(), v.end(), [](const Rec &a, const Rec &b) {
        return std::tie(a.path, a.name, a.kind) < std::tie(b.path, b.name, b.kind);
    });
    return v;
}

TEST_F(FindTest, FlatWalkReportsEveryEntryOnce)
{
    for (std::string folder : {d_, d_ + "\\"}) {
        Walk w = WalkTree(folder, 0);
        std::vector<Rec> want = {
            {0, d_, "a.txt", 0, 0}, {1, d_, "empty", 0, 0}, {0, d_, "hidden", 0, 0}, {1, d_, "sub", 0, 0},
        };
        EXPECT_EQ(want, Sorted(w.recs)) << folder;
        for (const Rec &r : w.recs) {
            DWORD wantSize = r.name == "a.txt" ? 3 : r.kind == 0 ? 1 : 0;
            DWORD wantBit = r.name == "hidden" ? KVATTR_HIDDEN : r.kind == 1 ? KVATTR_DIRECTORY : 0;
            EXPECT_EQ(wantSize, r.size) << r.name;
            EXPECT_EQ(wantBit, r.attributes & (KVATTR_HIDDEN | KVATTR_DIRECTORY)) << r.name;
        }
    }
    // any recurse value other than exactly 1 stays flat
    EXPECT_EQ(4u, WalkTree(d_, 2).recs.size());
}

TEST_F(FindTest, RecursiveWalkNestsFolderRecords)
{
    Walk w = WalkTree(d_, 1);
    std::vector<Rec> all = Sorted(w.recs);
    std::vector<Rec> want = {
        {0, d_, "a.txt", 0, 0}, {1, d_, "empty", 0, 0}, {2, d_, "", 0, 0}, {2, d_, "", 0, 0},
        {0, d_, "hidden", 0, 0}, {1, d_, "sub", 0, 0}, {1, d_ + "\\sub", "deeper", 0, 0},
        {0, d_ + "\\sub", "f", 0, 0}, {2, d_ + "\\sub", "", 0, 0}, {0, d_ + "\\sub\\deeper", "g", 0, 0},
    };
    ASSERT_EQ(Sorted(want), all);
    // Every folder record is followed by its contents and then by the end
    // record that names the folder's parent.
    for (size_t i = 0; i < w.recs.size(); ++i) {
        if (w.recs[i].kind != 1) continue;
        std::string inside = w.recs[i].path + "\\" + w.recs[i].name;
        size_t j = i + 1;
        while (j < w.recs.size() && w.recs[j].path.rfind(inside, 0) == 0) ++j;
        ASSERT_LT(j, w.recs.size()) << inside;
        EXPECT_EQ((Rec{2, w.recs[i].path, "", 0, 0}), w.recs[j]) << inside;
    }
}

TEST_F(FindTest, ProcedureStopsTheWalk)
{
    Walk all = WalkTree(d_, 1);
    for (size_t stop = 0; stop < all.recs.size(); ++stop) {
        Walk w = WalkTree(d_, 1, int(stop));
        ASSERT_EQ(stop + 1, w.recs.size());
        EXPECT_TRUE(std::equal(w.recs.begin(), w.recs.end(), all.recs.begin()));
    }
}

TEST_F(FindTest, CallerValueAndBadArguments)
{
    struct Probe { UINT_PTR seen = 0; };
    static Probe probe;
    auto proc = [](FindFileRecord *r) WINAPI -> DWORD { probe.seen = r->userValue; return 0; };
    UINT_PTR value = sizeof(UINT_PTR) == 8 ? UINT_PTR(0x123456789ABCull) : UINT_PTR(0x89ABCDEFu);
    EXPECT_EQ(1, FindAllFiles(d_.c_str(), 1, proc, value));
    EXPECT_EQ(value, probe.seen);

    EXPECT_EQ(0, FindAllFiles(nullptr, 1, proc, 0));
    EXPECT_EQ(0, FindAllFiles(d_.c_str(), 1, nullptr, 0));
    EXPECT_TRUE(WalkTree(d_ + "\\missing", 1).recs.empty());
    EXPECT_TRUE(WalkTree(std::string(600, 'x'), 1).recs.empty());
}

TEST(FindAllFiles, DriveRootHasNoTrailingBackslash)
{
    Walk w = WalkTree("C:\\", 0);
    ASSERT_FALSE(w.recs.empty());
    for (const Rec &r : w.recs) EXPECT_EQ("C:", r.path);
}

TEST(FindAllFiles, PathOf260CharactersIsLeftWithKind3)
{
    dadatest::TempDir dir;
    LongTree tree(dir.file("t"));
    std::string parent = tree.root();
    while (parent.size() < 240) {
        parent += "\\" + std::string(20, 'p');
        ASSERT_TRUE(MakeDir(parent));
    }
    std::string longDir = parent + "\\" + std::string(30, 'q');
    ASSERT_GE(longDir.size(), 260u);
    ASSERT_TRUE(MakeDir(longDir));
    ASSERT_TRUE(MakeFile(longDir + "\\f1"));
    ASSERT_TRUE(MakeFile(longDir + "\\f2"));
    ASSERT_TRUE(MakeFile(parent + "\\after"));

    Walk w = WalkTree(tree.root(), 1);
    EXPECT_TRUE(w.pathTerminated == false);   // the 260-byte path field is full
    auto at = std::find_if(w.recs.begin(), w.recs.end(), [](const Rec &r) { return r.kind == 3; });
    ASSERT_NE(at, w.recs.end());
    EXPECT_EQ(longDir.substr(0, 260), at->path);
    EXPECT_TRUE(at->name == "f1" || at->name == "f2");
    ASSERT_NE(at + 1, w.recs.end());
    EXPECT_EQ(2u, (at + 1)->kind);
    EXPECT_EQ(parent, (at + 1)->path);
    EXPECT_EQ(at->name, (at + 1)->name);   // the end record keeps the other fields
    EXPECT_EQ(1, std::count_if(w.recs.begin(), w.recs.end(), [](const Rec &r) { return r.kind == 3; }));
    EXPECT_EQ(1, std::count_if(w.recs.begin(), w.recs.end(),
                               [](const Rec &r) { return r.name == "after"; }));
}

TEST(FindAllFiles, NameTooLongForTheBufferIsNotEntered)
{
    dadatest::TempDir dir;
    LongTree tree(dir.file("n"));
    std::string parent = tree.root();
    while (parent.size() < 258) {
        parent += "\\" + std::string(std::min<size_t>(30, 258 - parent.size() - 1), 'p');
        ASSERT_TRUE(MakeDir(parent));
    }
    ASSERT_EQ(258u, parent.size());
    std::string huge = parent + "\\" + std::string(255, 'h');
    ASSERT_TRUE(MakeDir(huge));
    ASSERT_TRUE(MakeFile(huge + "\\inside"));
    ASSERT_TRUE(MakeFile(parent + "\\sibling"));

    Walk w = WalkTree(tree.root(), 1);
    EXPECT_TRUE(w.pathTerminated);
    int folderRecs = 0;
    for (const Rec &r : w.recs) {
        EXPECT_NE("inside", r.name);
        EXPECT_NE(3u, r.kind);
        if (r.name == std::string(255, 'h')) ++folderRecs;
    }
    EXPECT_EQ(1, folderRecs);
    EXPECT_EQ(1, std::count_if(w.recs.begin(), w.recs.end(),
                               [](const Rec &r) { return r.name == "sibling"; }));
}

TEST(FindAllFiles, TreeDeeperThan120LevelsStopsDescending)
{
    // A short root keeps 125 levels of one-letter folders under 260 characters.
    LongTree tree("C:\\dq" + std::to_string(GetCurrentProcessId()));
    std::string p = tree.root();
    for (int level = 1; level <= 125; ++level) {
        p += "\\a";
        ASSERT_TRUE(CreateDirectoryA(p.c_str(), nullptr)) << level;
    }
    ASSERT_LT(p.size(), 260u);
    Walk w = WalkTree(tree.root(), 1);
    EXPECT_EQ(120, std::count_if(w.recs.begin(), w.recs.end(), [](const Rec &r) { return r.kind == 1; }));
    EXPECT_EQ(119, std::count_if(w.recs.begin(), w.recs.end(), [](const Rec &r) { return r.kind == 2; }));
    EXPECT_EQ(tree.root(), w.recs.back().path);   // the walk climbed back to the top
}

TEST(SysAttrToKvAttr, BitTable)
{
    const std::pair<DWORD, DWORD> cases[] = {
        {0x31, 0x13}, {0x100, 0}, {0, 0}, {FILE_ATTRIBUTE_ARCHIVE, 0x01}, {FILE_ATTRIBUTE_DIRECTORY, 0x02},
        {FILE_ATTRIBUTE_HIDDEN, 0x04}, {FILE_ATTRIBUTE_NORMAL, 0x08}, {FILE_ATTRIBUTE_READONLY, 0x10},
        {FILE_ATTRIBUTE_SYSTEM, 0x20}, {0xFFFFFFFF, 0x3F}, {0x800 | 0x2, 0x04},
    };
    for (auto [win32, kv] : cases) {
        DWORD out = 0xDEAD;
        SysAttrToKvAttr(win32, &out);
        EXPECT_EQ(kv, out) << std::hex << win32;
    }
    SysAttrToKvAttr(0x10, nullptr);   // no result address: nothing happens
}

} // namespace
