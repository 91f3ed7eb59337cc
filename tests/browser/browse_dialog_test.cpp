// RemoteBrowse driven as a user drives it: on this machine's disks, on a
// second process serving as the machine BETA over the real transport
// (`dada serve`), and on SCRIPT, whose replies come from a script.
#include "dadada32.h"
#include "dialogdriver.h"
#include "machine.h"
#include "resource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using Path = std::vector<std::string>;

constexpr DWORD kActionLimit = 30000;   // time the dialog is given for one action (ms)
constexpr DWORD kPoll = 10;             // how long an answer is waited for at a time
constexpr int kOpen = 0, kClosed = 1, kComputer = 5, kFixed = 6;
constexpr int kBigFolder = 120;         // a few batches of a remote read

// An item as the user sees it.
struct Item {
    std::string text;
    int image = -1, selected = -1;
    bool button = false;   // shows an expand button
    Path children;
};

HTREEITEM Next(HWND tree, HTREEITEM item, UINT relation)
{
    return reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
}

// The dialog runs on a thread of its own.  Each action is sent to the tree
// as a user's would be, and waited for while the message boxes the dialog
// opens are closed and recorded as "caption: text".  A session left open is
// cancelled, and so is one that does not end in time.
class Session {
public:
    explicit Session(RemoteBrowseInfo &info) : info_(info)
    {
        thread_ = CreateThread(nullptr, 0, Run, this, 0, &threadId_);
        dadatest::WaitUntil([&] {   // the dialog has finished its start when it answers
            HWND browse = scan();
            DWORD_PTR r;
            if (browse && SendMessageTimeoutA(browse, WM_NULL, 0, 0, SMTO_NORMAL, kActionLimit, &r)) dialog_ = browse;
            return dialog_ || ended();
        }, kActionLimit);
        tree_ = GetDlgItem(dialog_, IDC_BROWSE_TREE);
    }
    ~Session()
    {
        dadatest::WaitUntil([&] {
            if (HWND browse = scan()) PostMessageA(browse, WM_COMMAND, IDCANCEL, 0);
            return ended();
        }, kActionLimit);
        CloseHandle(thread_);
    }
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    bool open() const { return tree_ != nullptr; }
    bool okEnabled() const { return IsWindowEnabled(GetDlgItem(dialog_, IDOK)) != FALSE; }

    Item read(HTREEITEM item) const
    {
        Item out;
        out.text = dadatest::TreeItemText(tree_, item, &out.image, &out.selected, &out.button);
        for (HTREEITEM c = item ? Next(tree_, item, TVGN_CHILD) : nullptr; c; c = Next(tree_, c, TVGN_NEXT))
            out.children.push_back(dadatest::TreeItemText(tree_, c));
        return out;
    }
    // The item reached from the root through `path` (child texts), each
    // item on the way expanded unless it shows its entries; null when one
    // is missing.
    HTREEITEM reach(const Path &path)
    {
        HTREEITEM item = Next(tree_, nullptr, TVGN_ROOT);
        for (const std::string &name : path) {
            if (item && read(item).children.empty()) expand(item);
            HTREEITEM child = item ? Next(tree_, item, TVGN_CHILD) : nullptr;
            while (child && dadatest::TreeItemText(tree_, child) != name) child = Next(tree_, child, TVGN_NEXT);
            item = child;
        }
        return item;
    }
    void select(HTREEITEM item) { act(TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item)); }
    void expand(HTREEITEM item) { key(item, VK_ADD); }
    void collapse(HTREEITEM item) { key(item, VK_SUBTRACT); }
    // Presses OK or Cancel and answers RemoteBrowse's result.
    INT press(int id)
    {
        PostMessageA(dialog_, WM_COMMAND, id, 0);
        EXPECT_TRUE(dadatest::WaitUntil([&] { return !scan() && ended(); }, kActionLimit)) << "the dialog did not end";
        return result_;
    }
    // The message boxes closed so far; the list starts again.
    Path takeBoxes()
    {
        scan();
        return std::move(boxes_);
    }

