// The bottom layer's own pieces: handle owners, served roots, process objects.
#include <gtest/gtest.h>
#include <windows.h>
#include "dada/handle.h"
#include "dada/process_object.h"
#include "dada/served_roots.h"
#include <string>

namespace {

bool IsOpen(HANDLE h) { DWORD flags; return GetHandleInformation(h, &flags) != 0; }
HANDLE NewEvent() { return CreateEventA(nullptr, TRUE, FALSE, nullptr); }

// One owner through each step: a handle it lets go of is closed, one it
// releases or hands on is not; null and INVALID_HANDLE_VALUE hold nothing.
TEST(Handle, OwnershipSteps)
{
    HANDLE a = NewEvent(), b = NewEvent(), c = NewEvent(), kept = NewEvent();
    ASSERT_TRUE(a && b && c && kept);
    {
        dada::UniqueHandle owner{a};
        owner.reset(b);
        EXPECT_FALSE(IsOpen(a));
        dada::UniqueHandle other = std::move(owner);
        EXPECT_FALSE(owner);
        owner = dada::UniqueHandle{c};
        owner = std::move(other);
        EXPECT_FALSE(IsOpen(c));
        EXPECT_EQ(owner.get(), b);
        EXPECT_EQ(dada::UniqueHandle{kept}.release(), kept);
        EXPECT_TRUE(IsOpen(b));
        EXPECT_FALSE(dada::UniqueFind{INVALID_HANDLE_VALUE}) << "the other value that holds nothing";
    }
    EXPECT_FALSE(IsOpen(b));
    EXPECT_TRUE(IsOpen(kept));
    CloseHandle(kept);
}

// Where a path stands against the roots, whatever "." and ".." steps,
// separators or letter case it takes; no setting serves everything.
TEST(ServedRoots, Reach)
{
    using R = dada::RootReach;
    const struct { const char *roots, *path; R reach; } cases[] = {
        {nullptr, "C:\\any\\f", R::Inside},
        {"C:\\pub", "c:\\PUB\\sub\\f", R::Inside},      {"C:\\pub\\", "C:\\pub\\f", R::Inside},
        {"C:\\pub", "C:\\pub", R::Inside},              {"C:\\pub", "C:\\pubx\\f", R::Outside},
        {"C:\\pub", "C:\\pub\\..\\secret", R::Outside}, {"C:\\pub", "D:\\pub\\f", R::Outside},
        {"C:\\a;D:\\b", "D:\\b\\f", R::Inside},        {"C:\\", "C:\\x\\f", R::Inside},
        {";", "C:\\x", R::Outside},                    {"C:\\pub", "C:/pub/f", R::Inside},
        {"C:\\pub", "\\\\.\\C:\\pub\\f", R::Outside},
        // Folders above a root: only the way to it.
        {"C:\\a\\b", "C:\\", R::Toward},               {"C:\\a\\b", "C:\\A", R::Toward},
        {"C:\\a\\b", "C:\\a\\b\\..", R::Toward},       {"C:\\a\\b", "C:\\ab", R::Outside},
        {"C:\\a\\b;C:\\a", "C:\\a\\c", R::Inside},     {"D:\\x", "C:\\", R::Outside},
    };
    for (const auto &c : cases) {
        SetEnvironmentVariableA(dada::kRootsVariable, c.roots);
        const dada::ServedRoots served = dada::ServedRoots::Read();
        EXPECT_EQ(served.reach(dada::FullPath(c.path)), c.reach) << (c.roots ? c.roots : "-") << " " << c.path;
        EXPECT_EQ(served.serves(c.path), c.reach == R::Inside);
        EXPECT_EQ(served.set(), c.roots != nullptr);
    }
    SetEnvironmentVariableA(dada::kRootsVariable, nullptr);
}

// Process objects are made once and released newest first.
std::string g_released;
template <char C> struct Tracked {
    ~Tracked() { g_released += C; }
};

TEST(ProcessObject, OnceAndNewestFirst)
{
    EXPECT_EQ(&dada::ProcessObject<Tracked<'a'>>(), &dada::ProcessObject<Tracked<'a'>>());
    dada::ProcessObject<Tracked<'b'>>();
    dada::ReleaseProcessObjects();
    EXPECT_EQ(g_released, "ba");
}

} // namespace
