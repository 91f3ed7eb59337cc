// The small dialogs, driven from a second thread under the test run's display:
// NotifyUser, ConnectComputer with a slow registry, and the pickers on both
// roads.  The program's own resources are the caller's texts and icon.
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

// Escape, Enter, the close box, or else a click on the control of that id.
constexpr int kEscape = -1, kEnter = -2, kCloseBox = -3;

// What the dialog shows, as "title: text [buttons]", marked when it does not
// stand centred on its owner or the caller's icon is not painted where the
// hidden frame marks its place.
std::string Look(HWND dialog, HWND owner)
{
    std::string seen = TextOf(dialog) + ": " + ItemText(dialog, IDC_NOTIFY_TEXT) + " [";
    for (int id : {IDOK, IDC_NOTIFY_YES, IDC_NOTIFY_NO})
        if (GetDlgItem(dialog, id)) seen += ItemText(dialog, id) + ";";
    seen += "]";
    RECT d, o, frame;
    GetWindowRect(dialog, &d);
    GetWindowRect(owner, &o);
    if (abs(d.left + d.right - o.left - o.right) > 2 || abs(d.top + d.bottom - o.top - o.bottom) > 2)
        seen += " off centre";
    GetWindowRect(GetDlgItem(dialog, IDC_NOTIFY_ICON), &frame);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT *>(&frame), 2);
    HDC dc = GetDC(dialog);
    const bool icon = WaitUntil([&] {   // the blue disc and the white "i"
        return GetPixel(dc, frame.left + 8, frame.top + 16) == RGB(0, 64, 160) &&
               GetPixel(dc, frame.left + 16, frame.top + 20) == RGB(255, 255, 255);
    });
    ReleaseDC(dialog, dc);
    return icon ? seen : seen + " no icon";
}

TEST(NotifyUser, ButtonsTextsAndEndCodes)
{
    static const char folder[] = "C:\\Scan";
    const struct {
        DWORD message;
        UINT_PTR value;
        DWORD yes, no;
        int action, result;
        const char *shows;
    } cases[] = {
        // 6 and 7 keep the template's captions; Enter answers Yes
        {IDS_CALLER_REPLACE, 0, 6, 7, kEnter, 1, "Replace the old definitions? [&Yes;&No;]"},
        {IDS_CALLER_REPLACE, 0, IDS_CALLER_YES, IDS_CALLER_NO, IDC_NOTIFY_NO, 2,
         "Replace the old definitions? [&Replace;&Keep;]"},
        // a zero yesId or noId leaves only OK; a value fills the placeholder
        {IDS_CALLER_PLAIN, 0, 0, IDS_CALLER_NO, IDOK, 1, "Nothing to report. [OK;]"},
        {IDS_CALLER_COUNT, 5, 6, 0, kEscape, 2, "5 files were infected. [OK;]"},
        {IDS_CALLER_COUNT, 0, 0, 0, kCloseBox, 2, "%d files were infected. [OK;]"},
        {IDS_CALLER_FOLDER, reinterpret_cast<UINT_PTR>(folder), 6, 7, IDC_NOTIFY_YES, 1,
         "Folder: C:\\Scan [&Yes;&No;]"},
        {4242, 0, 0, 0, IDOK, 1, " [OK;]"},   // a missing string is empty
    };
    // A visible window of the test program owns the dialogs.
    HWND owner = CreateWindowExA(0, "STATIC", "owner", WS_POPUP | WS_VISIBLE, 300, 200, 400, 300, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    for (const auto &c : cases) {
        std::string seen;
        DialogDriver driver({[&](HWND dialog) {
            seen = Look(dialog, owner);
            if (c.action >= 0)
                Press(dialog, c.action);
            else if (c.action == kCloseBox)
                PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
            else
                PostMessageA(dialog, WM_KEYDOWN, c.action == kEscape ? VK_ESCAPE : VK_RETURN, 0);
        }}, kDialogLimit);
        NotifyRequest r{owner, c.value, c.message, c.yes, c.no, IDS_CALLER_TITLE, IDI_CALLER};
        const int result = NotifyUser(&r);
        driver.finish();
        EXPECT_FALSE(driver.timedOut()) << c.shows;
        EXPECT_EQ(c.result, result) << c.shows;
        EXPECT_EQ(std::string("Scan report: ") + c.shows, seen);
    }
    DestroyWindow(owner);
    EXPECT_EQ(-1, NotifyUser(nullptr));
    NotifyRequest r{reinterpret_cast<HWND>(UINT_PTR(0x4321)), 0, IDS_CALLER_PLAIN, 0, 0, IDS_CALLER_TITLE, 0};
    EXPECT_EQ(-1, NotifyUser(&r));   // an owner that is not a window
}

// RegConnectRegistryA as the library sees it: waits for the test's word,
// then opens HKEY_LOCAL_MACHINE\Software, or fails for "NOBODY".
HANDLE g_go, g_back;
std::string g_name;
HKEY g_opened;

LONG WINAPI SlowConnect(LPCSTR name, HKEY, PHKEY key)
{
    g_name = name ? name : "";
    WaitForSingleObject(g_go, kDialogLimit);
    LONG rc = ERROR_BAD_NETPATH;
    if (g_name != "NOBODY") rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, KEY_READ, &g_opened);
    *key = g_opened;
    SetEvent(g_back);
    return rc;
}

