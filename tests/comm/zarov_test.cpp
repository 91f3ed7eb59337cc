// Remote calls to another process acting as a machine: folders read in
// batches that never overrun their room, and calls that fail whole.
// (Volume names and the browser's use of both are the browser tests'.)
#include "machine.h"
#include "zarov.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

using dadatest::Machine;

namespace {

const CallDescriptor kVolumes = RPC_DESCRIPTOR_READ_VOLUMES, kDirectory = RPC_DESCRIPTOR_READ_DIRECTORY;
constexpr size_t kCanary = 64;

// A zeroed call packet for `d`, followed by canary bytes that no call may touch.
struct Packet {
    Packet(const CallDescriptor &d, const char *server) : bytes(RPC_PACKET_SIZE(&d) + kCanary, 0), room(d.replySize - 4)
    {
        std::memset(bytes.data() + RPC_PACKET_SIZE(&d), 0xCC, kCanary);
        p()->server = server;
        p()->descriptor = &d;
    }
    CallPacket *p() { return reinterpret_cast<CallPacket *>(bytes.data()); }
    BYTE *list() { return p()->replyList; }
    bool canaryIntact() const
    {
        return std::all_of(bytes.end() - kCanary, bytes.end(), [](BYTE b) { return b == 0xCC; });
    }
    // The folder-reading call's arguments, pointing into `args`.
    void directory(const std::string &search, const char *pattern, DWORD mode, DWORD &cont, DWORD lenAdjust = 0)
    {
        args = {DWORD(search.size() + 1) + lenAdjust, pattern ? DWORD(std::strlen(pattern) + 1) : 0, mode};
        void *in[] = {&args[0], const_cast<char *>(search.c_str()), &args[1],
                      const_cast<char *>(pattern ? pattern : ""), &cont, &args[2]};
        std::memcpy(p()->in, in, sizeof in);
        p()->out[0] = &cont;
        p()->out[1] = &p()->replyCount;
        p()->out[2] = list();
    }
    std::vector<BYTE> bytes;
    DWORD room;
    std::vector<DWORD> args;
};

// Parses a name list as the browser does (a type byte before each name);
// fails the test on a malformed one.  Answers name -> type.
std::multimap<std::string, int> ParseList(const BYTE *list, DWORD count, DWORD room)
{
    std::multimap<std::string, int> out;
    EXPECT_LE(count, room);
    EXPECT_GE(count, 2u);
    DWORD at = 0;
    while (at < count && list[at] != 0) {
        const int type = list[at++];
        const DWORD start = at;
        while (at < count && list[at]) ++at;
        if (at >= count) {
            ADD_FAILURE() << "a name runs past the byte count";
            return out;
        }
        out.emplace(std::string(reinterpret_cast<const char *>(list + start), at++ - start), type);
    }
    EXPECT_EQ(out.empty() ? 2u : at + 1, count);   // the list ends at its empty entry, the count right after it
    return out;
}

class RemoteCalls : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        delta_ = new Machine("DELTA", {"zuredu_peer.exe", "--rpc", "on"});
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

    // Reads a whole folder, every batch checked; answers name -> type.
    std::multimap<std::string, int> ReadFolder(const std::string &search, const char *pattern, DWORD mode,
                                               const CallDescriptor &d, int &batches, const char *server = "DELTA")
    {
        std::multimap<std::string, int> seen;
        DWORD cont = 0;
        for (batches = 0; cont != RPC_CONTINUATION_DONE && batches < 1000 && !HasFailure(); ++batches) {
            Packet pk(d, server);
            pk.directory(search, pattern, mode, cont);
            const DWORD before = cont;
            EXPECT_EQ(RPC_SendCall(pk.p()), RPC_OK);
            EXPECT_TRUE(pk.canaryIntact());
            seen.merge(ParseList(pk.list(), pk.p()->replyCount, pk.room));
            if (cont != RPC_CONTINUATION_DONE) {
                EXPECT_GT(cont, before);
                EXPECT_GT(pk.p()->replyCount, pk.room - 64) << "a batch is cut only when the next name does not fit";
            }
        }
        return seen;
    }

    static Machine *delta_;
    static dadatest::TempDir *tree_;
};
Machine *RemoteCalls::delta_ = nullptr;
dadatest::TempDir *RemoteCalls::tree_ = nullptr;

// Every name once, in batches that fill the room (the default one, and a
// smaller one that must never be overrun); patterns keep every folder.
TEST_F(RemoteCalls, AFolderComesInBatchesThatFitTheRoom)
{
    struct { const char *pattern; DWORD mode, replySize; size_t files; int batches; } cases[] = {
        {nullptr, 0, 2048, 602, 4},            // "." and ".." among the 5 folders
        // The product matcher: "README.*" does not take README (no dot), as locally.
        {"*.txt;README.*", 0, 2048, 400, 4}, {"*.log", RPC_MODE_FOLDERS_ONLY, 2048, 0, 1},
        {nullptr, 0, 300, 602, 61},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.pattern ? c.pattern : "(none)") + " mode " + std::to_string(c.mode) +
                     " room " + std::to_string(c.replySize));
        CallDescriptor d = kDirectory;
        d.replySize = c.replySize;
        int batches = 0;
        const auto seen = ReadFolder(tree_->path() + "\\*.*", c.pattern, c.mode, d, batches);
        size_t files = 0, folders = 0;
        for (const auto &[name, type] : seen) {
            EXPECT_EQ(seen.count(name), 1u) << name << " came twice";
            EXPECT_TRUE(type == RPC_ENTRY_FILE || type == RPC_ENTRY_FOLDER);
            ++(type == RPC_ENTRY_FILE ? files : folders);
        }
        EXPECT_EQ(files, c.files);
        EXPECT_EQ(folders, 5u);
        EXPECT_TRUE(seen.count("."));
        EXPECT_GE(batches, c.batches);
    }
    dadatest::TempDir empty;   // finished and empty folders: one batch
    for (const char *search : {"\\*.none", "\\*"}) {
        int batches = 0;
        EXPECT_EQ(ReadFolder(empty.path() + search, nullptr, 0, kDirectory, batches).size(), search[2] ? 0u : 2u);
        EXPECT_EQ(batches, 1);
    }
}

