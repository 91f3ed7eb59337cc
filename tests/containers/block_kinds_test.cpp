// Every handle is a global-memory block of the kind its family uses:
// moveable (0x42) or fixed (0x40); the array's own record alone is fixed
// and left for the array to clear.
#include <gtest/gtest.h>
#include "dadada32.h"
#include "globalspy.h"
#include "testutil.h"

#include <functional>
#include <vector>

namespace {

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
