// The browse tree without its dialog: the name lists of remote replies (a
// table, then arbitrary bytes ending at an unreadable page), a folder read
// in batches from a scripted server, and item paths.
#include "RFDIR/rfdir.h"
#include "RFTREEVW/rftreevw.h"
#include "REMOTE/binding.h"
#include "dialogdriver.h"
#include "zarov.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

using namespace dada::browse;

namespace {

// One reply of the scripted server to a folder read: its status, the
// position it gives for the next batch and its name list.
struct Reply {
    DWORD status, next;
    std::string list;
};
std::vector<Reply> g_replies;
std::vector<DWORD> g_asked;   // the position each call asked for
DWORD g_shown;                // the last-error value when the error box was shown

} // namespace

// The remote call answers from the script; the tree's local readers, which
// the dialog tests exercise, are not called here.
DWORD dada::RPC_SendCall(void *packet)
{
    auto *p = static_cast<CallPacket *>(packet);
    g_asked.push_back(*static_cast<DWORD *>(p->in[4]));
    if (g_asked.size() > g_replies.size()) return RPC_E_TRANSPORT;
    const Reply &r = g_replies[g_asked.size() - 1];
    *static_cast<DWORD *>(p->out[0]) = r.next;
    *static_cast<DWORD *>(p->out[1]) = DWORD(r.list.size());
    std::memcpy(p->out[2], r.list.data(), r.list.size());
    return r.status;
}

namespace dada::browse {
BOOL ListDrives(HWND, HTREEITEM, LPCSTR) { return FALSE; }
BOOL ListDirectory(HWND, LPCSTR, HTREEITEM, DWORD, LPCSTR) { return FALSE; }
RemoteBrowseInfo *BrowseInfoOf(HWND) { return nullptr; }
void ShowErrorBox() { g_shown = GetLastError(); }
} // namespace dada::browse

