// Exclusion lists: in memory, checked against a plain loop, stored by the caller or in a profile.
#include "dadada32.h"
#include "testkit/alloccount.h"
#include "testutil.h"
#include <gtest/gtest.h>
#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

using namespace dadatest;

namespace {

constexpr DWORD Y = EXCLUDE_COVERED, N = EXCLUDE_NOTCOVERED;

ExcludeItem MakeItem(const std::string &folder, const std::string &pattern, DWORD mask = 1, DWORD sub = 0)
{
    ExcludeItem item{};
    std::strncpy(item.folder, folder.c_str(), sizeof item.folder - 1);
    std::strncpy(item.pattern, pattern.c_str(), sizeof item.pattern - 1);
    item.mask = mask;
    item.subfolders = sub;
    return item;
}

std::string Fields(const ExcludeItem &i)
{
    return std::string(i.folder) + "|" + i.pattern + "|" + std::to_string(i.mask) + "|" + std::to_string(i.subfolders);
}

// An open list on a profile file that does not exist; closed without saving.
struct MemoryList {
    EXCLUDEHANDLE h = nullptr;
    MemoryList() { EXPECT_EQ(EXCLUDE_OK, ExcludeOpenEx(&h, "no such folder\\none.ini", nullptr)); }
    ~MemoryList() { ExcludeClose(&h, 0); }
    EXCLUDEHANDLE get() const { return h; }
    DWORD Add(const ExcludeItem &item) { return ExcludeAdd(h, &item); }
};

// The list block's leading fields, which callers may rely on.
struct ListHead { DWORD changed, capacity, count, storedCount; };
const ListHead &Head(EXCLUDEHANDLE h) { return *static_cast<const ListHead *>(h); }

TEST(ExcludeList, AddFindDeleteAndNullArguments)
{
    static const struct { const char *folder, *pattern; DWORD status; } adds[] = {
        {"C:\\temp", "*.tmp", EXCLUDE_OK}, {"c:\\TEMP", "*.TMP", EXCLUDE_DUPLICATE}, {"C:\\temp", "", EXCLUDE_OK},
        {"", "*.tmp", EXCLUDE_OK}, {"C:\\temp", "a|b", EXCLUDE_ILLEGALCHAR}, {"C:/te<mp", "", EXCLUDE_ILLEGALCHAR},
        {"C:\\temp", "\x1f", EXCLUDE_ILLEGALCHAR}, {"\\\\srv\\share", "a?b*:c", EXCLUDE_OK},
    };
    MemoryList list;
    DWORD count = 0;
    for (const auto &c : adds) {
        EXPECT_EQ(c.status, list.Add(MakeItem(c.folder, c.pattern))) << c.folder << " | " << c.pattern;
        EXPECT_EQ(count += c.status == EXCLUDE_OK, ExcludeGetCount(list.get()));
    }
    ExcludeFlush(list.get());
    // A null text finds and deletes only the item whose text is empty.
    ExcludeItem *found = ExcludeFind(list.get(), "c:\\TEMP", nullptr);
    EXPECT_EQ("C:\\temp||1|0", found ? Fields(*found) : "none");
    EXPECT_EQ(nullptr, ExcludeFind(list.get(), "C:\\c", nullptr));
    EXPECT_EQ(EXCLUDE_BADARG, ExcludeDelete(list.get(), "C:\\c", ""));
    EXPECT_EQ(0u, Head(list.get()).changed);   // refusals leave the changed flag
    EXPECT_EQ(EXCLUDE_OK, ExcludeDelete(list.get(), "C:\\temp", nullptr));
    EXPECT_EQ(1u, Head(list.get()).changed);
    ExcludeItem got;
    ASSERT_EQ(EXCLUDE_OK, ExcludeGet(list.get(), 1, &got));   // the later items moved up
    EXPECT_EQ("|*.tmp|1|0", Fields(got));
    EXPECT_EQ(EXCLUDE_BADARG, ExcludeGet(list.get(), ExcludeGetCount(list.get()), &got));
    std::memset(&got, 'a', sizeof got);   // unterminated fields are cut to 260 characters
    ASSERT_EQ(EXCLUDE_OK, list.Add(got));
    ASSERT_EQ(EXCLUDE_OK, ExcludeGet(list.get(), ExcludeGetCount(list.get()) - 1, &got));
    EXPECT_EQ(260u, std::strlen(got.folder));
    EXPECT_EQ(260u, std::strlen(got.pattern));
    // Null arguments are refused.
    EXPECT_EQ(EXCLUDE_BADARG, ExcludeAdd(list.get(), nullptr));
    EXPECT_EQ(EXCLUDE_BADARG, ExcludeGet(list.get(), 0, nullptr));
    EXPECT_EQ(N, ExcludeCheck(list.get(), nullptr, 1));
    EXPECT_EQ(N, ExcludeCheck(nullptr, "C:\\a", 1));
    EXPECT_EQ(EXCLUDE_BADARG, ExcludeDelete(nullptr, "C:\\a", ""));
    EXPECT_EQ(nullptr, ExcludeFind(nullptr, "C:\\a", nullptr));
    EXPECT_EQ(0u, ExcludeClose(nullptr, 1) | ExcludeFlush(nullptr) | ExcludeGetCount(nullptr));
    EXCLUDEHANDLE h = reinterpret_cast<EXCLUDEHANDLE>(1);
    EXPECT_EQ(EXCLUDE_BADARG, ExcludeOpenEx(&h, nullptr, nullptr));
    EXPECT_EQ(nullptr, h);
}

// Rules the random lists do not reach: folder, pattern, subfolders; path (mask 1), answer.  Rows
// with a double-byte character (trail byte 0x5C) run in code page 932 only (a second run).
#define HYO "\x95\x5C"
TEST(ExcludeCheck, Rules)
{
    static const struct { const char *folder, *pattern; DWORD sub; const char *path; DWORD expect; } rows[] = {
        {"\\a", "", 0, "C:\\a\\b*\\x.txt", Y},              {"\\a", "b*", 0, "C:\\a\\b*\\x.txt", N},
        {"C:\\" HYO, "", 0, "C:\\" HYO "\\x.txt", Y},      {"C:\\" HYO, "", 0, "C:\\" HYO "x.txt", N},
        {"", "x.txt", 0, "C:\\d\\" HYO "x.txt", N},
    };
    for (const auto &c : rows) {
        if (std::strstr(c.path, HYO) && GetACP() != 932) continue;
        MemoryList list;
        ASSERT_EQ(EXCLUDE_OK, list.Add(MakeItem(c.folder, c.pattern, 1, c.sub)));
        EXPECT_EQ(c.expect, ExcludeCheck(list.get(), c.path, 1)) << c.folder << " | " << c.pattern << ", path " << c.path;
    }
}

// Caller storage: serves `items`, records calls as "op:index" ("5:count", "1:index=folder"), fails one.
struct Storage {
    std::vector<ExcludeItem> items;
    DWORD failOp, failIndex;
    std::string calls;
    static DWORD WINAPI Proc(UINT_PTR context, DWORD index, DWORD op, UINT_PTR data)
    {
        auto *s = reinterpret_cast<Storage *>(context);
        auto *item = reinterpret_cast<ExcludeItem *>(data);
        s->calls += (s->calls.empty() ? "" : " ") + std::to_string(op) + ":" +
                    std::to_string(op == EXCLUDE_OP_SETCOUNT ? data : index) + (op == EXCLUDE_OP_WRITE ? "=" + std::string(item->folder) : "");
        if (op == s->failOp && index == s->failIndex) return op == EXCLUDE_OP_OPEN ? 0 : 2;
        if (op == EXCLUDE_OP_GETCOUNT) *reinterpret_cast<DWORD *>(data) = DWORD(s->items.size());
        if (op == EXCLUDE_OP_READ) *item = s->items.at(index);
        return 1;
    }
};

// Storage holding "C:\d0".."C:\d<held-1>": open, delete the first `del`, add "\n", close (1 saves).
TEST(ExcludeHook, OperationsInOrder)
{
    static const struct {
        DWORD held, failOp, failIndex, status, count;   // count: items in the open list
        const char *openCalls;
        DWORD del, add, save;
        const char *closeCalls;
    } cases[] = {
        {5, ~0u, ~0u, EXCLUDE_OK, 5, "2:0 4:0 0:0 0:1 0:2 0:3 0:4", 2, 1, 1, "5:4 1:0=C:\\d2 1:1=C:\\d3 1:2=C:\\d4 1:3=\\n 6:4 3:0"},
        {3, ~0u, ~0u, EXCLUDE_OK, 3, "2:0 4:0 0:0 0:1 0:2", 0, 1, 2, "3:0"},
        {3, EXCLUDE_OP_OPEN, 0, EXCLUDE_OK, 0, "2:0 4:0", 0, 0, 0, "3:0"},
        {3, EXCLUDE_OP_READ, 1, EXCLUDE_LOADFAILED, 1, "2:0 4:0 0:0 0:1", 0, 0, 0, "3:0"},   // the list stays open
        // A failed write stops the save; stale items go after the last write tried.
        {5, EXCLUDE_OP_WRITE, 1, EXCLUDE_OK, 5, "2:0 4:0 0:0 0:1 0:2 0:3 0:4", 2, 0, 1, "5:3 1:0=C:\\d2 1:1=C:\\d3 6:2 6:3 6:4 3:0"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.closeCalls);
        Storage s{{}, c.failOp, c.failIndex, {}};
        for (DWORD i = 0; i < c.held; ++i) s.items.push_back(MakeItem("C:\\d" + std::to_string(i), "*.x"));
        ExcludeStorageHook hook{reinterpret_cast<UINT_PTR>(&s), Storage::Proc};
        EXCLUDEHANDLE h = nullptr;
        EXPECT_EQ(c.status, ExcludeOpenEx(&h, "ignored.ini", &hook));
        EXPECT_EQ(c.openCalls, std::exchange(s.calls, {}));
        EXPECT_EQ(c.count, ExcludeGetCount(h));
        for (DWORD i = 0; i < c.del; ++i) ASSERT_EQ(EXCLUDE_OK, ExcludeDelete(h, s.items[i].folder, "*.X"));
        const ExcludeItem added = MakeItem("\\n", "");
        if (c.add) ASSERT_EQ(EXCLUDE_OK, ExcludeAdd(h, &added));
        EXPECT_EQ(0u, ExcludeClose(&h, c.save));
        EXPECT_EQ(c.closeCalls, s.calls);
    }
}

// A profile of `values` and a count key (empty: their number), named anew (profiles may be cached).
std::string Profile(const TempDir &dir, const std::vector<std::string> &values, std::string count = "")
{
    static int serial = 0;
    std::string body = "[ExcludedItems]\r\nNumExcludeItems=" + (count.empty() ? std::to_string(values.size()) : count);
    int i = 0;
    for (const auto &v : values) body += "\r\nExcludedItem_" + std::to_string(i++) + "=" + v;
    const std::string path = dir.file("list" + std::to_string(serial++) + ".ini");
    EXPECT_TRUE(WriteFileBytes(path, body + "\r\n"));
    return path;
}

// 100 000 items load whole, in order, the capacity growing by ten (from ten).
TEST(ExcludeProfile, Load)
{
    const std::string f253(253, 'f');
    std::vector<std::string> many;
    for (int i = 0; i < 100000; ++i) many.push_back("C:\\data\\f" + std::to_string(i) + "|*.t|1|0");
    const struct {
        std::vector<std::string> values;
        const char *countKey;
        DWORD status, count;   // count: items in the open list
        const char *last;      // the last item's fields
    } cases[] = {
        {{"C:\\temp|*.tmp|3|1"}, "", EXCLUDE_OK, 1, "C:\\temp|*.tmp|3|1"},
        {{"\\x|p|-1|2x"}, "", EXCLUDE_OK, 1, "\\x|p|4294967295|2"},
        {{"C:\\a|p|ab| +1|junk"}, "", EXCLUDE_OK, 1, "C:\\a|p|0|1"},
        {{"C:\\temp|*.tmp|3"}, "", EXCLUDE_LOADFAILED, 0, ""},
        {{"C:\\a|p|1|0", ""}, "", EXCLUDE_LOADFAILED, 1, "C:\\a|p|1|0"},
        {{"C:\\a||1|0", "C:\\b||1|0"}, "5", EXCLUDE_LOADFAILED, 2, "C:\\b||1|0"},
        {{"C:\\a||1|0", "C:\\b||1|0"}, "-1", EXCLUDE_OK, 0, ""},
        {{f253 + "|p|1|0"}, "", EXCLUDE_OK, 1, "fff"},   // 259 characters are read back
        {{"C:\\a|p|1|0", "C:\\<b>|p|1|0"}, "", EXCLUDE_ILLEGALCHAR, 0, ""},   // a refused item closes the list
        {many, "", EXCLUDE_OK, 100000, "C:\\data\\f99999|*.t|1|0"},
    };
    TempDir dir;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.values[0]);
        EXCLUDEHANDLE h = reinterpret_cast<EXCLUDEHANDLE>(1);
        EXPECT_EQ(c.status, ExcludeOpenEx(&h, Profile(dir, c.values, c.countKey).c_str(), nullptr));
        EXPECT_EQ(c.count, ExcludeGetCount(h));
        EXPECT_EQ(c.status == EXCLUDE_DUPLICATE || c.status == EXCLUDE_ILLEGALCHAR, h == nullptr);
        if (h) EXPECT_EQ(c.count / 10 * 10 + 10, Head(h).capacity);
        ExcludeItem got{};
        if (c.count) ASSERT_EQ(EXCLUDE_OK, ExcludeGet(h, c.count - 1, &got));
        EXPECT_EQ(c.last, Fields(got).substr(0, std::strlen(c.last)));
        EXPECT_EQ(0u, ExcludeClose(&h, 0));
    }
}

