// The list in memory: add, find, get, delete, growth, and which paths it covers.
#include "testkit/alloccount.h"
#include "exclude_helpers.h"
#include <gtest/gtest.h>
#include <cstring>
#include <random>
#include <string>
#include <vector>

using namespace dadatest;

namespace {

constexpr DWORD Y = EXCLUDE_COVERED, N = EXCLUDE_NOTCOVERED;

TEST(ExcludeStore, AddRefusals)
{
    static const struct { const char *folder, *pattern; DWORD status; } cases[] = {
        {"C:\\temp", "*.tmp", EXCLUDE_OK}, {"c:\\TEMP", "*.TMP", EXCLUDE_DUPLICATE},   // case ignored
        {"C:\\temp", "", EXCLUDE_OK},      {"", "*.tmp", EXCLUDE_OK}, {"", "*.TMP", EXCLUDE_DUPLICATE},
        {"C:\\temp", "a|b", EXCLUDE_ILLEGALCHAR}, {"C:\\temp", "a\"b", EXCLUDE_ILLEGALCHAR},
        {"C:\\te<mp", "", EXCLUDE_ILLEGALCHAR},   {"C:\\temp", "a>b", EXCLUDE_ILLEGALCHAR},
        {"C:/temp", "", EXCLUDE_ILLEGALCHAR},     {"C:\\temp", "tab\there", EXCLUDE_ILLEGALCHAR},
        {"C:\\temp", "\x1f", EXCLUDE_ILLEGALCHAR},
        {"\\\\srv\\share", "a?b*:c", EXCLUDE_OK}, {"C:\\temp\\", "", EXCLUDE_OK},   // not "C:\temp"
    };
    MemoryList list;
    ASSERT_EQ(list.openStatus(), EXCLUDE_OK);
    DWORD count = 0;
    for (const auto &c : cases) {
        EXPECT_EQ(list.Add(MakeItem(c.folder, c.pattern)), c.status) << c.folder << " | " << c.pattern;
        EXPECT_EQ(ExcludeGetCount(list.get()), count += c.status == EXCLUDE_OK);
    }
}

TEST(ExcludeStore, GrowsByTenKeepingAFreeSlot)
{
    MemoryList list;
    EXPECT_EQ(Head(list.get()).capacity, 10u);
    for (int i = 0; i < 25; ++i) {
        ASSERT_EQ(list.Add(MakeItem("C:\\d" + std::to_string(i), "")), EXCLUDE_OK);
        EXPECT_EQ(Head(list.get()).count, DWORD(i + 1));
        EXPECT_EQ(Head(list.get()).capacity, i < 9 ? 10u : i < 19 ? 20u : 30u) << "after item " << i + 1;
    }
    for (DWORD i = 0; i < 25; ++i) {
        ExcludeItem got;
        ASSERT_EQ(ExcludeGet(list.get(), i, &got), EXCLUDE_OK);
        EXPECT_EQ(got.folder, "C:\\d" + std::to_string(i));
    }
}

// The changed flag follows what was added, deleted and saved; refusals leave it.
TEST(ExcludeStore, FindAndDeleteTakeTheFirstEqualItem)
{
    MemoryList list;
    auto changed = [&] { return Head(list.get()).changed; };
    EXPECT_EQ(changed(), 0u);
    for (auto [f, p] : {std::pair{"C:\\a", ""}, {"C:\\a", "*.x"}, {"", "*.x"}, {"C:\\b", ""}})
        ASSERT_EQ(list.Add(MakeItem(f, p)), EXCLUDE_OK);
    EXPECT_EQ(changed(), 1u);
    ExcludeFlush(list.get());
    EXPECT_EQ(list.Add(MakeItem("C:\\a", "")), EXCLUDE_DUPLICATE);
    EXPECT_EQ(ExcludeDelete(list.get(), "C:\\c", ""), EXCLUDE_BADARG);
    EXPECT_EQ(changed(), 0u);
    ExcludeItem *found = ExcludeFind(list.get(), "c:\\A", nullptr);
    ASSERT_NE(found, nullptr);
    EXPECT_STREQ(found->pattern, "");
    ASSERT_NE(found = ExcludeFind(list.get(), nullptr, "*.X"), nullptr);
    EXPECT_STREQ(found->folder, "");
    EXPECT_EQ(ExcludeFind(list.get(), "C:\\c", nullptr), nullptr);
    EXPECT_EQ(ExcludeFind(nullptr, "C:\\a", nullptr), nullptr);
    // A null pattern deletes only the item with an empty pattern.
    EXPECT_EQ(ExcludeDelete(list.get(), "C:\\a", nullptr), EXCLUDE_OK);
    EXPECT_EQ(changed(), 1u);
    EXPECT_EQ(ExcludeDelete(list.get(), "C:\\a", nullptr), EXCLUDE_BADARG);
    EXPECT_EQ(ExcludeDelete(list.get(), "C:\\a", ""), EXCLUDE_BADARG);
    EXPECT_EQ(ExcludeDelete(nullptr, "C:\\a", "*.x"), EXCLUDE_BADARG);
    EXPECT_EQ(ExcludeDelete(list.get(), "C:\\b", ""), EXCLUDE_OK);   // the last one
    ASSERT_EQ(ExcludeGetCount(list.get()), 2u);
    const char *order[][2] = {{"C:\\a", "*.x"}, {"", "*.x"}};
    for (DWORD i = 0; i < 2; ++i) {
        ExcludeItem got;
        ASSERT_EQ(ExcludeGet(list.get(), i, &got), EXCLUDE_OK);
        ExpectFields(got, MakeItem(order[i][0], order[i][1]));
    }
}

TEST(ExcludeStore, NullArgumentsAndUnterminatedFields)
{
    EXCLUDEHANDLE h = reinterpret_cast<EXCLUDEHANDLE>(1);
    EXPECT_EQ(ExcludeOpenEx(nullptr, "x.ini", nullptr), EXCLUDE_BADARG);
    EXPECT_EQ(ExcludeOpenEx(&h, nullptr, nullptr), EXCLUDE_BADARG);
    EXPECT_EQ(h, nullptr);
    EXPECT_EQ(ExcludeClose(&h, 1) | ExcludeClose(nullptr, 1) | ExcludeFlush(nullptr) | ExcludeGetCount(nullptr), 0u);
    EXPECT_EQ(ExcludeAdd(nullptr, nullptr), EXCLUDE_BADARG);
    MemoryList list;
    EXPECT_EQ(ExcludeAdd(list.get(), nullptr), EXCLUDE_BADARG);
    ExcludeItem got;
    EXPECT_EQ(ExcludeGet(list.get(), 0, &got), EXCLUDE_BADARG);   // index equal to the count
    EXPECT_EQ(ExcludeGet(nullptr, 0, &got), EXCLUDE_BADARG);
    EXPECT_EQ(ExcludeCheck(nullptr, "C:\\a", 1), N);
    EXPECT_EQ(ExcludeCheck(list.get(), nullptr, 1), N);
    std::memset(&got, 'a', sizeof got);
    ASSERT_EQ(list.Add(got), EXCLUDE_OK);
    EXPECT_EQ(ExcludeGet(list.get(), 0, nullptr), EXCLUDE_BADARG);
    ASSERT_EQ(ExcludeGet(list.get(), 0, &got), EXCLUDE_OK);
    EXPECT_EQ(std::strlen(got.folder), 260u);
    EXPECT_EQ(std::strlen(got.pattern), 260u);
}

// One item per row: folder, pattern, subfolders; the path (mask 1) and the answer.
TEST(ExcludeCheck, FoldersAndPatterns)
{
    static const struct { const char *folder, *pattern; DWORD sub; const char *path; DWORD expect; } cases[] = {
        {"C:\\temp", "", 0, "C:\\temp\\a.txt", Y},          {"C:\\temp", "", 0, "C:\\temp\\sub\\a.txt", N},
        {"C:\\temp", "", 0, "C:\\tempx\\a.txt", N},         {"C:\\temp", "", 0, "D:\\temp\\a.txt", N},
        {"C:\\temp", "", 1, "C:\\temp\\a\\b\\c.txt", Y},    {"C:\\temp", "", 1, "C:\\tmp\\sub\\a.txt", N},
        {"c:\\TEMP", "", 0, "C:\\temp\\a.txt", Y},          {"C:\\temp\\", "", 0, "C:\\temp\\a.txt", Y},
        {"C:\\", "", 0, "C:\\readme.txt", Y},               {"C:\\", "", 0, "C:\\temp\\readme.txt", N},
        {"C:\\", "", 1, "C:\\temp\\readme.txt", Y},         {"C:\\temp", "", 0, "readme.txt", N},
        {"C:\\temp\\sub", "", 0, "C:\\temp\\a.txt", N},     {"C:\\temp", "", 0, "\\\\srv\\share\\temp\\x", N},
        // Drive-less and UNC folders.
        {"\\temp", "", 0, "D:\\temp\\x.doc", Y},            {"\\temp", "", 0, "\\\\srv\\share\\temp\\x.doc", N},
        {"\\temp", "", 0, "C:\\other\\temp\\x.doc", N},     {"\\temp", "", 1, "C:\\temp\\deep\\x.doc", Y},
        {"\\", "", 0, "C:\\file.txt", N},                   {"\\", "", 1, "D:\\a\\b\\file.txt", Y},
        {"\\\\srv\\share", "", 1, "\\\\srv\\share\\d\\x", Y}, {"\\\\srv\\share", "", 0, "\\\\srv\\share\\d\\x", N},
        {"\\\\srv\\share", "", 0, "\\\\SRV\\Share\\x.doc", Y}, {"\\\\srv\\share", "", 0, "\\\\srv\\other\\x", N},
        {"\\\\srv\\share", "", 0, "\\\\srv2\\share\\x", N},  {"\\\\srv", "", 1, "\\\\srv\\share\\x.doc", Y},
        {"\\\\srv\\share\\dir", "", 0, "\\\\srv\\share\\x", N},
        {"\\a", "", 0, "\\a\\x.txt", N},                    {"\\", "", 0, "\\a\\x.txt", Y},   // "\a" keeps its root
        // Patterns.
        {"", "*.tmp", 0, "C:\\any\\where\\b.tmp", Y},       {"", "*.tmp", 0, "b.tmp", Y},
        {"", "*.tmp", 0, "C:\\any\\b.doc", N},              {"", "*.TMP", 0, "c:\\A\\B.tmp", Y},
        {"", "*.exe;*.com", 0, "C:\\a\\x.com", Y},          {"", "*.exe;*.com", 0, "C:\\a\\x.bat", N},
        {"", "", 0, "C:\\a\\x.bat", N},                     {"", "*.tmp", 0, "C:\\temp\\", N},
        {"C:\\temp", "*.tmp", 1, "C:\\temp\\sub\\x.tmp", Y}, {"C:\\temp", "*.tmp", 1, "C:\\temp\\x.doc", N},
        {"C:\\temp", "*.tmp", 0, "C:\\temp\\sub\\x.tmp", N}, {"C:\\temp", "readme.txt", 0, "C:\\temp\\README.TXT", Y},
        {"\\temp", "*.tmp", 0, "E:\\temp\\x.tmp", Y},
        // A path ending in a backslash has no name: any pattern passes.
        {"C:\\temp", "*.tmp", 0, "C:\\temp\\", Y},          {"C:\\temp", "", 0, "C:\\temp\\sub\\", N},
        {"C:\\temp", "", 1, "C:\\temp\\sub\\", Y},
        // Wildcards in the path: the folder ends at the backslash before them.
        {"C:\\temp", "*.tmp", 0, "C:\\temp\\*.tmp", Y},     {"C:\\temp", "*.tmp", 0, "C:\\temp\\*.doc", N},
        {"C:\\temp", "", 0, "C:\\temp\\a?.txt", Y},         {"", "*.tmp", 0, "\\*.tmp", Y},
        {"", "*.tmp", 0, "*.tmp", Y},                       {"\\a", "", 0, "\\a\\*.txt", N},
        {"\\a", "", 0, "C:\\a\\b*\\x.txt", Y},              {"\\a", "b*", 0, "C:\\a\\b*\\x.txt", N},
    };
    for (const auto &c : cases) {
        MemoryList list;
        ASSERT_EQ(list.Add(MakeItem(c.folder, c.pattern, 1, c.sub)), EXCLUDE_OK);
        EXPECT_EQ(ExcludeCheck(list.get(), c.path, 1), c.expect)
            << "'" << c.folder << "' '" << c.pattern << "' sub " << c.sub << ", path '" << c.path << "'";
    }
}

TEST(ExcludeCheck, MasksAndTheFirstCoveringItem)
{
    static const struct { DWORD itemMask, pathMask, expect; } masks[] = {
        {2, 1, N}, {2, 3, Y}, {2, 0, N}, {0, 0xFFFFFFFFu, N}, {0x80000000u, 0x80000001u, Y}, {0xFFFFFFFFu, 0x10, Y}};
    for (const auto &m : masks) {
        MemoryList list;
        ASSERT_EQ(list.Add(MakeItem("C:\\temp", "", m.itemMask)), EXCLUDE_OK);
        EXPECT_EQ(ExcludeCheck(list.get(), "C:\\temp\\a.txt", m.pathMask), m.expect) << m.itemMask << "/" << m.pathMask;
    }
    MemoryList list;
    EXPECT_EQ(ExcludeCheck(list.get(), "C:\\a\\x.txt", 0xFFFFFFFFu), N);
    for (auto [f, p, mask] : {std::tuple{"C:\\a", "", 1u}, {"C:\\b", "", 4u}, {"", "*.log", 8u}})
        ASSERT_EQ(list.Add(MakeItem(f, p, mask)), EXCLUDE_OK);
    static const struct { const char *path; DWORD mask, expect; } cases[] = {
        {"C:\\b\\x.txt", 1, N}, {"C:\\b\\x.txt", 5, Y}, {"C:\\a\\x.txt", 4, N}, {"C:\\a\\x.txt", 1, Y},
        {"C:\\c\\x.log", 7, N}, {"C:\\c\\x.log", 8, Y}, {"C:\\c\\x.txt", 0xFFFFFFFFu, N},
    };
    for (const auto &c : cases) EXPECT_EQ(ExcludeCheck(list.get(), c.path, c.mask), c.expect) << c.path << " " << c.mask;
}

TEST(ExcludeCheck, OddPathsNeverCrashNorAllocate)
{
    MemoryList list;
    for (int i = 0; i < 26; ++i) ASSERT_EQ(list.Add(MakeItem("\\d" + std::to_string(i), "*.x;*.y", 1, i & 1)), 0u);
    ASSERT_EQ(list.Add(MakeItem("\\\\", "", 1, 0)), EXCLUDE_OK);
    ASSERT_EQ(list.Add(MakeItem(std::string(260, 'x'), "", 1, 1)), EXCLUDE_OK);
    ASSERT_EQ(list.Add(MakeItem("\\", "*", 1, 1)), EXCLUDE_OK);   // the 29th item covers the rest
    AllocationCounter counter(GetModuleHandleA("DADADA32.dll"));
    ASSERT_GT(counter.Redirected(), 0);
    // The counter sees the library's own allocations (the 30th item grows the array)...
    ASSERT_EQ(list.Add(MakeItem("C:\\grow", "")), EXCLUDE_OK);
    EXPECT_GT(counter.Count(), 0);
    counter.Reset();
    // ...and none while checking.
    const std::string odd[] = {"", "\\", "\\\\", "\\\\\\", "C:", "C:\\", "*", "?\\", "\\*", "a\\\\\\b",
                               std::string(1000, '\\'), "C:\\" + std::string(1000, 'a'),
                               std::string(500, 'x') + "\\y", "C:\\" + std::string(300, '*'), "\\\\srv\\share\\*.x"};
    for (const auto &p : odd) {
        DWORD r = ExcludeCheck(list.get(), p.c_str(), 1);
        EXPECT_TRUE(r == Y || r == N) << p;
    }
    for (int i = 0; i < 1000; ++i)
        ExcludeCheck(list.get(), ("C:\\d" + std::to_string(i % 40) + "\\sub\\f" + std::to_string(i) + ".z").c_str(), 1);
    EXPECT_EQ(counter.Count(), 0);
}

} // namespace

