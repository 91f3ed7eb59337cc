// RemoteBrowse driven as a user drives it: on this machine's disks and on a
// second process serving as the machine BETA (`dada serve`).
#include "dadada32.h"
#include "dialogdriver.h"
#include "machine.h"
#include "resource.h"
#include "testkit/importpatch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using Path = std::vector<std::string>;

constexpr DWORD kActionLimit = 30000;    // time the dialog is given for one action (ms)
constexpr DWORD kSessionLimit = 60000;   // a session still open then is cancelled (ms)
constexpr int kOpen = 0, kClosed = 1, kComputer = 5, kFixed = 6;

// An item as the user sees it.
struct Item {
    std::string text;
    int image = -1;
    bool button = false;   // shows an expand button
    Path children;
};

// MessageBoxA as the library calls it: the box is recorded as "caption: text"
// and answered at once.
Path g_boxes;

int WINAPI RecordBox(HWND, LPCSTR text, LPCSTR caption, UINT)
{
    g_boxes.push_back(std::string(caption ? caption : "") + ": " + (text ? text : ""));
    return IDOK;
}

// The dialog's tree, acted on as a user acts on it: each action is sent to
// the tree and is done when the send returns.
class Tree {
public:
    explicit Tree(HWND dialog) : tree_(GetDlgItem(dialog, IDC_BROWSE_TREE)) {}

    Item read(HTREEITEM item) const
    {
        Item out;
        out.text = dadatest::TreeItemText(tree_, item, &out.image, &out.button);
        for (HTREEITEM c = item ? TreeView_GetChild(tree_, item) : nullptr; c; c = TreeView_GetNextSibling(tree_, c))
            out.children.push_back(dadatest::TreeItemText(tree_, c));
        return out;
    }
    // The item reached from the root through `path` (child texts), each item
    // on the way expanded unless it shows its entries; null when one is missing.
    HTREEITEM reach(const Path &path)
    {
        HTREEITEM item = TreeView_GetRoot(tree_);
        for (const std::string &name : path) {
            if (item && read(item).children.empty()) select(item, VK_ADD);
            HTREEITEM child = item ? TreeView_GetChild(tree_, item) : nullptr;
            while (child && dadatest::TreeItemText(tree_, child) != name) child = TreeView_GetNextSibling(tree_, child);
            item = child;
        }
        return item;
    }
    // Selects the item, then presses `vk` on it if given: + expands it, - collapses it.
    void select(HTREEITEM item, WPARAM vk = 0)
    {
        DWORD_PTR r;
        const LPARAM i = reinterpret_cast<LPARAM>(item);
        EXPECT_TRUE(SendMessageTimeoutA(tree_, TVM_SELECTITEM, TVGN_CARET, i, SMTO_NORMAL, kActionLimit, &r));
        if (vk) EXPECT_TRUE(SendMessageTimeoutA(tree_, WM_KEYDOWN, vk, 0, SMTO_NORMAL, kActionLimit, &r));
    }

private:
    HWND tree_;
};

