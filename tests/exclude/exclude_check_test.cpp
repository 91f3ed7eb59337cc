// ExcludeCheck: which paths an item covers.
#include "alloccount.h"
#include "exclude_helpers.h"
#include "testutil.h"
#include <gtest/gtest.h>
#include <vector>

using namespace dadatest;

namespace {

struct Case {
    ExcludeItem item;
    const char *path;
    DWORD mask;
    DWORD expect;
};

constexpr DWORD Y = EXCLUDE_COVERED, N = EXCLUDE_NOTCOVERED;

void RunCases(const std::vector<Case> &cases)
{
    for (const auto &c : cases) {
        MemoryList list;
        ASSERT_EQ(list.Add(c.item), EXCLUDE_OK) << c.item.folder << "|" << c.item.pattern;
        EXPECT_EQ(ExcludeCheck(list.get(), c.path, c.mask), c.expect)
            << "item '" << c.item.folder << "' '" << c.item.pattern << "' sub " << c.item.subfolders
            << " mask " << c.item.mask << ", path '" << c.path << "', mask " << c.mask;
    }
}

} // namespace

TEST(ExcludeCheck, Folders)
{
    RunCases({
        {MakeItem("C:\\temp", ""), "C:\\temp\\a.txt", 1, Y},
        {MakeItem("C:\\temp", ""), "C:\\temp\\sub\\a.txt", 1, N},
        {MakeItem("C:\\temp", ""), "C:\\tempx\\a.txt", 1, N},
        {MakeItem("C:\\temp", ""), "C:\\a.txt", 1, N},
        {MakeItem("C:\\temp", ""), "D:\\temp\\a.txt", 1, N},
        {MakeItem("C:\\temp", "", 1, 1), "C:\\temp\\sub\\a.txt", 1, Y},
        {MakeItem("C:\\temp", "", 1, 1), "C:\\temp\\a\\b\\c\\d.txt", 1, Y},
        {MakeItem("C:\\temp", "", 1, 1), "C:\\tmp\\sub\\a.txt", 1, N},
        {MakeItem("c:\\TEMP", ""), "C:\\temp\\a.txt", 1, Y},
        {MakeItem("C:\\temp\\", ""), "C:\\temp\\a.txt", 1, Y},
        {MakeItem("C:\\", ""), "C:\\readme.txt", 1, Y},
        {MakeItem("C:\\", ""), "C:\\temp\\readme.txt", 1, N},
        {MakeItem("C:\\", "", 1, 1), "C:\\temp\\readme.txt", 1, Y},
        {MakeItem("C:\\temp", ""), "readme.txt", 1, N},           // no folder in the path
        {MakeItem("C:\\temp\\sub", ""), "C:\\temp\\a.txt", 1, N},  // path above the item
    });
}

TEST(ExcludeCheck, DriveLessAndUncFolders)
{
    RunCases({
        {MakeItem("\\temp", ""), "D:\\temp\\x.doc", 1, Y},
        {MakeItem("\\temp", ""), "C:\\temp\\x.doc", 1, Y},
        {MakeItem("\\temp", ""), "\\\\srv\\share\\temp\\x.doc", 1, N},
        {MakeItem("\\temp", ""), "C:\\other\\temp\\x.doc", 1, N},
        {MakeItem("\\temp", "", 1, 1), "C:\\temp\\deep\\x.doc", 1, Y},
        {MakeItem("\\", ""), "C:\\file.txt", 1, N},                // "C:\" keeps its root
        {MakeItem("\\", "", 1, 1), "C:\\file.txt", 1, Y},
        {MakeItem("\\", "", 1, 1), "D:\\a\\b\\file.txt", 1, Y},
        {MakeItem("\\\\srv\\share", "", 1, 1), "\\\\srv\\share\\dir\\x.doc", 1, Y},
        {MakeItem("\\\\srv\\share", ""), "\\\\srv\\share\\dir\\x.doc", 1, N},
        {MakeItem("\\\\srv\\share", ""), "\\\\srv\\share\\x.doc", 1, Y},
        {MakeItem("\\\\srv\\share", ""), "\\\\SRV\\Share\\x.doc", 1, Y},
        {MakeItem("\\\\srv\\share", ""), "\\\\srv\\other\\x.doc", 1, N},
        {MakeItem("\\\\srv\\share", ""), "\\\\srv2\\share\\x.doc", 1, N},
        {MakeItem("\\\\srv", "", 1, 1), "\\\\srv\\share\\x.doc", 1, Y},
        {MakeItem("\\\\srv\\share\\dir", ""), "\\\\srv\\share\\x.doc", 1, N},
        // A drive-less path folder keeps its leading backslash: no element.
        {MakeItem("\\a", ""), "\\a\\x.txt", 1, N},
        {MakeItem("\\", ""), "\\a\\x.txt", 1, Y},
        {MakeItem("C:\\temp", ""), "\\\\srv\\share\\temp\\x.doc", 1, N},
    });
}