// Saved items replace the stored ones, stale keys go; long fields written cut fail the next load.
TEST(ExcludeProfile, SaveAndReopen)
{
    TempDir dir;
    const std::string ini = Profile(dir, {"C:\\0||1|0", "C:\\1||1|0", "C:\\2||1|0", "C:\\3||1|0"});
    const ExcludeItem added[] = {MakeItem("", "*.bak", 0xFFFFFFFFu, 1), MakeItem(std::string(260, 'f'), std::string(260, 'p'))};
    EXCLUDEHANDLE h = nullptr;
    for (const ExcludeItem &item : added) {
        ASSERT_EQ(EXCLUDE_OK, ExcludeOpenEx(&h, ini.c_str(), nullptr));
        for (const char *gone : {"C:\\0", "C:\\1", "C:\\2"}) ExcludeDelete(h, gone, nullptr);   // in the first round
        ASSERT_EQ(EXCLUDE_OK, ExcludeAdd(h, &item));
        ExcludeClose(&h, 1);
    }
    std::string saved;
    for (const std::string key : {"NumExcludeItems", "ExcludedItem_0", "ExcludedItem_1", "ExcludedItem_2", "ExcludedItem_3"}) {
        char buf[1024];
        GetPrivateProfileStringA("ExcludedItems", key.c_str(), "<none>", buf, sizeof buf, ini.c_str());
        saved += std::string(buf) + "\n";
    }
    EXPECT_EQ("3\nC:\\3||1|0\n|*.bak|-1|1\n" + std::string(260, 'f') + "|" + std::string(258, 'p') + "\n<none>\n", saved);
    EXPECT_EQ(EXCLUDE_LOADFAILED, ExcludeOpenEx(&h, ini.c_str(), nullptr));
    ExcludeClose(&h, 0);
}

