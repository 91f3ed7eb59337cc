// The folder and file pickers on both roads: the shell's folder browser, and
// the file-open fallback when the shell's allocator cannot be had.
#include <gtest/gtest.h>
#include "dadada32.h"
#include "caller.h"
#include "dialogdriver.h"
#include "testkit/importpatch.h"
#include "owner.h"
#include "testutil.h"
#include <commctrl.h>
#include <dlgs.h>
#include <shlobj.h>
#include <algorithm>
#include <set>
#include <string>

namespace {

using namespace dadatest;

HRESULT WINAPI NoShell(IMalloc **allocator)
{
    *allocator = nullptr;
    return E_FAIL;
}

// The shell is unavailable for the length of a scope.
struct ShellGone {
    testkit::ImportPatch patch{"SHGetMalloc", reinterpret_cast<void *>(&NoShell)};
};

std::string Lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return s;
}

std::string NoTrailingSlash(std::string s)
{
    if (s.size() > 3 && s.back() == '\\') s.pop_back();
    return Lower(s);
}

// Selects `path` in the shell's browser; the first browser of a process
// may still be filling its tree, so the selection is made until it holds.
void ShellSelect(HWND browser, const std::string &path)
{
    const std::string name = Lower(path.substr(path.rfind('\\') + 1));
    HWND tree = FindWindowExA(browser, nullptr, WC_TREEVIEWA, nullptr);
    WaitUntil([&] {
        SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(path.c_str()));
        char text[MAX_PATH] = "";
        TVITEMA item{};
        item.mask = TVIF_TEXT;
        item.hItem = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
        item.pszText = text;
        item.cchTextMax = sizeof text;
        return item.hItem && SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)) &&
               Lower(text) == name;
    }, 15000);
    Sleep(100);
}

bool OkEnabled(HWND dialog) { return IsWindowEnabled(GetDlgItem(dialog, IDOK)); }

