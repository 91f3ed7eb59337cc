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
    CharLowerA(s.data());
    return s;
}

// Selects `path` in the shell's browser; the first browser of a process
// may still be filling its tree, so the selection is made until it holds.
void ShellSelect(HWND browser, const std::string &path)
{
    const std::string name = Lower(path.substr(path.rfind('\\') + 1));
    HWND tree = FindWindowExA(browser, nullptr, WC_TREEVIEWA, nullptr);
    WaitUntil([&] {
        SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(path.c_str()));
        HTREEITEM caret = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
        return caret && Lower(TreeItemText(tree, caret)) == name;
    }, 15000);
    Sleep(100);
}

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
    const LRESULT i = SendMessageA(folders, LB_FINDSTRING, WPARAM(-1), reinterpret_cast<LPARAM>(("[" + name).c_str()));
    SendMessageA(folders, LB_SETCURSEL, i, 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(lst2, LBN_DBLCLK), reinterpret_cast<LPARAM>(folders));
}

TEST(IsShellAvailable, FollowsTheShellAllocator)
{
    EXPECT_TRUE(IsShellAvailable());
    ShellGone gone;
    ASSERT_TRUE(gone.patch.active());
    EXPECT_FALSE(IsShellAvailable());
}

// FolderBrowseDialog, or FileBrowseDialog with the given fields.
BOOL Pick(bool file, HWND owner, char *path, DWORD size, DWORD folders, DWORD filesOnly, const char *pattern)
{
    if (!file) return FolderBrowseDialog(owner, path, size, IDS_CALLER_TITLE);
    RemoteBrowseInfo info{owner, nullptr, path, size, folders, IDS_CALLER_TITLE, IDS_CALLER_PROMPT, pattern,
                          filesOnly, 0, 0};
    return FileBrowseDialog(&info);
}

TEST(Pickers, ShellRoad)
{
    TempDir dir;
    const DWORD fits = MAX_PATH, tooSmall = DWORD(dir.path().size());
    enum { kFolderPick, kFilePick };
    const struct {
        const char *what; int kind; DWORD size, folders, filesOnly; const char *pattern;
        int dialogs; bool okEnabled; BOOL result;
    } cases[] = {
        {"a folder buffer below 260: no dialog", kFolderPick, MAX_PATH - 1, 0, 0, nullptr, 0, false, FALSE},
        {"a folder is picked", kFolderPick, fits, 0, 0, nullptr, 1, true, TRUE},
        {"folder mode takes a folder", kFilePick, fits, 1, 0, nullptr, 1, true, TRUE},
        {"files only never takes a folder", kFilePick, fits, 1, 1, nullptr, 2, false, FALSE},
        {"file mode: a folder the pattern does not match", kFilePick, fits, 0, 0, "*.txt", 2, false, FALSE},
        {"file mode: a folder the pattern matches", kFilePick, fits, 0, 0, "*", 1, true, TRUE},
        {"a path as long as the buffer goes to the fallback", kFilePick, tooSmall, 1, 0, nullptr, 2, true, FALSE},
    };
    dialogstest::Owner owner;
    for (const auto &c : cases) {
        bool enabled = false, fallback = false;
        DialogDriver driver({[&](HWND browser) {
            ShellSelect(browser, dir.path());
            // The answer may come by a posted message: wait for it to settle.
            WaitUntil([&] { return IsWindowEnabled(GetDlgItem(browser, IDOK)) == c.okEnabled; }, 3000);
            enabled = IsWindowEnabled(GetDlgItem(browser, IDOK));
            Press(browser, enabled ? IDOK : IDCANCEL);
        }, [&](HWND dialog) {
            fallback = GetDlgItem(dialog, lst2) != nullptr;   // the file-open dialog
            Press(dialog, IDCANCEL);
        }}, c.dialogs ? 20000 : 3000);
        char path[MAX_PATH + 1] = "unchanged";
        const BOOL result = Pick(c.kind == kFilePick, owner.window, path, c.size, c.folders, c.filesOnly, c.pattern);
        driver.finish();
        EXPECT_FALSE(driver.timedOut()) << c.what;
        EXPECT_EQ(c.dialogs, driver.handled()) << c.what;
        EXPECT_EQ(c.dialogs == 2, fallback) << c.what;
        if (c.dialogs) EXPECT_EQ(c.okEnabled, enabled) << c.what;
        EXPECT_EQ(c.result, result) << c.what;
        if (c.result) EXPECT_EQ(Lower(dir.path()), Lower(path)) << c.what;
        if (!c.dialogs) EXPECT_STREQ("unchanged", path) << c.what;
    }
}