// Random values and counts: an answer the list allows, and a list only when it is open.
TEST(ExcludeProfile, GarbageFilesNeverCrash)
{
    TempDir dir;
    std::mt19937 rng(12345);
    const char alphabet[] = "|||0123456789-+ abc\\:*?\r\n=[]ExcludedItems_";
    for (int round = 0; round < 100; ++round) {
        std::vector<std::string> values(1 + rng() % 6);
        for (auto &v : values)
            for (unsigned n = rng() % 300; n; --n) v += alphabet[rng() % (sizeof alphabet - 1)];
        EXCLUDEHANDLE h = nullptr;
        const DWORD status = ExcludeOpenEx(&h, Profile(dir, values, std::to_string(int(rng() % 8) - 1)).c_str(), nullptr);
        const bool refused = status == EXCLUDE_DUPLICATE || status == EXCLUDE_ILLEGALCHAR;
        ASSERT_TRUE(status == EXCLUDE_OK || status == EXCLUDE_LOADFAILED || refused) << status;
        EXPECT_EQ(refused, h == nullptr);
        ExcludeCheck(h, "C:\\abc\\x.tmp", 0xFFFFFFFFu);
        ExcludeClose(&h, 0);
    }
}

} // namespace

// The check written the plain way: each item in turn, the path split for it, folders cut by hand.
namespace plain {

void Split(const std::string &path, std::string &folder, std::string &name)
{
    char copy[261] = {};
    std::strncpy(copy, path.c_str(), 260);
    folder.clear();
    name = copy;
    if (char *wild = NameHasWildcards(copy)) {
        size_t at = size_t(wild - copy) + 1;
        while (at > 0 && copy[at - 1] != '\\') --at;
        if (at-- == 0) return;
        folder.assign(copy, at <= 2 && copy[0] == '\\' ? 2 : at);
        name = copy + at + 1;
    } else if (std::strchr(copy, '\\')) {
        char file[261] = {};
        NameReturnFile(copy, file);
        name = file;
        NameStripFile(copy);
        folder = copy;
        if (folder.size() == 2 && folder[1] == ':') folder += '\\';
    }
}

std::vector<std::string> Elements(const std::string &folder)   // up to the first empty one
{
    std::vector<std::string> out;
    std::istringstream in(folder);
    for (std::string e; std::getline(in, e, '\\') && !e.empty();) out.push_back(e);
    return out;
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
            if (_stricmp(want[i].c_str(), have[j].c_str()) != 0) return false;
            ++i;
            if (++j == have.size()) break;
        }
    if (i < want.size()) return false;
    if (j < have.size() && !item.subfolders) return false;
    return p.empty() || pn.empty() || NameWildcardMatch(p.c_str(), pn.c_str());
}

} // namespace plain

