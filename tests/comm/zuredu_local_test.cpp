// The communication library inside one process: service rules, the wire
// format, and the hooks of its test build.
#include "machine.h"
#include "wire.h"
#include "zuredu.h"

#include <gtest/gtest.h>
#include <cstring>
#include <tuple>

using dadatest::ReplyBlock;

namespace {

volatile LONG g_handlerStarted = 0, g_handlerDone = 0;

// Echoes; a request starting with 'S' makes it sleep 500 ms first.
DWORD WINAPI Echo(DWORD, void *request, DWORD length, void **reply, DWORD *replyLength)
{
    if (length && *static_cast<char *>(request) == 'S') {
        InterlockedExchange(&g_handlerStarted, 1);
        Sleep(500);
        InterlockedExchange(&g_handlerDone, 1);
    }
    *reply = GlobalLock(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, length ? length : 1));
    std::memcpy(*reply, request, length);
    *replyLength = length;
    return 1;
}

TEST(Wire, Endpoints)
{
    struct { const char *text; DWORD addr; int port; } cases[] = {   // port -1: refused
        {"127.0.0.1:80", 0x7F000001, 80}, {"localhost:47017", 0x7F000001, 47017}, {"10.1.2.3:0", 0x0A010203, 0},
        {"0.0.0.0:65535", 0, 65535},      {"127.0.0.1:65536", 0, -1}, {"127.0.0.1:", 0, -1}, {"127.0.0.1", 0, -1},
        {":80", 0, -1},     {"256.0.0.1:80", 0, -1}, {"1.2.3:80", 0, -1},  {"1.2.3.4.5:80", 0, -1},
        {"1.2.3.4:-1", 0, -1}, {"1.2.3.4:8x", 0, -1}, {"host.example:80", 0, -1}, {"0001.2.3.4:80", 0, -1},
        {nullptr, 0, -1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text ? c.text : "null");
        sockaddr_in a{};
        ASSERT_EQ(zuredu::ParseEndpoint(c.text, a), c.port >= 0);
        if (c.port < 0) continue;
        EXPECT_EQ(ntohl(a.sin_addr.s_addr), c.addr);
        EXPECT_EQ(ntohs(a.sin_port), c.port);
    }
}

TEST(Wire, HeadersRoundTripAndGarbageIsRefused)
{
    using namespace zuredu;
    const HeaderBytes b = EncodeHeader({Kind::Reply, 4097, 9, NETSVC_E_NO_HANDLER, 1234});
    FrameHeader back{};
    ASSERT_TRUE(DecodeHeader(b, back));
    EXPECT_TRUE(std::tie(back.kind, back.packetType, back.sequence, back.status, back.length) ==
                std::make_tuple(Kind::Reply, 4097u, 9u, DWORD(NETSVC_E_NO_HANDLER), 1234u));
    // magic, version, kind 0, kind 3, length 16 MB + 1234: over the limit
    struct { size_t offset; BYTE value; } bad[] = {{0, 'X'}, {4, 2}, {6, 0}, {6, 3}, {23, 0x01}};
    for (const auto &c : bad) {
        HeaderBytes x = b;
        x[c.offset] = c.value;
        EXPECT_FALSE(DecodeHeader(x, back)) << c.offset;
    }
    EXPECT_FALSE(DecodeHeader(EncodeHeader({Kind::Request, 1, 1, 5, 0}), back));   // a request carries no status
    EXPECT_TRUE(DecodeHeader(EncodeHeader({Kind::Request, 1, 1, 0, ZUREDU_MAX_PACKET}), back));
    EXPECT_FALSE(DecodeHeader(EncodeHeader({Kind::Request, 1, 1, 0, ZUREDU_MAX_PACKET + 1}), back));
}

TEST(Services, StartAndBindRefuseBadArguments)
{
    DWORD port = 99;
    const DWORD backwards[2] = {2, 1}, range[2] = {1, 2};
    EXPECT_EQ(NetService_ServiceStart(nullptr, &port), 0u);
    EXPECT_EQ(NetService_ServiceStart(backwards, &port), 0u);
    DWORD svc = NetService_ServiceStart(range, &port);
    ASSERT_NE(svc, 0u);
    EXPECT_EQ(port, 0u) << "nobody asked this process to listen";
    struct { DWORD svc, number; NETSVC_HANDLER h; DWORD first, last, result; } cases[] = {
        {svc, 2, Echo, 4097, 4097, 1}, {svc, 1, Echo, 0, 0, 1},     {svc, 3, Echo, 1, 1, 0},
        {svc, 0, Echo, 1, 1, 0},       {svc + 1, 1, Echo, 1, 1, 0}, {0, 1, Echo, 1, 1, 0},
        {svc, 1, nullptr, 1, 1, 0},    {svc, 1, Echo, 5, 4, 0},     {svc, 1, Echo, 6, 9, 1},
    };
    for (const auto &c : cases)
        EXPECT_EQ(NetService_BindCallback(c.svc, c.number, c.h, c.first, c.last), c.result) << c.number << " " << c.first;
    NetService_ServiceShutdown(&svc);
    EXPECT_EQ(svc, 0u);
    NetService_ServiceShutdown(&svc);
    NetService_ServiceShutdown(nullptr);
}

