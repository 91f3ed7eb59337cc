#include "browse_driver.h"
#include "dialogdriver.h"

#include <gtest/gtest.h>

namespace browsetest {

using dadatest::TextOf;

namespace {

constexpr DWORD kPoll = 10;

struct Found {
    HWND browse = nullptr;
    std::vector<HWND> boxes;
};

BOOL CALLBACK Collect(HWND w, LPARAM p)
{
    auto &found = *reinterpret_cast<Found *>(p);
    if (!IsWindowVisible(w) || !dadatest::IsDialog(w)) return TRUE;
    if (GetDlgItem(w, 1000)) found.browse = w;   // the tree control is the browse dialog's
    else found.boxes.push_back(w);
    return TRUE;
}

HTREEITEM Next(HWND tree, HTREEITEM item, UINT relation)
{
    return reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
}

} // namespace

Session::Session(RemoteBrowseInfo &info) : info_(info)
{
    thread_ = CreateThread(nullptr, 0, Run, this, 0, &threadId_);
    for (DWORD waited = 0; thread_ && waited < kActionLimit; waited += kPoll) {
        closeBoxes();
        Found found;
        EnumThreadWindows(threadId_, Collect, reinterpret_cast<LPARAM>(&found));
        if (found.browse && found.boxes.empty()) {
            dialog_ = found.browse;
            tree_ = GetDlgItem(dialog_, 1000);
            // The dialog has finished its start when it answers.
            DWORD_PTR r;
            if (SendMessageTimeoutA(dialog_, WM_NULL, 0, 0, SMTO_NORMAL, kActionLimit, &r)) break;
        }
        if (WaitForSingleObject(thread_, kPoll) == WAIT_OBJECT_0) break;   // ended at its start
    }
}

Session::~Session()
{
    if (!thread_) return;
    for (DWORD waited = 0; WaitForSingleObject(thread_, kPoll) == WAIT_TIMEOUT && waited < kActionLimit; waited += kPoll) {
        closeBoxes();
        if (dialog_) PostMessageA(dialog_, WM_COMMAND, IDCANCEL, 0);
    }
    CloseHandle(thread_);
}

DWORD WINAPI Session::Run(LPVOID self)
{
    auto *s = static_cast<Session *>(self);
    s->result_ = RemoteBrowse(&s->info_);
    return 0;
}

void Session::closeBoxes()
{
    Found found;
    EnumThreadWindows(threadId_, Collect, reinterpret_cast<LPARAM>(&found));
    for (HWND box : found.boxes) {
        boxes_.push_back({TextOf(box), TextOf(GetDlgItem(box, 0xFFFF))});
        PostMessageA(box, WM_COMMAND, IDOK, 0);
        for (DWORD waited = 0; IsWindow(box) && waited < kActionLimit; waited += kPoll) Sleep(kPoll);
    }
}

std::vector<Box> Session::takeBoxes()
{
    closeBoxes();
    std::vector<Box> out;
    out.swap(boxes_);
    return out;
}

void Session::act(const std::function<void()> &action)
{
    struct Call {
        static DWORD WINAPI Run(LPVOID p)
        {
            (*static_cast<const std::function<void()> *>(p))();
            return 0;
        }
    };
    HANDLE t = CreateThread(nullptr, 0, Call::Run, const_cast<std::function<void()> *>(&action), 0, nullptr);
    ASSERT_TRUE(t);
    if (!settle(t)) {
        ADD_FAILURE() << "the dialog did not finish an action in time: cancelled";
        PostMessageA(dialog_, WM_COMMAND, IDCANCEL, 0);
        settle(t);
    }
    CloseHandle(t);
}

bool Session::settle(HANDLE t)
{
    for (DWORD waited = 0; WaitForSingleObject(t, kPoll) == WAIT_TIMEOUT; waited += kPoll) {
        closeBoxes();
        if (waited > kActionLimit) return false;
    }
    return true;
}

bool Session::okEnabled() const { return IsWindowEnabled(GetDlgItem(dialog_, IDOK)) != FALSE; }

HTREEITEM Session::find(const std::vector<std::string> &path) const
{
    HTREEITEM item = Next(tree_, nullptr, TVGN_ROOT);
    for (const std::string &name : path) {
        HTREEITEM child = item ? Next(tree_, item, TVGN_CHILD) : nullptr;
        while (child && dadatest::TreeItemText(tree_, child) != name) child = Next(tree_, child, TVGN_NEXT);
        item = child;
    }
    return item;
}

Item Session::read(HTREEITEM item) const
{
    Item out;
    out.text = dadatest::TreeItemText(tree_, item, &out.image, &out.selected, &out.button);
    for (HTREEITEM c = item ? Next(tree_, item, TVGN_CHILD) : nullptr; c; c = Next(tree_, c, TVGN_NEXT))
        out.children.push_back(dadatest::TreeItemText(tree_, c));
    return out;
}

void Session::select(HTREEITEM item)
{
    act([&] { SendMessageA(tree_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item)); });
}

void Session::key(HTREEITEM item, WPARAM vk)
{
    select(item);
    act([&] { SendMessageA(tree_, WM_KEYDOWN, vk, 0); });
}

INT Session::press(int id)
{
    PostMessageA(dialog_, WM_COMMAND, id, 0);
    if (settle(thread_)) return result_;
    ADD_FAILURE() << "the dialog did not end";
    return -2;
}

} // namespace browsetest
