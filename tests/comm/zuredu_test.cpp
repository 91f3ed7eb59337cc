// The communication library in one process, then it and the RPC library
// with the machine BETA.
#include "auth.h"
#include "bounds.h"
#include "machine.h"
#include "peer_protocol.h"
#include "wire.h"
#include "zarov.h"
#include "zuredu.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <vector>

using dadatest::Machine;
using dadatest::ReplyBlock;
namespace z = zuredu;

namespace {

constexpr char kSecret[] = "the communication test's network secret";

TEST(Wire, Headers)
{
    const z::HeaderBytes b = z::EncodeHeader({z::Kind::Reply, 4097, 9, NETSVC_E_NO_HANDLER, 1234});
    z::FrameHeader back{};
    ASSERT_TRUE(z::DecodeHeader(b, back));   // what it carries comes through in every exchange below
    // magic, version, kind 0, kind 3, a length over the limit
    struct { size_t offset; BYTE value; } bad[] = {{0, 'X'}, {4, 2}, {6, 0}, {6, 3}, {23, 0x01}};
    for (const auto &c : bad) {
        z::HeaderBytes x = b;
        x[c.offset] = c.value;
        EXPECT_FALSE(z::DecodeHeader(x, back)) << c.offset;
    }
    EXPECT_FALSE(z::DecodeHeader(z::EncodeHeader({z::Kind::Request, 1, 1, 5, 0}), back));   // a request has no status
    EXPECT_TRUE(z::DecodeHeader(z::EncodeHeader({z::Kind::Request, 1, 1, 0, ZUREDU_MAX_PACKET}), back));
    EXPECT_FALSE(z::DecodeHeader(z::EncodeHeader({z::Kind::Request, 1, 1, 0, ZUREDU_MAX_PACKET + 1}), back));
}

// Signals that it runs, then takes half a second to leave no reply.
HANDLE g_running = CreateEventA(nullptr, TRUE, FALSE, nullptr);
volatile LONG g_handlerDone = 0;

DWORD WINAPI Slow(DWORD, void *, DWORD, void **, DWORD *)
{
    SetEvent(g_running);
    Sleep(500);
    InterlockedExchange(&g_handlerDone, 1);
    return 0;
}

// Bad arguments refused, one endpoint per process, names of machines, shutdown
// waits for the handler.
TEST(Services, ArgumentsListenAndShutdown)
{
    DWORD port = 99;
    const DWORD backwards[2] = {2, 1}, range[2] = {1, 2};
    EXPECT_EQ(NetService_ServiceStart(backwards, &port), 0u);
    DWORD svc = NetService_ServiceStart(range, &port);
    ASSERT_NE(svc, 0u);
    EXPECT_EQ(port, 0u) << "nobody asked this process to listen";
    struct { DWORD svc, number; NETSVC_HANDLER h; DWORD first, last, result; } binds[] = {
        {svc, 2, Slow, 50, 60, 1}, {svc, 3, Slow, 1, 1, 0}, {svc + 1, 1, Slow, 1, 1, 0},
        {svc, 1, nullptr, 1, 1, 0}, {svc, 1, Slow, 5, 4, 0},
    };
    for (const auto &c : binds)
        EXPECT_EQ(NetService_BindCallback(c.svc, c.number, c.h, c.first, c.last), c.result) << (&c - binds);
    const DWORD listening = NetService_Listen("SELF", "127.0.0.1:0");
    ASSERT_NE(listening, 0u);
    EXPECT_EQ(NetService_Listen("OTHER", "127.0.0.1:0"), listening);
    dadatest::TempDir dir;   // port 1 on loopback: nobody listens there
    const std::string hosts = "SELF=localhost:" + std::to_string(listening) + "\r\nSILENT=127.0.0.1:1\r\nBROKEN=127.0.0.1\r\n";
    dadatest::UseHosts(dir.file("hosts.ini"), hosts);
    EXPECT_EQ(NetSession_GetConnectionType("SELF"), NETSESSION_LOCAL);
    EXPECT_EQ(NetSession_GetConnectionType("\\\\silent"), NETSESSION_REMOTE);
    EXPECT_EQ(NetSession_GetConnectionType("\\\\LOCALHOST"), NETSESSION_LOCAL);
    EXPECT_EQ(NetSession_GetConnectionType("NOSUCHMACHINE"), NETSESSION_UNKNOWN);
    for (const char *name : {"SILENT", "BROKEN", "NOSUCH", ""}) EXPECT_EQ(NetService_Connect(name, 1), 0u) << name;
    DWORD conn = NetService_Connect("SELF", 1);
    ASSERT_NE(conn, 0u);
    ReplyBlock r;
    DWORD word = 1;
    struct { DWORD conn; const void *data; DWORD length; void **reply; } sends[] = {
        {conn, &word, 4, nullptr}, {conn, nullptr, 4, &r.p},
        {conn, &word, ZUREDU_MAX_PACKET + 1, &r.p}, {conn + 1000, &word, 4, &r.p},
    };
    for (const auto &c : sends)
        EXPECT_EQ(NetService_SendPacket(c.conn, 55, c.data, c.length, c.reply, &r.length, 1000), NETSVC_E_INVALID);
    // The request gives up waiting while its handler still runs.
    EXPECT_EQ(NetService_SendPacket(conn, 55, "W", 1, &r.p, &r.length, 100), NETSVC_E_TIMEOUT);
    ASSERT_EQ(WaitForSingleObject(g_running, 10000), WAIT_OBJECT_0) << "the request never reached its handler";
    NetService_ServiceShutdown(&svc);
    EXPECT_EQ(g_handlerDone, 1) << "the shutdown returned before its handler was over";
    EXPECT_EQ(svc, 0u);
    NetService_ServiceShutdown(&svc);
    const DWORD gone = conn;
    NetService_Disconnect(&conn);
    EXPECT_EQ(NetService_SendPacket(gone, 55, &word, 4, &r.p, &r.length, 1000), NETSVC_E_INVALID);
}

// A peer request: command, argument, then patterned bytes up to `size`.
std::vector<BYTE> Request(DWORD command, DWORD arg, DWORD size = 8)
{
    std::vector<BYTE> r(size < 8 ? 8 : size);
    for (DWORD i = 8; i < r.size(); ++i) r[i] = static_cast<BYTE>(i * 13);
    std::memcpy(&r[0], &command, 4);
    std::memcpy(&r[4], &arg, 4);
    return r;
}

DWORD Send(DWORD conn, const std::vector<BYTE> &req, ReplyBlock &reply, DWORD timeout = 10000,
           DWORD type = peer::kPeerPacketType)
{
    reply.release();
    return NetService_SendPacket(conn, type, req.data(), DWORD(req.size()), &reply.p, &reply.length, timeout);
}

// An echo through the library on a connection of its own.
DWORD LibraryEcho()
{
    DWORD conn = NetService_Connect("BETA", 1);
    if (!conn) return NETSVC_E_SEND;
    ReplyBlock r;
    const DWORD status = Send(conn, Request(peer::Echo, 0), r);
    NetService_Disconnect(&conn);
    return status;
}

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

class TwoMachines : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        SetEnvironmentVariableA("DADA_SECRET", kSecret);   // inherited by the machine
        beta_ = new Machine("BETA", {"zuredu_peer.exe"});
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
        delete beta_;
        delete tree_;
    }
    void SetUp() override
    {
        ASSERT_TRUE(beta_->running());
        beta_->useHosts();
        SetEnvironmentVariableA("DADA_SECRET", kSecret);
        conn_ = NetService_Connect("BETA", 1);
        ASSERT_NE(conn_, 0u);
    }
    void TearDown() override { NetService_Disconnect(&conn_); }

    // A raw connection, with the client's half of the handshake done by hand when asked.
    static z::Socket Raw(const char *key)
    {
        sockaddr_in to{};
        z::ParseEndpoint(("127.0.0.1:" + std::to_string(beta_->port())).c_str(), to);
        z::Socket s = z::ConnectTo(to, 3000);
        if (!key || !s.valid()) return s;
        z::FrameStream stream;
        const z::Deadline deadline(3000);
        BYTE open[8 + z::kNonceSize] = {'Z', 'D', 'U', 'A', 1, 0, 1, 0}, answer[8 + 2 * z::kNonceSize];
        BYTE confirm[8 + z::kProofSize] = {'Z', 'D', 'U', 'A', 1, 0, 3, 0};
        for (size_t i = 8; i < sizeof open; ++i) open[i] = BYTE(i * 31);
        EXPECT_EQ(stream.WriteBytes(s.get(), open, deadline), z::Io::Done);
        EXPECT_EQ(stream.Read(s.get(), answer, deadline), z::Io::Done) << "the server answers any hello";
        EXPECT_TRUE(z::Proof({key, true}, "ZUREDU client", open + 8, answer + 8, confirm + 8));
        EXPECT_EQ(stream.WriteBytes(s.get(), confirm, deadline), z::Io::Done);
        return s;
    }
    // True when an echo request on `s` gets its reply within 3 s.
    static bool Echoed(const z::Socket &s)
    {
        const DWORD body[2] = {peer::Echo, 0};
        BYTE reply[z::kHeaderSize + sizeof body];
        z::FrameStream stream;
        const z::Deadline deadline(3000);
        const z::FrameHeader head{z::Kind::Request, peer::kPeerPacketType, 1, 0, sizeof body};
        return stream.Write(s.get(), head, body, deadline) == z::Io::Done &&
               stream.Read(s.get(), reply, deadline) == z::Io::Done &&
               std::memcmp(reply + z::kHeaderSize, body, sizeof body) == 0;
    }
    // name -> type of a whole folder; every batch well formed and cut only when full.
    std::multimap<std::string, int> ReadFolder(const std::string &search, const char *pattern, DWORD mode,
                                               DWORD room = 2048, const char *server = "BETA")
    {
        std::multimap<std::string, int> seen;
        DWORD cont = 0;
        for (int batch = 0; cont != RPC_CONTINUATION_DONE && batch < 1000 && !HasFailure(); ++batch) {
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

    DWORD conn_ = 0;
    static inline Machine *beta_;
    static inline dadatest::TempDir *tree_;
};

// Replies of every size, serving failures as statuses, a late reply never taken for the next.
TEST_F(TwoMachines, RepliesFailuresAndTimeOut)
{
    struct { DWORD command, size, type = peer::kPeerPacketType, status = NETSVC_OK; } cases[] = {
        {peer::Echo, 16384 + 16}, {peer::Big, 0}, {peer::Big, ZUREDU_MAX_PACKET},
        {peer::NoReply, 0, peer::kPeerPacketType, NETSVC_E_NO_REPLY},
        {peer::Oversized, 0, peer::kPeerPacketType, NETSVC_E_REPLY_SIZE},
        {peer::Echo, 0, 4097, NETSVC_E_NO_HANDLER},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.command * 100000000 + c.size);
        const std::vector<BYTE> req = Request(c.command, c.size, c.command == peer::Echo ? c.size : 8);
        ReplyBlock reply;
        ASSERT_EQ(Send(conn_, req, reply, 10000, c.type), c.status);
        ASSERT_EQ(reply.length, c.size);
        EXPECT_EQ(reply.p == nullptr, c.size == 0);
        EXPECT_TRUE(!reply.p || GlobalHandle(reply.p)) << "a reply is a global-memory block";
        DWORD bad = 0;
        for (DWORD i = 0; i < c.size; ++i)
            bad += reply.bytes()[i] != (c.command == peer::Echo ? req[i] : peer::PatternByte(i));
        EXPECT_EQ(bad, 0u);
    }
    ReplyBlock reply;
    EXPECT_EQ(Send(conn_, Request(peer::Sleep, 1500), reply, 200), NETSVC_E_TIMEOUT);
    EXPECT_EQ(reply.p, nullptr);
    EXPECT_EQ(Send(conn_, Request(peer::Echo, 42, 64), reply), NETSVC_OK);
    EXPECT_EQ(reply.length, 64u) << "the late reply to the sleep came instead";
}