// The clip is shown at its size (48 x 24) and plays: its packet, the first
// yellow pixel on the line between the two computers, moves.
bool ClipPlays(HWND clip)
{
    RECT r{};
    GetClientRect(clip, &r);
    HDC dc = GetDC(clip);
    int first = -1;
    const bool moved = WaitUntil([&] {
        int at = 0;
        while (at < r.right && GetPixel(dc, at, 8) != RGB(255, 255, 0)) ++at;
        if (first < 0 && at < r.right) first = at;
        return first >= 0 && at < r.right && at != first;
    });
    ReleaseDC(clip, dc);
    return IsWindowVisible(clip) && r.right == 48 && r.bottom == 24 && moved;
}

bool KeyIsOpen(HKEY key) { return RegQueryInfoKeyA(key, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0) == ERROR_SUCCESS; }

TEST(ConnectComputer, Attempts)
{
    const std::string prompt = "Attempting to establish communication with server ", longName(300, 'L');
    const struct {
        const char *what;
        std::string name, shown;
        bool cancel;   // else Enter is pressed, which does not end it, and the attempt ends
        int result;
    } cases[] = {
        {"cancel answers at once; the name is shown as it is, cut, never overrunning", "PC%s%d" + longName,
         (prompt + "PC%s%d" + longName).substr(0, 259), true, CONNECT_CANCELLED},
        {"the attempt succeeds", "SLOWPOKE", prompt + "SLOWPOKE", false, CONNECT_OK},
        {"the attempt fails", "NOBODY", prompt + "NOBODY", false, CONNECT_FAILED},
    };
    testkit::ImportPatch patch("RegConnectRegistryA", reinterpret_cast<void *>(&SlowConnect));
    ASSERT_TRUE(patch.active());
    g_go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    g_back = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        ResetEvent(g_go);
        ResetEvent(g_back);
        g_opened = nullptr;
        std::string shown;
        bool clipPlays = false, contextKept = false, stillOpen = false;
        DialogDriver driver({[&](HWND dialog) {
            HWND text = GetWindow(dialog, GW_CHILD);   // the first unnamed text names the server
            while (text && LOWORD(GetDlgCtrlID(text)) != 0xFFFF) text = GetWindow(text, GW_HWNDNEXT);
            shown = TextOf(text);
            clipPlays = ClipPlays(GetDlgItem(dialog, IDC_CONNECT_ANIMATE));
            contextKept = GetPropA(dialog, "Wait1") || GetPropA(dialog, "Wait2");
            if (c.cancel) return Press(dialog, IDCANCEL);
            DWORD_PTR r;   // Enter sends IDOK
            SendMessageTimeoutA(dialog, WM_COMMAND, IDOK, 0, SMTO_NORMAL, kDialogLimit, &r);
            stillOpen = IsWindowVisible(dialog);
            SetEvent(g_go);
        }}, kDialogLimit);
        HKEY key = nullptr;
        const int result = ConnectComputer(nullptr, &key, c.name.c_str());
        const bool pending = WaitForSingleObject(g_back, 0) == WAIT_TIMEOUT;
        driver.finish();
        EXPECT_FALSE(driver.timedOut());
        EXPECT_EQ(c.result, result);
        EXPECT_EQ(c.shown, shown);
        EXPECT_EQ(c.name, g_name);   // the whole name is tried
        EXPECT_TRUE(clipPlays);
        EXPECT_TRUE(contextKept);
        EXPECT_EQ(c.cancel, pending);
        EXPECT_EQ(!c.cancel, stillOpen);
        // The attempt ends, after the dialog when it was cancelled: only the
        // key handed to the caller stays open.
        SetEvent(g_go);
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(g_back, 5000));
        EXPECT_EQ(result == CONNECT_OK ? g_opened : nullptr, key);
        EXPECT_TRUE(WaitUntil([&] { return KeyIsOpen(g_opened) == (result == CONNECT_OK); }));
        RegCloseKey(key);
    }
    CloseHandle(g_go);
    CloseHandle(g_back);
    EXPECT_EQ(CONNECT_FAILED, ConnectComputer(nullptr, nullptr, "X"));
    HKEY key;
    EXPECT_EQ(CONNECT_NO_DIALOG, ConnectComputer(reinterpret_cast<HWND>(UINT_PTR(0x4321)), &key, "X"));
}