std::set<std::string> ListItems(HWND list)
{
    std::set<std::string> items;
    const int n = int(SendMessageA(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
        char text[MAX_PATH] = "";
        SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
        items.insert(Lower(text));
    }
    return items;
}

// Enters folder `name` of the old-style dialog's folder list, as a double
// click on it does.
void EnterFolder(HWND dialog, const std::string &name)
{
    HWND folders = GetDlgItem(dialog, lst2);
    const int n = int(SendMessageA(folders, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
        char text[MAX_PATH] = "";
        SendMessageA(folders, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
        if (Lower(text).find(Lower(name)) == std::string::npos) continue;
        SendMessageA(folders, LB_SETCURSEL, i, 0);
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(lst2, LBN_DBLCLK), reinterpret_cast<LPARAM>(folders));
        Sleep(100);
        return;
    }
}

TEST(IsShellAvailable, FollowsTheShellAllocator)
{
    EXPECT_TRUE(IsShellAvailable());
    ShellGone gone;
    ASSERT_TRUE(gone.patch.active());
    EXPECT_FALSE(IsShellAvailable());
}

TEST(FolderBrowseDialog, ShellRoad)
{
    TempDir dir;
    dialogstest::Owner owner;
    char path[MAX_PATH + 1] = "unchanged";
    DialogDriver none({}, 3000);
    EXPECT_FALSE(FolderBrowseDialog(owner.window, path, MAX_PATH - 1, IDS_CALLER_TITLE));
    none.finish();
    EXPECT_FALSE(none.timedOut());   // no dialog at all
    EXPECT_STREQ("unchanged", path);

    std::string title;
    DialogDriver driver({[&](HWND browser) {
        title = TextOf(browser);
        ShellSelect(browser, dir.path());
        Press(browser, IDOK);
    }});
    EXPECT_TRUE(FolderBrowseDialog(owner.window, path, sizeof path, IDS_CALLER_TITLE));
    driver.finish();
    EXPECT_EQ(1, driver.handled());
    EXPECT_FALSE(driver.timedOut());
    EXPECT_EQ(Lower(dir.path()), Lower(path));
}

TEST(FolderBrowseDialog, FallbackRoad)
{
    ShellGone gone;
    dialogstest::Owner owner;
    char root[] = "C:\\";
    const std::string folder = "dadapick" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA((root + folder).c_str(), nullptr);
    const struct { const char *what; std::string enter, result; } cases[] = {
        {"the root of the first fixed drive keeps its backslash", "", "c:\\"},
        {"a folder comes back without the typed name", folder, "c:\\" + folder},
    };
    for (const auto &c : cases) {
        bool fileControlsHidden = false;
        DialogDriver driver({[&](HWND dialog) {
            RECT edit, client;
            GetWindowRect(GetDlgItem(dialog, edt1), &edit);
            MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT *>(&edit), 2);
            GetClientRect(dialog, &client);
            fileControlsHidden = GetDlgItem(dialog, lst2) && edit.bottom <= 0;
            if (!c.enter.empty()) EnterFolder(dialog, c.enter);
            Press(dialog, IDOK);
        }});
        char path[MAX_PATH] = "old";
        EXPECT_TRUE(FolderBrowseDialog(owner.window, path, sizeof path, IDS_CALLER_TITLE)) << c.what;
        driver.finish();
        EXPECT_FALSE(driver.timedOut()) << c.what;
        EXPECT_TRUE(fileControlsHidden) << c.what;
        EXPECT_EQ(c.result, Lower(path)) << c.what;
    }
    RemoveDirectoryA((root + folder).c_str());
}

TEST(FileBrowseDialog, ShellRoadSelection)
{
    TempDir dir;
    WriteFileBytes(dir.file("a.txt"), "x");
    dialogstest::Owner owner;
    enum { kNone = 0 };
    const struct { const char *what; DWORD folders, filesOnly; const char *pattern; bool okEnabled; } cases[] = {
        {"folder mode takes a folder", 1, 0, nullptr, true},
        {"files only never takes a folder", 1, 1, nullptr, false},
        {"file mode: a folder the pattern does not match", 0, 0, "*.txt", false},
        {"file mode: a folder the pattern matches", 0, 0, "*", true},
    };
    for (const auto &c : cases) {
        bool enabled = !c.okEnabled;
        DialogDriver driver({[&](HWND browser) {
            ShellSelect(browser, dir.path());
            // The answer may come by a posted message: wait for it to settle.
            WaitUntil([&] { return OkEnabled(browser) == c.okEnabled; }, 3000);
            enabled = OkEnabled(browser);
            if (enabled) Press(browser, IDOK);
            else Press(browser, IDCANCEL);
        }, [](HWND fallback) { Press(fallback, IDCANCEL); }});
        char path[MAX_PATH] = "";
        RemoteBrowseInfo info{owner.window, nullptr, path, sizeof path, c.folders, IDS_CALLER_TITLE,
                              IDS_CALLER_PROMPT, c.pattern, c.filesOnly, 0, 0};
        const BOOL result = FileBrowseDialog(&info);
        driver.finish();
        EXPECT_FALSE(driver.timedOut()) << c.what;
        EXPECT_EQ(c.okEnabled, enabled) << c.what;
        EXPECT_EQ(c.okEnabled, result != FALSE) << c.what;
        // Chosen: the shell's path; cancelled: the fallback opened and was cancelled too.
        EXPECT_EQ(c.okEnabled ? 1 : 2, driver.handled()) << c.what;
        if (c.okEnabled) EXPECT_EQ(Lower(dir.path()), Lower(path)) << c.what;
    }
}

TEST(FileBrowseDialog, ShellPathTooLongForTheBufferFallsBack)
{
    TempDir dir;
    dialogstest::Owner owner;
    char path[MAX_PATH] = "";
    bool fallback = false;
    DialogDriver driver({[&](HWND browser) {
        ShellSelect(browser, dir.path());
        Press(browser, IDOK);
    }, [&](HWND dialog) {
        fallback = GetDlgItem(dialog, lst2) != nullptr;
        Press(dialog, IDCANCEL);
    }});
    RemoteBrowseInfo info{owner.window, nullptr, path, DWORD(dir.path().size()), 1, IDS_CALLER_TITLE, 0,
                          nullptr, 0, 0, 0};
    EXPECT_FALSE(FileBrowseDialog(&info));
    driver.finish();
    EXPECT_FALSE(driver.timedOut());
    EXPECT_TRUE(fallback);
    EXPECT_EQ(2, driver.handled());
}

TEST(FileBrowseDialog, FallbackFiltersAndStartingFolders)
{
    ShellGone gone;
    TempDir dir;
    for (const char *sub : {"logs", "data", "old.dir", "notes", "cwd"}) CreateDirectoryA(dir.file(sub).c_str(), nullptr);
    for (const char *f : {"logs\\day.log", "logs\\week.txt", "data\\x.dat", "data\\y.txt", "old.dir\\file.txt",
                          "old.dir\\b.log", "notes\\a.TXT", "notes\\b.log"})
        WriteFileBytes(dir.file(f), "x");
    char cwd[MAX_PATH];
    GetCurrentDirectoryA(sizeof cwd, cwd);
    SetCurrentDirectoryA(dir.file("cwd").c_str());   // the pickers keep it
    dialogstest::Owner owner;
    const struct {
        const char *what, *path; DWORD folders; const char *pattern;
        const char *type, *start; std::set<std::string> files; bool accept = true;
    } cases[] = {
        {"an existing .log file", "logs\\day.log", 0, nullptr, "LOG Files", "logs", {"day.log"}},
        {"an extension keeps its case", "data\\x.dat", 0, nullptr, "dat Files", "data", {"x.dat"}},
        {"the first dot starts a longer text", "old.dir\\file.txt", 0, nullptr, "All Files", "old.dir",
         {"b.log", "file.txt"}},
        {"a .TXT file", "notes\\a.TXT", 0, nullptr, "TEXT Files", "notes", {"a.txt"}},
        {"a missing path starts in the current folder", "gone\\z.log", 0, nullptr, "LOG Files", "cwd", {}, false},
        {"a given pattern is the filter", "logs\\day.log", 0, "Weekly\0*.txt\0", "Weekly", "logs", {"week.txt"}},
        {"folder mode picks the folder", "data", 1, nullptr, nullptr, "data", {}},
    };
    for (const auto &c : cases) {
        std::string type, start;
        std::set<std::string> files;
        DialogDriver driver({[&](HWND dialog) {
            char text[MAX_PATH] = "";
            SendDlgItemMessageA(dialog, cmb1, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(text));
            type = text;
            start = ItemText(dialog, stc1);
            files = ListItems(GetDlgItem(dialog, lst1));
            Press(dialog, c.accept ? IDOK : IDCANCEL);
        }});
        const std::string given = dir.file(c.path);
        char path[MAX_PATH];
        lstrcpyA(path, given.c_str());
        RemoteBrowseInfo info{owner.window, nullptr, path, sizeof path, c.folders, IDS_CALLER_TITLE, 0,
                              c.pattern, 0, 0, 0};
        const BOOL result = FileBrowseDialog(&info);
        driver.finish();
        EXPECT_FALSE(driver.timedOut()) << c.what;
        if (c.type) EXPECT_EQ(c.type, type) << c.what;
        EXPECT_EQ(Lower(dir.file(c.start)), NoTrailingSlash(start)) << c.what;
        if (!c.folders) EXPECT_EQ(c.files, files) << c.what;
        EXPECT_EQ(c.accept, result != FALSE) << c.what;
        if (c.accept) EXPECT_EQ(Lower(c.folders ? dir.file(c.start) : given), Lower(path)) << c.what;
    }
    SetCurrentDirectoryA(cwd);
}

} // namespace
