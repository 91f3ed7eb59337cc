// Dynamic array and linked list against standard containers, seeded random.
#include <gtest/gtest.h>
#include "dadada32.h"

#include <deque>
#include <random>

namespace {

// A caller allocator that counts its live blocks and can be told to fail.
int g_live, g_failAfter = -1;

void *WINAPI CountedAlloc(DWORD size)
{
    if (g_failAfter-- == 0) return nullptr;
    ++g_live;
    return malloc(size);
}

void WINAPI CountedFree(void *p)
{
    --g_live;
    free(p);
}

// Adds and removals anywhere, in global memory and the caller's (which may have none left to grow);
// capacity grows by 10 before full.
TEST(Array, RandomAgainstVector)
{
    for (const bool counted : {false, true}) {
        Array *a = counted ? ARRAY_Create(CountedAlloc, CountedFree) : ARRAY_Create(nullptr, nullptr);
        std::mt19937 rng(7);
        std::vector<UINT_PTR> model;
        DWORD capacity = 10;
        for (int step = 0; step < 2000; ++step) {
            const DWORD at = rng() % (model.size() + 2);
            if (rng() % 3) {
                const bool grows = model.size() + 1 >= capacity;
                g_failAfter = counted && rng() % 4 == 0 ? 0 : -1;   // growth without memory keeps the values
                const bool fails = grows && g_failAfter == 0;
                ASSERT_EQ(fails ? 0u : 1u, ARRAY_Add(&a, UINT_PTR(at) << 16 | step));
                capacity += grows && !fails ? 10 : 0;
                if (!fails) model.push_back(UINT_PTR(at) << 16 | step);
            } else {
                ASSERT_EQ(1u, ARRAY_RemoveAt(a, at));
                if (at < model.size()) model.erase(model.begin() + at);
            }
            ASSERT_EQ(capacity, *reinterpret_cast<const DWORD *>(a)) << step;
            ASSERT_EQ(model.size(), ARRAY_GetCount(a)) << step;
            for (DWORD i = 0; i <= model.size(); ++i) ASSERT_EQ(i < model.size() ? model[i] : 0, ARRAY_GetAt(a, i)) << step;
        }
        ARRAY_Destroy(a);
    }
    EXPECT_EQ(0, g_live) << "every block went back to the caller";
    Array *none = nullptr;
    EXPECT_EQ(0u, ARRAY_Add(&none, 1));
}

// Adds at the head, removals at the tail and anywhere (past the end too).
TEST(LinkedList, RandomAgainstDeque)
{
    std::mt19937 rng(4242);
    std::vector<LinkedListNode> pool(64);
    std::deque<int> model;   // the tail first
    LinkedList *list = nullptr;
    ASSERT_EQ(1u, LinkedList_Init(&list));
    for (int step = 0; step < 5000; ++step) {
        const int op = rng() % 3, idle = rng() % 64;
        if (op == 0 && std::find(model.begin(), model.end(), idle) == model.end()) {
            ASSERT_EQ(1u, LinkedList_AddHead(list, &pool[idle]));
            model.push_back(idle);
        } else if (op != 0) {
            const DWORD at = op == 1 ? 0 : rng() % (model.size() + 2);
            LinkedListNode *e = op == 1 ? LinkedList_RemoveTail(list) : LinkedList_RemoveAt(list, at);
            ASSERT_EQ(at < model.size() ? &pool[model[at]] : nullptr, e) << step;
            if (e) model.erase(model.begin() + at);
        }
        ASSERT_EQ(model.size(), LinkedList_GetCount(list));
        for (DWORD i = 0; i <= model.size(); ++i)
            ASSERT_EQ(i < model.size() ? &pool[model[i]] : nullptr, LinkedList_PeekAt(list, i)) << step;
    }
    // Past the count: null, without following the newest element's (caller's) links.
    LinkedListNode newest{}, stray{};
    LinkedList_AddHead(list, &newest);
    newest.newer = &stray;
    EXPECT_EQ(nullptr, LinkedList_PeekAt(list, model.size() + 1));
    EXPECT_EQ(nullptr, LinkedList_RemoveAt(list, model.size() + 1));
    EXPECT_EQ(0u, LinkedList_AddHead(list, nullptr));
    LinkedList_End(&list);
    EXPECT_EQ(nullptr, list);
    LinkedList_End(&list);
    EXPECT_EQ(0u, LinkedList_GetCount(nullptr));
}

} // namespace