TEST(ExcludeCheck, Patterns)
{
    RunCases({
        {MakeItem("", "*.tmp"), "C:\\any\\where\\b.tmp", 1, Y},
        {MakeItem("", "*.tmp"), "b.tmp", 1, Y},
        {MakeItem("", "*.tmp"), "C:\\any\\b.doc", 1, N},
        {MakeItem("", "*.TMP"), "c:\\A\\B.tmp", 1, Y},
        {MakeItem("", "*.exe;*.com"), "C:\\a\\x.com", 1, Y},
        {MakeItem("", "*.exe;*.com"), "C:\\a\\x.bat", 1, N},
        {MakeItem("", ""), "C:\\a\\x.bat", 1, N},                  // nothing to match
        {MakeItem("", "*.tmp"), "C:\\temp\\", 1, N},               // no name to match
        {MakeItem("C:\\temp", "*.tmp", 1, 1), "C:\\temp\\sub\\x.tmp", 1, Y},
        {MakeItem("C:\\temp", "*.tmp", 1, 1), "C:\\temp\\x.doc", 1, N},
        {MakeItem("C:\\temp", "*.tmp"), "C:\\temp\\sub\\x.tmp", 1, N},
        {MakeItem("C:\\temp", "readme.txt"), "C:\\temp\\README.TXT", 1, Y},
        {MakeItem("\\temp", "*.tmp"), "E:\\temp\\x.tmp", 1, Y},
    });
}

TEST(ExcludeCheck, TrailingBackslashAndWildcardPaths)
{
    RunCases({
        // A path ending in a backslash has no name: any pattern passes.
        {MakeItem("C:\\temp", "*.tmp"), "C:\\temp\\", 1, Y},
        {MakeItem("C:\\temp", ""), "C:\\temp\\", 1, Y},
        {MakeItem("C:\\temp", ""), "C:\\temp\\sub\\", 1, N},
        {MakeItem("C:\\temp", "", 1, 1), "C:\\temp\\sub\\", 1, Y},
        // Wildcards in the path: the folder ends at the backslash before them.
        {MakeItem("C:\\temp", "*.tmp"), "C:\\temp\\*.tmp", 1, Y},
        {MakeItem("C:\\temp", "*.tmp"), "C:\\temp\\*.doc", 1, N},
        {MakeItem("C:\\temp", ""), "C:\\temp\\a?.txt", 1, Y},
        {MakeItem("", "*.tmp"), "\\*.tmp", 1, Y},
        {MakeItem("", "*.tmp"), "*.tmp", 1, Y},
        // "\a\*.txt" has the folder "\a", which keeps its root: no element.
        {MakeItem("\\a", ""), "\\a\\*.txt", 1, N},
        // "C:\a\b*\x.txt" has the folder "C:\a" and the name "b*\x.txt".
        {MakeItem("\\a", ""), "C:\\a\\b*\\x.txt", 1, Y},
        {MakeItem("\\a", "b*"), "C:\\a\\b*\\x.txt", 1, N},
    });
}

