// Dynamic array and linked list (a seeded random sequence against a deque),
// and the global-memory kind of every family's blocks: moveable (0x42) or
// fixed (0x40); the array's own record alone is fixed and left to clear.
#include <gtest/gtest.h>
#include "dadada32.h"
#include "globalspy.h"
#include "testutil.h"

#include <deque>
#include <functional>
#include <random>
#include <set>
#include <vector>

namespace {

DWORD Capacity(const Array *a) { return *reinterpret_cast<const DWORD *>(a); }

std::vector<UINT_PTR> Values(const Array *a)
{
    std::vector<UINT_PTR> v;
    for (DWORD i = 0; i < ARRAY_GetCount(a); ++i) v.push_back(ARRAY_GetAt(a, i));
    return v;
}

TEST(Array, GrowsBeforeFull)
{
    Array *a = ARRAY_Create(nullptr, nullptr);
    ASSERT_TRUE(a);
    EXPECT_EQ(10u, Capacity(a));
    const struct { DWORD adds, capacity; } steps[] = {{9, 10}, {10, 20}, {19, 20}, {20, 30}, {55, 60}};
    DWORD added = 0;
    for (const auto &s : steps) {
        for (; added < s.adds; ++added) ASSERT_EQ(1u, ARRAY_Add(&a, UINT_PTR(added) << 33 | added));
        EXPECT_EQ(s.capacity, Capacity(a)) << s.adds;
        EXPECT_EQ(s.adds, ARRAY_GetCount(a));
    }
    for (DWORD i = 0; i < added; ++i) ASSERT_EQ(UINT_PTR(i) << 33 | i, ARRAY_GetAt(a, i));
    EXPECT_EQ(0u, ARRAY_GetAt(a, added));
    ARRAY_Destroy(a);
}

TEST(Array, RemoveAt)
{
    const struct { std::vector<UINT_PTR> values; DWORD index; std::vector<UINT_PTR> after; } cases[] = {
        {{1, 2, 3}, 0, {2, 3}}, {{1, 2, 3}, 1, {1, 3}}, {{1, 2, 3}, 2, {1, 2}},
        {{1, 2, 3}, 3, {1, 2, 3}}, {{1, 2, 3}, 0xFFFFFFFF, {1, 2, 3}}, {{}, 0, {}}, {{7}, 0, {}},
    };
    for (const auto &c : cases) {
        Array *a = ARRAY_Create(nullptr, nullptr);
        for (UINT_PTR v : c.values) ARRAY_Add(&a, v);
        EXPECT_EQ(1u, ARRAY_RemoveAt(a, c.index));
        EXPECT_EQ(c.after, Values(a)) << c.index;
        ARRAY_Destroy(a);
    }
}

TEST(Array, NullArrays)
{
    Array *none = nullptr;
    EXPECT_EQ(0u, ARRAY_Add(&none, 1));
    EXPECT_EQ(0u, ARRAY_Add(nullptr, 1));
    EXPECT_EQ(0u, ARRAY_GetAt(nullptr, 0));
    EXPECT_EQ(1u, ARRAY_RemoveAt(nullptr, 0)) << "removal answers 1 always";
    ARRAY_Destroy(nullptr);
}

// A caller allocator that keeps its own books and can be told to fail.
struct Books {
    std::set<void *> live;
    int allocs = 0, frees = 0, failAfter = -1;
} g_books;

void *WINAPI BookAlloc(DWORD size)
{
    if (g_books.failAfter == 0) return nullptr;
    if (g_books.failAfter > 0) --g_books.failAfter;
    void *p = malloc(size);
    memset(p, 0xCD, size);   // the array must clear what it gets
    g_books.live.insert(p);
    ++g_books.allocs;
    return p;
}

void WINAPI BookFree(void *p)
{
    EXPECT_EQ(1u, g_books.live.erase(p)) << "freed a block the allocator never gave";
    ++g_books.frees;
    free(p);
}

TEST(Array, CallerAllocator)
{
    g_books = {};
    Array *a = ARRAY_Create(BookAlloc, BookFree);
    ASSERT_TRUE(a);
    EXPECT_EQ(0u, ARRAY_GetAt(a, 0));
    for (UINT_PTR v = 1; v <= 25; ++v) ASSERT_EQ(1u, ARRAY_Add(&a, v));
    EXPECT_EQ(4, g_books.allocs);   // handle, then 10, 20 and 30 slots
    g_books.failAfter = 0;
    for (UINT_PTR v = 26; v <= 29; ++v) ASSERT_EQ(1u, ARRAY_Add(&a, v));
    EXPECT_EQ(0u, ARRAY_Add(&a, 30)) << "growth without memory";
    EXPECT_EQ(29u, ARRAY_GetCount(a));
    EXPECT_EQ(29u, ARRAY_GetAt(a, 28));
    ARRAY_Destroy(a);
    EXPECT_TRUE(g_books.live.empty());
    EXPECT_EQ(g_books.allocs, g_books.frees);

    const struct { int failAfter; int frees; } failures[] = {{0, 0}, {1, 1}};
    for (const auto &f : failures) {
        g_books = {};
        g_books.failAfter = f.failAfter;
        EXPECT_EQ(nullptr, ARRAY_Create(BookAlloc, BookFree));
        EXPECT_TRUE(g_books.live.empty());
        EXPECT_EQ(f.frees, g_books.frees);
    }

    // One function alone is not used at all.
    g_books = {};
    Array *lone = ARRAY_Create(BookAlloc, nullptr);
    ASSERT_TRUE(lone);
    ARRAY_Add(&lone, 5);
    ARRAY_Destroy(lone);
    EXPECT_EQ(0, g_books.allocs);
}

struct Element {
    LinkedListNode links;
    int value;
};

// Checks the links both ways and answers the values from the tail.
std::deque<int> Walk(const LinkedList *list)
{
    std::deque<int> values;
    const LinkedListNode *prev = nullptr;
    for (DWORD i = 0; i < LinkedList_GetCount(list); ++i) {
        const LinkedListNode *n = LinkedList_PeekAt(list, i);
        EXPECT_TRUE(n);
        if (!n) break;
        EXPECT_EQ(prev, n->older) << i;
        if (prev) EXPECT_EQ(n, prev->newer);
        values.push_back(reinterpret_cast<const Element *>(n)->value);
        prev = n;
    }
    if (prev) EXPECT_EQ(nullptr, prev->newer);
    return values;
}

// What the random sequence below does not reach: null arguments, the links
// a removed element keeps, the ends of an emptied list.
TEST(LinkedList, EdgesAndNulls)
{
    LinkedList *list = nullptr;
    ASSERT_EQ(1u, LinkedList_Init(&list));
    Element e[3] = {{{}, 'A'}, {{}, 'B'}, {{}, 'C'}};
    for (auto &x : e) EXPECT_EQ(1u, LinkedList_AddHead(list, &x.links));
    EXPECT_EQ(0u, LinkedList_AddHead(list, nullptr));
    EXPECT_EQ(0u, LinkedList_AddHead(nullptr, &e[0].links));
    EXPECT_EQ(&e[1].links, LinkedList_RemoveAt(list, 1));
    EXPECT_EQ(&e[2].links, e[1].links.newer) << "a removed element keeps its links";
    EXPECT_EQ(&e[0].links, LinkedList_RemoveTail(list));
    EXPECT_EQ(&e[2].links, LinkedList_RemoveAt(list, 0));
    auto ends = reinterpret_cast<LinkedListNode *const *>(list);
    EXPECT_EQ(nullptr, ends[0]) << "tail of an emptied list";
    EXPECT_EQ(nullptr, ends[1]) << "head of an emptied list";
    EXPECT_EQ(nullptr, LinkedList_PeekAt(list, 0));
    LinkedList_End(&list);
    EXPECT_EQ(nullptr, list);
    LinkedList_End(&list);
    LinkedList_End(nullptr);
    EXPECT_EQ(0u, LinkedList_GetCount(nullptr));
    EXPECT_EQ(nullptr, LinkedList_RemoveTail(nullptr));
    EXPECT_EQ(0u, LinkedList_Init(nullptr));
}

TEST(LinkedList, RandomAgainstDeque)
{
    std::mt19937 rng(4242);
    std::vector<Element> pool(64);
    std::deque<int> model;      // tail at the front
    std::vector<int> idle;
    for (int i = 0; i < 64; ++i) pool[i].value = i, idle.push_back(i);
    LinkedList *list = nullptr;
    ASSERT_EQ(1u, LinkedList_Init(&list));
    for (int step = 0; step < 5000; ++step) {
        int op = rng() % 3;
        if (op == 0 && !idle.empty()) {
            int v = idle.back();
            idle.pop_back();
            LinkedList_AddHead(list, &pool[v].links);
            model.push_back(v);
        } else if (op == 1) {
            auto *n = reinterpret_cast<Element *>(LinkedList_RemoveTail(list));
            ASSERT_EQ(model.empty(), n == nullptr);
            if (n) {
                ASSERT_EQ(model.front(), n->value);
                model.pop_front();
                idle.push_back(n->value);
            }
        } else {
            DWORD pos = rng() % (model.size() + 2);
            auto *n = reinterpret_cast<Element *>(LinkedList_RemoveAt(list, pos));
            ASSERT_EQ(pos >= model.size(), n == nullptr);
            if (n) {
                ASSERT_EQ(model[pos], n->value);
                model.erase(model.begin() + pos);
                idle.push_back(n->value);
            }
        }
        ASSERT_EQ(model.size(), LinkedList_GetCount(list));
        if (step % 50 == 0) ASSERT_EQ(model, Walk(list));
    }
    LinkedList_End(&list);
}

constexpr UINT kMoveable = GMEM_MOVEABLE | GMEM_ZEROINIT, kFixed = GMEM_FIXED | GMEM_ZEROINIT;

TEST(BlockKinds, EachFamilyAllocatesItsKind)
{
    dadatest::TempDir dir;
    const std::string table = dir.file("k.str");
    // One record: id 1, length 2, "x" and its zero, masked.
    ASSERT_TRUE(dadatest::WriteFileBytes(table, std::string("\0\0\0\1\1\0\0\0\1\0\2\0\x16\x6E", 14)));
    const struct {
        const char *name;
        std::function<void()> run;
        std::vector<UINT> flags;
    } cases[] = {
        {"array", [] { ARRAY_Destroy(ARRAY_Create(nullptr, nullptr)); }, {GMEM_FIXED, kFixed}},
        {"array growth", [] {
             Array *a = ARRAY_Create(nullptr, nullptr);
             for (UINT_PTR v = 0; v < 10; ++v) ARRAY_Add(&a, v);
             ARRAY_Destroy(a);
         }, {GMEM_FIXED, kFixed, kFixed}},
        {"linked list", [] {
             LinkedList *l = nullptr;
             LinkedList_Init(&l);
             LinkedList_End(&l);
         }, {kMoveable}},
        {"command line", [] {
             CmdLine *l = CmdLineInit("/a b");
             CmdLineEnd(CmdLineDuplicate(l));
             CmdLineEnd(l);
         }, {kFixed, kFixed}},
        {"string table", [&] {
             StringTable *t = nullptr;
             String_Init(&t, table.c_str());
             EXPECT_TRUE(t);
             String_End(&t);
         }, {kFixed, kFixed, kFixed}},
    };
    for (const auto &c : cases) {
        dadatest::GlobalAllocSpy spy;
        ASSERT_TRUE(spy.hooked());
        c.run();
        EXPECT_EQ(c.flags, spy.takeFlags()) << c.name;
    }
}

} // namespace
