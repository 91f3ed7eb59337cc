// NotifyUser, ConnectComputer with a slow registry and the pickers on both
// roads, driven from a second thread; the program's resources are the caller's.
#include <gtest/gtest.h>
#include "dadada32.h"
#include "resource.h"
#include "caller.h"
#include "dialogdriver.h"
#include "testkit/importpatch.h"
#include "testutil.h"
#include <commctrl.h>
#include <dlgs.h>
#include <shlobj.h>
#include <string>

namespace {

using namespace dadatest;

constexpr DWORD kDialogLimit = 60000;   // a dialog not handled by then is cancelled (ms)

// Escape, Enter, or else a click on the control of that id.
constexpr int kEscape = -1, kEnter = -2;

// Posts the command of control `id`, as a click on it would.
void Press(HWND dialog, int id)
{
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

std::string TextOf(HWND window)
{
    char text[1024] = "";
    if (window) GetWindowTextA(window, text, sizeof text);
    return text;
}

// What the dialog shows, "title: text [buttons]", marked when not centred on its owner.
std::string Look(HWND dialog, HWND owner)
{
    std::string seen = TextOf(dialog) + ": " + TextOf(GetDlgItem(dialog, IDC_NOTIFY_TEXT)) + " [";
    for (int id : {IDOK, IDC_NOTIFY_YES, IDC_NOTIFY_NO})
        if (HWND button = GetDlgItem(dialog, id)) seen += TextOf(button) + ";";
    seen += "]";
    RECT d, o;
    GetWindowRect(dialog, &d);
    GetWindowRect(owner, &o);
    if (abs(d.left + d.right - o.left - o.right) > 2 || abs(d.top + d.bottom - o.top - o.bottom) > 2)
        seen += " off centre";
    return seen;
}

TEST(NotifyUser, ButtonsTextsAndEndCodes)
{
    const struct {
        DWORD message;
        UINT_PTR value;
        DWORD yes, no;
        int action, result;
        const char *shows;
    } cases[] = {
        // 6 and 7 keep the template's captions; Enter answers Yes
        {IDS_CALLER_FOLDER, UINT_PTR("C:\\Scan"), 6, 7, kEnter, 1, "Folder: C:\\Scan [&Yes;&No;]"},
        {IDS_CALLER_REPLACE, 0, IDS_CALLER_YES, IDS_CALLER_NO, IDC_NOTIFY_NO, 2,
         "Replace the old definitions? [&Replace;&Keep;]"},
        // a zero yesId or noId leaves only OK; a value fills the placeholder
        {IDS_CALLER_COUNT, 5, 6, 0, IDOK, 1, "5 files were infected. [OK;]"},
        {IDS_CALLER_COUNT, 0, 0, 0, kEscape, 2, "%d files were infected. [OK;]"},
        {4242, 0, 0, IDS_CALLER_NO, IDOK, 1, " [OK;]"},   // a missing string is empty
    };
    const dada::Owned<HWND, &DestroyWindow> owner(CreateWindowExA(0, "STATIC", "owner", WS_POPUP | WS_VISIBLE, 300,
                                                                  200, 400, 300, nullptr, nullptr, nullptr, nullptr));
    for (const auto &c : cases) {
        std::string seen;
        DialogDriver driver({[&](HWND dialog) {
            seen = Look(dialog, owner.get());
            if (c.action >= 0)
                Press(dialog, c.action);
            else
                PostMessageA(dialog, WM_KEYDOWN, c.action == kEscape ? VK_ESCAPE : VK_RETURN, 0);
        }}, kDialogLimit);
        NotifyRequest r{owner.get(), c.value, c.message, c.yes, c.no, IDS_CALLER_TITLE, IDI_CALLER};
        const int result = NotifyUser(&r);
        EXPECT_TRUE(driver.finish()) << c.shows;
        EXPECT_EQ(c.result, result) << c.shows;
        EXPECT_EQ(std::string("Scan report: ") + c.shows, seen);
    }
    EXPECT_EQ(-1, NotifyUser(nullptr));
    NotifyRequest r{reinterpret_cast<HWND>(UINT_PTR(0x4321)), 0, IDS_CALLER_PLAIN, 0, 0, IDS_CALLER_TITLE, 0};
    EXPECT_EQ(-1, NotifyUser(&r));   // an owner that is not a window
}

// RegConnectRegistryA as the library sees it: waits for the test's word,
// then opens HKEY_LOCAL_MACHINE\Software, or fails for "NOBODY".
const dada::UniqueHandle g_go(CreateEventA(nullptr, TRUE, FALSE, nullptr));
const dada::UniqueHandle g_back(CreateEventA(nullptr, TRUE, FALSE, nullptr));
std::string g_name;
HKEY g_opened;

LONG WINAPI SlowConnect(LPCSTR name, HKEY, PHKEY key)
{
    g_name = name ? name : "";
    WaitForSingleObject(g_go.get(), kDialogLimit);
    LONG rc = ERROR_BAD_NETPATH;
    if (g_name != "NOBODY") rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, KEY_READ, &g_opened);
    *key = g_opened;
    SetEvent(g_back.get());
    return rc;
}

bool KeyIsOpen(HKEY key) { return RegQueryInfoKeyA(key, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0) == ERROR_SUCCESS; }

TEST(ConnectComputer, Attempts)
{
    const std::string prompt = "Attempting to establish communication with server ", longName(300, 'L');
    const struct {
        std::string name, shown;
        bool cancel;   // it answers at once; else Enter is pressed, which does not end it, and the attempt ends
        int result;
    } cases[] = {
        // the name is shown as it is, cut to the text's room, never overrunning
        {"PC%s%d" + longName, (prompt + "PC%s%d" + longName).substr(0, 259), true, CONNECT_CANCELLED},
        {"SLOWPOKE", prompt + "SLOWPOKE", false, CONNECT_OK},
        {"NOBODY", prompt + "NOBODY", false, CONNECT_FAILED},
    };
    testkit::ImportPatch patch("RegConnectRegistryA", reinterpret_cast<void *>(&SlowConnect));
    ASSERT_TRUE(patch.active());
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ResetEvent(g_go.get());
        ResetEvent(g_back.get());
        g_opened = nullptr;
        std::string shown;
        bool ready = false, stillOpen = false;   // ready: the clip plays, the context is kept
        DialogDriver driver({[&](HWND dialog) {
            HWND text = GetWindow(dialog, GW_CHILD);   // the first unnamed text names the server
            while (text && LOWORD(GetDlgCtrlID(text)) != 0xFFFF) text = GetWindow(text, GW_HWNDNEXT);
            shown = TextOf(text);
            ready = SendDlgItemMessageA(dialog, IDC_CONNECT_ANIMATE, ACM_PLAY, WPARAM(-1), MAKELPARAM(0, 0xFFFF)) &&
                    (GetPropA(dialog, "Wait1") || GetPropA(dialog, "Wait2"));
            if (c.cancel) return Press(dialog, IDCANCEL);
            DWORD_PTR r;   // Enter sends IDOK
            SendMessageTimeoutA(dialog, WM_COMMAND, IDOK, 0, SMTO_NORMAL, kDialogLimit, &r);
            stillOpen = IsWindowVisible(dialog);
            SetEvent(g_go.get());
        }}, kDialogLimit);
        HKEY key = nullptr;
        const int result = ConnectComputer(nullptr, &key, c.name.c_str());
        const bool pending = WaitForSingleObject(g_back.get(), 0) == WAIT_TIMEOUT;
        EXPECT_TRUE(driver.finish());
        EXPECT_EQ(c.result, result);
        EXPECT_EQ(c.shown, shown);
        EXPECT_EQ(c.name, g_name);   // the whole name is tried
        EXPECT_TRUE(ready);
        EXPECT_EQ(c.cancel, pending);
        EXPECT_EQ(!c.cancel, stillOpen);
        // The attempt ends, also when cancelled; only a key handed to the caller stays open.
        SetEvent(g_go.get());
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(g_back.get(), 5000));
        EXPECT_EQ(result == CONNECT_OK ? g_opened : nullptr, key);
        EXPECT_TRUE(WaitUntil([&] { return KeyIsOpen(g_opened) == (result == CONNECT_OK); }));
        RegCloseKey(key);
    }
    EXPECT_EQ(CONNECT_FAILED, ConnectComputer(nullptr, nullptr, "X"));
    HKEY key;
    EXPECT_EQ(CONNECT_NO_DIALOG, ConnectComputer(reinterpret_cast<HWND>(UINT_PTR(0x4321)), &key, "X"));
}

