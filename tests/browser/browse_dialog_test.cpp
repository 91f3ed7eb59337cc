// RemoteBrowse driven as a user drives it: on this machine's disks, on a
// second process serving as a machine over the real transport, and on a
// machine whose replies come from a script.
#include "browse_driver.h"
#include "machine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

using browsetest::Item;
using browsetest::Session;
using Path = std::vector<std::string>;

namespace {

constexpr int kOpen = 0, kClosed = 1, kComputer = 5, kFixed = 6;
constexpr int kBigFolder = 600;
const char kGeneric[] = "An error occured calling FormatMessage().Error Code";

std::string BigName(int i)
{
    char name[64];
    std::snprintf(name, sizeof name, "a-rather-long-entry-name-number-%04d.dat", i);
    return name;
}

// C:\dadabrowse-PID with a few folders and files, made once.
class Browse : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        base_ = "dadabrowse-" + std::to_string(GetCurrentProcessId());
        const std::string root = "C:\\" + base_;
        for (const char *d : {"", "\\sub1", "\\sub1\\deep", "\\onlyfiles", "\\emptydir", "\\gone", "\\big"})
            CreateDirectoryA((root + d).c_str(), nullptr);
        for (const char *f : {"\\sub1\\a.txt", "\\sub1\\b.log", "\\sub1\\c.exe", "\\onlyfiles\\x.bin", "\\file.txt"})
            dadatest::WriteFileBytes(root + f, "x");
        for (int i = 0; i < kBigFolder; ++i) dadatest::WriteFileBytes(root + "\\big\\" + BigName(i), "");
    }
    static void TearDownTestSuite() { dadatest::RemoveTree("C:\\" + base_); }

    static Path Under(const Path &rest)
    {
        Path p{"C:\\", base_};
        p.insert(p.end(), rest.begin(), rest.end());
        return p;
    }
    // Expands every item on the way to `path` and answers its last item.
    static HTREEITEM Reach(Session &s, const Path &path)
    {
        for (size_t n = 1; n < path.size(); ++n) {
            HTREEITEM up = s.find(Path(path.begin(), path.begin() + n));
            if (!up) return nullptr;
            if (s.read(up).children.empty()) s.expand(up);
        }
        return s.find(path);
    }
    static RemoteBrowseInfo Info(LPCSTR server, DWORD mode = 0, LPCSTR pattern = nullptr, DWORD filesOnly = 0)
    {
        return {nullptr, server, path_, sizeof path_, mode, 0, 0, pattern, filesOnly, 0, 0};
    }
    static std::string base_;
    static char path_[260];
};
std::string Browse::base_;
char Browse::path_[260];

TEST_F(Browse, LocalFoldersByModeAndPattern)
{
    struct {
        DWORD mode;
        const char *pattern, *folder;
        Path children;
        bool button;
        int image;
    } cases[] = {
        {0, nullptr, "sub1", {"a.txt", "b.log", "c.exe", "deep"}, true, kOpen},
        {0, "*.TXT;*.LOG", "sub1", {"a.txt", "b.log", "deep"}, true, kOpen},
        {1, "*.TXT", "sub1", {"deep"}, true, kOpen},
        {1, nullptr, "onlyfiles", {}, false, kClosed},
        {0, "*.TXT", "onlyfiles", {}, false, kClosed},
        {0, nullptr, "emptydir", {}, false, kClosed},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.folder) + " mode " + std::to_string(c.mode));
        RemoteBrowseInfo info = Info(nullptr, c.mode, c.pattern);
        Session s(info);
        ASSERT_TRUE(s.open());
        HTREEITEM item = Reach(s, Under({c.folder}));
        ASSERT_TRUE(item);
        s.expand(item);
        Item seen = s.read(item);
        EXPECT_EQ(seen.children, c.children);
        EXPECT_EQ(seen.button, c.button);
        EXPECT_EQ(seen.image, c.image);
        EXPECT_EQ(seen.selected, c.image);
        EXPECT_TRUE(s.takeBoxes().empty());
        EXPECT_EQ(s.press(IDCANCEL), 0);
        EXPECT_EQ(info.remoteCall, 0u);
    }
}

