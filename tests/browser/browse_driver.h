// Drives a RemoteBrowse dialog the way a user does, from the test's thread:
// the dialog runs on a thread of its own; every action on it is sent from a
// third thread while the driver closes the message boxes it opens (and
// records their texts).  A session that the test leaves open is cancelled,
// and one that does not end in time is cancelled too, so a fault never hangs
// the suite.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <functional>
#include <string>
#include <vector>
#include "dadada32.h"

namespace browsetest {

struct Box {
    std::string caption, text;
};

// An item as the user sees it.
struct Item {
    std::string text;
    int image = -1, selected = -1;
    bool button = false;            // shows an expand button (has-children mark)
    std::vector<std::string> children;
};

class Session {
public:
    // Opens the dialog for `info` (which must outlive the session).
    explicit Session(RemoteBrowseInfo &info);
    ~Session();
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    bool open() const { return dialog_ != nullptr; }
    HWND tree() const { return tree_; }
    bool okEnabled() const;

    // The item reached from the root through `path` (child texts); null when
    // one is missing.  An empty path is the root.
    HTREEITEM find(const std::vector<std::string> &path) const;
    Item read(HTREEITEM item) const;

    void select(HTREEITEM item);
    void expand(HTREEITEM item) { key(item, VK_ADD); }
    void collapse(HTREEITEM item) { key(item, VK_SUBTRACT); }
    // Presses OK or Cancel and answers RemoteBrowse's result.
    INT press(int id);

    // The message boxes closed so far (taken: the list starts again).
    std::vector<Box> takeBoxes();

private:
    void key(HTREEITEM item, WPARAM vk);
    void act(const std::function<void()> &action);
    // Waits for `t`, closing the boxes the dialog opens; false after kActionLimit.
    bool settle(HANDLE t);
    void closeBoxes();
    static DWORD WINAPI Run(LPVOID self);

    RemoteBrowseInfo &info_;
    HANDLE thread_ = nullptr;
    DWORD threadId_ = 0;
    INT result_ = -2;
    HWND dialog_ = nullptr, tree_ = nullptr;
    std::vector<Box> boxes_;
};

// Time the dialog is given for one action (ms).
constexpr DWORD kActionLimit = 30000;

} // namespace browsetest