TEST(Services, ABusyEndpointDoesNotStopTheService)
{
    ASSERT_TRUE(zuredu::SocketsReady());
    SOCKET busy = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(busy, reinterpret_cast<sockaddr *>(&a), sizeof a), 0);
    ASSERT_EQ(listen(busy, 1), 0);
    int len = sizeof a;
    getsockname(busy, reinterpret_cast<sockaddr *>(&a), &len);
    dadatest::TempDir dir;
    dadatest::UseHosts(dir.file("hosts.ini"), "TAKEN=127.0.0.1:" + std::to_string(ntohs(a.sin_port)) + "\r\n");
    SetEnvironmentVariableA("DADA_MACHINE", "TAKEN");
    const DWORD range[2] = {1, 2};
    DWORD port = 99, svc = NetService_ServiceStart(range, &port);
    SetEnvironmentVariableA("DADA_MACHINE", nullptr);
    EXPECT_NE(svc, 0u);
    EXPECT_EQ(port, 0u);
    EXPECT_EQ(NetService_Listen("TAKEN", nullptr), 0u);
    NetService_ServiceShutdown(&svc);
    closesocket(busy);
}

class SelfServing : public ::testing::Test {
protected:
    void SetUp() override
    {
        const DWORD range[2] = {1, 2};
        svc_ = NetService_ServiceStart(range, nullptr);
        ASSERT_NE(svc_, 0u);
        ASSERT_EQ(NetService_BindCallback(svc_, 2, Echo, 50, 60), 1u);
        port_ = NetService_Listen("SELF", "127.0.0.1:0");
        ASSERT_NE(port_, 0u);
        dadatest::UseHosts(dir_.file("hosts.ini"), "SELF=127.0.0.1:" + std::to_string(port_) + "\r\n");
        conn_ = NetService_Connect("SELF", 1);
        ASSERT_NE(conn_, 0u);
    }
    void TearDown() override
    {
        NetService_Disconnect(&conn_);
        NetService_ServiceShutdown(&svc_);
        ZUT_CorruptReplies(0, 0);
        ZUT_SetFailures(nullptr);
    }
    DWORD svc_ = 0, port_ = 0, conn_ = 0;
    dadatest::TempDir dir_;
};

TEST_F(SelfServing, ListensOnceAndKnowsItself)
{
    EXPECT_EQ(NetService_Listen("OTHER", "127.0.0.1:0"), port_) << "one endpoint per process";
    EXPECT_EQ(NetSession_GetConnectionType("SELF"), NETSESSION_LOCAL);
    DWORD port = 0;
    const DWORD range[2] = {5, 5};
    DWORD second = NetService_ServiceStart(range, &port);
    EXPECT_EQ(port, port_);
    NetService_ServiceShutdown(&second);
    ReplyBlock r;   // still listening while the first service runs
    EXPECT_EQ(NetService_SendPacket(conn_, 55, "hello", 5, &r.p, &r.length, 5000), NETSVC_OK);
}

TEST_F(SelfServing, CorruptsTheAskedNumberOfReplies)
{
    ZUT_CorruptReplies(2, 17);
    const std::string text(100, 'x');
    for (int i = 0; i < 4; ++i) {
        ReplyBlock small, big;
        ASSERT_EQ(NetService_SendPacket(conn_, 55, "12345678", 8, &small.p, &small.length, 5000), NETSVC_OK);
        EXPECT_EQ(std::memcmp(small.p, "12345678", 8), 0) << "replies under 17 bytes stay whole";
        ASSERT_EQ(NetService_SendPacket(conn_, 55, text.data(), 100, &big.p, &big.length, 5000), NETSVC_OK);
        ASSERT_EQ(big.length, 100u);
        EXPECT_EQ(std::memcmp(big.p, text.data(), 100) != 0, i < 2) << i;
    }
}

TEST_F(SelfServing, FailuresOnDemandAndTheTrace)
{
    ZUT_SetFailures("NetService_BeginUsingAPI#2,NetService_BindCallback");
    EXPECT_EQ(NetService_BeginUsingAPI(), 1u);
    EXPECT_EQ(NetService_BeginUsingAPI(), 0u);
    EXPECT_EQ(NetService_BeginUsingAPI(), 1u);
    EXPECT_EQ(NetService_BindCallback(svc_, 1, Echo, 1, 1), 0u);
    NetService_DoneUsingAPI();
    NetService_DoneUsingAPI();
    ZUT_SetFailures(nullptr);
    EXPECT_EQ(NetService_BindCallback(svc_, 1, Echo, 1, 1), 1u);
    std::string trace(ZUT_GetTrace(nullptr, 0) + 1, '\0');
    ZUT_GetTrace(trace.data(), static_cast<DWORD>(trace.size()));
    const char *tail = "NetService_BeginUsingAPI\nNetService_BeginUsingAPI\nNetService_BeginUsingAPI\n"
                       "NetService_BindCallback\nNetService_DoneUsingAPI\nNetService_DoneUsingAPI\n"
                       "NetService_BindCallback\n";
    EXPECT_NE(trace.find(tail), std::string::npos) << trace;
}

DWORD WINAPI SendSleepy(void *conn)
{
    ReplyBlock r;
    NetService_SendPacket(*static_cast<DWORD *>(conn), 55, "S", 1, &r.p, &r.length, 5000);
    return 0;
}

TEST_F(SelfServing, ShutdownWaitsForTheHandlerInProgress)
{
    InterlockedExchange(&g_handlerStarted, 0);
    InterlockedExchange(&g_handlerDone, 0);
    HANDLE t = CreateThread(nullptr, 0, SendSleepy, &conn_, 0, nullptr);
    // The shutdown must come while the handler runs: wait until it has begun.
    for (int waited = 0; !g_handlerStarted && waited < 10000; waited += 10) Sleep(10);
    ASSERT_EQ(g_handlerStarted, 1) << "the request never reached its handler";
    NetService_ServiceShutdown(&svc_);
    EXPECT_EQ(g_handlerDone, 1) << "the shutdown returned while its handler still ran";
    WaitForSingleObject(t, INFINITE);
    CloseHandle(t);
}

} // namespace
