// The communication library between two processes acting as two machines.
#include "machine.h"
#include "peer_protocol.h"
#include "reply_block.h"
#include "testutil.h"
#include "zuredu.h"

#include <gtest/gtest.h>
#include <winsock2.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

using dadatest::Machine;

namespace {

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
    return NetService_SendPacket(conn, type, req.data(), static_cast<DWORD>(req.size()), &reply.p,
                                 &reply.length, timeout);
}

class TwoMachines : public ::testing::Test {
protected:
    static void SetUpTestSuite() { beta_ = new Machine("BETA", {"zuredu_peer.exe"}); }
    static void TearDownTestSuite() { delete beta_; }
    void SetUp() override
    {
        ASSERT_TRUE(beta_->running());
        beta_->useHosts();
        conn_ = NetService_Connect("BETA", 1);
        ASSERT_NE(conn_, 0u);
    }
    void TearDown() override { NetService_Disconnect(&conn_); }
    static Machine *beta_;
    DWORD conn_ = 0;
};
Machine *TwoMachines::beta_ = nullptr;

TEST_F(TwoMachines, RoundTripsOfEverySize)
{
    static const DWORD sizes[] = {8, 9, 1000, 16384 + 16, 65536, 1u << 20, 4u << 20};
    for (DWORD size : sizes) {
        SCOPED_TRACE(size);
        std::vector<BYTE> req = Request(peer::Echo, 0, size);
        ReplyBlock reply;
        ASSERT_EQ(Send(conn_, req, reply), NETSVC_OK);
        ASSERT_EQ(reply.length, size);
        EXPECT_EQ(std::memcmp(reply.bytes(), req.data(), size), 0);
        EXPECT_NE(GlobalHandle(reply.p), nullptr) << "a reply is a global-memory block";
    }
}

TEST_F(TwoMachines, LargeRepliesToSmallRequests)
{
    static const DWORD sizes[] = {0, 1, 16400, 3u << 20, ZUREDU_MAX_PACKET};
    for (DWORD size : sizes) {
        SCOPED_TRACE(size);
        ReplyBlock reply;
        ASSERT_EQ(Send(conn_, Request(peer::Big, size), reply), NETSVC_OK);
        ASSERT_EQ(reply.length, size);
        EXPECT_EQ(reply.p == nullptr, size == 0);
        DWORD bad = 0;
        for (DWORD i = 0; i < size; ++i) bad += reply.bytes()[i] != peer::PatternByte(i);
        EXPECT_EQ(bad, 0u);
    }
}

TEST_F(TwoMachines, ServerSideFailuresComeBackAsStatuses)
{
    struct Case { DWORD command, type, status; } cases[] = {
        {peer::NoReply, peer::kPeerPacketType, NETSVC_E_NO_REPLY},
        {peer::Oversized, peer::kPeerPacketType, NETSVC_E_REPLY_SIZE},
        {peer::Echo, peer::kPeerPacketType + 1, NETSVC_E_NO_HANDLER},
        {peer::Echo, 4097, NETSVC_E_NO_HANDLER},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.command * 100000 + c.type);
        ReplyBlock reply;
        EXPECT_EQ(Send(conn_, Request(c.command, 0), reply, 10000, c.type), c.status);
        EXPECT_EQ(reply.p, nullptr);
        EXPECT_EQ(reply.length, 0u);
    }
    ReplyBlock reply;   // the connection still works
    EXPECT_EQ(Send(conn_, Request(peer::Echo, 5), reply), NETSVC_OK);
}

TEST_F(TwoMachines, TimeOutThenTheNextExchangeGetsItsOwnReply)
{
    ReplyBlock reply;
    ULONGLONG start = GetTickCount64();
    EXPECT_EQ(Send(conn_, Request(peer::Sleep, 1500), reply, 200), NETSVC_E_TIMEOUT);
    EXPECT_LT(GetTickCount64() - start, 1400u);
    EXPECT_EQ(reply.p, nullptr);
    // The late reply to the abandoned request must not be taken for this one.
    std::vector<BYTE> req = Request(peer::Echo, 42, 64);
    ASSERT_EQ(Send(conn_, req, reply), NETSVC_OK);
    ASSERT_EQ(reply.length, 64u);
    EXPECT_EQ(std::memcmp(reply.bytes(), req.data(), 64), 0);
}