HRESULT WINAPI NoShell(IMalloc **allocator)
{
    *allocator = nullptr;
    return E_FAIL;
}

// Selects `path` in the shell's browser; the first browser of a process may
// still be filling its tree (and then selects its root again), so the
// selection is made until it has held for half a second.
void ShellSelect(HWND browser, const std::string &path)
{
    const std::string name = path.substr(path.rfind('\\') + 1);
    HWND tree = FindWindowExA(browser, nullptr, WC_TREEVIEWA, nullptr);
    DWORD heldSince = 0;
    WaitUntil([&] {
        HTREEITEM caret = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
        if (!caret || lstrcmpiA(TreeItemText(tree, caret).c_str(), name.c_str()) != 0) {
            SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(path.c_str()));
            heldSince = 0;
            return false;
        }
        if (!heldSince) heldSince = GetTickCount();
        return GetTickCount() - heldSince >= 500;
    }, kDialogLimit / 2);
}

// FolderBrowseDialog, or FileBrowseDialog with the given fields.
BOOL Pick(bool file, char *path, DWORD size, DWORD folders, DWORD filesOnly, const char *pattern)
{
    if (!file) return FolderBrowseDialog(nullptr, path, size, IDS_CALLER_TITLE);
    RemoteBrowseInfo info{nullptr, nullptr, path, size, folders, IDS_CALLER_TITLE, IDS_CALLER_PROMPT, pattern,
                          filesOnly, 0, 0};
    return FileBrowseDialog(&info);
}