// One session a row, driven from a second thread: the items on the way to
// `folder` are expanded, then the folder; then `pick` is selected and a
// button pressed.  A '$' past the
// share stays in a server's path.
TEST(RemoteBrowse, Sessions)
{
    const dadatest::TempDir folder("C:\\");   // one item below the drive
    const std::string &root = folder.path();
    for (const char *d : {"", "\\sub$1", "\\sub$1\\deep", "\\onlyfiles", "\\emptydir", "\\gone", "\\lost"})
        CreateDirectoryA((root + d).c_str(), nullptr);
    for (const char *f : {"\\sub$1\\a.txt", "\\sub$1\\b.log", "\\sub$1\\c.exe", "\\onlyfiles\\x.bin"})
        dadatest::WriteFileBytes(root + f, "x");
    dadatest::Machine beta("BETA", {"dada.exe", "serve"});
    beta.useHosts();
    testkit::ImportPatch boxes("MessageBoxA", reinterpret_cast<void *>(&RecordBox));
    ASSERT_TRUE(beta.running() && boxes.active());
    auto under = [&](Path rest) {   // the path of a folder of the test's folder
        rest.insert(rest.begin(), {"C:\\", root.substr(3)});
        return rest;
    };
    char text[512] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_PATH_NOT_FOUND, 0, text, sizeof text, nullptr);
    const std::string missing = std::string(": ") + text;   // a box with no caption
    const struct Case {
        const char *what;
        LPCSTR server = nullptr;
        DWORD mode = 0;
        LPCSTR pattern = nullptr;
        DWORD filesOnly = 0;
        Path folder = {}, children = {};   // the folder expanded, what it shows then
        bool button = true;       // it keeps its button (and shows itself open)
        bool vanish = false;      // it is removed before it is expanded (no later row reads it)
        std::string box = "";     // the start of the one message box shown
        Path pick = {};
        std::string picked = "";  // the path then; OK is pressed when it may be
        bool ok = false;
        const char *tail = "";    // what OK adds to it; the initial path was C:\DIR\*.EXE
    } cases[] = {
        {.what = "a pattern list filters files; files only takes a file", .pattern = "*.TXT;*.LOG", .filesOnly = 1,
         .folder = under({"sub$1"}), .children = {"a.txt", "b.log", "deep"}, .pick = under({"sub$1", "a.txt"}),
         .picked = root + "\\sub$1\\a.txt", .ok = true},
        {.what = "folders only: no file whatever the pattern; no button, no open image", .mode = 1, .pattern = "*.BIN",
         .folder = under({"onlyfiles"}), .button = false, .pick = {"C:\\"}, .picked = "C:\\", .ok = true},
        {.what = "a closed server folder gets the initial file name", .server = "BETA", .folder = under({}),
         .children = {"emptydir", "gone", "lost", "onlyfiles", "sub$1"}, .pick = under({"sub$1"}),
         .picked = root + "\\sub$1", .ok = true, .tail = "\\*.EXE"},
        {.what = "an empty server folder keeps its button; folders only: no file name", .server = "BETA", .mode = 1,
         .folder = under({"emptydir"}), .pick = under({"sub$1"}), .picked = root + "\\sub$1", .ok = true},
        {.what = "a failed read on the server: the generic box; an open folder gets no file name", .server = "BETA",
         .folder = under({"lost"}), .vanish = true, .box = "Generic: An error occured calling FormatMessage()",
         .pick = under({"lost"}), .picked = root + "\\lost", .ok = true},
        {.what = "a failed search: the system's text; files only: no folder", .filesOnly = 1, .folder = under({"gone"}),
         .button = false, .vanish = true, .box = missing, .pick = under({"gone"}), .picked = root + "\\gone"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        char path[260] = "C:\\DIR\\*.EXE";
        RemoteBrowseInfo info{nullptr, c.server, path, sizeof path, c.mode, 0, 0, c.pattern, c.filesOnly, 0, 0};
        g_boxes.clear();
        bool okEnabled = false;
        dadatest::DialogDriver driver({[&](HWND dialog) {
            Tree s(dialog);
            HTREEITEM item = s.reach(c.folder);   // a failure goes on to close the dialog
            EXPECT_TRUE(item);
            const Item top = s.read(s.reach({}));
            EXPECT_EQ(top.text, c.server ? c.server : "My Computer");
            EXPECT_EQ(top.image, kComputer);
            if (!c.server) EXPECT_EQ(std::count(top.children.begin(), top.children.end(), "Z:\\"), 0) << "never probed";
            if (c.vanish) RemoveDirectoryA((root + "\\" + c.folder.back()).c_str());
            s.select(item, VK_ADD);
            const Item seen = s.read(item);
            EXPECT_EQ(seen.children, c.children);
            EXPECT_EQ(seen.button, c.button);
            EXPECT_EQ(seen.image, c.button ? kOpen : kClosed);
            if (!c.children.empty()) {   // it closes forgetting its entries, and reads them again
                s.select(item, VK_SUBTRACT);
                EXPECT_EQ(s.read(item).image, kClosed);
                EXPECT_TRUE(s.read(item).children.empty());
                s.select(item, VK_ADD);
                EXPECT_EQ(s.read(item).children, c.children);
            }
            EXPECT_EQ(s.read(s.reach({"C:\\"})).image, c.server ? kOpen : kFixed);
            EXPECT_EQ(g_boxes.size(), c.box.empty() ? 0u : 1u);
            EXPECT_EQ(g_boxes.empty() ? "" : g_boxes[0].substr(0, c.box.size()), c.box);
            s.select(s.reach({}));
            s.select(s.reach(c.pick));
            EXPECT_EQ(std::string(path), c.picked);
            okEnabled = IsWindowEnabled(GetDlgItem(dialog, IDOK));
            PostMessageA(dialog, WM_COMMAND, c.ok ? IDOK : IDCANCEL, 0);
        }}, kSessionLimit);
        EXPECT_EQ(RemoteBrowse(&info), c.ok ? 1 : 0);
        EXPECT_TRUE(driver.finish());
        EXPECT_EQ(okEnabled, c.ok);
        if (c.ok) EXPECT_EQ(std::string(path), c.picked + c.tail);
        EXPECT_EQ(info.remoteCall, c.server ? 1u : 0u);
    }
}

} // namespace