TEST(Pickers, FallbackRoad)
{
    ShellGone gone;
    TempDir dir;
    for (const char *sub : {"logs", "data", "old.dir", "notes", "cwd"}) CreateDirectoryA(dir.file(sub).c_str(), nullptr);
    for (const char *f : {"logs\\day.log", "logs\\week.txt", "data\\x.dat", "data\\y.txt", "old.dir\\file.txt",
                          "old.dir\\b.log", "notes\\a.TXT", "notes\\b.log"})
        WriteFileBytes(dir.file(f), "x");
    const std::string root = "c:\\", top = "dadapick" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA((root + top).c_str(), nullptr);
    char cwd[MAX_PATH];
    GetCurrentDirectoryA(sizeof cwd, cwd);
    SetCurrentDirectoryA(dir.file("cwd").c_str());   // the pickers keep it
    auto in = [&](const char *sub) { return Lower(dir.file(sub)); };
    const struct {
        const char *what; std::string path; DWORD folders; const char *pattern, *enter;
        const char *type; std::string start; std::set<std::string> files; std::string result;
    } cases[] = {
        {"folder: a drive keeps its backslash", "", 0, nullptr, "", nullptr, root, {}, root},
        {"folder: the typed name is cut off", "", 0, nullptr, top.c_str(), nullptr, root, {}, root + top},
        {"an existing .log file", in("logs\\day.log"), 0, nullptr, "", "LOG Files", in("logs"), {"day.log"},
         in("logs\\day.log")},
        {"an extension keeps its case", in("data\\x.dat"), 0, nullptr, "", "dat Files", in("data"), {"x.dat"},
         in("data\\x.dat")},
        {"the first dot starts a longer text", in("old.dir\\file.txt"), 0, nullptr, "", "All Files", in("old.dir"),
         {"b.log", "file.txt"}, in("old.dir\\file.txt")},
        {"a .TXT file", in("notes\\a.TXT"), 0, nullptr, "", "TEXT Files", in("notes"), {"a.txt"}, in("notes\\a.txt")},
        {"a missing path starts in the current folder", in("gone\\z.log"), 0, nullptr, "", "LOG Files", in("cwd"),
         {}, ""},
        {"a given pattern is the filter", in("logs\\day.log"), 0, "Weekly\0*.txt\0", "", "Weekly", in("logs"),
         {"week.txt"}, in("logs\\day.log")},
        {"file, folder mode: the folder", in("data"), 1, nullptr, "", nullptr, in("data"), {}, in("data")},
    };
    dialogstest::Owner owner;
    for (const auto &c : cases) {
        std::string type, start;
        std::set<std::string> files;
        DialogDriver driver({[&](HWND dialog) {
            char text[MAX_PATH] = "";
            SendDlgItemMessageA(dialog, cmb1, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(text));
            type = text;
            start = Lower(ItemText(dialog, stc1));
            files = ListItems(GetDlgItem(dialog, lst1));
            if (*c.enter) EnterFolder(dialog, c.enter);
            Press(dialog, c.result.empty() ? IDCANCEL : IDOK);
        }});
        char path[MAX_PATH];
        lstrcpyA(path, c.path.c_str());
        const BOOL result = Pick(!c.path.empty(), owner.window, path, sizeof path, c.folders, 0, c.pattern);
        driver.finish();
        EXPECT_FALSE(driver.timedOut()) << c.what;
        if (c.type) EXPECT_EQ(c.type, type) << c.what;
        if (start.size() > 3 && start.back() == '\\') start.pop_back();
        EXPECT_EQ(c.start, start) << c.what;
        if (c.type) EXPECT_EQ(c.files, files) << c.what;
        EXPECT_EQ(!c.result.empty(), result != FALSE) << c.what;
        if (result) EXPECT_EQ(c.result, Lower(path)) << c.what;
    }
    SetCurrentDirectoryA(cwd);
    RemoveDirectoryA((root + top).c_str());
}

} // namespace
