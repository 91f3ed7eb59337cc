// ConnectComputer: this machine, a name nobody answers to, and, with the
// library's registry call made slow, a pending attempt that is cancelled,
// its text, its clip, and the key it opens afterwards.
#include <gtest/gtest.h>
#include "dadada32.h"
#include "resource.h"
#include "dialogdriver.h"
#include "testkit/importpatch.h"
#include "owner.h"
#include <string>

namespace {

using namespace dadatest;

// RegConnectRegistryA that waits for the test's word before it opens a key.
struct SlowRegistry {
    HANDLE go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE back = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::string name;
    HKEY opened = nullptr;
    ~SlowRegistry() { SetEvent(go); WaitForSingleObject(back, 5000); CloseHandle(go); CloseHandle(back); }
} *g_slow;

LONG WINAPI SlowConnect(LPCSTR name, HKEY, PHKEY key)
{
    g_slow->name = name ? name : "";
    WaitForSingleObject(g_slow->go, 30000);
    LONG rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, KEY_READ, &g_slow->opened);
    *key = g_slow->opened;
    SetEvent(g_slow->back);
    return rc;
}

// Where the clip's packet stands: the first of its yellow pixels on the
// line between the two computers, or -1.
int PacketAt(HWND clip)
{
    HDC dc = GetDC(clip);
    int at = -1;
    for (int x = 0; x < 48 && at < 0; ++x)
        if (GetPixel(dc, x, 8) == RGB(255, 255, 0)) at = x;
    ReleaseDC(clip, dc);
    return at;
}

// Shown, sized to the clip (48 x 24), and the packet moves.
bool ClipPlays(HWND clip)
{
    RECT r{};
    GetClientRect(clip, &r);
    const int before = PacketAt(clip);
    Sleep(250);
    const int after = PacketAt(clip);
    return IsWindowVisible(clip) && r.right == 48 && r.bottom == 24 && before >= 0 && after >= 0 && before != after;
}

bool KeyIsOpen(HKEY key) { return RegQueryInfoKeyA(key, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0) == ERROR_SUCCESS; }

std::string ThisComputer()
{
    char name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD n = sizeof name;
    return GetComputerNameA(name, &n) ? name : "";
}

TEST(ConnectComputer, ThisMachineAndNobody)
{
    const struct { const char *what; std::string name; int result; } cases[] = {
        {"this machine", ThisComputer(), CONNECT_OK},
        {"no machine answers", "NO-SUCH-MACHINE-7F3A", CONNECT_FAILED},
    };
    dialogstest::Owner owner;
    for (const auto &c : cases) {
        DialogDriver driver({});   // only the time-out: the attempt ends the dialog
        HKEY key = reinterpret_cast<HKEY>(UINT_PTR(0x1234));
        EXPECT_EQ(c.result, ConnectComputer(owner.window, &key, c.name.c_str())) << c.what;
        driver.finish();
        EXPECT_FALSE(driver.timedOut()) << c.what;
        if (c.result == CONNECT_OK) {
            HKEY software = nullptr;
            EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExA(key, "Software", 0, KEY_READ, &software)) << c.what;
            RegCloseKey(software);
            RegCloseKey(key);
        } else {
            EXPECT_EQ(nullptr, key) << c.what;
        }
    }
    EXPECT_EQ(CONNECT_FAILED, ConnectComputer(owner.window, nullptr, "X"));
    HKEY key;
    EXPECT_EQ(CONNECT_NO_DIALOG, ConnectComputer(reinterpret_cast<HWND>(UINT_PTR(0x4321)), &key, "X"));
}

TEST(ConnectComputer, PendingAttempt)
{
    const std::string prompt = "Attempting to establish communication with server ";
    const std::string longName(300, 'L');
    enum Ending { kCancel, kEnterThenFinish };
    const struct { const char *what; std::string name, shown; Ending ending; int result; } cases[] = {
        {"cancel answers at once", "FARAWAY", prompt + "FARAWAY", kCancel, CONNECT_CANCELLED},
        {"a percent sign is shown unchanged", "PC%s%d", prompt + "PC%s%d", kCancel, CONNECT_CANCELLED},
        {"a long name is cut, never overruns", longName, (prompt + longName).substr(0, 259), kCancel, CONNECT_CANCELLED},
        {"Enter does not end it; the attempt does", "SLOWPOKE", prompt + "SLOWPOKE", kEnterThenFinish, CONNECT_OK},
    };
    dialogstest::Owner owner;
    for (const auto &c : cases) {
        SlowRegistry slow;
        g_slow = &slow;
        testkit::ImportPatch patch("RegConnectRegistryA", reinterpret_cast<void *>(&SlowConnect));
        ASSERT_TRUE(patch.active());
        std::string shown;
        bool clipShown = false, contextKept = false, stillOpen = false;
        DialogDriver driver({[&](HWND dialog) {
            for (HWND w = GetWindow(dialog, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT))
                if (LOWORD(GetDlgCtrlID(w)) == 0xFFFF) { shown = TextOf(w); break; }
            clipShown = ClipPlays(GetDlgItem(dialog, IDC_CONNECT_ANIMATE));
            contextKept = GetPropA(dialog, "Wait1") || GetPropA(dialog, "Wait2");
            if (c.ending == kCancel) {
                Press(dialog, IDCANCEL);
                return;
            }
            Press(dialog, IDOK);
            Sleep(300);
            stillOpen = IsWindow(dialog) && IsWindowVisible(dialog);
            SetEvent(slow.go);
        }});
        HKEY key = nullptr;
        const int result = ConnectComputer(owner.window, &key, c.name.c_str());
        const bool attemptStillPending = WaitForSingleObject(slow.back, 0) == WAIT_TIMEOUT;
        driver.finish();
        ASSERT_FALSE(driver.timedOut()) << c.what;
        EXPECT_EQ(c.result, result) << c.what;
        EXPECT_EQ(c.shown, shown) << c.what;
        EXPECT_EQ(c.name, slow.name) << c.what;   // the whole name is tried
        EXPECT_TRUE(clipShown) << c.what;
        EXPECT_TRUE(contextKept) << c.what;
        if (c.ending == kCancel) {
            EXPECT_TRUE(attemptStillPending) << c.what;
            EXPECT_EQ(nullptr, key) << c.what;
            SetEvent(slow.go);   // the attempt ends after the dialog: its key is closed
            ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(slow.back, 5000)) << c.what;
            EXPECT_TRUE(WaitUntil([&] { return !KeyIsOpen(slow.opened); })) << c.what;
        } else {
            EXPECT_TRUE(stillOpen) << c.what;
            EXPECT_EQ(slow.opened, key) << c.what;
            EXPECT_TRUE(KeyIsOpen(key)) << c.what;
            RegCloseKey(key);
        }
    }
}

} // namespace