namespace {

class Tree : public ::testing::Test {
protected:
    void SetUp() override
    {
        InitCommonControls();
        tree_ = CreateWindowExA(0, WC_TREEVIEWA, "", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
        ASSERT_TRUE(tree_);
        // Two pages: a list is placed to end where the second, unreadable, begins.
        page_ = static_cast<BYTE *>(VirtualAlloc(nullptr, 2 * kPage, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        DWORD old;
        ASSERT_TRUE(VirtualProtect(page_ + kPage, kPage, PAGE_NOACCESS, &old));
    }
    void TearDown() override
    {
        DestroyWindow(tree_);
        VirtualFree(page_, 0, MEM_RELEASE);
    }
    // Adds `bytes`, placed right before the unreadable page, as a name list
    // of `count` bytes; answers whether it ended properly.
    bool Add(const std::string &bytes, DWORD count, DWORD mode)
    {
        BYTE *at = page_ + kPage - bytes.size();
        std::memcpy(at, bytes.data(), bytes.size());
        TreeView_DeleteAllItems(tree_);
        return TreeAddNameList(tree_, count, at, nullptr, mode, DWORD(bytes.size())) != nullptr;
    }
    // The top-level items as "image:text".
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

TEST_F(Tree, NameListFormats)
{
    using S = std::string;
    constexpr DWORD kAll = MAXDWORD;   // the count is the literal's length; the room always is
#define L(text) S(text, sizeof(text) - 1)
    const struct {
        S bytes;
        DWORD count;
        bool ends;   // the list ended at its empty entry (or at its count)
        std::vector<S> items;
    } cases[] = {
        {L("\x01" "f\0\x02" "d\0\x03" "pc\0\x04" "fix\0\x05" "net\0\x06" "cd\0\x07" "fd\0\0"), kAll, true,
         {"8:cd", "1:d", "4:f", "9:fd", "6:fix", "7:net", "5:pc"}},
        {L("\x02" "a\0\x08" "bad\0\x02" "c\0\0"), kAll, false, {"1:a"}},   // types end at 7
        {L("\x00" "a\0\0"), kAll, false, {}},                      // and start at 1
        {L("\x02" "a\0\0" "\x02" "x\0"), kAll, true, {"1:a"}},     // nothing after the empty entry
        {L("\x02" "a\0\x02" "b"), kAll, false, {"1:a", "1:b"}},    // b: no zero inside the count
        {L("\x02" "a\0\x02" "bc\0"), 5, false, {"1:a", "1:bc"}},   // the count cuts bc, the room holds it
        {L("\x02" "a\0"), kAll, true, {"1:a"}},                    // ends exactly at the count
    };
#undef L
    for (const auto &c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.bytes));
        EXPECT_EQ(Add(c.bytes, c.count == kAll ? DWORD(c.bytes.size()) : c.count, kTypedList), c.ends);
        EXPECT_EQ(Items(), c.items);
    }
}

TEST_F(Tree, NameListOfArbitraryBytesStaysInsideIt)
{
    std::mt19937 rng(20261206);
    for (int round = 0; round < 1000; ++round) {
        std::string bytes(rng() % 300, '\0');
        for (char &b : bytes) {   // mostly small values: type bytes, zeros, letters
            const unsigned r = rng() % 8;
            b = char(r < 2 ? 0 : r < 4 ? rng() % 9 : r < 7 ? 'a' + rng() % 26 : rng());
        }
        Add(bytes, DWORD(bytes.size()), round % 2 ? kTypedList : kFolderItem);
        ASSERT_LE(Items().size(), bytes.size());
    }
    EXPECT_EQ(TreeAddNameList(tree_, 100, nullptr, nullptr, kTypedList), nullptr);
}

// Batches are asked for until the last; a server that sends an empty batch,
// gives back the position it was asked for or fails ends the read, and a
// failure is shown with its code raised.
TEST_F(Tree, RemoteFolderInBatches)
{
    constexpr DWORD kDone = RPC_CONTINUATION_DONE, kRaised = 0x10000000;
    const std::string first("\x02" "one\0\x02" "two\0", 11), last("\x02" "three\0", 8), empty(2, '\0');
    const struct {
        std::vector<Reply> replies;
        BOOL result;
        std::vector<DWORD> asked;
        std::vector<std::string> items;
        DWORD shown;
    } cases[] = {
        {{{RPC_OK, 5, first}, {RPC_OK, kDone, last}}, TRUE, {0, 5}, {"1:one", "1:three", "1:two"}, 0},
        {{{RPC_OK, 5, first}, {RPC_OK, 9, empty}, {RPC_OK, kDone, last}}, FALSE, {0, 5}, {"1:one", "1:two"}, 0},
        {{{RPC_OK, 5, first}, {RPC_OK, 5, last}, {RPC_OK, kDone, last}}, FALSE, {0, 5},
         {"1:one", "1:three", "1:two"}, 0},
        {{{RPC_OK, 5, first}, {RPC_E_NO_CONNECTION, kDone, last}}, FALSE, {0, 5}, {"1:one", "1:two"},
         RPC_E_NO_CONNECTION | kRaised},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(&c - cases);
        g_replies = c.replies;
        g_asked.clear();
        g_shown = 0;
        TreeView_DeleteAllItems(tree_);
        EXPECT_EQ(RemoteListDirectory(tree_, "\\\\S\\C$\\*.*", nullptr, 0, nullptr), c.result);
        EXPECT_EQ(g_asked, c.asked);
        EXPECT_EQ(Items(), c.items);
        EXPECT_EQ(g_shown, c.shown);
    }
}

// A path too deep for any buffer gives none.
TEST_F(Tree, PathTooDeep)
{
    const std::string n(100, 'n');
    HTREEITEM item = TreeAddItem(tree_, "My Computer", nullptr, kComputerItem);
    item = TreeAddItem(tree_, "C:\\", item, kFixedDriveItem);
    for (int depth = 0; depth < 3; ++depth) item = TreeAddItem(tree_, n.c_str(), item, kFolderItem);
    TVITEMA record{};
    record.hItem = item;
    char path[kSearchBuffer] = "junk";
    EXPECT_FALSE(TreeBuildPath(tree_, record, path, kBrowsePath, nullptr));
    EXPECT_STREQ(path, "");
}

} // namespace
