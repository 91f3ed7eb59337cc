// The list in memory: add, find, get, delete, growth and argument checks.
#include "exclude_helpers.h"
#include "testutil.h"
#include <gtest/gtest.h>

using namespace dadatest;

TEST(ExcludeStore, AddRefusals)
{
    struct Case { const char *folder, *pattern; DWORD status; };
    static const Case cases[] = {
        {"C:\\temp", "*.tmp", EXCLUDE_OK},
        {"c:\\TEMP", "*.TMP", EXCLUDE_DUPLICATE},       // letter case is ignored
        {"C:\\temp", "", EXCLUDE_OK},
        {"", "*.tmp", EXCLUDE_OK},
        {"", "*.TMP", EXCLUDE_DUPLICATE},
        {"C:\\temp", "a|b", EXCLUDE_ILLEGALCHAR},
        {"C:\\temp", "a\"b", EXCLUDE_ILLEGALCHAR},
        {"C:\\te<mp", "", EXCLUDE_ILLEGALCHAR},
        {"C:\\temp", "a>b", EXCLUDE_ILLEGALCHAR},
        {"C:/temp", "", EXCLUDE_ILLEGALCHAR},
        {"C:\\temp", "tab\there", EXCLUDE_ILLEGALCHAR},
        {"C:\\temp", "\x1f", EXCLUDE_ILLEGALCHAR},
        {"\\\\srv\\share", "a?b*:c", EXCLUDE_OK},       // wildcards, colon, backslash allowed
        {"C:\\temp\\", "", EXCLUDE_OK},                 // not equal to "C:\temp"
    };
    MemoryList list;
    ASSERT_EQ(list.openStatus(), EXCLUDE_OK);
    DWORD expectCount = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.folder) + " | " + c.pattern);
        EXPECT_EQ(list.Add(MakeItem(c.folder, c.pattern)), c.status);
        if (c.status == EXCLUDE_OK) ++expectCount;
        EXPECT_EQ(ExcludeGetCount(list.get()), expectCount);
    }
}

TEST(ExcludeStore, GrowsByTenKeepingAFreeSlot)
{
    MemoryList list;
    EXPECT_EQ(Head(list.get()).capacity, 10u);
    for (int i = 0; i < 25; ++i) {
        ASSERT_EQ(list.Add(MakeItem(("C:\\d" + std::to_string(i)).c_str(), "")), EXCLUDE_OK);
        const ListHead &head = Head(list.get());
        EXPECT_EQ(head.count, DWORD(i + 1));
        EXPECT_GT(head.capacity, head.count);
        EXPECT_EQ(head.capacity, i < 9 ? 10u : i < 19 ? 20u : 30u) << "after item " << i + 1;
    }
    // The items survived every move, in order.
    for (DWORD i = 0; i < 25; ++i) {
        ExcludeItem got;
        ASSERT_EQ(ExcludeGet(list.get(), i, &got), EXCLUDE_OK);
        EXPECT_EQ(std::string(got.folder), "C:\\d" + std::to_string(i));
    }
}

TEST(ExcludeStore, FindAndDeleteTakeTheFirstEqualItem)
{
    MemoryList list;
    for (auto [f, p] : {std::pair{"C:\\a", ""}, {"C:\\a", "*.x"}, {"", "*.x"}, {"C:\\b", ""}})
        ASSERT_EQ(list.Add(MakeItem(f, p)), EXCLUDE_OK);
    ExcludeItem *found = ExcludeFind(list.get(), "c:\\A", nullptr);
    ASSERT_NE(found, nullptr);
    EXPECT_STREQ(found->pattern, "");
    found = ExcludeFind(list.get(), nullptr, "*.X");
    ASSERT_NE(found, nullptr);
    EXPECT_STREQ(found->folder, "");
    EXPECT_EQ(ExcludeFind(list.get(), "C:\\c", nullptr), nullptr);
    EXPECT_EQ(ExcludeFind(nullptr, "C:\\a", nullptr), nullptr);

    // A null pattern deletes only the item with an empty pattern.
    EXPECT_EQ(ExcludeDelete(list.get(), "C:\\a", nullptr), EXCLUDE_OK);
    EXPECT_EQ(ExcludeDelete(list.get(), "C:\\a", nullptr), EXCLUDE_BADARG);
    EXPECT_EQ(ExcludeDelete(list.get(), "C:\\a", ""), EXCLUDE_BADARG);
    EXPECT_EQ(ExcludeDelete(nullptr, "C:\\a", "*.x"), EXCLUDE_BADARG);
    ASSERT_EQ(ExcludeGetCount(list.get()), 3u);
    const char *order[][2] = {{"C:\\a", "*.x"}, {"", "*.x"}, {"C:\\b", ""}};
    for (DWORD i = 0; i < 3; ++i) {
        ExcludeItem got;
        ASSERT_EQ(ExcludeGet(list.get(), i, &got), EXCLUDE_OK);
        EXPECT_STREQ(got.folder, order[i][0]);
        EXPECT_STREQ(got.pattern, order[i][1]);
    }
    EXPECT_EQ(ExcludeDelete(list.get(), "C:\\b", ""), EXCLUDE_OK);   // the last one
    EXPECT_EQ(ExcludeGetCount(list.get()), 2u);
}