TEST(Pickers, ShellRoad)
{
    EXPECT_TRUE(IsShellAvailable());
    TempDir dir;
    const DWORD fits = MAX_PATH, tooSmall = DWORD(dir.path().size());
    const struct {
        const char *what;
        bool file;   // FileBrowseDialog, else FolderBrowseDialog
        DWORD size, folders, filesOnly;
        const char *pattern;
        int dialogs;   // 2: the shell's browser, then the file-open dialog
        bool okEnabled;
        BOOL result;
    } cases[] = {
        {"a folder buffer below 260: no dialog", false, MAX_PATH - 1, 0, 0, nullptr, 0, false, FALSE},
        {"a folder is picked", false, fits, 0, 0, nullptr, 1, true, TRUE},
        {"files only never takes a folder", true, fits, 1, 1, nullptr, 2, false, FALSE},
        {"file mode: a folder the pattern matches", true, fits, 0, 0, "*", 1, true, TRUE},
        {"folder mode: a path as long as the buffer: the fallback", true, tooSmall, 1, 0, nullptr, 2, true, FALSE},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        bool enabled = false;
        DialogDriver driver({[&](HWND browser) {
            ShellSelect(browser, dir.path());
            WaitUntil([&] { return IsWindowEnabled(GetDlgItem(browser, IDOK)) == c.okEnabled; }, kDialogLimit / 4);
            enabled = IsWindowEnabled(GetDlgItem(browser, IDOK));
            Press(browser, enabled ? IDOK : IDCANCEL);
        }, [](HWND fileOpen) {
            Press(fileOpen, IDCANCEL);
        }}, kDialogLimit);
        char path[MAX_PATH + 1] = "unchanged";
        const BOOL result = Pick(c.file, path, c.size, c.folders, c.filesOnly, c.pattern);
        EXPECT_TRUE(driver.finish());
        EXPECT_EQ(c.dialogs, driver.handled());
        EXPECT_EQ(c.okEnabled, enabled);
        EXPECT_EQ(c.result, result);
        if (c.result) EXPECT_STRCASEEQ(dir.path().c_str(), path);
        if (!c.dialogs) EXPECT_STREQ("unchanged", path);
    }
}

TEST(Pickers, FallbackRoad)
{
    testkit::ImportPatch noShell("SHGetMalloc", reinterpret_cast<void *>(&NoShell));
    ASSERT_TRUE(noShell.active());
    EXPECT_FALSE(IsShellAvailable());
    TempDir dir;
    for (const char *sub : {"data", "old.dir", "notes"}) CreateDirectoryA(dir.file(sub).c_str(), nullptr);
    for (const char *f : {"data\\x.dat", "data\\y.txt", "old.dir\\a.txt", "old.dir\\b.log", "notes\\a.TXT", "notes\\b"})
        WriteFileBytes(dir.file(f), "x");
    char cwd[MAX_PATH];
    GetCurrentDirectoryA(sizeof cwd, cwd);
    auto in = [&](const char *sub) { return dir.file(sub); };
    const struct {
        const char *what;
        std::string path;
        DWORD folders;
        const char *type;   // the filter offered and the number of files it lists (null: not looked at)
        std::string start, result;   // the folder shown first; the path OK gives (empty: cancelled)
    } cases[] = {
        {"folder: a drive keeps its backslash", "", 0, nullptr, "C:\\", "C:\\"},
        {"file, folder mode: the folder", in("data"), 1, nullptr, in("data"), in("data")},
        {"an unknown extension keeps its case", in("data\\x.dat"), 0, "dat Files: 1", in("data"), in("data\\x.dat")},
        {"a first dot: a longer text", in("old.dir\\a.txt"), 0, "All Files: 2", in("old.dir"), in("old.dir\\a.txt")},
        {"a known one in any case", in("notes\\a.TXT"), 0, "TEXT Files: 1", in("notes"), in("notes\\a.txt")},
        {"a missing path starts in the current folder", in("gone\\z.log"), 0, "LOG Files: 0", cwd, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        std::string type, start;
        DialogDriver driver({[&](HWND dialog) {
            char text[MAX_PATH] = "";
            SendDlgItemMessageA(dialog, cmb1, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(text));
            type = text + (": " + std::to_string(SendDlgItemMessageA(dialog, lst1, LB_GETCOUNT, 0, 0)));
            start = TextOf(GetDlgItem(dialog, stc1));
            Press(dialog, c.result.empty() ? IDCANCEL : IDOK);
        }}, kDialogLimit);
        char path[MAX_PATH];
        lstrcpyA(path, c.path.c_str());
        const BOOL result = Pick(!c.path.empty(), path, sizeof path, c.folders, 0, nullptr);
        EXPECT_TRUE(driver.finish());
        if (start.size() > 3 && start.back() == '\\') start.pop_back();
        EXPECT_STRCASEEQ(c.start.c_str(), start.c_str());
        if (c.type) EXPECT_EQ(c.type, type);
        EXPECT_EQ(!c.result.empty(), result != FALSE);
        if (result) EXPECT_STRCASEEQ(c.result.c_str(), path);
    }
}

} // namespace
