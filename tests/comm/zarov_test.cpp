// Remote calls to another process acting as a machine.
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

constexpr size_t kCanary = 64;

// A folder-reading call packet with `room` bytes for the list, then a canary.
struct Packet {
    Packet(const char *server, const std::string &search, const char *pattern, DWORD mode, DWORD room = 2048)
        : d(RPC_DESCRIPTOR_READ_DIRECTORY), search(search), pattern(pattern ? pattern : "")
    {
        d.replySize = room;
        bytes.assign(RPC_PACKET_SIZE(&d) + kCanary, 0xCC);
        std::memset(bytes.data(), 0, RPC_PACKET_SIZE(&d));
        p()->server = server;
        p()->descriptor = &d;
        args = {DWORD(search.size() + 1), pattern ? DWORD(this->pattern.size() + 1) : 0, mode};
        void *in[] = {&args[0], this->search.data(), &args[1], this->pattern.data(), &cont, &args[2]};
        void *out[] = {&cont, &p()->replyCount, p()->replyList};
        std::memcpy(p()->in, in, sizeof in);
        std::memcpy(p()->out, out, sizeof out);
    }
    CallPacket *p() { return reinterpret_cast<CallPacket *>(bytes.data()); }
    bool canaryIntact() const
    {
        return std::all_of(bytes.end() - kCanary, bytes.end(), [](BYTE b) { return b == 0xCC; });
    }
    CallDescriptor d;
    std::string search, pattern;
    std::vector<DWORD> args;
    DWORD cont = 0;
    std::vector<BYTE> bytes;
};

class RemoteCalls : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        delta_ = new Machine("DELTA", {"zuredu_peer.exe", "--rpc", "on"});
        tree_ = new dadatest::TempDir;
        for (int i = 0; i < 150; ++i) {
            const std::string name = "document_" + std::to_string(1000 + i) + (i % 3 ? ".txt" : ".log");
            dadatest::WriteFileBytes(tree_->file(name), "x");
        }
        dadatest::WriteFileBytes(tree_->file("README"), "y");
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

    // name -> type of a whole folder in batches_; every batch well formed and cut only when full.
    std::multimap<std::string, int> ReadFolder(const std::string &search, const char *pattern, DWORD mode,
                                               DWORD room = 2048, const char *server = "DELTA")
    {
        std::multimap<std::string, int> seen;
        DWORD cont = 0;
        for (batches_ = 0; cont != RPC_CONTINUATION_DONE && batches_ < 1000 && !HasFailure(); ++batches_) {
            Packet pk(server, search, pattern, mode, room);
            pk.cont = cont;
            EXPECT_EQ(RPC_SendCall(pk.p()), RPC_OK);
            EXPECT_TRUE(pk.canaryIntact());
            const BYTE *list = pk.p()->replyList;
            const DWORD count = pk.p()->replyCount;
            EXPECT_LE(count, room - 4);
            DWORD at = 0;
            while (at < count && count <= room - 4 && list[at]) {
                const char *name = reinterpret_cast<const char *>(list + at + 1);
                const size_t length = strnlen(name, count - at - 1);
                if (at + 1 + length >= count) break;   // a name that runs past the byte count
                seen.emplace(name, list[at]);
                at += DWORD(length) + 2;
            }
            EXPECT_EQ(at ? at + 1 : 2u, count) << "the list ends at its empty entry";
            if (pk.cont != RPC_CONTINUATION_DONE) {
                EXPECT_GT(pk.cont, cont);
                EXPECT_GT(count, room - 4 - 64) << "a batch is cut only when the next name does not fit";
            }
            cont = pk.cont;
        }
        return seen;
    }

    int batches_ = 0;
    static inline Machine *delta_;
    static inline dadatest::TempDir *tree_;
};