// Random lists and paths (some odd) get the plain loop's answers.
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
    const std::string odd[] = {"\\\\\\", "*", "?\\", "a\\\\\\b", std::string(1000, '\\'), "C:\\" + std::string(1000, 'a'),
                               "C:\\" + std::string(300, '*'), std::string(300, 'x') + "\\a.txt"};
    AllocationCounter counter(GetModuleHandleA("DADADA32.dll"));   // checking allocates nothing
    ASSERT_GT(counter.Redirected(), 0);
    for (int list = 0; list < 60; ++list) {
        MemoryList l;
        std::vector<ExcludeItem> items;
        for (unsigned n = rng() % 8; n; --n) {
            ExcludeItem item = MakeItem(list % 10 ? folder() : std::string(260, 'x'), patterns[rng() % 8], 1 + rng() % 3, rng() % 2);
            if (l.Add(item) == EXCLUDE_OK) items.push_back(item);
        }
        for (int k = 0; k < 200; ++k) {
            std::string path = k % 25 ? folder() : odd[k / 25];
            if (rng() % 4) path += (path.empty() ? "" : "\\") + name();
            const DWORD mask = rng() % 4;
            DWORD want = N;
            for (const auto &item : items)
                if ((item.mask & mask) && plain::Covers(item, path)) { want = Y; break; }
            counter.Reset();
            ASSERT_EQ(want, ExcludeCheck(l.get(), path.c_str(), mask)) << "list " << list << ", path " << path;
            ASSERT_EQ(0, counter.Count()) << path;
        }
    }
}