// Only a peer with the secret is served; without the variable, the hosts file's secret serves.
TEST_F(TwoMachines, OnlyAPeerHoldingTheSecretIsServed)
{
    struct { const char *key; bool served; } cases[] = {{nullptr, false}, {"not the secret", false}, {kSecret, true}};
    for (const auto &c : cases) {
        const z::Socket s = Raw(c.key);
        ASSERT_TRUE(s.valid());
        EXPECT_EQ(Echoed(s), c.served) << (&c - cases);
    }
    dadatest::TempDir dir;
    SetEnvironmentVariableA("DADA_SECRET", nullptr);
    const std::string network = "[network]\r\nsecret=" + std::string(kSecret) + "\r\n";
    dadatest::UseHosts(dir.file("hosts.ini"), "BETA=127.0.0.1:" + std::to_string(beta_->port()) + "\r\n" + network);
    EXPECT_EQ(LibraryEcho(), NETSVC_OK);
}

// Idle and trickling connections beyond the cap are dropped; a real client gets in.
TEST_F(TwoMachines, HeldConnectionsDoNotShutOutARealClient)
{
    constexpr int kBeyondCap = 40;
    std::vector<z::Socket> held;
    for (size_t i = 0; i < z::kMaxConnectionsPerPeer + kBeyondCap; ++i) {
        const bool hello = i % 2;
        held.push_back(Raw(hello ? kSecret : nullptr));
        ASSERT_TRUE(held.back().valid()) << i;
        if (i % 4 < 2) send(held.back().get(), hello ? "ZDUR\1" : "ZD", hello ? 5 : 2, 0);   // a frame or a hello begun
        if (i == z::kMaxConnectionsPerPeer) EXPECT_EQ(LibraryEcho(), NETSVC_OK);
    }
    int dropped = 0;   // the server closed it: end of stream at once
    for (const z::Socket &s : held) {
        const DWORD ms = 50;
        setsockopt(s.get(), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char *>(&ms), sizeof ms);
        char b;
        const int n = recv(s.get(), &b, 1, 0);
        dropped += n == 0 || (n < 0 && WSAGetLastError() != WSAETIMEDOUT);
    }
    EXPECT_GE(dropped, kBeyondCap);
    EXPECT_EQ(LibraryEcho(), NETSVC_OK);
}

