// A visible top-level window of the test program: the owner of the dialogs
// under test, so their texts and icon come from the program's resources.
#pragma once
#include <windows.h>

namespace dialogstest {

struct Owner {
    HWND window = CreateWindowExA(0, "STATIC", "owner", WS_POPUP | WS_VISIBLE, 300, 200, 400, 300,
                                  nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    Owner() = default;
    ~Owner() { DestroyWindow(window); }
    Owner(const Owner &) = delete;
    Owner &operator=(const Owner &) = delete;
};

} // namespace dialogstest