TEST(ExcludeStore, NullArguments)
{
    EXCLUDEHANDLE h = reinterpret_cast<EXCLUDEHANDLE>(1);
    EXPECT_EQ(ExcludeOpenEx(nullptr, "x.ini", nullptr), EXCLUDE_BADARG);
    EXPECT_EQ(ExcludeOpenEx(&h, nullptr, nullptr), EXCLUDE_BADARG);
    EXPECT_EQ(h, nullptr);
    EXPECT_EQ(ExcludeClose(&h, 1), 0u);
    EXPECT_EQ(ExcludeClose(nullptr, 1), 0u);
    EXPECT_EQ(ExcludeFlush(nullptr), 0u);
    EXPECT_EQ(ExcludeGetCount(nullptr), 0u);
    EXPECT_EQ(ExcludeAdd(nullptr, nullptr), EXCLUDE_BADARG);
    MemoryList list;
    EXPECT_EQ(ExcludeAdd(list.get(), nullptr), EXCLUDE_BADARG);
    ExcludeItem got;
    EXPECT_EQ(ExcludeGet(list.get(), 0, &got), EXCLUDE_BADARG);   // index equal to the count
    EXPECT_EQ(ExcludeGet(list.get(), 0, nullptr), EXCLUDE_BADARG);
    EXPECT_EQ(ExcludeGet(nullptr, 0, &got), EXCLUDE_BADARG);
    EXPECT_EQ(ExcludeCheck(nullptr, "C:\\a", 1), EXCLUDE_NOTCOVERED);
    EXPECT_EQ(ExcludeCheck(list.get(), nullptr, 1), EXCLUDE_NOTCOVERED);
}

TEST(ExcludeStore, UnterminatedFieldsAreCut)
{
    MemoryList list;
    ExcludeItem item;
    std::memset(&item, 'a', sizeof item);
    item.mask = 1;
    ASSERT_EQ(list.Add(item), EXCLUDE_OK);
    ExcludeItem got;
    ASSERT_EQ(ExcludeGet(list.get(), 0, &got), EXCLUDE_OK);
    EXPECT_EQ(std::strlen(got.folder), 260u);
    EXPECT_EQ(std::strlen(got.pattern), 260u);
}

TEST(ExcludeStore, ChangedFlagFollowsAddDeleteAndSave)
{
    MemoryList list;
    EXPECT_EQ(Head(list.get()).changed, 0u);
    ASSERT_EQ(list.Add(MakeItem("C:\\a", "")), EXCLUDE_OK);
    EXPECT_EQ(Head(list.get()).changed, 1u);
    ExcludeFlush(list.get());
    EXPECT_EQ(Head(list.get()).changed, 0u);
    EXPECT_EQ(list.Add(MakeItem("C:\\a", "")), EXCLUDE_DUPLICATE);
    EXPECT_EQ(Head(list.get()).changed, 0u);
    ASSERT_EQ(ExcludeDelete(list.get(), "C:\\a", ""), EXCLUDE_OK);
    EXPECT_EQ(Head(list.get()).changed, 1u);
}