TEST_F(Browse, LocalTreeSelectionAndOk)
{
    // Selections: the path handed back and whether OK may be pressed, with
    // and without filesOnly.
    struct {
        Path item;
        std::string path;
        bool ok, fileOk;
    } selections[] = {
        {{}, "", false, false},
        {{"C:\\"}, "C:\\", true, false},
        {Under({}), "C:\\" + base_, true, false},
        {Under({"file.txt"}), "C:\\" + base_ + "\\file.txt", true, true},
        {Under({"sub1", "deep"}), "C:\\" + base_ + "\\sub1\\deep", true, false},
        {{}, "", false, false},
    };
    {
        RemoteBrowseInfo files = Info(nullptr, 0, nullptr, 1);
        Session f(files);
        ASSERT_TRUE(f.open());
        for (const auto &sel : selections) {
            f.select(Reach(f, sel.item));
            EXPECT_EQ(f.okEnabled(), sel.fileOk) << "files only: " << sel.path;
        }
    }

    RemoteBrowseInfo info = Info(nullptr);
    Session s(info);
    ASSERT_TRUE(s.open());
    EXPECT_FALSE(s.okEnabled());
    Item root = s.read(s.find({}));
    EXPECT_EQ(root.text, "My Computer");
    EXPECT_EQ(root.image, kComputer);
    EXPECT_NE(std::find(root.children.begin(), root.children.end(), "C:\\"), root.children.end());
    EXPECT_EQ(std::find(root.children.begin(), root.children.end(), "Z:\\"), root.children.end());

    for (const auto &sel : selections) {
        HTREEITEM item = Reach(s, sel.item);
        ASSERT_TRUE(item) << sel.path;
        s.select(item);
        EXPECT_EQ(std::string(path_), sel.path);
        EXPECT_EQ(s.okEnabled(), sel.ok) << sel.path;
    }
    EXPECT_EQ(s.read(s.find({"C:\\"})).image, kFixed) << "a drive keeps its image when expanded";

    // A folder opens, closes forgetting its entries, and is read again.
    HTREEITEM sub1 = s.find(Under({"sub1"}));
    EXPECT_EQ(s.read(sub1).image, kOpen);
    s.collapse(sub1);
    Item closed = s.read(sub1);
    EXPECT_EQ(closed.image, kClosed);
    EXPECT_TRUE(closed.children.empty());
    EXPECT_TRUE(closed.button);
    s.expand(sub1);
    EXPECT_EQ(s.read(sub1).children.size(), 4u);
    s.collapse(sub1);

    // The root forgets its drives and lists them again at once.
    s.expand(s.find({}));
    s.collapse(s.find({}));
    EXPECT_EQ(s.read(s.find({})).children, root.children);

    s.select(Reach(s, Under({"sub1"})));   // the collapse took the old items away
    EXPECT_EQ(s.press(IDOK), 1);
    EXPECT_EQ(std::string(path_), "C:\\" + base_ + "\\sub1") << "no file-name part on this road";
    EXPECT_EQ(info.folderChosen, 1u);
}

TEST_F(Browse, LocalSearchFailureShowsThePlatformText)
{
    const std::string gone = "C:\\" + base_ + "\\gone";
    CreateDirectoryA(gone.c_str(), nullptr);
    RemoteBrowseInfo info = Info(nullptr);
    Session s(info);
    ASSERT_TRUE(s.open());
    HTREEITEM item = Reach(s, Under({"gone"}));
    ASSERT_TRUE(item);
    ASSERT_TRUE(RemoveDirectoryA(gone.c_str()));
    s.expand(item);
    auto boxes = s.takeBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    char expected[512] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_PATH_NOT_FOUND, 0, expected, sizeof expected, nullptr);
    EXPECT_EQ(boxes[0].text, expected);
    EXPECT_FALSE(s.read(item).button);
}

// A second process serving as the machine BETA over the real transport
// (`dada serve`), and SCRIPT with scripted replies.
class RemoteBrowse : public Browse {
protected:
    static void SetUpTestSuite()
    {
        Browse::SetUpTestSuite();
        beta_ = new dadatest::Machine("BETA", {"dada.exe", "serve"});
        script_ = new dadatest::Machine("SCRIPT", {"script_peer.exe"});
        hosts_ = new dadatest::TempDir;
        UseOurHosts();
    }
    static void UseOurHosts()
    {
        dadatest::UseHosts(hosts_->file("hosts.ini"), "BETA=127.0.0.1:" + std::to_string(beta_->port()) +
                                                          "\r\nSCRIPT=127.0.0.1:" + std::to_string(script_->port()) + "\r\n");
    }
    static void TearDownTestSuite()
    {
        delete beta_;
        delete script_;
        delete hosts_;
        Browse::TearDownTestSuite();
    }
    static dadatest::Machine *beta_, *script_;
    static dadatest::TempDir *hosts_;
};
dadatest::Machine *RemoteBrowse::beta_, *RemoteBrowse::script_;
dadatest::TempDir *RemoteBrowse::hosts_;