TEST_F(TwoMachines, BadArgumentsAreRefused)
{
    ReplyBlock reply;
    DWORD word = 1;
    EXPECT_EQ(NetService_SendPacket(conn_, 77, &word, 4, nullptr, &reply.length, 1000), NETSVC_E_INVALID);
    EXPECT_EQ(NetService_SendPacket(conn_, 77, &word, 4, &reply.p, nullptr, 1000), NETSVC_E_INVALID);
    EXPECT_EQ(NetService_SendPacket(conn_, 77, nullptr, 4, &reply.p, &reply.length, 1000), NETSVC_E_INVALID);
    EXPECT_EQ(NetService_SendPacket(conn_, 77, &word, ZUREDU_MAX_PACKET + 1, &reply.p, &reply.length, 1000),
              NETSVC_E_INVALID);
    EXPECT_EQ(NetService_SendPacket(conn_ + 1000, 77, &word, 4, &reply.p, &reply.length, 1000),
              NETSVC_E_INVALID);
    DWORD copy = conn_;
    NetService_Disconnect(&copy);
    EXPECT_EQ(copy, 0u);
    EXPECT_EQ(NetService_SendPacket(conn_, 77, &word, 4, &reply.p, &reply.length, 1000), NETSVC_E_INVALID);
    NetService_Disconnect(&copy);       // already closed: nothing happens
    NetService_Disconnect(nullptr);
}

TEST_F(TwoMachines, GarbageOnTheWireDoesNotHurtTheServer)
{
    WSADATA wsa;
    ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &wsa), 0);
    std::mt19937 rng(1234);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<u_short>(beta_->port()));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const BYTE header[8] = {'Z', 'D', 'U', 'R', 1, 0, 1, 0};
    for (int round = 0; round < 300; ++round) {
        SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        ASSERT_NE(s, INVALID_SOCKET);
        ASSERT_EQ(connect(s, reinterpret_cast<sockaddr *>(&to), sizeof to), 0);
        std::vector<BYTE> junk(rng() % 200);
        for (BYTE &b : junk) b = static_cast<BYTE>(rng());
        if (round % 3 == 0 && junk.size() >= 24) {
            // A believable start: our magic and version, then random fields
            // (oversized lengths, replies sent as requests, a status).
            std::memcpy(junk.data(), header, 8);
            if (round % 2) junk[23] = 0x7F;
        }
        send(s, reinterpret_cast<const char *>(junk.data()), static_cast<int>(junk.size()), 0);
        closesocket(s);
    }
    ReplyBlock reply;
    std::vector<BYTE> req = Request(peer::Echo, 9, 100);
    ASSERT_EQ(Send(conn_, req, reply), NETSVC_OK);
    EXPECT_EQ(reply.length, 100u);
    WSACleanup();
}

TEST_F(TwoMachines, ConnectionTypes)
{
    struct Case { const char *name; DWORD type; } cases[] = {
        {"BETA", NETSESSION_REMOTE}, {"\\\\beta", NETSESSION_REMOTE}, {"", NETSESSION_LOCAL},
        {nullptr, NETSESSION_LOCAL}, {"NOSUCHMACHINE", NETSESSION_UNKNOWN},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name ? c.name : "(null)");
        EXPECT_EQ(NetSession_GetConnectionType(c.name), c.type);
    }
    char me[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD n = sizeof me;
    ASSERT_TRUE(GetComputerNameA(me, &n));
    EXPECT_EQ(NetSession_GetConnectionType(me), NETSESSION_LOCAL);
}

TEST(Connect, UnknownOrSilentMachinesGiveNoConnection)
{
    dadatest::TempDir dir;
    std::string hosts = dir.file("hosts.ini");
    // Port 1 on loopback: nobody listens there.
    dadatest::WriteFileBytes(hosts, "[hosts]\r\nSILENT=127.0.0.1:1\r\nBROKEN=127.0.0.1\r\nWORSE=1.2.3:80\r\n");
    SetEnvironmentVariableA("DADA_HOSTS", hosts.c_str());
    for (const char *name : {"SILENT", "BROKEN", "WORSE", "NOSUCH", "", "\\\\"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(NetService_Connect(name, 1), 0u);
    }
    EXPECT_EQ(NetService_Connect(nullptr, 1), 0u);
}

TEST(ServerKilled, MidExchangeEndsTheExchangeAtOnce)
{
    Machine gamma("GAMMA", {"zuredu_peer.exe"});
    ASSERT_TRUE(gamma.running());
    gamma.useHosts();
    DWORD conn = NetService_Connect("GAMMA", 1);
    ASSERT_NE(conn, 0u);
    struct Killer {
        Machine *m;
        static DWORD WINAPI Run(void *p) { Sleep(300); static_cast<Killer *>(p)->m->kill(); return 0; }
    } killer{&gamma};
    HANDLE t = CreateThread(nullptr, 0, Killer::Run, &killer, 0, nullptr);
    ReplyBlock reply;
    ULONGLONG start = GetTickCount64();
    DWORD status = Send(conn, Request(peer::Sleep, 8000), reply, 20000);
    EXPECT_LT(GetTickCount64() - start, 7000u);
    EXPECT_EQ(status, NETSVC_E_CLOSED);
    EXPECT_EQ(reply.p, nullptr);
    WaitForSingleObject(t, INFINITE);
    CloseHandle(t);
    EXPECT_EQ(Send(conn, Request(peer::Echo, 0), reply, 2000), NETSVC_E_SEND);
    NetService_Disconnect(&conn);
}

} // namespace
