#include "browse_driver.h"

#include <gtest/gtest.h>

namespace browsetest {

namespace {

constexpr DWORD kPoll = 10;

std::string WindowText(HWND w)
{
    char text[1024] = {};
    GetWindowTextA(w, text, sizeof text);
    return text;
}

bool IsDialogClass(HWND w)
{
    char cls[32] = {};
    GetClassNameA(w, cls, sizeof cls);
    return lstrcmpA(cls, "#32770") == 0;
}

struct Found {
    HWND browse = nullptr;
    std::vector<HWND> boxes;
};

BOOL CALLBACK Collect(HWND w, LPARAM p)
{
    auto &found = *reinterpret_cast<Found *>(p);
    if (!IsWindowVisible(w) || !IsDialogClass(w)) return TRUE;
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
        Box b{WindowText(box), WindowText(GetDlgItem(box, 0xFFFF))};
        boxes_.push_back(b);
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
    DWORD waited = 0;
    while (WaitForSingleObject(t, kPoll) == WAIT_TIMEOUT) {
        closeBoxes();
        if ((waited += kPoll) > kActionLimit) {
            ADD_FAILURE() << "the dialog did not finish an action in time: cancelled";
            PostMessageA(dialog_, WM_COMMAND, IDCANCEL, 0);
        }
    }
    CloseHandle(t);
}

bool Session::okEnabled() const { return IsWindowEnabled(GetDlgItem(dialog_, IDOK)) != FALSE; }

HTREEITEM Session::find(const std::vector<std::string> &path) const
{
    HTREEITEM item = Next(tree_, nullptr, TVGN_ROOT);
    for (const std::string &name : path) {
        HTREEITEM child = item ? Next(tree_, item, TVGN_CHILD) : nullptr;
        while (child && read(child).text != name) child = Next(tree_, child, TVGN_NEXT);
        item = child;
    }
    return item;
}

Item Session::read(HTREEITEM item) const
{
    Item out;
    char text[300] = {};
    TVITEMA t{};
    t.mask = TVIF_HANDLE | TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_CHILDREN;
    t.hItem = item;
    t.pszText = text;
    t.cchTextMax = sizeof text;
    if (!item || !SendMessageA(tree_, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&t))) return out;
    out.text = text;
    out.image = t.iImage;
    out.selected = t.iSelectedImage;
    out.button = t.cChildren != 0;
    for (HTREEITEM c = Next(tree_, item, TVGN_CHILD); c; c = Next(tree_, c, TVGN_NEXT)) {
        TVITEMA ct{};
        char name[300] = {};
        ct.mask = TVIF_HANDLE | TVIF_TEXT;
        ct.hItem = c;
        ct.pszText = name;
        ct.cchTextMax = sizeof name;
        SendMessageA(tree_, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&ct));
        out.children.push_back(name);
    }
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
    for (DWORD waited = 0; WaitForSingleObject(thread_, kPoll) == WAIT_TIMEOUT; waited += kPoll) {
        closeBoxes();
        if (waited > kActionLimit) {
            ADD_FAILURE() << "the dialog did not end";
            return -2;
        }
    }
    return result_;
}

} // namespace browsetest
