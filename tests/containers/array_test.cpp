// Dynamic array: growth before full, removal, the caller's allocator pair.
#include <gtest/gtest.h>
#include "dadada32.h"

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

} // namespace