TEST_F(RemoteBrowse, ServerFoldersComeInBatches)
{
    ASSERT_TRUE(beta_->running() && script_->running());
    RemoteBrowseInfo info = Info("BETA");
    Session s(info);
    ASSERT_TRUE(s.open());
    Item root = s.read(s.find({}));
    EXPECT_EQ(root.text, "BETA");
    EXPECT_EQ(root.image, kComputer);
    EXPECT_EQ(s.read(s.find({"C:\\"})).image, kClosed) << "volume names are folders";

    HTREEITEM sub1 = Reach(s, Under({"sub1"}));
    s.expand(sub1);
    EXPECT_EQ(s.read(sub1).children, (Path{"a.txt", "b.log", "c.exe", "deep"}));
    EXPECT_EQ(s.read(s.find(Under({}))).children, (Path{"big", "emptydir", "file.txt", "gone", "onlyfiles", "sub1"}));
    HTREEITEM big = s.find(Under({"big"}));
    s.expand(big);
    Item all = s.read(big);
    ASSERT_EQ(all.children.size(), size_t(kBigFolder)) << "every batch arrives";
    for (int i = 0; i < kBigFolder; i += 97) EXPECT_EQ(all.children[i], BigName(i));
    s.expand(Reach(s, Under({"emptydir"})));
    EXPECT_TRUE(s.read(s.find(Under({"emptydir"}))).button) << "an empty remote folder keeps its button";
    EXPECT_TRUE(s.takeBoxes().empty());

    s.select(s.find(Under({"sub1"})));
    EXPECT_EQ(std::string(path_), "C:\\" + base_ + "\\sub1") << "the server's own drive form";
    s.select(s.find({}));
    EXPECT_EQ(std::string(path_), "");
    EXPECT_FALSE(s.okEnabled());
    EXPECT_EQ(s.press(IDCANCEL), 0);
    EXPECT_EQ(info.remoteCall, 1u);
}

TEST_F(RemoteBrowse, FileNamePartOfTheInitialPath)
{
    struct {
        DWORD mode;
        bool expanded;
        int button;
        const char *tail;
    } cases[] = {
        {0, false, IDOK, "\\sub1\\*.EXE"},
        {0, true, IDOK, "\\sub1"},
        {1, false, IDOK, "\\sub1"},
        {0, false, IDCANCEL, "\\sub1\\*.EXE"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.tail);
        std::snprintf(path_, sizeof path_, "C:\\DIR\\*.EXE");
        RemoteBrowseInfo info = Info("BETA", c.mode);
        Session s(info);
        ASSERT_TRUE(s.open());
        HTREEITEM sub1 = Reach(s, Under({"sub1"}));
        if (c.expanded) s.expand(sub1);
        s.select(s.find({}));
        s.select(sub1);
        EXPECT_EQ(s.press(c.button), c.button == IDOK ? 1 : 0);
        EXPECT_EQ(std::string(path_), "C:\\" + base_ + c.tail);
    }
}

TEST_F(RemoteBrowse, ScriptedReplies)
{
    struct {
        const char *folder;
        Path children;
        bool generic;
    } cases[] = {
        {"BADTYPE", {"before"}, false},      // a bad type byte ends the list
        {"EMPTYBATCH", {"one", "two"}, false},   // an empty batch ends the folder
        {"STUCK", {"again"}, false},         // a continuation that does not move ends it
        {"DOTS", {"sub"}, false},
        {"ONLYDOTS", {}, false},
        {"FAILS", {}, true},
    };
    RemoteBrowseInfo info = Info("SCRIPT");
    Session s(info);
    ASSERT_TRUE(s.open());
    EXPECT_EQ(s.read(s.find({})).children, (Path{"C:\\", "D:\\"}));
    for (const auto &c : cases) {
        SCOPED_TRACE(c.folder);
        HTREEITEM item = Reach(s, {"C:\\", c.folder});
        ASSERT_TRUE(item);
        s.expand(item);
        EXPECT_EQ(s.read(item).children, c.children);
        EXPECT_TRUE(s.read(item).button);
        auto boxes = s.takeBoxes();
        ASSERT_EQ(boxes.size(), c.generic ? 1u : 0u);
        if (c.generic) {
            EXPECT_EQ(boxes[0].caption, "Generic");
            EXPECT_EQ(boxes[0].text.rfind(kGeneric, 0), 0u) << boxes[0].text;
        }
    }
    HTREEITEM many = Reach(s, {"C:\\", "MANY"});
    s.expand(many);
    EXPECT_EQ(s.read(many).children.size(), 40u) << "one entry in each of 40 batches";
}

TEST_F(RemoteBrowse, UnreachableServersShowTheGenericBox)
{
    // An unknown machine fails at once; a machine that stops serving fails
    // at its next expansion.
    RemoteBrowseInfo unknown = Info("NOSUCHMACHINE");
    {
        Session s(unknown);
        ASSERT_TRUE(s.open());
        auto boxes = s.takeBoxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].caption, "Generic");
        EXPECT_TRUE(s.read(s.find({})).children.empty());
    }
    dadatest::Machine gamma("GAMMA", {"dada.exe", "serve"});
    gamma.useHosts();
    RemoteBrowseInfo info = Info("GAMMA");
    Session s(info);
    ASSERT_TRUE(s.open());
    HTREEITEM item = Reach(s, Under({"sub1"}));
    ASSERT_TRUE(item);
    gamma.kill();
    s.expand(item);
    auto boxes = s.takeBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Generic");
    EXPECT_TRUE(s.read(item).children.empty());
    EXPECT_EQ(s.press(IDCANCEL), 0);
    UseOurHosts();
}

} // namespace
