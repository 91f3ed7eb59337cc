// The browse tree without its dialog: the name lists of remote replies (the
// formats as a table, then arbitrary bytes and counts with the list's end
// against a page that may not be read), and the path and expansion steps.
#include "RFTREEVW/rftreevw.h"
#include "dialogdriver.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

using namespace dada::browse;

namespace {

class NameList : public ::testing::Test {
protected:
    void SetUp() override
    {
        InitCommonControls();
        tree_ = CreateWindowExA(0, WC_TREEVIEWA, "", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
        ASSERT_TRUE(tree_);
        // Two pages: the list is placed to end where the second, unreadable, begins.
        page_ = static_cast<BYTE *>(VirtualAlloc(nullptr, 2 * kPage, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        DWORD old;
        ASSERT_TRUE(VirtualProtect(page_ + kPage, kPage, PAGE_NOACCESS, &old));
    }
    void TearDown() override
    {
        DestroyWindow(tree_);
        VirtualFree(page_, 0, MEM_RELEASE);
    }
    // `bytes` copied right before the unreadable page.
    const BYTE *Place(const std::string &bytes)
    {
        BYTE *at = page_ + kPage - bytes.size();
        std::memcpy(at, bytes.data(), bytes.size());
        return at;
    }
    // Items under the top level as "image:text".
    std::vector<std::string> Items()
    {
        std::vector<std::string> out;
        for (auto i = TreeView_GetRoot(tree_); i; i = TreeView_GetNextSibling(tree_, i)) {
            int image = -1;
            const std::string text = dadatest::TreeItemText(tree_, i, &image);
            out.push_back(std::to_string(image) + ":" + text);
        }
        return out;
    }
    static constexpr size_t kPage = 4096;
    HWND tree_ = nullptr;
    BYTE *page_ = nullptr;
};

TEST_F(NameList, Formats)
{
    using S = std::string;
    constexpr DWORD kAll = MAXDWORD;   // the count is the literal's length
#define L(text) S(text, sizeof(text) - 1)
    struct {
        S bytes;
        DWORD count, mode;
        bool ends;   // the list ended at its empty entry (or at its count)
        std::vector<S> items;
    } cases[] = {
        {L("C:\\\0D:\\\0\0"), kAll, kFolderItem, true, {"1:C:\\", "1:D:\\"}},
        {L("\x02" "dir\0\x01" "f.txt\0\0"), kAll, kTypedList, true, {"1:dir", "4:f.txt"}},
        {L("\x03" "pc\0\x04" "fix\0\x05" "net\0\x06" "cd\0\x07" "fd\0\0"), kAll, kTypedList, true,
         {"8:cd", "9:fd", "6:fix", "7:net", "5:pc"}},
        {L("\x02.\0\x02..\0\x02sub\0\0"), kAll, kTypedList, true, {"1:sub"}},
        {L("\x02.\0\0"), kAll, kTypedList, true, {}},            // ends at ".": its answer counts
        {L("\0\0"), kAll, kTypedList, false, {}},                 // no entries
        {L(""), kAll, kFolderItem, false, {}},
        {L("\x02" "a\0\x09" "bad\0\x02" "c\0\0"), kAll, kTypedList, false, {"1:a"}},
        {L("\x00" "a\0\0"), kAll, kTypedList, false, {}},        // type byte 0
        {L("\x02" "a\0\0" "\x02" "x\0"), kAll, kTypedList, true, {"1:a"}},  // nothing after the empty entry
        {L("\x02" "a\0\x02" "b"), kAll, kTypedList, false, {"1:a", "1:b"}},  // b: no zero inside the count
        {L("\x02" "a\0\x02" "bc\0"), 5, kTypedList, false, {"1:a", "1:bc"}},  // the count cuts bc, the room holds it
        {L("\x02" "a\0"), kAll, kTypedList, true, {"1:a"}},                // ends exactly at the count
        {L("\x02" "a\0\x02"), kAll, kTypedList, false, {"1:", "1:a"}},    // a type byte and nothing more
    };
#undef L
    for (const auto &c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.bytes));
        TreeView_DeleteAllItems(tree_);
        const DWORD count = c.count == kAll ? DWORD(c.bytes.size()) : c.count;
        // The reply's room is the whole literal; only `count` bytes of it are the list.
        HTREEITEM last = TreeAddNameList(tree_, count, Place(c.bytes), nullptr, c.mode, DWORD(c.bytes.size()));
        EXPECT_EQ(last != nullptr, c.ends);
        EXPECT_EQ(Items(), c.items);
    }
}

TEST_F(NameList, ArbitraryBytesNeverReadPastTheCount)
{
    std::mt19937 rng(20261206);
    for (int round = 0; round < 3000; ++round) {
        std::string bytes(rng() % 300, '\0');
        for (char &b : bytes) {   // mostly small values: type bytes, zeros, letters
            const unsigned r = rng() % 8;
            b = char(r < 2 ? 0 : r < 4 ? rng() % 9 : r < 7 ? 'a' + rng() % 26 : rng());
        }
        TreeView_DeleteAllItems(tree_);
        const DWORD mode = round % 2 ? kTypedList : kFolderItem;
        TreeAddNameList(tree_, DWORD(bytes.size()), Place(bytes), nullptr, mode);
        ASSERT_LE(Items().size(), bytes.size());
    }
    EXPECT_EQ(TreeAddNameList(tree_, 100, nullptr, nullptr, kTypedList), nullptr);
}

} // namespace

// The tree's path steps, on items built by hand; the reader is replaced by
// stubs that record what the tree asks of it.
namespace dada::browse {
std::vector<std::string> g_listed;
BOOL ListDrives(HWND, HTREEITEM, LPCSTR) { g_listed.push_back("drives"); return TRUE; }
BOOL ListDirectory(HWND, LPCSTR search, HTREEITEM, DWORD, LPCSTR) { g_listed.push_back(search); return TRUE; }
void ShowErrorBox() {}
} // namespace dada::browse

namespace {

TEST_F(NameList, SearchAndResultPaths)
{
    const std::string n100(100, 'n');
    const char *const n = n100.c_str();
    struct {
        const char *server;
        std::vector<std::pair<const char *, DWORD>> chain;   // from the top, with item types
        const char *search, *result;
    } cases[] = {
        {nullptr, {{"My Computer", kComputerItem}}, "", ""},
        {"SERVER", {{"SERVER", kComputerItem}}, "", ""},
        {nullptr, {{"My Computer", kComputerItem}, {"C:\\", kFixedDriveItem}}, "C:\\\\*.*", "C:\\"},
        {nullptr, {{"My Computer", kComputerItem}, {"C:\\", kFixedDriveItem}, {"WINDOWS", kFolderItem}},
         "C:\\WINDOWS\\*.*", "C:\\WINDOWS"},
        {nullptr, {{"My Computer", kComputerItem}, {"C:\\", kFixedDriveItem}, {"WINDOWS", kFolderItem}, {"WIN.INI", kFileItem}},
         "C:\\WINDOWS\\WIN.INI\\*.*", "C:\\WINDOWS\\WIN.INI"},
        {"SERVER", {{"SERVER", kComputerItem}, {"C:\\", kNetworkDriveItem}}, "\\\\SERVER\\C$\\\\*.*", "C:\\"},
        {"SERVER", {{"SERVER", kComputerItem}, {"C:\\", kFolderItem}, {"WINDOWS", kFolderItem}},
         "\\\\SERVER\\C$\\WINDOWS\\*.*", "C:\\WINDOWS"},
        {"SRV", {{"SRV", kComputerItem}, {"D:\\", kFolderItem}, {"A$B", kFolderItem}}, "\\\\SRV\\D$\\A$B\\*.*", "D:\\A$B"},
        // A path longer than its buffer is not composed.
        {nullptr, {{"My Computer", kComputerItem}, {"C:\\", kFixedDriveItem}, {n, kFolderItem}, {n, kFolderItem},
                   {n, kFolderItem}}, nullptr, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.result);
        TreeView_DeleteAllItems(tree_);
        HTREEITEM item = nullptr;
        for (const auto &[text, type] : c.chain) item = TreeAddItem(tree_, text, item, type);
        TVITEMA record{};
        record.hItem = item;
        char path[kSearchBuffer] = "junk";
        EXPECT_EQ(TreeBuildPath(tree_, record, path, kBrowsePath, c.server) != FALSE, c.search != nullptr);
        EXPECT_STREQ(path, c.search ? c.search : "");
        TreeSelectionPath(path, c.server);
        EXPECT_STREQ(path, c.result);
    }
}

TEST_F(NameList, ExpandAndCollapseSteps)
{
    RemoteBrowseInfo info{};
    info.mode = 1;
    HTREEITEM root = TreeAddItem(tree_, "My Computer", nullptr, kComputerItem);
    HTREEITEM drive = TreeAddItem(tree_, "C:\\", root, kFixedDriveItem);
    HTREEITEM folder = TreeAddItem(tree_, "DIR", drive, kFolderItem);
    TreeAddItem(tree_, "inside", folder, kFileItem);
    struct {
        HTREEITEM item;
        UINT action;
        int image;          // afterwards
        std::vector<std::string> listed;
    } steps[] = {
        {root, TVE_EXPAND, kComputerImage, {}},
        {drive, TVE_EXPAND, kFixedDriveImage, {"C:\\\\*.*"}},
        {folder, TVE_EXPAND, kOpenFolderImage, {"C:\\DIR\\*.*"}},
        {folder, TVE_COLLAPSE, kClosedFolderImage, {}},
        {root, TVE_COLLAPSE, kComputerImage, {"drives"}},
    };
    for (const auto &s : steps) {
        g_listed.clear();
        TreeExpanding(tree_, s.item, s.action, &info);
        TreeExpanded(tree_, s.item, s.action, nullptr);
        int image = -1, selected = -1;
        ASSERT_TRUE(ItemImages(tree_, s.item, image, selected));
        EXPECT_EQ(image, s.image);
        EXPECT_EQ(selected, s.image);
        EXPECT_EQ(g_listed, s.listed);
        if (s.action == TVE_COLLAPSE) EXPECT_EQ(TreeView_GetChild(tree_, s.item), nullptr);
    }
}

} // namespace