// The check written the plain way, item after item, with the exported path
// functions: the path split again for every item, folders cut into element
// lists by hand.  Random lists and paths must get the same answers.
namespace plain {

void Split(const std::string &path, std::string &folder, std::string &name)
{
    char copy[261] = {};
    std::strncpy(copy, path.c_str(), 260);
    folder.clear();
    name.clear();
    if (char *wild = NameHasWildcards(copy)) {
        size_t at = size_t(wild - copy) + 1;
        while (at > 0 && copy[at - 1] != '\\') --at;
        if (at == 0) { name = copy; return; }
        --at;
        folder.assign(copy, at <= 2 && copy[0] == '\\' ? 2 : at);
        name = copy + at + 1;
    } else if (!std::strchr(copy, '\\')) {
        name = copy;
    } else {
        char file[261] = {};
        NameReturnFile(copy, file);
        name = file;
        NameStripFile(copy);
        folder = copy;
        if (folder.size() == 2 && folder[1] == ':') folder += '\\';
    }
}

std::vector<std::string> Elements(const std::string &folder)
{
    std::vector<std::string> out;
    size_t start = 0;
    for (;;) {
        size_t sep = folder.find('\\', start);
        std::string e = folder.substr(start, sep == std::string::npos ? std::string::npos : sep - start);
        if (e.empty()) return out;
        out.push_back(e);
        if (sep == std::string::npos) return out;
        start = sep + 1;
    }
}

bool SameNoCase(std::string a, std::string b)
{
    for (auto *s : {&a, &b})
        for (char &c : *s) c = (c >= 'A' && c <= 'Z') ? char(c + 32) : c;
    return a == b;
}

bool Covers(const ExcludeItem &item, const std::string &path)
{
    std::string pf, pn, f = item.folder, p = item.pattern;
    Split(path, pf, pn);
    if (f.empty() || pf.empty()) return !p.empty() && !pn.empty() && NameWildcardMatch(p.c_str(), pn.c_str());
    if (f[0] == '\\') {
        f.erase(0, f.size() > 1 && f[1] == '\\' ? 2 : 1);
        if (pf.rfind("\\\\", 0) == 0) pf.erase(0, 2);
        else if (pf.size() > 3 && pf[1] == ':' && pf[2] == '\\') pf.erase(0, 3);
    }
    auto want = Elements(f), have = Elements(pf);
    size_t i = 0, j = 0;
    if (!have.empty())
        while (i < want.size()) {
            if (!SameNoCase(want[i], have[j])) return false;
            ++i;
            if (++j == have.size()) break;
        }
    if (i < want.size()) return false;
    if (j < have.size() && !item.subfolders) return false;
    return p.empty() || pn.empty() || NameWildcardMatch(p.c_str(), pn.c_str());
}

} // namespace plain