TEST_F(RemoteCalls, FailedCallsLeaveThePacketAlone)
{
    const std::string path = tree_->path() + "\\*.*", missing = tree_->path() + "\\nosuch\\*.*";
    struct { const char *what, *server; std::string search; DWORD lenAdjust, procedure; int nullSlot; DWORD expect; } cases[] = {
        {"unknown server", "NOWHERE", path, 0, 302, -1, RPC_E_NO_CONNECTION},
        {"empty server", "", path, 0, 302, -1, RPC_E_BAD_PACKET},
        {"missing out slot", "DELTA", path, 0, 302, 100, RPC_E_BAD_PACKET},
        {"missing folder", "DELTA", missing, 0, 302, -1, RPC_E_NOT_FOUND},
        {"share of no letter", "DELTA", "\\\\DELTA\\1$\\*.*", 0, 302, -1, RPC_E_NOT_FOUND},
        {"path without its zero", "DELTA", path, DWORD(-1), 302, -1, RPC_E_BAD_ARGUMENTS},
        {"unknown procedure", "DELTA", path, 0, 399, -1, RPC_E_UNKNOWN_PROC},
    };
    for (const auto &c : cases) {
        CallDescriptor d = kDirectory;
        d.procedure = c.procedure;
        Packet pk(d, c.server);
        DWORD cont = 0;
        pk.directory(c.search, "", 0, cont, c.lenAdjust);
        if (c.nullSlot >= 100) pk.p()->out[c.nullSlot - 100] = nullptr;
        else if (c.nullSlot >= 0) pk.p()->in[c.nullSlot] = nullptr;
        EXPECT_EQ(RPC_SendCall(pk.p()), c.expect) << c.what;
        EXPECT_EQ(cont, 0u) << c.what;
        EXPECT_EQ(pk.p()->replyCount, 0u) << c.what;
        EXPECT_EQ(pk.list()[0], 0) << c.what;
    }
    EXPECT_EQ(RPC_SendCall(nullptr), RPC_E_BAD_PACKET);
    Packet nodesc(kDirectory, "DELTA");
    nodesc.p()->descriptor = nullptr;
    EXPECT_EQ(RPC_SendCall(nodesc.p()), RPC_E_BAD_PACKET);
    CallDescriptor odd = kVolumes;   // a byte buffer without its count before it
    odd.inKinds[0] = RPC_ARG_BYTES;
    Packet bad(odd, "DELTA");
    DWORD w = 0;
    bad.p()->in[0] = bad.p()->in[1] = bad.p()->out[0] = bad.p()->out[1] = &w;
    EXPECT_EQ(RPC_SendCall(bad.p()), RPC_E_BAD_PACKET);
}

// A machine with served roots lists only the way to them: the drive that
// holds a root, the folders above it that lead there, the root in full; any
// other folder is not found.
TEST_F(RemoteCalls, ServedRootsBoundWhatIsListed)
{
    const std::string root = tree_->file("alpha");
    SetEnvironmentVariableA("DADA_ROOTS", root.c_str());
    Machine echo("ECHO", {"zuredu_peer.exe", "--rpc", "on"});
    SetEnvironmentVariableA("DADA_ROOTS", nullptr);
    ASSERT_TRUE(echo.running());
    echo.useHosts();

    Packet volumes(kVolumes, "ECHO");
    DWORD zero = 0, most = 64;
    void *in[] = {&zero, &most}, *out[] = {&volumes.p()->replyCount, volumes.list()};
    std::memcpy(volumes.p()->in, in, sizeof in);
    std::memcpy(volumes.p()->out, out, sizeof out);
    ASSERT_EQ(RPC_SendCall(volumes.p()), RPC_OK);
    const std::string drive = root.substr(0, 3) + '\0' + '\0';
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(volumes.list()), volumes.p()->replyCount), drive);

    int batches = 0;
    std::vector<std::string> above;
    for (const auto &e : ReadFolder(tree_->path() + "\\*.*", nullptr, 0, kDirectory, batches, "ECHO"))
        if (e.first[0] != '.') above.push_back(e.first);
    EXPECT_EQ(above, std::vector<std::string>{"alpha"});
    EXPECT_EQ(ReadFolder(root + "\\..\\alpha\\*", nullptr, 0, kDirectory, batches, "ECHO").size(), 2u);   // "." and ".."

    Packet outside(kDirectory, "ECHO");
    DWORD cont = 0;
    outside.directory(tree_->file("gamma") + "\\*.*", nullptr, 0, cont);
    EXPECT_EQ(RPC_SendCall(outside.p()), RPC_E_NOT_FOUND);
}

} // namespace
