// Joining, splitting, classifying, matching and expanding path names; walking folder trees.
#include <gtest/gtest.h>
#include "dadada32.h"
#include "testutil.h"
#include <algorithm>
#include <cstring>
#include <tuple>
#include <type_traits>
#include <vector>

namespace {

struct PathCase { const char *in; const char *out; };
struct BoolCase { const char *in; BOOL want; };

// In place (fn(path)) or into a 261-byte buffer (fn(path, out)).
template <class Fn, size_t N> void CheckPath(Fn fn, const PathCase (&cases)[N])
{
    for (const auto &c : cases) {
        char buf[300] = "garbage";
        if constexpr (std::is_invocable_v<Fn, char *>) fn(std::strcpy(buf, c.in));
        else fn(c.in, buf);
        EXPECT_STREQ(c.out, buf) << c.in;
    }
}

// Predicates and searches; a null argument always answers 0 / null.
template <class Fn, size_t N> void CheckBool(Fn fn, const BoolCase (&cases)[N])
{
    for (const auto &c : cases) EXPECT_EQ(c.want, fn(c.in)) << c.in;
    EXPECT_EQ(0, fn(nullptr));
}

TEST(NameAppend, FileAndExtension)
{
    using AppendFn = BOOL(WINAPI *)(LPSTR, DWORD, LPCSTR);
    const struct { AppendFn fn; const char *path, *name; DWORD size; BOOL ok; const char *result; } cases[] = {
        {NameAppendFile, "C:\\dir\\", "\\file", 260, 1, "C:\\dir\\file"}, {NameAppendFile, "C:\\dir", "file", 260, 1, "C:\\dir\\file"},
        {NameAppendFile, "", "", 260, 1, "\\"}, {NameAppendFile, "x", nullptr, 16, 0, "x"},
        {NameAppendFile, "abc", "de", 7, 0, "abc"}, {NameAppendFile, "abc", "de", 8, 1, "abc\\de"},   // L1 + L2 + 2 < size
        {NameAppendExtension, "name", "txt", 260, 1, "name.txt"}, {NameAppendExtension, "name.", "txt", 260, 1, "name.txt"},
        {NameAppendExtension, "", "txt", 260, 1, ".txt"}, {NameAppendExtension, "ab", "cd", 6, 0, "ab"},
    };
    for (const auto &c : cases) {
        char buf[300];
        EXPECT_EQ(c.ok, c.fn(std::strcpy(buf, c.path), c.size, c.name)) << c.path << " + " << c.name << " in " << c.size;
        EXPECT_STREQ(c.result, buf) << c.path << " in " << c.size;
    }
}

TEST(NameParts, ExtensionStripReturnAndDisplayCase)
{
    char out[8];
    std::memset(out, 'Z', sizeof out);
    NameReturnExtension("a.b.html", out, 4);   // cut to the buffer, zero-filled, nothing past it
    EXPECT_EQ(std::string("htm\0ZZZZ", 8), std::string(out, 8));
    const PathCase ext[] = {{"archive.tar.gz", "gz"}, {".profile", ""}, {"dir.d\\file", "d\\file"}, {"a.", ""}};
    CheckPath([](LPCSTR in, LPSTR o) { NameReturnExtension(in, o, 261); }, ext);
    const PathCase files[] = {{"C:\\dir\\file", "C:\\dir"}, {"C:\\file", "C:"}, {"file", "file"}};
    CheckPath(NameStripFile, files);
    const PathCase extensions[] = {{"page.html", "page.html"}, {".c", ".c"}, {"d.\\ab", "d"}, {"a.b.c", "a.b"}, {"ab.", "ab"}};
    CheckPath(NameStripExtension, extensions);
    const PathCase names[] = {{"\\dir\\", "dir\\"}, {"C:\\dir\\file.txt", "file.txt"}, {"file.txt", ""}, {"\\\\", "\\"}};
    CheckPath(NameReturnFile, names);
    const PathCase display[] = {{"C:\\PROGRAM FILES\\SCAN\\README.TXT", "C:\\Program files\\Scan\\Readme.txt"},
                                {"c:\\1abc", "C:\\1Abc"}, {"\\\\SRV\\SHARE", "\\\\Srv\\Share"}, {"..\\x.y", "..\\X.y"}};
    CheckPath(NameOutputFormat, display);
}

TEST(NameClassify, Predicates)
{
    const BoolCase unc[] = {{"\\\\a", 1}, {"\\\\", 0}, {"\\a\\b", 0}};
    CheckBool(NameIsUNCPath, unc);
    const BoolCase target[] = {{"<>", 1}, {"<C:\\dir>", 1}, {"<x", 0}, {"x>", 0}, {" <x>", 0}};
    CheckBool(NameIsTargetFile, target);
    const BoolCase drive[] = {{"z:\\dir", 1}, {"C:", 0}, {"1:\\", 0}, {"@:\\", 0}, {"[:\\", 0}};
    CheckBool(NameHasDriveLetter, drive);
    const char *wild = "ab?c*";   // a star before any question mark
    EXPECT_EQ(wild + 4, NameHasWildcards(wild));
    EXPECT_EQ(nullptr, NameHasWildcards("plain"));
    EXPECT_EQ(nullptr, NameHasWildcards(nullptr));
    ASSERT_EQ(OSVERSION_WINNT, GetOsVersion());
    const BoolCase device[] = {{"nul", 1}, {"Com1", 1}, {"prn.txt", 0}, {"temp\\prn", 0}, {"readme", 0}};
    CheckBool(NameIsDevice, device);
}

// Control characters, then the printable ones; the flags (exactly 1) leave out ":\" and "*?".
TEST(NameReturnIllegalChars, FlagsRemovePairs)
{
    std::string controls;
    for (int c = 1; c <= 0x1F; ++c) controls += char(c);
    const struct { DWORD size, root, wild; std::string want; } cases[] = {
        {260, 2, 2, controls + "\"*/:<>?\\|"}, {260, 1, 0, controls + "\"*/<>?|"}, {260, 0, 1, controls + "\"/:<>\\|"},
        {10, 1, 0, controls.substr(0, 9)}};
    for (const auto &c : cases) {
        char buf[300];
        DWORD n = NameReturnIllegalChars(buf, c.size, c.root, c.wild);
        EXPECT_EQ(c.want, std::string(buf, n)) << c.size << " " << c.root << "/" << c.wild;
        EXPECT_EQ(std::string(c.size - n, '\0'), std::string(buf + n, c.size - n));   // zero-filled
    }
}

TEST(NameValidateItem, Rules)
{
    const struct { const char *item; DWORD flags; BOOL want; } cases[] = {
        {"", 6, 0}, {"<C:\\dir>", 0, 0}, {"<C:\\dir>", 4, 1}, {"<C:\\d|r>", 4, 0}, {"C:\\dir:x", 0, 0}, {"C:", 0, 0},
        {"\\\\server\\share\\a:b", 0, 1}, {"\\\\server\\\\share", 0, 0}, {"*.exe", 0, 0}, {"*.exe", 2, 1},
        {"C:\\*\\file", 2, 1}, {"C:\\d?r\\*.txt", 2, 0}, {"dir\\file", 0, 0}, {"C:\\dir\\file", 0, 1}, {"a\tb", 0, 0}, {"C:\\", 0, 1},
    };
    for (const auto &c : cases) EXPECT_EQ(c.want, NameValidateItem(c.item, c.flags)) << c.item << " flags " << c.flags;
    EXPECT_EQ(0, NameValidateItem(nullptr, 6));
}

TEST(NameWildcardMatch, StarRunsToTheNextDot)
{
    const struct { const char *patterns, *name; BOOL want; } cases[] = {
        {"*.exe", "SETUP.EXE", 1}, {"*.txt", "", 1}, {"", "a", 0}, {"*", "readme", 1}, {"*", "read.me", 0},
        {"*.*", ".x", 1}, {"*.*", "abc.", 0}, {"*.txt", "a.b.txt", 0}, {"a*", "a", 0}, {"a?", "a", 0},
        {"a*z.txt", "abc.txt", 1}, {"*.exe;*.com", "x.com", 1}, {";abc", "abc", 1}, {"*;*.txt", "readme", 0},
        {"\xC4", "\xE4", 0} /* ASCII folding only */, {nullptr, "a", 0}, {"a", nullptr, 0},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.want, NameWildcardMatch(c.patterns, c.name)) << c.patterns << " ~ " << c.name;
}

std::string Separate(const std::string &item)   // "folder|pattern"
{
    char folder[261] = "junk", pattern[261] = "junk";
    NameSeparatePath(item.c_str(), folder, pattern);
    return std::string(folder) + "|" + pattern;
}

// A folder that exists is all folder; a file that exists is split like any name.
TEST(NameSeparatePath, FolderAndPattern)
{
    dadatest::TempDir dir;
    const std::string sub = dir.file("sub");
    ASSERT_TRUE(CreateDirectoryA(sub.c_str(), nullptr) && dadatest::WriteFileBytes(sub + "\\f.txt", "x"));
    const std::pair<std::string, std::string> cases[] = {
        {"C:\\*.txt", "C:|*.txt"}, {"\\a\\*.txt", "\\|*.txt"}, {"\\ab\\*.txt", "\\ab|*.txt"}, {"*.txt", "|*.txt"},
        {"C:\\no such file.txt", "C:\\|no such file.txt"}, {sub, sub + "|"}, {sub + "\\f.txt", sub + "|f.txt"},
        {"C:\\d?r\\x\\*.c", "C:\\d?r\\x|*.c"},
    };
    for (const auto &[item, want] : cases) EXPECT_EQ(want, Separate(item)) << item;
}

// Relative names expand from the current folder; a pattern that does not fit is left off.
TEST(NameExpand, LongShortAndShortenedToAWindow)
{
    dadatest::TempDir dir;
    const std::string sub = dir.file("SubFolder");
    char out[MAX_PATH], shortDir[MAX_PATH], saved[MAX_PATH];
    ASSERT_TRUE(CreateDirectoryA(sub.c_str(), nullptr) && GetCurrentDirectoryA(sizeof saved, saved));
    ASSERT_TRUE(SetCurrentDirectoryA(dir.path().c_str()));
    ASSERT_EQ(1, NameReturnLongName("a\\b?\\*.c", out, sizeof out));
    EXPECT_EQ(dir.path() + "\\a\\b?\\*.c", out);
    ASSERT_EQ(1, NameReturnLongName("SubFolder\\*.toolong", out, DWORD(sub.size() + 3)));
    EXPECT_EQ(sub, out);
    ASSERT_NE(0u, GetShortPathNameA("SubFolder", shortDir, sizeof shortDir));
    ASSERT_EQ(1, NameReturnShortName("SubFolder\\*.TXT", out, sizeof out, 2));
    EXPECT_EQ(std::string(shortDir) + "\\*.TXT", out);
    EXPECT_EQ(0, NameReturnShortName("no such folder\\*.txt", out, sizeof out, 0));
    SetCurrentDirectoryA(saved);
    const std::string path = "C:\\Program Files\\Scanner\\Definitions\\current\\very long name.dat";
    HWND narrow = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 80, 20, nullptr, nullptr, nullptr, nullptr);
    NameShortenFile(std::strcpy(out, path.c_str()), narrow);
    DestroyWindow(narrow);
    ASSERT_LT(std::strlen(out), path.size());
    EXPECT_EQ(path.substr(0, std::strlen(out) - 3) + "...", out);
}

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