TEST(ExcludeCheck, SameAsThePlainLoopOnRandomLists)
{
    std::mt19937 rng(15);
    auto pick = [&](std::initializer_list<const char *> from) { return std::string(from.begin()[rng() % from.size()]); };
    auto folder = [&] {
        std::string f = pick({"", "", "C:", "c:", "D:", "\\", "\\\\", "\\\\srv", "x"});
        for (unsigned depth = rng() % 4; depth; --depth) f += "\\" + pick({"temp", "TEMP", "a", "b", "", "sub"});
        return f;
    };
    auto name = [&] { return pick({"", "a.txt", "b.tmp", "readme", "x.doc", "*.tmp", "a?.txt", "a.*"}); };
    const char *patterns[] = {"", "", "*.tmp", "a*", "*.*", "?.txt;*.doc", "readme", "*"};
    for (int list = 0; list < 60; ++list) {
        MemoryList l;
        std::vector<ExcludeItem> items;
        for (unsigned n = rng() % 8; n; --n) {
            ExcludeItem item = MakeItem(folder(), patterns[rng() % 8], 1 + rng() % 3, rng() % 2);
            if (l.Add(item) == EXCLUDE_OK) items.push_back(item);
        }
        for (int k = 0; k < 200; ++k) {
            std::string path = folder();
            if (rng() % 4) path += (path.empty() ? "" : "\\") + name();
            const DWORD mask = rng() % 4;
            DWORD want = EXCLUDE_NOTCOVERED;
            for (const auto &item : items)
                if ((item.mask & mask) && plain::Covers(item, path)) { want = EXCLUDE_COVERED; break; }
            ASSERT_EQ(ExcludeCheck(l.get(), path.c_str(), mask), want) << "list " << list << ", path " << path;
        }
    }
}