// Every name once, in batches that fill the room; patterns keep every folder.
TEST_F(TwoMachines, AFolderComesInBatchesThatFitTheRoom)
{
    struct { const char *pattern; DWORD mode; size_t files; } cases[] = {
        {"*.txt;README.*", 0, 100},   // the product matcher: "README.*" does not take README
        {"*.log", RPC_MODE_FOLDERS_ONLY, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(&c - cases);
        const auto seen = ReadFolder(tree_->path() + "\\*.*", c.pattern, c.mode);
        size_t files = 0;
        for (const auto &[name, type] : seen) {
            EXPECT_EQ(seen.count(name), 1u) << name << " came twice";
            EXPECT_TRUE(type == RPC_ENTRY_FILE || type == RPC_ENTRY_FOLDER);
            files += type == RPC_ENTRY_FILE;
        }
        EXPECT_EQ(files, c.files);
        EXPECT_EQ(seen.size() - files, 5u);
    }
    for (DWORD room = 300; room < 319; ++room)   // entries of at most 19 bytes: one batch fills its room to the byte
        EXPECT_EQ(ReadFolder(tree_->path() + "\\*.*", nullptr, 0, room).size(), 151u + 5) << room;
}

TEST_F(TwoMachines, FailedCallsLeaveThePacketAlone)
{
    const std::string path = tree_->path() + "\\*.*";
    struct { const char *server; std::string search; int damage; DWORD expect; } cases[] = {
        {"NOWHERE", path, 0, RPC_E_NO_CONNECTION},
        {"BETA", path, 1, RPC_E_BAD_PACKET},      // an out slot missing
        {"BETA", path, 2, RPC_E_BAD_ARGUMENTS},   // the path's length leaves out its zero
        {"BETA", path, 3, RPC_E_UNKNOWN_PROC},
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

// A machine with served roots lists only the way to a root; any other folder is not found.
TEST_F(TwoMachines, ServedRootsBoundWhatIsListed)
{
    const std::string root = tree_->file("alpha");
    SetEnvironmentVariableA("DADA_ROOTS", root.c_str());
    Machine echo("ECHO", {"zuredu_peer.exe"});
    SetEnvironmentVariableA("DADA_ROOTS", nullptr);
    ASSERT_TRUE(echo.running());
    echo.useHosts();
    const auto above = ReadFolder(tree_->path() + "\\*.*", nullptr, 0, 2048, "ECHO");
    EXPECT_EQ(above.count("alpha"), 1u);
    EXPECT_EQ(above.size() - above.count(".") - above.count(".."), 1u);
    Packet outside("ECHO", tree_->file("gamma") + "\\*.*", nullptr, 0);
    EXPECT_EQ(RPC_SendCall(outside.p()), RPC_E_NOT_FOUND);
}

} // namespace