// Code page 932 (a run of its own), where 0x5C can be the trail byte of a character.
#define HYO "\x95\x5C"   // one character whose trail byte is a backslash

TEST(Dbcs, TrailByteIsNotASeparator)
{
    if (GetACP() != 932) GTEST_SKIP() << "only in the run with LANG=ja_JP.UTF-8";
    char buf[64];
    ASSERT_EQ(1, NameAppendFile(std::strcpy(buf, HYO), sizeof buf, "file"));
    EXPECT_STREQ(HYO "\\file", buf);
    const PathCase strip[] = {{"C:\\dir\\" HYO, "C:\\dir"}, {HYO "abc", HYO "abc"}, {"C:\\" HYO "\\x", "C:\\" HYO}};
    CheckPath(NameStripFile, strip);
    const PathCase file[] = {{"C:\\dir\\" HYO, HYO}, {HYO "abc", ""}, {"C:\\" HYO "\\x", "x"}, {"\\" HYO, HYO}};
    CheckPath(NameReturnFile, file);
    const PathCase display[] = {{"c:\\" HYO "abc\\def", "C:\\" HYO "Abc\\Def"},
                                {"c:\\\x83\x61x", "C:\\\x83\x41x"}};   // a trail byte that is a letter is one
    CheckPath(NameOutputFormat, display);
    const struct { const char *item; DWORD flags; BOOL want; } valid[] = {
        {"\\\\srv\\" HYO "\\share", 0, 1}, {"\\\\srv\\\\share", 0, 0},   // no double separator after a lead byte
        {"C:\\d?r" HYO "*.txt", 2, 1}, {"C:\\d?r\\" HYO "*.txt", 2, 0},  // nor a separator before '*'
    };
    for (const auto &c : valid) EXPECT_EQ(c.want, NameValidateItem(c.item, c.flags)) << c.item << " flags " << c.flags;
    const char *wild = HYO "?" HYO "*";
    EXPECT_EQ(wild + 5, NameHasWildcards(wild));
    EXPECT_EQ("C:\\nowhere|" HYO, Separate("C:\\nowhere\\" HYO));   // a trail byte 0x5C is no separator
    EXPECT_EQ("|" HYO "abc", Separate(HYO "abc"));
    EXPECT_EQ(HYO "|*.txt", Separate(HYO "\\*.txt"));
}

} // namespace
