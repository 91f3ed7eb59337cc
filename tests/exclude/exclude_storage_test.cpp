// Lists kept through the caller's storage procedure or in a profile file:
// the order of the operations, failing storage, malformed values, saving.
#include "exclude_helpers.h"
#include "testutil.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <utility>
#include <vector>

using namespace dadatest;

namespace {

// Caller storage that records every call as "op:index" and can fail one
// operation at a chosen index; a partial storage fills only the pattern of
// every item after the first.
struct Storage {
    std::vector<ExcludeItem> items;
    std::string calls;
    DWORD setCount = ~0u, failOp = ~0u, failIndex = ~0u, countToReport = ~0u;   // ~0: the items held
    bool partial = false;

    explicit Storage(int n)
    {
        for (int i = 0; i < n; ++i) items.push_back(MakeItem("C:\\d" + std::to_string(i), "*.x"));
    }
    static DWORD WINAPI Proc(UINT_PTR context, DWORD index, DWORD op, UINT_PTR data)
    {
        auto *s = reinterpret_cast<Storage *>(context);
        s->calls += (s->calls.empty() ? "" : " ") + std::to_string(op) + ":" + std::to_string(index);
        if (op == s->failOp && index == s->failIndex) return op == EXCLUDE_OP_OPEN ? 0 : 2;
        auto *item = reinterpret_cast<ExcludeItem *>(data);
        switch (op) {
        case EXCLUDE_OP_GETCOUNT:
            EXPECT_EQ(*reinterpret_cast<DWORD *>(data), 0u);   // preset
            *reinterpret_cast<DWORD *>(data) = s->countToReport != ~0u ? s->countToReport : DWORD(s->items.size());
            break;
        case EXCLUDE_OP_READ:
            if (index >= s->items.size()) return 0;
            if (!index) EXPECT_EQ(item->folder[0] | item->pattern[0], 0) << "the buffer starts zeroed";
            if (s->partial && index) std::strcpy(item->pattern, s->items[index].pattern);
            else *item = s->items[index];
            break;
        case EXCLUDE_OP_WRITE: s->items.resize(std::max<size_t>(s->items.size(), index + 1)); s->items[index] = *item; break;
        case EXCLUDE_OP_SETCOUNT: s->setCount = DWORD(data); break;
        case EXCLUDE_OP_DELETE: if (index < s->items.size()) s->items[index].folder[0] = '#'; break;
        default: EXPECT_EQ(data, 0u);
        }
        return 1;
    }
    DWORD Open(EXCLUDEHANDLE *h)
    {
        ExcludeStorageHook hook{reinterpret_cast<UINT_PTR>(this), Proc};
        return ExcludeOpenEx(h, "ignored.ini", &hook);
    }
    std::string Calls() { return std::exchange(calls, {}); }
};

TEST(ExcludeHook, OperationOrderOfAWholeLife)
{
    Storage s(5);
    EXCLUDEHANDLE h = nullptr;
    ASSERT_EQ(s.Open(&h), EXCLUDE_OK);
    EXPECT_EQ(s.Calls(), "2:0 4:0 0:0 0:1 0:2 0:3 0:4");
    ASSERT_EQ(ExcludeDelete(h, "C:\\d1", "*.x"), EXCLUDE_OK);
    ASSERT_EQ(ExcludeDelete(h, "C:\\d4", "*.X"), EXCLUDE_OK);
    ExcludeItem added = MakeItem("\\new", "", 2, 1);
    ASSERT_EQ(ExcludeAdd(h, &added), EXCLUDE_OK);
    EXPECT_EQ(s.Calls(), "");
    EXPECT_EQ(ExcludeClose(&h, 1), 0u);
    EXPECT_EQ(s.Calls(), "5:0 1:0 1:1 1:2 1:3 6:4 3:0");
    EXPECT_EQ(s.setCount, 4u);
    const char *expect[] = {"C:\\d0", "C:\\d2", "C:\\d3", "\\new", "#:\\d4"};
    for (int i = 0; i < 5; ++i) EXPECT_STREQ(s.items[i].folder, expect[i]) << i;
    // Reopened, the storage gives back what was saved; discarded, it is closed unsaved.
    s.items.resize(4);
    ASSERT_EQ(s.Open(&h), EXCLUDE_OK);
    ExcludeItem got;
    ASSERT_EQ(ExcludeGet(h, 3, &got), EXCLUDE_OK);
    EXPECT_EQ(std::memcmp(&got, &added, sizeof got), 0);
    s.Calls();
    ExcludeClose(&h, 0);
    EXPECT_EQ(s.Calls(), "3:0");
}

TEST(ExcludeHook, FailingStorageOnOpen)
{
    static const struct {
        const char *name;
        int held;
        DWORD failOp, failIndex, countToReport, status;
        const char *calls;   // of the open; a list left open is then closed with "3:0"
        DWORD count;         // items in the open list
    } cases[] = {
        {"open refused", 3, EXCLUDE_OP_OPEN, 0, ~0u, EXCLUDE_OK, "2:0 4:0", 0},
        {"count refused", 3, EXCLUDE_OP_GETCOUNT, 0, ~0u, EXCLUDE_OK, "2:0 4:0", 0},
        {"first read fails", 3, EXCLUDE_OP_READ, 0, ~0u, EXCLUDE_LOADFAILED, "2:0 4:0 0:0", 0},
        {"middle read fails", 3, EXCLUDE_OP_READ, 1, ~0u, EXCLUDE_LOADFAILED, "2:0 4:0 0:0 0:1", 1},
        {"count above items", 2, ~0u, ~0u, 4, EXCLUDE_LOADFAILED, "2:0 4:0 0:0 0:1 0:2", 2},
        {"empty storage", 0, ~0u, ~0u, ~0u, EXCLUDE_OK, "2:0 4:0", 0},
        {"negative count", 3, ~0u, ~0u, 0x80000000u, EXCLUDE_OK, "2:0 4:0", 0},
        {"duplicate frees the list", -1, ~0u, ~0u, ~0u, EXCLUDE_DUPLICATE, "2:0 4:0 0:0 0:1 0:2", 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Storage s(c.held < 0 ? 3 : c.held);
        if (c.held < 0) s.items[2] = s.items[0];
        s.failOp = c.failOp, s.failIndex = c.failIndex, s.countToReport = c.countToReport;
        EXCLUDEHANDLE h = reinterpret_cast<EXCLUDEHANDLE>(1);
        EXPECT_EQ(s.Open(&h), c.status);
        EXPECT_EQ(s.Calls(), c.calls);
        if (c.status == EXCLUDE_DUPLICATE) { EXPECT_EQ(h, nullptr); continue; }
        ASSERT_NE(h, nullptr);   // the caller closes a partly loaded list
        EXPECT_EQ(ExcludeGetCount(h), c.count);
        EXPECT_EQ(ExcludeClose(&h, 0), 0u);
        EXPECT_EQ(s.Calls(), "3:0");
    }
}

// A storage that fills only the pattern sees the folder of the item it gave before.
TEST(ExcludeHook, ReadBufferIsZeroedOnceOnly)
{
    Storage s(2);
    s.partial = true;
    std::strcpy(s.items[1].pattern, "b");
    EXCLUDEHANDLE h = nullptr;
    ASSERT_EQ(s.Open(&h), EXCLUDE_OK);
    ExcludeItem got;
    ASSERT_EQ(ExcludeGet(h, 1, &got), EXCLUDE_OK);
    ExpectFields(got, MakeItem("C:\\d0", "b"));
    ExcludeClose(&h, 0);
}

TEST(ExcludeHook, FailedWritesStopTheSave)
{
    static const struct { DWORD failIndex; int held, deleteFirst; const char *calls; } cases[] = {
        // Stale items are removed after the last write tried.
        {1, 5, 2, "5:0 1:0 1:1 6:2 6:3 6:4 3:0"}, {0, 5, 2, "5:0 1:0 6:1 6:2 6:3 6:4 3:0"},
        {1, 3, 0, "5:0 1:0 1:1 3:0"},   // not shrunk
    };
    for (const auto &c : cases) {
        Storage s(c.held);
        EXCLUDEHANDLE h = nullptr;
        ASSERT_EQ(s.Open(&h), EXCLUDE_OK);
        for (int i = 0; i < c.deleteFirst; ++i) ASSERT_EQ(ExcludeDelete(h, s.items[i].folder, "*.x"), EXCLUDE_OK);
        s.Calls();
        s.failOp = EXCLUDE_OP_WRITE, s.failIndex = c.failIndex;
        EXPECT_EQ(ExcludeClose(&h, 1), 0u);
        EXPECT_EQ(s.Calls(), c.calls);
    }
    // A flush clears the changed flag even when the writes fail.
    Storage s(2);
    EXCLUDEHANDLE h = nullptr;
    ASSERT_EQ(s.Open(&h), EXCLUDE_OK);
    s.Calls();
    s.failOp = EXCLUDE_OP_WRITE, s.failIndex = 0;
    EXPECT_EQ(ExcludeFlush(h), 0u);
    EXPECT_EQ(s.Calls(), "5:0 1:0");
    EXPECT_EQ(ExcludeFlush(h), 0u);
    EXPECT_EQ(s.Calls(), "");
    ExcludeClose(&h, 1);
    EXPECT_EQ(s.Calls(), "3:0");
}

std::string ItemKey(int i) { return "ExcludedItem_" + std::to_string(i); }

std::string ReadValue(const std::string &ini, const std::string &key)
{
    char buf[1024];
    GetPrivateProfileStringA("ExcludedItems", key.c_str(), "<none>", buf, sizeof buf, ini.c_str());
    return buf;
}

// A profile file holding `body`, under a name of its own (profiles may be cached by name).
std::string Profile(const TempDir &dir, const std::string &body)
{
    static int serial = 0;
    std::string path = dir.file("list" + std::to_string(serial++) + ".ini");
    EXPECT_TRUE(WriteFileBytes(path, body));
    return path;
}

std::string Items(std::initializer_list<std::string> values, int count = -1)
{
    std::string body = "[ExcludedItems]\r\nNumExcludeItems=" + std::to_string(count < 0 ? int(values.size()) : count);
    int i = 0;
    for (const auto &v : values) body += "\r\n" + ItemKey(i++) + "=" + v;
    return body + "\r\n";
}

TEST(ExcludeProfile, Load)
{
    const std::string f253(253, 'f'), head = "[ExcludedItems]\r\nNumExcludeItems=";
    const struct {
        const char *name;
        std::string body;
        DWORD status, count;   // count: items in the open list
        ExcludeItem first;     // compared when count > 0
    } cases[] = {
        {"no file section", "[Other]\r\nx=1\r\n", EXCLUDE_OK, 0, {}},
        {"example", Items({"C:\\temp|*.tmp|3|1"}), EXCLUDE_OK, 1, MakeItem("C:\\temp", "*.tmp", 3, 1)},
        {"signed numbers", Items({"\\x||-1| +2"}), EXCLUDE_OK, 1, MakeItem("\\x", "", 0xFFFFFFFFu, 2)},
        {"non-numeric mask", Items({"C:\\a|p|abc|1"}), EXCLUDE_OK, 1, MakeItem("C:\\a", "p", 0, 1)},
        {"digits then text", Items({"C:\\a|p|12ab|3x"}), EXCLUDE_OK, 1, MakeItem("C:\\a", "p", 12, 3)},
        {"empty numbers", Items({"C:\\a|p||"}), EXCLUDE_OK, 1, MakeItem("C:\\a", "p", 0, 0)},
        {"extra field", Items({"C:\\a|p|1|1|junk"}), EXCLUDE_OK, 1, MakeItem("C:\\a", "p", 1, 1)},
        {"no subfolders field", Items({"C:\\temp|*.tmp|3"}), EXCLUDE_LOADFAILED, 0, {}},
        {"no mask field", Items({"C:\\temp|*.tmp"}), EXCLUDE_LOADFAILED, 0, {}},
        {"folder only", Items({"C:\\temp"}), EXCLUDE_LOADFAILED, 0, {}},
        {"empty value", Items({"C:\\a|p|1|0", ""}), EXCLUDE_LOADFAILED, 1, MakeItem("C:\\a", "p", 1, 0)},
        {"key missing", head + "3\r\nExcludedItem_0=C:\\a|p|1|0\r\nExcludedItem_2=C:\\c|p|1|0\r\n",
         EXCLUDE_LOADFAILED, 1, MakeItem("C:\\a", "p", 1, 0)},
        {"count above the keys", Items({"C:\\a||1|0", "C:\\b||1|0"}, 5), EXCLUDE_LOADFAILED, 2, MakeItem("C:\\a", "")},
        {"count below the keys", Items({"C:\\a||1|0", "C:\\b||1|0"}, 1), EXCLUDE_OK, 1, MakeItem("C:\\a", "")},
        {"count garbage", head + "many\r\nExcludedItem_0=C:\\a||1|0\r\n", EXCLUDE_OK, 0, {}},
        {"negative count", head + "-1\r\nExcludedItem_0=C:\\a||1|0\r\n", EXCLUDE_OK, 0, {}},
        // Only 259 characters are read back: the separators are lost.
        {"value too long", Items({std::string(300, 'f') + "|p|1|0"}), EXCLUDE_LOADFAILED, 0, {}},
        {"259 characters, whole", Items({f253 + "|p|1|0"}), EXCLUDE_OK, 1, MakeItem(f253, "p", 1, 0)},
        {"quoted value", Items({"\"C:\\q|p|1|0\""}), EXCLUDE_OK, 1, MakeItem("C:\\q", "p", 1, 0)},
        {"keys in any case", "[excludeditems]\r\nNUMEXCLUDEITEMS=1\r\nexcludeditem_0=C:\\k|p|1|0\r\n", EXCLUDE_OK, 1,
         MakeItem("C:\\k", "p", 1, 0)},
        {"repeated key", head + "1\r\nExcludedItem_0=C:\\a||1|0\r\nExcludedItem_0=C:\\b||1|0\r\n", EXCLUDE_OK, 1,
         MakeItem("C:\\a", "")},
        // A refused stored item closes the list.
        {"duplicate", Items({"C:\\a|p|1|0", "c:\\A|P|2|1"}), EXCLUDE_DUPLICATE, 0, {}},
        {"illegal character", Items({"C:\\a|p|1|0", "C:\\<b>|p|1|0"}), EXCLUDE_ILLEGALCHAR, 0, {}},
    };
    TempDir dir;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXCLUDEHANDLE h = reinterpret_cast<EXCLUDEHANDLE>(1);
        EXPECT_EQ(ExcludeOpenEx(&h, Profile(dir, c.body).c_str(), nullptr), c.status);
        if (c.status == EXCLUDE_DUPLICATE || c.status == EXCLUDE_ILLEGALCHAR) { EXPECT_EQ(h, nullptr); continue; }
        ASSERT_NE(h, nullptr);
        EXPECT_EQ(ExcludeGetCount(h), c.count);
        ExcludeItem got{};
        if (c.count) {
            ASSERT_EQ(ExcludeGet(h, 0, &got), EXCLUDE_OK);
            ExpectFields(got, c.first);
        }
        EXPECT_EQ(ExcludeClose(&h, 0), 0u);
        EXPECT_EQ(h, nullptr);
    }
}

TEST(ExcludeProfile, ReadBufferIsZeroedOnceOnly)
{
    TempDir dir;
    EXCLUDEHANDLE h = nullptr;
    ASSERT_EQ(ExcludeOpenEx(&h, Profile(dir, Items({"C:\\longfolder|pattern|1|0", "C:\\a|p|2|1"})).c_str(), nullptr), 0u);
    ExcludeItem got;
    ASSERT_EQ(ExcludeGet(h, 1, &got), EXCLUDE_OK);
    ExpectFields(got, MakeItem("C:\\a", "p", 2, 1));
    EXPECT_STREQ(got.folder + 5, "ngfolder");   // the tail of the longer folder stays behind the terminator
    EXPECT_STREQ(got.pattern + 2, "ttern");
    ExcludeClose(&h, 0);
}

TEST(ExcludeProfile, SaveShrinkAndReopen)
{
    TempDir dir;
    std::string ini = Profile(dir, Items({"C:\\0||1|0", "C:\\1||1|0", "C:\\2||1|0", "C:\\3||1|0", "C:\\4||1|0"}));
    EXCLUDEHANDLE h = nullptr;
    ASSERT_EQ(ExcludeOpenEx(&h, ini.c_str(), nullptr), EXCLUDE_OK);
    EXPECT_EQ(Head(h).changed, 1u);   // loaded through ExcludeAdd
    for (const char *gone : {"C:\\0", "C:\\1", "C:\\2", "C:\\4"}) ASSERT_EQ(ExcludeDelete(h, gone, nullptr), 0u);
    const ExcludeItem items[] = {MakeItem("C:\\3", ""), MakeItem("", "*.bak;*.old", 0xFFFFFFFFu, 0),
                                 MakeItem("\\\\srv\\share", "", 2, 1), MakeItem(std::string(260, 'f'), std::string(260, 'p'))};
    for (int i = 1; i < 4; ++i) ASSERT_EQ(ExcludeAdd(h, &items[i]), EXCLUDE_OK);   // items[0] was kept
    ASSERT_EQ(ExcludeDelete(h, std::string(260, 'f').c_str(), std::string(260, 'p').c_str()), EXCLUDE_OK);
    ExcludeFlush(h);
    EXPECT_EQ(Head(h).storedCount, 5u);   // what the file held at open
    ExcludeClose(&h, 0);
    EXPECT_EQ(ReadValue(ini, "NumExcludeItems"), "3");
    const char *expect[] = {"C:\\3||1|0", "|*.bak;*.old|-1|0", "\\\\srv\\share||2|1", "<none>", "<none>"};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(ReadValue(ini, ItemKey(i)), expect[i]) << i;
    ASSERT_EQ(ExcludeOpenEx(&h, ini.c_str(), nullptr), EXCLUDE_OK);
    ASSERT_EQ(ExcludeGetCount(h), 3u);
    for (DWORD i = 0; i < 3; ++i) {
        ExcludeItem got;
        ASSERT_EQ(ExcludeGet(h, i, &got), EXCLUDE_OK);
        ExpectFields(got, items[i]);
    }
    EXPECT_EQ(Head(h).storedCount, 3u);
    // Long fields are written cut (519 characters); read back as 259 they fail the load.
    ASSERT_EQ(ExcludeAdd(h, &items[3]), EXCLUDE_OK);
    ExcludeClose(&h, 1);
    EXPECT_EQ(ReadValue(ini, ItemKey(3)), std::string(260, 'f') + "|" + std::string(258, 'p'));
    ASSERT_EQ(ExcludeOpenEx(&h, ini.c_str(), nullptr), EXCLUDE_LOADFAILED);
    EXPECT_EQ(ExcludeGetCount(h), 3u);
    ExcludeClose(&h, 0);
}

TEST(ExcludeProfile, UnchangedOrDiscardedListsWriteNothing)
{
    TempDir dir;
    const std::string body = "[ExcludedItems]\r\nNumExcludeItems=0\r\n", ini = Profile(dir, body);
    const ExcludeItem item = MakeItem("C:\\a", "");
    EXCLUDEHANDLE h = nullptr;
    ASSERT_EQ(ExcludeOpenEx(&h, ini.c_str(), nullptr), EXCLUDE_OK);
    EXPECT_EQ(ExcludeFlush(h), 0u);   // unchanged
    ASSERT_EQ(ExcludeAdd(h, &item), EXCLUDE_OK);
    EXPECT_EQ(ExcludeClose(&h, 0), 0u);   // discarded
    ASSERT_EQ(ExcludeOpenEx(&h, ini.c_str(), nullptr), EXCLUDE_OK);
    ASSERT_EQ(ExcludeAdd(h, &item), EXCLUDE_OK);
    EXPECT_EQ(ExcludeClose(&h, 2), 0u);   // only exactly 1 saves
    EXPECT_EQ(ReadFileBytes(ini), body);
}

// 100 000 stored items load whole, in order, with the capacity growing by
// ten as for any list; a case-only duplicate at the end still refuses all.
TEST(ExcludeProfile, LargeProfiles)
{
    constexpr int kItems = 100000;
    TempDir dir;
    for (bool duplicate : {false, true}) {
        const int stored = kItems + (duplicate ? 1 : 0);
        std::string body = "[ExcludedItems]\r\nNumExcludeItems=" + std::to_string(stored) + "\r\n";
        for (int i = 0; i < kItems; ++i)
            body += ItemKey(i) + "=C:\\data\\f" + std::to_string(i) + "|*.t" + std::to_string(i % 7) + "|" +
                    std::to_string(1 << (i % 3)) + "|" + std::to_string(i % 2) + "\r\n";
        if (duplicate) body += ItemKey(kItems) + "=c:\\DATA\\F77|*.T0|9|9\r\n";
        EXCLUDEHANDLE h = nullptr;
        const DWORD status = ExcludeOpenEx(&h, Profile(dir, body).c_str(), nullptr);
        if (duplicate) {
            EXPECT_EQ(status, EXCLUDE_DUPLICATE);
            EXPECT_EQ(h, nullptr);
            continue;
        }
        ASSERT_EQ(status, EXCLUDE_OK);
        EXPECT_EQ(ExcludeGetCount(h), DWORD(kItems));
        EXPECT_EQ(Head(h).capacity, DWORD(kItems + 10));
        for (int i : {0, 77, 4242, kItems - 1}) {
            ExcludeItem got{};
            ASSERT_EQ(ExcludeGet(h, DWORD(i), &got), EXCLUDE_OK);
            ExpectFields(got, MakeItem("C:\\data\\f" + std::to_string(i), "*.t" + std::to_string(i % 7),
                                       1u << (i % 3), DWORD(i % 2)));
        }
        EXPECT_EQ(ExcludeCheck(h, "C:\\data\\f99999\\x.t4", 1), EXCLUDE_COVERED);
        EXPECT_EQ(ExcludeCheck(h, "C:\\data\\f99999\\x.t3", 0xFF), EXCLUDE_NOTCOVERED);
        ExcludeClose(&h, 0);
    }
}

TEST(ExcludeProfile, GarbageFilesNeverCrash)
{
    TempDir dir;
    unsigned seed = 12345;
    auto next = [&] { seed = seed * 1103515245u + 12345u; return seed >> 16; };
    const char alphabet[] = "|||0123456789-+ abc\\:*?\r\n=[]ExcludedItems_";
    for (int round = 0; round < 200; ++round) {
        std::string body = "[ExcludedItems]\r\nNumExcludeItems=" + std::to_string(next() % 6) + "\r\n";
        for (int k = 0; k < 6; ++k) {
            body += ItemKey(int(next() % 6)) + "=";
            for (unsigned n = next() % 300; n; --n) body += alphabet[next() % (sizeof alphabet - 1)];
            body += "\r\n";
        }
        std::string ini = Profile(dir, body);
        EXCLUDEHANDLE h = nullptr;
        DWORD status = ExcludeOpenEx(&h, ini.c_str(), nullptr);
        bool refused = status == EXCLUDE_DUPLICATE || status == EXCLUDE_ILLEGALCHAR;
        ASSERT_TRUE(status == EXCLUDE_OK || status == EXCLUDE_LOADFAILED || refused) << status;
        EXPECT_EQ(h == nullptr, refused);
        if (h) ExcludeCheck(h, "C:\\abc\\x.tmp", 0xFFFFFFFFu);
        ExcludeClose(&h, 0);
        DeleteFileA(ini.c_str());
    }
}

} // namespace
