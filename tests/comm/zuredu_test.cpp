// The communication library in one process, then with the machine BETA.
#include "auth.h"
#include "bounds.h"
#include "machine.h"
#include "peer_protocol.h"
#include "wire.h"
#include "zuredu.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

using dadatest::Machine;
using dadatest::ReplyBlock;
namespace z = zuredu;

namespace {

constexpr char kSecret[] = "the communication test's network secret";

TEST(Wire, EndpointsAndHeaders)
{
    struct { const char *text; int port; } endpoints[] = {   // port -1: refused
        {"localhost:47017", 47017}, {"127.0.0.1:65536", -1}, {"1.2.3:80", -1},
    };
    for (const auto &c : endpoints) {
        sockaddr_in a{};
        ASSERT_EQ(z::ParseEndpoint(c.text, a), c.port >= 0) << c.text;
        if (c.port >= 0) EXPECT_EQ(ntohs(a.sin_port), c.port) << c.text;
    }
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

// Signals that it runs, then takes half a second to give a one-byte reply.
HANDLE g_running = CreateEventA(nullptr, TRUE, FALSE, nullptr);
volatile LONG g_handlerDone = 0;

DWORD WINAPI Slow(DWORD, void *, DWORD, void **reply, DWORD *replyLength)
{
    SetEvent(g_running);
    Sleep(500);
    InterlockedExchange(&g_handlerDone, 1);
    *reply = GlobalLock(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 1));
    *replyLength = 1;
    return 1;
}

// Bad arguments refused, one endpoint per process, shutdown waits for the handler.
TEST(Services, BindListenAndShutdown)
{
    DWORD port = 99;
    const DWORD backwards[2] = {2, 1}, range[2] = {1, 2};
    EXPECT_EQ(NetService_ServiceStart(backwards, &port), 0u);
    DWORD svc = NetService_ServiceStart(range, &port);
    ASSERT_NE(svc, 0u);
    EXPECT_EQ(port, 0u) << "nobody asked this process to listen";
    struct { DWORD svc, number; NETSVC_HANDLER h; DWORD first, last, result; } cases[] = {
        {svc, 2, Slow, 50, 60, 1}, {svc, 3, Slow, 1, 1, 0}, {svc + 1, 1, Slow, 1, 1, 0},
        {svc, 1, nullptr, 1, 1, 0}, {svc, 1, Slow, 5, 4, 0},
    };
    for (const auto &c : cases)
        EXPECT_EQ(NetService_BindCallback(c.svc, c.number, c.h, c.first, c.last), c.result) << (&c - cases);
    const DWORD listening = NetService_Listen("SELF", "127.0.0.1:0");
    ASSERT_NE(listening, 0u);
    EXPECT_EQ(NetService_Listen("OTHER", "127.0.0.1:0"), listening);
    dadatest::TempDir dir;
    dadatest::UseHosts(dir.file("hosts.ini"), "SELF=127.0.0.1:" + std::to_string(listening) + "\r\n");
    EXPECT_EQ(NetSession_GetConnectionType("SELF"), NETSESSION_LOCAL);
    DWORD conn = NetService_Connect("SELF", 1);
    ASSERT_NE(conn, 0u);
    std::thread sender([conn] {
        ReplyBlock r;
        NetService_SendPacket(conn, 55, "W", 1, &r.p, &r.length, 20000);
    });
    ASSERT_EQ(WaitForSingleObject(g_running, 10000), WAIT_OBJECT_0) << "the request never reached its handler";
    NetService_ServiceShutdown(&svc);
    EXPECT_EQ(g_handlerDone, 1) << "the shutdown returned before its handler was over";
    EXPECT_EQ(svc, 0u);
    NetService_ServiceShutdown(&svc);
    sender.join();
    NetService_Disconnect(&conn);
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

bool SendAll(SOCKET s, const void *p, size_t n)
{
    return send(s, static_cast<const char *>(p), int(n), 0) == int(n);
}

bool RecvAll(SOCKET s, BYTE *p, size_t n)
{
    for (int got; n; p += got, n -= size_t(got))
        if ((got = recv(s, reinterpret_cast<char *>(p), int(n), 0)) <= 0) return false;
    return true;
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

class TwoMachines : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        SetEnvironmentVariableA("DADA_SECRET", kSecret);   // inherited by the machine
        beta_ = new Machine("BETA", {"zuredu_peer.exe"});
    }
    static void TearDownTestSuite() { delete beta_; }
    void SetUp() override
    {
        ASSERT_TRUE(beta_->running());
        beta_->useHosts();
        SetEnvironmentVariableA("DADA_SECRET", kSecret);
        conn_ = NetService_Connect("BETA", 1);
        ASSERT_NE(conn_, 0u);
    }
    void TearDown() override { NetService_Disconnect(&conn_); }

    // A raw connection (reads give up after 3 s), with the handshake by hand when asked.
    static SOCKET Raw(const char *key)
    {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(static_cast<u_short>(beta_->port()));
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        const DWORD ms = 3000;
        setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char *>(&ms), sizeof ms);
        if (connect(s, reinterpret_cast<sockaddr *>(&to), sizeof to) != 0) {
            closesocket(s);
            return INVALID_SOCKET;
        }
        if (!key) return s;
        BYTE open[8 + z::kNonceSize] = {'Z', 'D', 'U', 'A', 1, 0, 1, 0}, answer[8 + 2 * z::kNonceSize];
        BYTE confirm[8 + z::kProofSize] = {'Z', 'D', 'U', 'A', 1, 0, 3, 0};
        for (size_t i = 8; i < sizeof open; ++i) open[i] = BYTE(i * 31);
        EXPECT_TRUE(SendAll(s, open, sizeof open));
        EXPECT_TRUE(RecvAll(s, answer, sizeof answer)) << "the server answers any hello";
        EXPECT_TRUE(z::Proof({key, true}, "ZUREDU client", open + 8, answer + 8, confirm + 8));
        EXPECT_TRUE(SendAll(s, confirm, sizeof confirm));
        return s;
    }
    // True when an echo request on `s` gets its reply.
    static bool Echoed(SOCKET s)
    {
        const DWORD body[2] = {peer::Echo, 0};
        const z::HeaderBytes head = z::EncodeHeader({z::Kind::Request, peer::kPeerPacketType, 1, 0, sizeof body});
        BYTE reply[z::kHeaderSize + sizeof body];
        return SendAll(s, head.data(), head.size()) && SendAll(s, body, sizeof body) &&
               RecvAll(s, reply, sizeof reply) &&
               std::memcmp(reply + z::kHeaderSize, body, sizeof body) == 0;
    }
    static inline Machine *beta_;
    DWORD conn_ = 0;
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

TEST_F(TwoMachines, BadArgumentsAndUnknownMachines)
{
    ReplyBlock r;
    DWORD word = 1, copy = conn_;
    struct { DWORD conn; const void *data; DWORD length; void **reply; } cases[] = {
        {conn_, &word, 4, nullptr}, {conn_, nullptr, 4, &r.p},
        {conn_, &word, ZUREDU_MAX_PACKET + 1, &r.p}, {conn_ + 1000, &word, 4, &r.p},
    };
    for (const auto &c : cases)
        EXPECT_EQ(NetService_SendPacket(c.conn, 77, c.data, c.length, c.reply, &r.length, 1000), NETSVC_E_INVALID);
    NetService_Disconnect(&copy);
    EXPECT_EQ(NetService_SendPacket(conn_, 77, &word, 4, &r.p, &r.length, 1000), NETSVC_E_INVALID);
    EXPECT_EQ(NetSession_GetConnectionType("\\\\beta"), NETSESSION_REMOTE);
    EXPECT_EQ(NetSession_GetConnectionType("\\\\LOCALHOST"), NETSESSION_LOCAL);
    EXPECT_EQ(NetSession_GetConnectionType("NOSUCHMACHINE"), NETSESSION_UNKNOWN);
    dadatest::TempDir dir;   // port 1 on loopback: nobody listens there
    dadatest::UseHosts(dir.file("hosts.ini"), "SILENT=127.0.0.1:1\r\nBROKEN=127.0.0.1\r\n");
    for (const char *name : {"SILENT", "BROKEN", "NOSUCH", ""}) EXPECT_EQ(NetService_Connect(name, 1), 0u) << name;
}

// Only a peer with the secret is served; the environment's secret beats the hosts file's.
TEST_F(TwoMachines, OnlyAPeerHoldingTheSecretIsServed)
{
    struct { const char *key; bool served; } cases[] = {{nullptr, false}, {"not the secret", false}, {kSecret, true}};
    for (const auto &c : cases) {
        SOCKET s = Raw(c.key);
        ASSERT_NE(s, INVALID_SOCKET);
        EXPECT_EQ(Echoed(s), c.served) << (&c - cases);
        closesocket(s);
    }
    struct { const char *env, *file; } library[] = {   // file: [network] secret= of the hosts file
        {nullptr, kSecret}, {kSecret, "not the secret"},
    };
    dadatest::TempDir dir;
    for (const auto &c : library) {
        SetEnvironmentVariableA("DADA_SECRET", c.env);
        const std::string network = "[network]\r\nsecret=" + std::string(c.file) + "\r\n";
        dadatest::UseHosts(dir.file("hosts.ini"), "BETA=127.0.0.1:" + std::to_string(beta_->port()) + "\r\n" + network);
        EXPECT_EQ(LibraryEcho(), NETSVC_OK) << (&c - library);
    }
}

// Idle and trickling connections beyond the cap are dropped; a real client gets in.
TEST_F(TwoMachines, HeldConnectionsDoNotShutOutARealClient)
{
    constexpr int kBeyondCap = 40;
    std::vector<SOCKET> held;
    for (size_t i = 0; i < z::kMaxConnectionsPerPeer + kBeyondCap; ++i) {
        const bool hello = i % 2;
        SOCKET s = Raw(hello ? kSecret : nullptr);
        ASSERT_NE(s, INVALID_SOCKET) << i;
        if (i % 4 < 2) SendAll(s, hello ? "ZDUR\1" : "ZD", hello ? 5 : 2);   // a frame or a hello begun
        held.push_back(s);
        if (i == z::kMaxConnectionsPerPeer) EXPECT_EQ(LibraryEcho(), NETSVC_OK);
    }
    int dropped = 0;   // the server closed it: end of stream at once
    for (SOCKET s : held) {
        const DWORD ms = 50;
        setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char *>(&ms), sizeof ms);
        char b;
        const int n = recv(s, &b, 1, 0);
        dropped += n == 0 || (n < 0 && WSAGetLastError() != WSAETIMEDOUT);
        closesocket(s);
    }
    EXPECT_GE(dropped, kBeyondCap);
    EXPECT_EQ(LibraryEcho(), NETSVC_OK);
}

} // namespace