HRESULT WINAPI NoShell(IMalloc **allocator)
{
    *allocator = nullptr;
    return E_FAIL;
}

std::string Lower(std::string s)
{
    CharLowerA(s.data());
    return s;
}

// Selects `path` in the shell's browser; the first browser of a process may
// still be filling its tree, so the selection is made until it holds.
void ShellSelect(HWND browser, const std::string &path)
{
    const std::string name = Lower(path.substr(path.rfind('\\') + 1));
    HWND tree = FindWindowExA(browser, nullptr, WC_TREEVIEWA, nullptr);
    WaitUntil([&] {
        SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(path.c_str()));
        HTREEITEM caret = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
        return caret && Lower(TreeItemText(tree, caret)) == name;
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
    enum { kFolderPick, kFilePick };
    const struct {
        const char *what;
        int kind;
        DWORD size, folders, filesOnly;
        const char *pattern;
        int dialogs;   // 2: the shell's browser, then the file-open dialog
        bool okEnabled;
        BOOL result;
    } cases[] = {
        {"a folder buffer below 260: no dialog", kFolderPick, MAX_PATH - 1, 0, 0, nullptr, 0, false, FALSE},
        {"a folder is picked", kFolderPick, fits, 0, 0, nullptr, 1, true, TRUE},
        {"files only never takes a folder", kFilePick, fits, 1, 1, nullptr, 2, false, FALSE},
        {"file mode: a folder the pattern does not match", kFilePick, fits, 0, 0, "*.txt", 2, false, FALSE},
        {"file mode: a folder the pattern matches", kFilePick, fits, 0, 0, "*", 1, true, TRUE},
        {"folder mode: a path as long as the buffer goes to the fallback", kFilePick, tooSmall, 1, 0, nullptr, 2,
         true, FALSE},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        bool enabled = false, fallback = false;
        DialogDriver driver({[&](HWND browser) {
            ShellSelect(browser, dir.path());
            // The answer may come by a posted message: wait for it to settle.
            WaitUntil([&] { return IsWindowEnabled(GetDlgItem(browser, IDOK)) == c.okEnabled; }, kDialogLimit / 4);
            enabled = IsWindowEnabled(GetDlgItem(browser, IDOK));
            Press(browser, enabled ? IDOK : IDCANCEL);
        }, [&](HWND dialog) {
            fallback = GetDlgItem(dialog, lst2) != nullptr;   // the file-open dialog
            Press(dialog, IDCANCEL);
        }}, kDialogLimit);
        char path[MAX_PATH + 1] = "unchanged";
        const BOOL result = Pick(c.kind == kFilePick, path, c.size, c.folders, c.filesOnly, c.pattern);
        driver.finish();
        EXPECT_FALSE(driver.timedOut());
        EXPECT_EQ(c.dialogs, driver.handled());
        EXPECT_EQ(c.dialogs == 2, fallback);
        EXPECT_EQ(c.okEnabled, enabled);
        EXPECT_EQ(c.result, result);
        if (c.result) EXPECT_EQ(Lower(dir.path()), Lower(path));
        if (!c.dialogs) EXPECT_STREQ("unchanged", path);
    }
}

TEST(Pickers, FallbackRoad)
{
    testkit::ImportPatch noShell("SHGetMalloc", reinterpret_cast<void *>(&NoShell));
    ASSERT_TRUE(noShell.active());
    EXPECT_FALSE(IsShellAvailable());
    TempDir dir;
    for (const char *sub : {"data", "old.dir", "notes", "cwd"}) CreateDirectoryA(dir.file(sub).c_str(), nullptr);
    for (const char *f : {"data\\x.dat", "data\\y.txt", "old.dir\\a.txt", "old.dir\\b.log", "notes\\a.TXT", "notes\\b"})
        WriteFileBytes(dir.file(f), "x");
    char cwd[MAX_PATH];
    GetCurrentDirectoryA(sizeof cwd, cwd);
    SetCurrentDirectoryA(dir.file("cwd").c_str());   // the pickers keep it
    auto in = [&](const char *sub) { return Lower(dir.file(sub)); };
    const struct {
        const char *what;
        std::string path;
        DWORD folders;
        const char *type;   // the filter offered (null: not looked at), and the files it lists
        int files;
        std::string start, result;   // the folder shown first; the path OK gives (empty: cancelled)
    } cases[] = {
        {"folder: a drive keeps its backslash", "", 0, nullptr, 0, "c:\\", "c:\\"},
        {"file, folder mode: the folder", in("data"), 1, nullptr, 0, in("data"), in("data")},
        {"an unknown extension keeps its case", in("data\\x.dat"), 0, "dat Files", 1, in("data"), in("data\\x.dat")},
        {"the first dot starts a longer text", in("old.dir\\a.txt"), 0, "All Files", 2, in("old.dir"),
         in("old.dir\\a.txt")},
        {"a known one in any case", in("notes\\a.TXT"), 0, "TEXT Files", 1, in("notes"), in("notes\\a.txt")},
        {"a missing path starts in the current folder", in("gone\\z.log"), 0, "LOG Files", 0, in("cwd"), ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        std::string type, start;
        int files = -1;
        DialogDriver driver({[&](HWND dialog) {
            char text[MAX_PATH] = "";
            SendDlgItemMessageA(dialog, cmb1, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(text));
            type = text;
            start = Lower(ItemText(dialog, stc1));
            files = int(SendDlgItemMessageA(dialog, lst1, LB_GETCOUNT, 0, 0));
            Press(dialog, c.result.empty() ? IDCANCEL : IDOK);
        }}, kDialogLimit);
        char path[MAX_PATH];
        lstrcpyA(path, c.path.c_str());
        const BOOL result = Pick(!c.path.empty(), path, sizeof path, c.folders, 0, nullptr);
        driver.finish();
        EXPECT_FALSE(driver.timedOut());
        if (start.size() > 3 && start.back() == '\\') start.pop_back();
        EXPECT_EQ(c.start, start);
        if (c.type) EXPECT_EQ(c.type, type);
        if (c.type) EXPECT_EQ(c.files, files);
        EXPECT_EQ(!c.result.empty(), result != FALSE);
        if (result) EXPECT_EQ(c.result, Lower(path));
    }
    SetCurrentDirectoryA(cwd);
}

} // namespace
