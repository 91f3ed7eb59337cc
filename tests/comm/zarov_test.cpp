// Remote calls to another process acting as a machine: volume names and
// folders read in batches.
#include "machine.h"
#include "testutil.h"
#include "wildcard.h"
#include "zarov.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

using dadatest::Machine;

namespace {

const CallDescriptor kVolumes = RPC_DESCRIPTOR_READ_VOLUMES;
const CallDescriptor kDirectory = RPC_DESCRIPTOR_READ_DIRECTORY;
constexpr size_t kCanary = 64;

// A zeroed call packet for `d`, followed by canary bytes that no call may touch.
struct Packet {
    explicit Packet(const CallDescriptor &d, const char *server)
        : bytes(RPC_PACKET_SIZE(&d) + kCanary, 0), room(d.replySize - 4)
    {
        std::memset(bytes.data() + RPC_PACKET_SIZE(&d), 0xCC, kCanary);
        p()->server = server;
        p()->descriptor = &d;
    }
    CallPacket *p() { return reinterpret_cast<CallPacket *>(bytes.data()); }
    BYTE *list() { return p()->replyList; }
    bool canaryIntact() const
    {
        for (size_t i = bytes.size() - kCanary; i < bytes.size(); ++i)
            if (bytes[i] != 0xCC) return false;
        return true;
    }
    std::vector<BYTE> bytes;
    DWORD room;
};

struct Entry {
    int type;   // 0 for an untyped list
    std::string name;
};

// Parses a name list as the browser does; fails the test on a malformed one.
std::vector<Entry> ParseList(const BYTE *list, DWORD count, DWORD room, bool typed)
{
    std::vector<Entry> out;
    EXPECT_LE(count, room);
    EXPECT_GE(count, 2u);
    DWORD at = 0;
    while (at < count && list[at] != 0) {
        Entry e{0, {}};
        if (typed) e.type = list[at++];
        DWORD start = at;
        while (at < count && list[at]) ++at;
        if (at >= count) {
            ADD_FAILURE() << "a name runs past the byte count";
            return out;
        }
        e.name.assign(reinterpret_cast<const char *>(list + start), at - start);
        out.push_back(e);
        ++at;
    }
    // The list ends at its empty entry, the count right after it.
    EXPECT_EQ(out.empty() ? 2u : at + 1, count);
    return out;
}

class RemoteCalls : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        delta_ = new Machine("DELTA", {"zuredu_peer.exe", "--rpc"});
        tree_ = new dadatest::TempDir;
        for (int i = 0; i < 600; ++i) {
            char name[64];
            std::snprintf(name, sizeof name, "document_%04d_with_a_longer_name.%s", i, i % 3 ? "txt" : "log");
            dadatest::WriteFileBytes(tree_->file(name), "x");
        }
        for (const char *n : {"data.bin", "README"}) dadatest::WriteFileBytes(tree_->file(n), "y");
        for (const char *d : {"alpha", "beta.txt", "gamma"}) CreateDirectoryA(tree_->file(d).c_str(), nullptr);
    }
    static void TearDownTestSuite()
    {
        delete delta_;
        delete tree_;
    }
    void SetUp() override
    {
        ASSERT_TRUE(delta_->running());
        delta_->useHosts();
    }

    // Reads a whole folder; every batch checked.  Answers type -> names.
    std::multimap<std::string, int> ReadFolder(const std::string &search, const char *pattern, DWORD mode,
                                               const CallDescriptor &d, int *batches)
    {
        std::multimap<std::string, int> seen;
        DWORD cont = 0, pathLen = static_cast<DWORD>(search.size() + 1);
        DWORD patLen = pattern ? static_cast<DWORD>(std::strlen(pattern) + 1) : 0;
        const char *pat = pattern ? pattern : "";
        *batches = 0;
        while (cont != RPC_CONTINUATION_DONE && *batches < 1000) {
            Packet pk(d, "DELTA");
            void *in[] = {&pathLen, const_cast<char *>(search.c_str()), &patLen, const_cast<char *>(pat), &cont, &mode};
            std::memcpy(pk.p()->in, in, sizeof in);
            pk.p()->out[0] = &cont;
            pk.p()->out[1] = &pk.p()->replyCount;
            pk.p()->out[2] = pk.list();
            DWORD before = cont;
            EXPECT_EQ(RPC_SendCall(pk.p()), RPC_OK);
            EXPECT_TRUE(pk.canaryIntact());
            ++*batches;
            for (const Entry &e : ParseList(pk.list(), pk.p()->replyCount, pk.room, true)) seen.emplace(e.name, e.type);
            if (cont != RPC_CONTINUATION_DONE) {
                EXPECT_GT(cont, before);
                EXPECT_GT(pk.p()->replyCount, pk.room - 64) << "a batch is cut only when the next name does not fit";
            }
            if (::testing::Test::HasFailure()) break;
        }
        return seen;
    }

    static Machine *delta_;
    static dadatest::TempDir *tree_;
};
Machine *RemoteCalls::delta_ = nullptr;
dadatest::TempDir *RemoteCalls::tree_ = nullptr;

