// Lists kept through the caller's storage procedure: the order of the
// operations, and storage that fails at each step.
#include "exclude_helpers.h"
#include "testutil.h"
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace dadatest;

namespace {

// Caller storage that records every call as "op:index" and can fail one
// operation at a chosen index.
struct Storage {
    std::vector<ExcludeItem> items;
    std::vector<std::string> calls;
    DWORD setCount = ~0u;
    DWORD failOp = ~0u, failIndex = ~0u;
    DWORD countToReport = ~0u;   // ~0: the number of items held

    static DWORD WINAPI Proc(UINT_PTR context, DWORD index, DWORD op, UINT_PTR data)
    {
        auto *s = reinterpret_cast<Storage *>(context);
        s->calls.push_back(std::to_string(op) + ":" + std::to_string(index));
        if (op == s->failOp && index == s->failIndex) return op == EXCLUDE_OP_OPEN ? 0 : 2;
        switch (op) {
        case EXCLUDE_OP_GETCOUNT:
            EXPECT_EQ(*reinterpret_cast<DWORD *>(data), 0u);   // preset
            *reinterpret_cast<DWORD *>(data) = s->countToReport != ~0u ? s->countToReport : DWORD(s->items.size());
            break;
        case EXCLUDE_OP_READ:
            if (index >= s->items.size()) return 0;
            *reinterpret_cast<ExcludeItem *>(data) = s->items[index];
            break;
        case EXCLUDE_OP_WRITE:
            if (s->items.size() <= index) s->items.resize(index + 1);
            s->items[index] = *reinterpret_cast<const ExcludeItem *>(data);
            break;
        case EXCLUDE_OP_SETCOUNT: s->setCount = DWORD(data); break;
        case EXCLUDE_OP_DELETE:
            if (index < s->items.size()) s->items[index].folder[0] = '#';
            break;
        default: EXPECT_EQ(data, 0u);
        }
        return 1;
    }
    ExcludeStorageHook Hook() { return {reinterpret_cast<UINT_PTR>(this), Proc}; }
    std::string Calls()
    {
        std::string all;
        for (auto &c : calls) all += (all.empty() ? "" : " ") + c;
        calls.clear();
        return all;
    }
};

Storage Holding(int n)
{
    Storage s;
    for (int i = 0; i < n; ++i) s.items.push_back(MakeItem(("C:\\d" + std::to_string(i)).c_str(), "*.x", 1, 0));
    return s;
}

} // namespace

TEST(ExcludeHook, OperationOrderOfAWholeLife)
{
    Storage s = Holding(5);
    ExcludeStorageHook hook = s.Hook();
    EXCLUDEHANDLE h = nullptr;
    ASSERT_EQ(ExcludeOpenEx(&h, "ignored.ini", &hook), EXCLUDE_OK);
    EXPECT_EQ(s.Calls(), "2:0 4:0 0:0 0:1 0:2 0:3 0:4");
    ASSERT_EQ(ExcludeGetCount(h), 5u);
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

    // Reopened, the storage gives back what was saved.
    s.items.resize(4);
    hook = s.Hook();
    ASSERT_EQ(ExcludeOpenEx(&h, nullptr, &hook), EXCLUDE_OK);
    ExcludeItem got;
    ASSERT_EQ(ExcludeGet(h, 3, &got), EXCLUDE_OK);
    EXPECT_EQ(std::memcmp(&got, &added, sizeof got), 0);
    s.Calls();
    ExcludeClose(&h, 0);
    EXPECT_EQ(s.Calls(), "3:0");   // discarded: no save, still closed
}

