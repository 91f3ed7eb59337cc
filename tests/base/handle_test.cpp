#include <gtest/gtest.h>
#include <windows.h>
#include "dada/handle.h"

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

} // namespace