TEST_F(RemoteCalls, VolumeNamesAsDriveRoots)
{
    for (DWORD most : {64u, 1u, 0u}) {
        SCOPED_TRACE(most);
        Packet pk(kVolumes, "DELTA");
        DWORD zero = 0;
        pk.p()->in[0] = &zero;
        pk.p()->in[1] = &most;
        pk.p()->out[0] = &pk.p()->replyCount;
        pk.p()->out[1] = pk.list();
        ASSERT_EQ(RPC_SendCall(pk.p()), RPC_OK);
        EXPECT_TRUE(pk.canaryIntact());
        std::vector<Entry> names = ParseList(pk.list(), pk.p()->replyCount, 1024, false);
        EXPECT_EQ(names.size(), most == 64 ? names.size() : most);
        bool sawC = false;
        for (const Entry &e : names) {
            EXPECT_EQ(e.name.size(), 3u);
            EXPECT_EQ(e.name.substr(1), ":\\");
            sawC |= e.name == "C:\\";
        }
        if (most == 64) {
            EXPECT_TRUE(sawC);
        }
    }
}

TEST_F(RemoteCalls, AFolderComesInBatchesThatFitTheRoom)
{
    struct Case { const char *pattern; DWORD mode; size_t files, folders; } cases[] = {
        {nullptr, 0, 602, 5},            // every entry, "." and ".." among the folders
        {"*.LOG;*.nothing", 0, 200, 5},  // pattern: folders stay, only matching files
        {"*.txt;README.*", 0, 401, 5},
        {"*.log", RPC_MODE_FOLDERS_ONLY, 0, 5},
        {nullptr, RPC_MODE_FOLDERS_ONLY, 0, 5},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.pattern ? c.pattern : "(none)") + " mode " + std::to_string(c.mode));
        int batches = 0;
        auto seen = ReadFolder(tree_->path() + "\\*.*", c.pattern, c.mode, kDirectory, &batches);
        size_t files = 0, folders = 0;
        for (auto &[name, type] : seen) {
            EXPECT_EQ(seen.count(name), 1u) << name << " came twice";
            (type == RPC_ENTRY_FILE ? files : folders)++;
            EXPECT_TRUE(type == RPC_ENTRY_FILE || type == RPC_ENTRY_FOLDER);
        }
        EXPECT_EQ(files, c.files);
        EXPECT_EQ(folders, c.folders);
        EXPECT_TRUE(seen.count("."));
        if (c.files > 100) {
            EXPECT_GT(batches, 3);
        }
    }
}

TEST_F(RemoteCalls, ASmallerRoomIsNeverOverrun)
{
    CallDescriptor small = kDirectory;
    small.replySize = 300;
    int batches = 0;
    auto seen = ReadFolder(tree_->path() + "\\*.*", nullptr, 0, small, &batches);
    EXPECT_EQ(seen.size(), 607u);
    EXPECT_GT(batches, 60);
}

TEST_F(RemoteCalls, FinishedAndEmptyFolders)
{
    dadatest::TempDir empty;
    int batches = 0;
    auto none = ReadFolder(empty.path() + "\\*.none", nullptr, 0, kDirectory, &batches);
    EXPECT_TRUE(none.empty());
    EXPECT_EQ(batches, 1);
    auto dots = ReadFolder(empty.path() + "\\*", nullptr, 0, kDirectory, &batches);
    EXPECT_EQ(dots.size(), 2u);
    EXPECT_EQ(batches, 1);
}

