// The communication library between two processes acting as two machines.
#include "machine.h"
#include "peer_protocol.h"
#include "zuredu.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using dadatest::Machine;
using dadatest::ReplyBlock;

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
    return NetService_SendPacket(conn, type, req.data(), DWORD(req.size()), &reply.p, &reply.length, timeout);
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

// Echoes of requests, and patterned replies to small requests, of every size.
TEST_F(TwoMachines, RoundTripsOfEverySize)
{
    struct { DWORD command, size; } cases[] = {
        {peer::Echo, 8}, {peer::Echo, 9}, {peer::Echo, 1000}, {peer::Echo, 16384 + 16}, {peer::Echo, 65536},
        {peer::Echo, 1u << 20}, {peer::Echo, 4u << 20}, {peer::Big, 0}, {peer::Big, 1}, {peer::Big, 16400},
        {peer::Big, 3u << 20}, {peer::Big, ZUREDU_MAX_PACKET},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.command * 100000000 + c.size);
        const std::vector<BYTE> req = Request(c.command, c.size, c.command == peer::Echo ? c.size : 8);
        ReplyBlock reply;
        ASSERT_EQ(Send(conn_, req, reply), NETSVC_OK);
        ASSERT_EQ(reply.length, c.size);
        EXPECT_EQ(reply.p == nullptr, c.size == 0);
        EXPECT_TRUE(!reply.p || GlobalHandle(reply.p)) << "a reply is a global-memory block";
        DWORD bad = 0;
        for (DWORD i = 0; i < c.size; ++i)
            bad += reply.bytes()[i] != (c.command == peer::Echo ? req[i] : peer::PatternByte(i));
        EXPECT_EQ(bad, 0u);
    }
}

TEST_F(TwoMachines, ServerSideFailuresComeBackAsStatuses)
{
    struct { DWORD command, type, status; } cases[] = {
        {peer::NoReply, peer::kPeerPacketType, NETSVC_E_NO_REPLY},
        {peer::Oversized, peer::kPeerPacketType, NETSVC_E_REPLY_SIZE},
        {peer::Echo, peer::kPeerPacketType + 1, NETSVC_E_NO_HANDLER},
        {peer::Echo, 4097, NETSVC_E_NO_HANDLER},
    };
    for (const auto &c : cases) {
        ReplyBlock reply;
        EXPECT_EQ(Send(conn_, Request(c.command, 0), reply, 10000, c.type), c.status) << c.command << " " << c.type;
        EXPECT_EQ(reply.p, nullptr);
        EXPECT_EQ(reply.length, 0u);
    }
    ReplyBlock reply;   // the connection still works
    EXPECT_EQ(Send(conn_, Request(peer::Echo, 5), reply), NETSVC_OK);
}

TEST_F(TwoMachines, TimeOutThenTheNextExchangeGetsItsOwnReply)
{
    ReplyBlock reply;
    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(Send(conn_, Request(peer::Sleep, 1500), reply, 200), NETSVC_E_TIMEOUT);
    EXPECT_LT(GetTickCount64() - start, 1400u);
    EXPECT_EQ(reply.p, nullptr);
    // The late reply to the abandoned request must not be taken for this one.
    const std::vector<BYTE> req = Request(peer::Echo, 42, 64);
    ASSERT_EQ(Send(conn_, req, reply), NETSVC_OK);
    ASSERT_EQ(reply.length, 64u);
    EXPECT_EQ(std::memcmp(reply.bytes(), req.data(), 64), 0);
}

TEST_F(TwoMachines, BadArgumentsAreRefused)
{
    ReplyBlock r;
    DWORD word = 1, copy = conn_;
    struct { DWORD conn; const void *data; DWORD length; void **reply; DWORD *replyLength; } cases[] = {
        {conn_, &word, 4, nullptr, &r.length}, {conn_, &word, 4, &r.p, nullptr}, {conn_, nullptr, 4, &r.p, &r.length},
        {conn_, &word, ZUREDU_MAX_PACKET + 1, &r.p, &r.length}, {conn_ + 1000, &word, 4, &r.p, &r.length},
    };
    for (const auto &c : cases)
        EXPECT_EQ(NetService_SendPacket(c.conn, 77, c.data, c.length, c.reply, c.replyLength, 1000), NETSVC_E_INVALID);
    NetService_Disconnect(&copy);
    EXPECT_EQ(copy, 0u);
    EXPECT_EQ(NetService_SendPacket(conn_, 77, &word, 4, &r.p, &r.length, 1000), NETSVC_E_INVALID);
    NetService_Disconnect(&copy);   // already closed: nothing happens
    NetService_Disconnect(nullptr);
}

TEST_F(TwoMachines, ConnectionTypes)
{
    char me[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD n = sizeof me;
    ASSERT_TRUE(GetComputerNameA(me, &n));
    struct { const char *name; DWORD type; } cases[] = {
        {"BETA", NETSESSION_REMOTE}, {"\\\\beta", NETSESSION_REMOTE}, {"", NETSESSION_LOCAL},
        {nullptr, NETSESSION_LOCAL}, {"NOSUCHMACHINE", NETSESSION_UNKNOWN}, {me, NETSESSION_LOCAL},
        {"localhost", NETSESSION_LOCAL}, {"\\\\LOCALHOST", NETSESSION_LOCAL}, {"127.0.0.1", NETSESSION_LOCAL},
    };
    for (const auto &c : cases) EXPECT_EQ(NetSession_GetConnectionType(c.name), c.type) << (c.name ? c.name : "null");
}

TEST(Connect, UnknownOrSilentMachinesGiveNoConnection)
{
    dadatest::TempDir dir;   // port 1 on loopback: nobody listens there
    dadatest::UseHosts(dir.file("hosts.ini"), "SILENT=127.0.0.1:1\r\nBROKEN=127.0.0.1\r\nWORSE=1.2.3:80\r\n");
    for (const char *name : {"SILENT", "BROKEN", "WORSE", "NOSUCH", "", "\\\\", (const char *)nullptr})
        EXPECT_EQ(NetService_Connect(name, 1), 0u) << (name ? name : "null");
}

DWORD WINAPI KillLater(void *machine)
{
    Sleep(300);
    static_cast<Machine *>(machine)->kill();
    return 0;
}

TEST(ServerKilled, MidExchangeEndsTheExchangeAtOnce)
{
    Machine gamma("GAMMA", {"zuredu_peer.exe"});
    ASSERT_TRUE(gamma.running());
    gamma.useHosts();
    DWORD conn = NetService_Connect("GAMMA", 1);
    ASSERT_NE(conn, 0u);
    HANDLE t = CreateThread(nullptr, 0, KillLater, &gamma, 0, nullptr);
    ReplyBlock reply;
    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(Send(conn, Request(peer::Sleep, 8000), reply, 20000), NETSVC_E_CLOSED);
    EXPECT_LT(GetTickCount64() - start, 7000u);
    EXPECT_EQ(reply.p, nullptr);
    WaitForSingleObject(t, INFINITE);
    CloseHandle(t);
    EXPECT_EQ(Send(conn, Request(peer::Echo, 0), reply, 2000), NETSVC_E_SEND);
    NetService_Disconnect(&conn);
}

} // namespace
