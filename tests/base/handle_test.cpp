#include <gtest/gtest.h>
#include <windows.h>
#include "dada/handle.h"

namespace {

bool IsOpen(HANDLE h) { DWORD flags; return GetHandleInformation(h, &flags) != 0; }
HANDLE NewEvent() { return CreateEventA(nullptr, TRUE, FALSE, nullptr); }

// Each step on an owner of the first event, and which events are still
// open once the owner is gone.
TEST(Handle, OwnershipSteps)
{
    enum Step { Destroy, MoveOut, MoveIn, Reset, Release };
    const struct { Step step; bool firstOpen, secondOpen; } cases[] = {
        {Destroy, false, true}, {MoveOut, false, true}, {MoveIn, false, false}, {Reset, false, false}, {Release, true, true}};
    for (const auto &c : cases) {
        HANDLE first = NewEvent(), second = NewEvent();
        ASSERT_TRUE(first && second);
        {
            dada::UniqueHandle owner{first};
            switch (c.step) {
            case Destroy: break;
            case MoveOut: {
                dada::UniqueHandle other = std::move(owner);
                EXPECT_FALSE(owner);
                EXPECT_EQ(other.get(), first);
                break;
            }
            case MoveIn: {
                dada::UniqueHandle other{second};
                owner = std::move(other);
                EXPECT_FALSE(IsOpen(first));
                EXPECT_EQ(owner.get(), second);
                break;
            }
            case Reset: owner.reset(second); break;
            case Release: EXPECT_EQ(owner.release(), first); break;
            }
        }
        EXPECT_EQ(IsOpen(first), c.firstOpen) << c.step;
        EXPECT_EQ(IsOpen(second), c.secondOpen) << c.step;
        if (c.firstOpen) CloseHandle(first);
        if (c.secondOpen) CloseHandle(second);
    }
}

TEST(Handle, NothingHeld)
{
    EXPECT_FALSE(dada::UniqueHandle{});
    EXPECT_FALSE(dada::UniqueFind{INVALID_HANDLE_VALUE});
    WIN32_FIND_DATAA fd;
    EXPECT_FALSE(dada::UniqueFind{FindFirstFileA("Z:\\no\\such\\folder\\*", &fd)});
    EXPECT_TRUE(dada::UniqueLibrary{LoadLibraryA("kernel32.dll")});
    EXPECT_TRUE((dada::WindowDC{nullptr, GetDC(nullptr)}));
}

} // namespace