TEST_F(RemoteCalls, FailedCallsLeaveThePacketAlone)
{
    std::string path = tree_->path() + "\\*.*", missing = tree_->path() + "\\nosuch\\*.*";
    struct Case { const char *what; const char *server; std::string search; DWORD lenAdjust; DWORD procedure;
                  int nullSlot; DWORD expect; } cases[] = {
        {"unknown server", "NOWHERE", path, 0, 302, -1, RPC_E_NO_CONNECTION},
        {"empty server", "", path, 0, 302, -1, RPC_E_BAD_PACKET},
        {"missing in slot", "DELTA", path, 0, 302, 3, RPC_E_BAD_PACKET},
        {"missing out slot", "DELTA", path, 0, 302, 100, RPC_E_BAD_PACKET},
        {"missing folder", "DELTA", missing, 0, 302, -1, RPC_E_NOT_FOUND},
        {"path without its zero", "DELTA", path, static_cast<DWORD>(-1), 302, -1, RPC_E_BAD_ARGUMENTS},
        {"unknown procedure", "DELTA", path, 0, 399, -1, RPC_E_UNKNOWN_PROC},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        CallDescriptor d = kDirectory;
        d.procedure = c.procedure;
        Packet pk(d, c.server);
        DWORD cont = 0, mode = 0, patLen = 0, pathLen = static_cast<DWORD>(c.search.size() + 1) + c.lenAdjust;
        void *in[] = {&pathLen, const_cast<char *>(c.search.c_str()), &patLen, const_cast<char *>(""), &cont, &mode};
        std::memcpy(pk.p()->in, in, sizeof in);
        pk.p()->out[0] = &cont;
        pk.p()->out[1] = &pk.p()->replyCount;
        pk.p()->out[2] = pk.list();
        if (c.nullSlot >= 100) pk.p()->out[c.nullSlot - 100] = nullptr;
        else if (c.nullSlot >= 0) pk.p()->in[c.nullSlot] = nullptr;
        EXPECT_EQ(RPC_SendCall(pk.p()), c.expect);
        EXPECT_EQ(cont, 0u);
        EXPECT_EQ(pk.p()->replyCount, 0u);
        EXPECT_EQ(pk.list()[0], 0);
    }
    EXPECT_EQ(RPC_SendCall(nullptr), RPC_E_BAD_PACKET);
    Packet nodesc(kDirectory, "DELTA");
    nodesc.p()->descriptor = nullptr;
    EXPECT_EQ(RPC_SendCall(nodesc.p()), RPC_E_BAD_PACKET);
    // A byte buffer without its count before it.
    CallDescriptor odd = kVolumes;
    odd.inKinds[0] = RPC_ARG_BYTES;
    Packet bad(odd, "DELTA");
    DWORD w = 0;
    bad.p()->in[0] = bad.p()->in[1] = bad.p()->out[0] = bad.p()->out[1] = &w;
    EXPECT_EQ(RPC_SendCall(bad.p()), RPC_E_BAD_PACKET);
}

TEST(Wildcards, PatternsAndLists)
{
    struct Case { const char *pattern, *name; bool match; } cases[] = {
        {"*.txt", "a.TXT", true},        {"*.txt", "a.txt.bak", false}, {"*.*", "README", true},
        {"README.*", "readme", true},    {"*.*", "a.b", true},          {"?.c", "ab.c", false},
        {"a*b*c", "aXbYbZc", true},      {"a*b*c", "aXbYbZ", false},    {"*", "", true},
        {"", "x", false},                {"*.LOG;*.txt", "x.txt", true}, {";;*.log;", "y.LOG", true},
        {"*.log;*.txt", "z.bin", false}, {"data.bin", "DATA.BIN", true}, {"*a", "banana", true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.pattern) + " / " + c.name);
        EXPECT_EQ(zarov::MatchPatternList(c.pattern, c.name), c.match);
    }
}

} // namespace