private:
    static DWORD WINAPI Run(LPVOID self)
    {
        auto *s = static_cast<Session *>(self);
        s->result_ = RemoteBrowse(&s->info_);
        return 0;
    }
    bool ended() const { return WaitForSingleObject(thread_, 0) == WAIT_OBJECT_0; }
    void key(HTREEITEM item, WPARAM vk)
    {
        select(item);
        act(WM_KEYDOWN, vk, 0);
    }
    // Sent messages are handled in order: the tree has handled the action
    // when it answers the next one with no box open.
    void act(UINT message, WPARAM wParam, LPARAM lParam)
    {
        SendNotifyMessageA(tree_, message, wParam, lParam);
        DWORD_PTR r;
        EXPECT_TRUE(dadatest::WaitUntil([&] {
            return SendMessageTimeoutA(tree_, WM_NULL, 0, 0, SMTO_NORMAL, kPoll, &r) && scan();
        }, kActionLimit)) << "the dialog did not finish an action in time";
    }
    // Closes the shown message boxes of the dialog's thread; answers the
    // browse dialog when no box was there.
    HWND scan()
    {
        std::vector<HWND> windows;
        EnumThreadWindows(threadId_, [](HWND w, LPARAM found) -> BOOL {
            if (dadatest::IsDialog(w)) reinterpret_cast<std::vector<HWND> *>(found)->push_back(w);
            return TRUE;
        }, reinterpret_cast<LPARAM>(&windows));
        HWND browse = nullptr;
        bool box = false;
        for (HWND w : windows) {
            const bool shown = IsWindowVisible(w);
            if (GetDlgItem(w, IDC_BROWSE_TREE)) {
                browse = shown ? w : nullptr;
                continue;
            }
            box = true;
            if (!shown) continue;   // still being made: its text may not be there yet
            boxes_.push_back(dadatest::TextOf(w) + ": " + dadatest::ItemText(w, 0xFFFF));
            PostMessageA(w, WM_COMMAND, IDOK, 0);
            dadatest::WaitUntil([w] { return !IsWindow(w); }, kActionLimit);
        }
        return box ? nullptr : browse;
    }

    RemoteBrowseInfo &info_;
    HANDLE thread_ = nullptr;
    DWORD threadId_ = 0;
    INT result_ = -2;
    HWND dialog_ = nullptr, tree_ = nullptr;
    Path boxes_;
};

std::string BigName(int i)
{
    char name[64];
    std::snprintf(name, sizeof name, "a-rather-long-entry-name-number-%04d.dat", i);
    return name;
}