TEST(ExcludeHook, FailingStorage)
{
    struct Case {
        const char *name;
        int held;
        DWORD failOp, failIndex, countToReport;
        DWORD status;
        const char *calls;   // of the open
        DWORD count;         // items in the open list
    };
    static const Case cases[] = {
        {"open refused", 3, EXCLUDE_OP_OPEN, 0, ~0u, EXCLUDE_OK, "2:0 4:0", 0},
        {"count refused", 3, EXCLUDE_OP_GETCOUNT, 0, ~0u, EXCLUDE_OK, "2:0 4:0", 0},
        {"first read fails", 3, EXCLUDE_OP_READ, 0, ~0u, EXCLUDE_LOADFAILED, "2:0 4:0 0:0", 0},
        {"middle read fails", 3, EXCLUDE_OP_READ, 1, ~0u, EXCLUDE_LOADFAILED, "2:0 4:0 0:0 0:1", 1},
        {"count above items", 2, ~0u, ~0u, 4, EXCLUDE_LOADFAILED, "2:0 4:0 0:0 0:1 0:2", 2},
        {"empty storage", 0, ~0u, ~0u, ~0u, EXCLUDE_OK, "2:0 4:0", 0},
        {"negative count", 3, ~0u, ~0u, 0x80000000u, EXCLUDE_OK, "2:0 4:0", 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Storage s = Holding(c.held);
        s.failOp = c.failOp;
        s.failIndex = c.failIndex;
        s.countToReport = c.countToReport;
        ExcludeStorageHook hook = s.Hook();
        EXCLUDEHANDLE h = nullptr;
        EXPECT_EQ(ExcludeOpenEx(&h, nullptr, &hook), c.status);
        EXPECT_EQ(s.Calls(), c.calls);
        ASSERT_NE(h, nullptr);   // the caller closes a partly loaded list
        EXPECT_EQ(ExcludeGetCount(h), c.count);
        EXPECT_EQ(ExcludeClose(&h, 0), 0u);
        EXPECT_EQ(s.Calls(), "3:0");
    }
}

TEST(ExcludeHook, DuplicateFromStorageFreesTheList)
{
    Storage s = Holding(3);
    s.items[2] = s.items[0];
    ExcludeStorageHook hook = s.Hook();
    EXCLUDEHANDLE h = reinterpret_cast<EXCLUDEHANDLE>(1);
    EXPECT_EQ(ExcludeOpenEx(&h, nullptr, &hook), EXCLUDE_DUPLICATE);
    EXPECT_EQ(h, nullptr);
    EXPECT_EQ(s.Calls(), "2:0 4:0 0:0 0:1 0:2");   // and no close
}

TEST(ExcludeHook, ReadBufferIsZeroedOnceOnly)
{
    // A storage that fills only the pattern sees the folder of the item it
    // gave before: the buffer is cleared once, before the first read.
    struct Partial {
        static DWORD WINAPI Proc(UINT_PTR, DWORD index, DWORD op, UINT_PTR data)
        {
            if (op == EXCLUDE_OP_GETCOUNT) *reinterpret_cast<DWORD *>(data) = 2;
            if (op != EXCLUDE_OP_READ) return 1;
            auto *item = reinterpret_cast<ExcludeItem *>(data);
            if (index == 0) {
                EXPECT_EQ(item->folder[0], 0);
                *item = MakeItem("C:\\first", "a", 1, 0);
            } else {
                std::strcpy(item->pattern, "b");
            }
            return 1;
        }
    };
    ExcludeStorageHook hook{0, Partial::Proc};
    EXCLUDEHANDLE h = nullptr;
    ASSERT_EQ(ExcludeOpenEx(&h, nullptr, &hook), EXCLUDE_OK);
    ExcludeItem got;
    ASSERT_EQ(ExcludeGet(h, 1, &got), EXCLUDE_OK);
    EXPECT_STREQ(got.folder, "C:\\first");
    EXPECT_STREQ(got.pattern, "b");
    ExcludeClose(&h, 0);
}

TEST(ExcludeHook, FailedWriteStopsTheSave)
{
    struct Case { DWORD failIndex; int heldBefore, deleteFirst; const char *calls; };
    static const Case cases[] = {
        // Five stored, two deleted, the write of index 1 fails: stale items
        // are removed from index 2 on, after the last write tried.
        {1, 5, 2, "5:0 1:0 1:1 6:2 6:3 6:4 3:0"},
        {0, 5, 2, "5:0 1:0 6:1 6:2 6:3 6:4 3:0"},
        // Not shrunk: no deletes at all.
        {1, 3, 0, "5:0 1:0 1:1 3:0"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.calls);
        Storage s = Holding(c.heldBefore);
        ExcludeStorageHook hook = s.Hook();
        EXCLUDEHANDLE h = nullptr;
        ASSERT_EQ(ExcludeOpenEx(&h, nullptr, &hook), EXCLUDE_OK);
        for (int i = 0; i < c.deleteFirst; ++i) ASSERT_EQ(ExcludeDelete(h, s.items[i].folder, "*.x"), EXCLUDE_OK);
        s.Calls();
        s.failOp = EXCLUDE_OP_WRITE;
        s.failIndex = c.failIndex;
        EXPECT_EQ(ExcludeClose(&h, 1), 0u);
        EXPECT_EQ(s.Calls(), c.calls);
    }
}

TEST(ExcludeHook, FlushClearsChangedEvenWhenWritesFail)
{
    Storage s = Holding(2);
    ExcludeStorageHook hook = s.Hook();
    EXCLUDEHANDLE h = nullptr;
    ASSERT_EQ(ExcludeOpenEx(&h, nullptr, &hook), EXCLUDE_OK);
    s.Calls();
    s.failOp = EXCLUDE_OP_WRITE;
    s.failIndex = 0;
    EXPECT_EQ(ExcludeFlush(h), 0u);
    EXPECT_EQ(s.Calls(), "5:0 1:0");
    EXPECT_EQ(ExcludeFlush(h), 0u);   // nothing changed since
    EXPECT_EQ(s.Calls(), "");
    ExcludeClose(&h, 1);
    EXPECT_EQ(s.Calls(), "3:0");
}
