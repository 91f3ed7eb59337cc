// Walking folder trees with FindAllFiles.
#include <gtest/gtest.h>
#include "dadada32.h"
#include "testutil.h"

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

namespace {

using Rec = std::tuple<DWORD, std::string, std::string>;   // kind, path, name

// Every record of one walk, in order; the procedure answers 0 at record `stopAt`.
struct Walk {
    std::vector<Rec> recs;
    int stopAt;
    Walk(const std::string &folder, DWORD recurse, int stop = -1) : stopAt(stop)
    {
        EXPECT_EQ(1, FindAllFiles(folder.c_str(), recurse, Collect, reinterpret_cast<UINT_PTR>(this)));
    }
    static DWORD WINAPI Collect(FindFileRecord *r)
    {
        auto *w = reinterpret_cast<Walk *>(r->userValue);
        w->recs.push_back({r->kind, std::string(r->path, strnlen(r->path, sizeof r->path)), r->name});
        return int(w->recs.size()) - 1 == w->stopAt ? 0 : 1;
    }
    size_t count(DWORD kind) const
    {
        return std::count_if(recs.begin(), recs.end(), [&](const Rec &r) { return std::get<0>(r) == kind; });
    }
};

// A folder of any path length, through the long-path wide call.
bool MakeFolder(const std::string &p) { return CreateDirectoryW((L"\\\\?\\" + std::wstring(p.begin(), p.end())).c_str(), nullptr); }

// Flat (only exactly 1 recurses), or a folder's record, its contents, an end record naming its
// parent; the procedure's 0 ends the walk.
TEST(FindAllFiles, WalksFlatAndNested)
{
    dadatest::TempDir dir;
    const std::string d = dir.path(), sub = d + "\\sub";
    ASSERT_TRUE(MakeFolder(sub) && MakeFolder(sub + "\\deeper"));
    ASSERT_TRUE(dadatest::WriteFileBytes(d + "\\a.txt", "x") && dadatest::WriteFileBytes(sub + "\\deeper\\g", "x"));
    for (DWORD recurse : {0u, 2u}) {
        Walk w(d + "\\", recurse);
        std::sort(w.recs.begin(), w.recs.end());
        ASSERT_EQ((std::vector<Rec>{{0, d, "a.txt"}, {1, d, "sub"}}), w.recs);
    }
    Walk w(d, 1);
    const std::vector<Rec> nested = {{1, d, "sub"}, {1, sub, "deeper"}, {0, sub + "\\deeper", "g"}, {2, sub, ""}, {2, d, ""}};
    auto at = std::search(w.recs.begin(), w.recs.end(), nested.begin(), nested.end());
    EXPECT_TRUE(at != w.recs.end() && w.recs.size() == 6) << w.recs.size();
    Walk part(d, 1, 2);
    EXPECT_TRUE(part.recs.size() == 3 && std::equal(part.recs.begin(), part.recs.end(), w.recs.begin()));
    static UINT_PTR seen;   // the caller's value comes back whole
    const UINT_PTR value = UINT_PTR(sizeof(UINT_PTR) == 8 ? 0x123456789ABCull : 0x89ABCDEFu);
    EXPECT_EQ(1, FindAllFiles(d.c_str(), 0, [](FindFileRecord *r) WINAPI -> DWORD { seen = r->userValue; return 0; }, value));
    EXPECT_EQ(value, seen);
    EXPECT_EQ(0, FindAllFiles(nullptr, 1, Walk::Collect, 0));
    EXPECT_EQ(0, FindAllFiles(d.c_str(), 1, nullptr, 0));
    EXPECT_TRUE(Walk(std::string(600, 'x'), 1).recs.empty());
    for (const Rec &r : Walk("C:\\", 0).recs) EXPECT_EQ("C:", std::get<1>(r));
}

// A folder whose path reaches 260 characters: one kind-3 record, its end record keeps the other
// fields; a name too long for the walk's buffer is reported, not entered.
TEST(FindAllFiles, LongPaths)
{
    dadatest::TempDir dir;
    const std::string root = dir.file("t");
    auto chain = [&](size_t length) {   // nested folders until the path is `length` characters
        std::string p = root;
        for (MakeFolder(p); p.size() < length; MakeFolder(p)) {
            const size_t left = length - p.size();
            p += "\\" + std::string(left > 32 ? 30 : left - 1, 'p');
        }
        return p;
    };
    const std::string parent = chain(240), left = parent + "\\" + std::string(30, 'q');
    const std::string full = chain(258), huge = full + "\\" + std::string(255, 'h');
    ASSERT_TRUE(MakeFolder(left) && MakeFolder(left + "\\f") && MakeFolder(huge) && MakeFolder(huge + "\\in"));
    Walk w(root, 1);
    auto at = std::find_if(w.recs.begin(), w.recs.end(), [](const Rec &r) { return std::get<0>(r) == 3; });
    ASSERT_TRUE(at != w.recs.end() && at + 1 != w.recs.end());
    EXPECT_EQ((Rec{3, left.substr(0, 260), "f"}), at[0]);
    EXPECT_EQ((Rec{2, parent, "f"}), at[1]);
    EXPECT_EQ(1u, w.count(3));
    EXPECT_EQ(1, std::count(w.recs.begin(), w.recs.end(), Rec{1, full, std::string(255, 'h')}));
    EXPECT_EQ(0, std::count_if(w.recs.begin(), w.recs.end(), [](const Rec &r) { return std::get<2>(r) == "in"; }));
}

TEST(FindAllFiles, StopsDescendingAt120Levels)
{
    const std::string root = "C:\\dq" + std::to_string(GetCurrentProcessId());   // short: 125 levels fit in 260
    std::string p = root;
    for (int level = 0; level <= 125; ++level, p += "\\a") ASSERT_TRUE(MakeFolder(p)) << level;
    Walk w(root, 1);
    dadatest::RemoveTree(root);
    EXPECT_EQ(120u, w.count(1));
    EXPECT_EQ(119u, w.count(2));
    EXPECT_EQ(root, std::get<1>(w.recs.back()));   // the walk climbed back to the top
}

TEST(SysAttrToKvAttr, BitTable)
{
    const std::pair<DWORD, DWORD> cases[] = {{0x20, 0x01}, {0x10, 0x02}, {0x02, 0x04}, {0x80, 0x08}, {0x01, 0x10}, {0x104, 0x20}};
    for (auto [win32, kv] : cases) {
        DWORD out = 0xDEAD;
        SysAttrToKvAttr(win32, &out);
        EXPECT_EQ(kv, out) << std::hex << win32;
    }
    SysAttrToKvAttr(0x10, nullptr);   // no result address: nothing happens
}

} // namespace