TEST(ExcludeCheck, Masks)
{
    RunCases({
        {MakeItem("C:\\temp", "", 2), "C:\\temp\\a.txt", 1, N},
        {MakeItem("C:\\temp", "", 2), "C:\\temp\\a.txt", 3, Y},
        {MakeItem("C:\\temp", "", 2), "C:\\temp\\a.txt", 2, Y},
        {MakeItem("C:\\temp", "", 2), "C:\\temp\\a.txt", 0, N},
        {MakeItem("C:\\temp", "", 0), "C:\\temp\\a.txt", 0xFFFFFFFFu, N},
        {MakeItem("C:\\temp", "", 0x80000000u), "C:\\temp\\a.txt", 0x80000001u, Y},
        {MakeItem("C:\\temp", "", 0xFFFFFFFFu), "C:\\temp\\a.txt", 0x10, Y},
    });
}

TEST(ExcludeCheck, FirstCoveringItemOfManyAndEmptyList)
{
    MemoryList list;
    EXPECT_EQ(ExcludeCheck(list.get(), "C:\\a\\x.txt", 0xFFFFFFFFu), N);
    ASSERT_EQ(list.Add(MakeItem("C:\\a", "", 1)), EXCLUDE_OK);
    ASSERT_EQ(list.Add(MakeItem("C:\\b", "", 4)), EXCLUDE_OK);
    ASSERT_EQ(list.Add(MakeItem("", "*.log", 8)), EXCLUDE_OK);
    struct { const char *path; DWORD mask, expect; } cases[] = {
        {"C:\\b\\x.txt", 1, N}, {"C:\\b\\x.txt", 5, Y}, {"C:\\b\\x.txt", 4, Y},
        {"C:\\a\\x.txt", 4, N}, {"C:\\a\\x.txt", 1, Y}, {"C:\\c\\x.log", 7, N},
        {"C:\\c\\x.log", 8, Y}, {"C:\\c\\x.txt", 0xFFFFFFFFu, N},
    };
    for (const auto &c : cases) EXPECT_EQ(ExcludeCheck(list.get(), c.path, c.mask), c.expect) << c.path << " " << c.mask;
}

TEST(ExcludeCheck, OverlongAndOddPathsNeverCrash)
{
    MemoryList list;
    ASSERT_EQ(list.Add(MakeItem("\\", "*", 1, 1)), EXCLUDE_OK);
    ASSERT_EQ(list.Add(MakeItem("\\\\", "", 1, 0)), EXCLUDE_OK);
    ASSERT_EQ(list.Add(MakeItem(std::string(260, 'x').c_str(), "", 1, 1)), EXCLUDE_OK);
    const std::string odd[] = {"", "\\", "\\\\", "\\\\\\", "C:", "C:\\", "*", "?\\", "\\*", "a\\\\\\b",
                               std::string(1000, '\\'), "C:\\" + std::string(1000, 'a'),
                               std::string(500, 'x') + "\\y", "C:\\" + std::string(300, '*')};
    for (const auto &p : odd) {
        DWORD r = ExcludeCheck(list.get(), p.c_str(), 1);
        EXPECT_TRUE(r == Y || r == N) << p;
    }
}

TEST(ExcludeCheck, NoAllocationPerCheck)
{
    MemoryList list;
    for (int i = 0; i < 29; ++i)
        ASSERT_EQ(list.Add(MakeItem(("\\d" + std::to_string(i)).c_str(), "*.x;*.y", 1, i & 1)), EXCLUDE_OK);
    AllocationCounter counter(GetModuleHandleA("DADADA32.dll"));
    ASSERT_GT(counter.Redirected(), 0);
    // The counter sees the library's own allocations (the 30th item grows
    // the array)...
    ASSERT_EQ(list.Add(MakeItem("C:\\grow", "")), EXCLUDE_OK);
    EXPECT_GT(counter.Count(), 0);
    counter.Reset();
    // ...and none while checking.
    for (int i = 0; i < 1000; ++i) {
        std::string path = "C:\\d" + std::to_string(i % 40) + "\\sub\\f" + std::to_string(i) + ".z";
        ExcludeCheck(list.get(), path.c_str(), 1);
        ExcludeCheck(list.get(), "\\\\srv\\share\\*.x", 1);
    }
    EXPECT_EQ(counter.Count(), 0);
}