// Every name once, in batches that fill the room; patterns keep every folder.
TEST_F(RemoteCalls, AFolderComesInBatchesThatFitTheRoom)
{
    struct { const char *pattern; DWORD mode, room; size_t files; int batches; } cases[] = {
        {"*.txt;README.*", 0, 2048, 100, 1},   // the product matcher: "README.*" does not take README
        {"*.log", RPC_MODE_FOLDERS_ONLY, 2048, 0, 1},
        {nullptr, 0, 300, 151, 10},            // "." and ".." among the 5 folders
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(&c - cases);
        const auto seen = ReadFolder(tree_->path() + "\\*.*", c.pattern, c.mode, c.room);
        size_t files = 0;
        for (const auto &[name, type] : seen) {
            EXPECT_EQ(seen.count(name), 1u) << name << " came twice";
            EXPECT_TRUE(type == RPC_ENTRY_FILE || type == RPC_ENTRY_FOLDER);
            files += type == RPC_ENTRY_FILE;
        }
        EXPECT_EQ(files, c.files);
        EXPECT_EQ(seen.size() - files, 5u);
        EXPECT_GE(batches_, c.batches);
    }
    dadatest::TempDir empty;
    EXPECT_EQ(ReadFolder(empty.path() + "\\*.none", nullptr, 0).size(), 0u);
    EXPECT_EQ(batches_, 1);
}

TEST_F(RemoteCalls, FailedCallsLeaveThePacketAlone)
{
    const std::string path = tree_->path() + "\\*.*";
    struct { const char *server; std::string search; int damage; DWORD expect; } cases[] = {
        {"NOWHERE", path, 0, RPC_E_NO_CONNECTION},
        {"DELTA", tree_->path() + "\\nosuch\\*.*", 0, RPC_E_NOT_FOUND},
        {"DELTA", path, 1, RPC_E_BAD_PACKET},      // an out slot missing
        {"DELTA", path, 2, RPC_E_BAD_ARGUMENTS},   // the path's length leaves out its zero
        {"DELTA", path, 3, RPC_E_UNKNOWN_PROC},
    };
    for (const auto &c : cases) {
        Packet pk(c.server, c.search, "", 0);
        if (c.damage == 1) pk.p()->out[0] = nullptr;
        if (c.damage == 2) --pk.args[0];
        if (c.damage == 3) pk.d.procedure = 399;
        EXPECT_EQ(RPC_SendCall(pk.p()), c.expect) << (&c - cases);
        EXPECT_EQ(pk.cont, 0u) << (&c - cases);
        EXPECT_EQ(pk.p()->replyCount, 0u) << (&c - cases);
        EXPECT_EQ(pk.p()->replyList[0], 0) << (&c - cases);
    }
}

// A machine with served roots lists only the drive that holds a root and
// the way to it; any other folder is not found.
TEST_F(RemoteCalls, ServedRootsBoundWhatIsListed)
{
    const std::string root = tree_->file("alpha");
    SetEnvironmentVariableA("DADA_ROOTS", root.c_str());
    Machine echo("ECHO", {"zuredu_peer.exe", "--rpc", "on"});
    SetEnvironmentVariableA("DADA_ROOTS", nullptr);
    ASSERT_TRUE(echo.running());
    echo.useHosts();

    Packet volumes("ECHO", "", nullptr, 0);
    volumes.d = RPC_DESCRIPTOR_READ_VOLUMES;
    CallPacket *pk = volumes.p();
    DWORD zero = 0, most = 64;
    void *in[] = {&zero, &most}, *out[] = {&pk->replyCount, pk->replyList};
    std::memcpy(pk->in, in, sizeof in);
    std::memcpy(pk->out, out, sizeof out);
    ASSERT_EQ(RPC_SendCall(pk), RPC_OK);
    const std::string drive = root.substr(0, 3) + '\0' + '\0';
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(pk->replyList), pk->replyCount), drive);

    const auto above = ReadFolder(tree_->path() + "\\*.*", nullptr, 0, 2048, "ECHO");
    EXPECT_EQ(above.count("alpha"), 1u);
    EXPECT_EQ(above.size() - above.count(".") - above.count(".."), 1u);
    Packet outside("ECHO", tree_->file("gamma") + "\\*.*", nullptr, 0);
    EXPECT_EQ(RPC_SendCall(outside.p()), RPC_E_NOT_FOUND);
}

} // namespace