// One session a row: the items on the way to `folder` are expanded, then
// the folder; then `pick` is selected and a button pressed.
TEST(RemoteBrowse, Sessions)
{
    // C:\dadabrowse-PID with a few folders and files, BETA serving this
    // machine from a second process, and SCRIPT.
    const struct Folder {
        std::string path;
        ~Folder() { dadatest::RemoveTree(path); }
    } folder{"C:\\dadabrowse-" + std::to_string(GetCurrentProcessId())};
    const std::string &root = folder.path;
    for (const char *d : {"", "\\sub1", "\\sub1\\deep", "\\onlyfiles", "\\emptydir", "\\gone", "\\big"})
        CreateDirectoryA((root + d).c_str(), nullptr);
    for (const char *f : {"\\sub1\\a.txt", "\\sub1\\b.log", "\\sub1\\c.exe", "\\onlyfiles\\x.bin", "\\file.txt"})
        dadatest::WriteFileBytes(root + f, "x");
    Path big;
    for (int i = 0; i < kBigFolder; ++i) {
        big.push_back(BigName(i));
        dadatest::WriteFileBytes(root + "\\big\\" + big.back(), "");
    }
    dadatest::Machine beta("BETA", {"dada.exe", "serve"}), script("SCRIPT", {"script_peer.exe"});
    dadatest::TempDir hosts;
    dadatest::UseHosts(hosts.file("hosts.ini"), "BETA=127.0.0.1:" + std::to_string(beta.port()) +
                                                    "\r\nSCRIPT=127.0.0.1:" + std::to_string(script.port()));
    ASSERT_TRUE(beta.running() && script.running());
    auto under = [&](const Path &rest) {
        Path p{"C:\\", root.substr(3)};
        p.insert(p.end(), rest.begin(), rest.end());
        return p;
    };
    const std::string generic = "Generic: An error occured calling FormatMessage().Error Code";
    char missing[512] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_PATH_NOT_FOUND, 0, missing, sizeof missing, nullptr);
    const Path base{"big", "emptydir", "file.txt", "gone", "onlyfiles", "sub1"};
    const Path sub1{"a.txt", "b.log", "c.exe", "deep"};
    const struct Case {
        const char *what;
        LPCSTR server = nullptr;
        DWORD mode = 0;
        LPCSTR pattern = nullptr;
        DWORD filesOnly = 0;
        Path folder = {}, children = {};   // the folder expanded, what it shows then
        bool button = true;       // it keeps its button (and shows itself open)
        bool vanish = false;      // it is removed before it is expanded
        std::string box = "";     // the start of the one message box shown
        Path pick = {};
        std::string picked = "";  // the path then; OK is pressed when it may be
        bool ok = false;
        const char *tail = "";    // what OK adds to it; the initial path was C:\DIR\*.EXE
    } cases[] = {
        {.what = "a pattern list filters files", .pattern = "*.TXT;*.LOG", .folder = under({"sub1"}),
         .children = {"a.txt", "b.log", "deep"}, .pick = under({"sub1", "deep"}), .picked = root + "\\sub1\\deep",
         .ok = true},
        {.what = "folders only lists no file, whatever the pattern", .mode = 1, .pattern = "*.TXT",
         .folder = under({"sub1"}), .children = {"deep"}, .pick = {"C:\\"}, .picked = "C:\\", .ok = true},
        {.what = "nothing listed: the button and the open image go", .mode = 1, .folder = under({"onlyfiles"}),
         .button = false},
        {.what = "a failed search shows the platform's text", .folder = under({"gone"}), .button = false,
         .vanish = true, .box = std::string("Error: ") + missing},
        {.what = "files only: a file may be chosen", .filesOnly = 1, .folder = under({}), .children = base,
         .pick = under({"file.txt"}), .picked = root + "\\file.txt", .ok = true},
        {.what = "files only: a folder may not", .filesOnly = 1, .folder = under({"sub1"}), .children = sub1,
         .pick = under({"sub1"}), .picked = root + "\\sub1"},
        {.what = "a closed server folder gets the initial file name", .server = "BETA", .folder = under({}),
         .children = base, .pick = under({"sub1"}), .picked = root + "\\sub1", .ok = true, .tail = "\\*.EXE"},
        {.what = "an open one does not", .server = "BETA", .folder = under({"sub1"}), .children = sub1,
         .pick = under({"sub1"}), .picked = root + "\\sub1", .ok = true},
        {.what = "nor one chosen for folders only", .server = "BETA", .mode = 1, .folder = under({"sub1"}),
         .children = {"deep"}, .pick = under({"sub1", "deep"}), .picked = root + "\\sub1\\deep", .ok = true},
        {.what = "every batch arrives", .server = "BETA", .folder = under({"big"}), .children = big},
        {.what = "an empty server folder keeps its button", .server = "BETA", .folder = under({"emptydir"})},
        {.what = "a bad type byte ends the list", .server = "SCRIPT", .folder = {"C:\\", "BADTYPE"},
         .children = {"before"}},
        {.what = "an empty batch ends the folder", .server = "SCRIPT", .folder = {"C:\\", "EMPTYBATCH"},
         .children = {"one", "two"}},
        {.what = "a continuation that does not move ends it", .server = "SCRIPT", .folder = {"C:\\", "STUCK"},
         .children = {"again"}},
        {.what = "a failed call shows the generic box", .server = "SCRIPT", .folder = {"C:\\", "FAILS"},
         .box = generic},
        {.what = "an unknown server: the generic box at once", .server = "NOSUCHMACHINE", .box = generic},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        char path[260] = "C:\\DIR\\*.EXE";
        RemoteBrowseInfo info{nullptr, c.server, path, sizeof path, c.mode, 0, 0, c.pattern, c.filesOnly, 0, 0};
        Session s(info);
        ASSERT_TRUE(s.open());
        const Item top = s.read(s.reach({}));
        EXPECT_EQ(top.text, c.server ? c.server : "My Computer");
        EXPECT_EQ(top.image, kComputer);
        if (!c.server) EXPECT_EQ(std::count(top.children.begin(), top.children.end(), "Z:\\"), 0) << "never probed";
        HTREEITEM item = s.reach(c.folder);
        ASSERT_TRUE(item);
        const std::string gone = root + "\\" + (c.folder.empty() ? "" : c.folder.back());
        if (c.vanish) RemoveDirectoryA(gone.c_str());
        if (!c.folder.empty()) s.expand(item);
        if (c.vanish) CreateDirectoryA(gone.c_str(), nullptr);
        const Item seen = s.read(item);
        const int image = c.folder.empty() ? kComputer : c.button ? kOpen : kClosed;
        EXPECT_EQ(seen.children, c.children);
        EXPECT_EQ(seen.button, c.button);
        EXPECT_EQ(seen.image, image);
        EXPECT_EQ(seen.selected, image);
        if (!c.children.empty()) {   // it closes forgetting its entries, and reads them again
            s.collapse(item);
            EXPECT_EQ(s.read(item).image, kClosed);
            EXPECT_TRUE(s.read(item).children.empty());
            s.expand(item);
            EXPECT_EQ(s.read(item).children, c.children);
        }
        if (c.folder.size() > 1) EXPECT_EQ(s.read(s.reach({"C:\\"})).image, c.server ? kOpen : kFixed);
        const Path boxes = s.takeBoxes();
        ASSERT_EQ(boxes.size(), c.box.empty() ? 0u : 1u);
        if (!c.box.empty()) EXPECT_EQ(boxes[0].rfind(c.box, 0), 0u) << boxes[0];
        s.select(s.reach({}));
        s.select(s.reach(c.pick));
        EXPECT_EQ(std::string(path), c.picked);
        EXPECT_EQ(s.okEnabled(), c.ok);
        EXPECT_EQ(s.press(c.ok ? IDOK : IDCANCEL), c.ok ? 1 : 0);
        if (c.ok) EXPECT_EQ(std::string(path), c.picked + c.tail);
        EXPECT_EQ(info.remoteCall, c.server ? 1u : 0u);
    }
}

} // namespace
