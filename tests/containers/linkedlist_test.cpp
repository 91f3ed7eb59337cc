// Linked list: FIFO order, positions from the tail, links after removal,
// and a seeded random sequence against a deque.
#include <gtest/gtest.h>
#include "dadada32.h"

#include <deque>
#include <random>

namespace {

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

TEST(LinkedList, FifoAndPositions)
{
    LinkedList *list = nullptr;
    ASSERT_EQ(1u, LinkedList_Init(&list));
    Element e[3] = {{{}, 'A'}, {{}, 'B'}, {{}, 'C'}};
    for (auto &x : e) EXPECT_EQ(1u, LinkedList_AddHead(list, &x.links));
    EXPECT_EQ(0u, LinkedList_AddHead(list, nullptr));
    EXPECT_EQ(0u, LinkedList_AddHead(nullptr, &e[0].links));
    EXPECT_EQ((std::deque<int>{'A', 'B', 'C'}), Walk(list));
    EXPECT_EQ(nullptr, LinkedList_PeekAt(list, 3));
    EXPECT_EQ(&e[1].links, LinkedList_RemoveAt(list, 1));
    EXPECT_EQ(&e[2].links, e[0].links.newer);
    EXPECT_EQ(&e[0].links, e[2].links.older);
    EXPECT_EQ(&e[2].links, e[1].links.newer) << "a removed element keeps its links";
    EXPECT_EQ(nullptr, LinkedList_RemoveAt(list, 2));
    EXPECT_EQ(&e[0].links, LinkedList_RemoveTail(list));
    EXPECT_EQ(&e[2].links, LinkedList_RemoveAt(list, 0));
    EXPECT_EQ(0u, LinkedList_GetCount(list));
    auto ends = reinterpret_cast<LinkedListNode *const *>(list);
    EXPECT_EQ(nullptr, ends[0]) << "tail of an emptied list";
    EXPECT_EQ(nullptr, ends[1]) << "head of an emptied list";
    EXPECT_EQ(nullptr, LinkedList_RemoveTail(list));
    EXPECT_EQ(nullptr, LinkedList_RemoveAt(list, 0));
    EXPECT_EQ(nullptr, LinkedList_PeekAt(list, 0));
    // An emptied list takes elements again from scratch.
    EXPECT_EQ(1u, LinkedList_AddHead(list, &e[1].links));
    EXPECT_EQ(nullptr, e[1].links.older);
    EXPECT_EQ(&e[1].links, LinkedList_RemoveTail(list));
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

} // namespace
