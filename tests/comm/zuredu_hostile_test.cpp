// Hostile peers against a serving process that holds a network secret: raw
// sockets that skip, fake or botch the handshake never reach a handler, and
// while hundreds of idle or trickling connections are held a real client
// still gets its replies.
#include "auth.h"
#include "bounds.h"
#include "machine.h"
#include "peer_protocol.h"
#include "wire.h"
#include "zuredu.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

using dadatest::Machine;
using dadatest::ReplyBlock;
namespace z = zuredu;

namespace {

constexpr char kSecret[] = "the hostile test's network secret";

class Hostile : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        WSADATA wsa;
        WSAStartup(MAKEWORD(2, 2), &wsa);
        SetEnvironmentVariableA("DADA_SECRET", kSecret);   // inherited by the machine
        beta_ = new Machine("BETA", {"zuredu_peer.exe"});
    }
    static void TearDownTestSuite()
    {
        delete beta_;
        SetEnvironmentVariableA("DADA_SECRET", nullptr);
        WSACleanup();
    }
    void SetUp() override
    {
        ASSERT_TRUE(beta_->running());
        beta_->useHosts();
        SetEnvironmentVariableA("DADA_SECRET", kSecret);
    }

    // A raw connection to the machine; its reads give up after `ms`.
    static SOCKET Raw(DWORD ms = 3000)
    {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(static_cast<u_short>(beta_->port()));
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char *>(&ms), sizeof ms);
        return connect(s, reinterpret_cast<sockaddr *>(&to), sizeof to) == 0 ? s : (closesocket(s), INVALID_SOCKET);
    }
    static bool SendAll(SOCKET s, const void *p, size_t n)
    {
        return send(s, static_cast<const char *>(p), int(n), 0) == int(n);
    }
    static bool RecvAll(SOCKET s, BYTE *p, size_t n)
    {
        for (int got; n; p += got, n -= size_t(got))
            if ((got = recv(s, reinterpret_cast<char *>(p), int(n), 0)) <= 0) return false;
        return true;
    }
    // The handshake done by hand: hello (unless `skip`), then, when `key`
    // is given, the confirmation made with it whatever the server proved.
    static void Opening(SOCKET s, bool skip, const char *key)
    {
        if (skip) return;
        BYTE hello[8 + z::kNonceSize] = {'Z', 'D', 'U', 'A', 1, 0, 1, 0}, answer[8 + 2 * z::kNonceSize];
        for (size_t i = 8; i < sizeof hello; ++i) hello[i] = BYTE(i * 31);
        ASSERT_TRUE(SendAll(s, hello, sizeof hello));
        ASSERT_TRUE(RecvAll(s, answer, sizeof answer)) << "the server answers any hello";
        if (!key) return;
        BYTE confirm[8 + z::kProofSize] = {'Z', 'D', 'U', 'A', 1, 0, 3, 0};
        ASSERT_TRUE(z::Proof({key, true}, "ZUREDU client", hello + 8, answer + 8, confirm + 8));
        ASSERT_TRUE(SendAll(s, confirm, sizeof confirm));
    }
    // True when an echo request on `s` gets its reply.
    static bool Echoed(SOCKET s)
    {
        const DWORD body[2] = {peer::Echo, 0};
        const z::HeaderBytes head = z::EncodeHeader({z::Kind::Request, peer::kPeerPacketType, 1, 0, sizeof body});
        BYTE reply[z::kHeaderSize + sizeof body];
        return SendAll(s, head.data(), head.size()) && SendAll(s, body, sizeof body) &&
               RecvAll(s, reply, sizeof reply) && std::memcmp(reply + z::kHeaderSize, body, sizeof body) == 0;
    }
    static DWORD LibraryEcho()
    {
        DWORD conn = NetService_Connect("BETA", 1);
        if (!conn) return NETSVC_E_SEND;
        const DWORD body[2] = {peer::Echo, 0};
        ReplyBlock r;
        DWORD status = NetService_SendPacket(conn, peer::kPeerPacketType, body, sizeof body, &r.p, &r.length, 10000);
        NetService_Disconnect(&conn);
        return status;
    }
    static Machine *beta_;
};
Machine *Hostile::beta_ = nullptr;

TEST_F(Hostile, OnlyAPeerHoldingTheSecretIsServed)
{
    struct { const char *what; bool skip; const char *key; bool served; } cases[] = {
        {"a request with no handshake", true, nullptr, false},
        {"a request instead of the confirmation", false, nullptr, false},
        {"a confirmation with a wrong secret", false, "not the secret", false},
        {"a confirmation with the fixed key", false, "ZUREDU without a network secret", false},
        {"a confirmation with the secret", false, kSecret, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        SOCKET s = Raw();
        ASSERT_NE(s, INVALID_SOCKET);
        Opening(s, c.skip, c.key);
        EXPECT_EQ(Echoed(s), c.served);
        closesocket(s);
    }
}

TEST_F(Hostile, TheLibraryConnectsOnlyWithTheSameSecret)
{
    struct { const char *env, *file; DWORD status; } cases[] = {   // file: [network] secret= of the hosts file
        {"not the secret", nullptr, NETSVC_E_SEND}, {nullptr, nullptr, NETSVC_E_SEND}, {kSecret, nullptr, NETSVC_OK},
        {nullptr, kSecret, NETSVC_OK}, {nullptr, "not the secret", NETSVC_E_SEND},
        {kSecret, "not the secret", NETSVC_OK},   // the environment comes first
    };
    dadatest::TempDir dir;
    for (const auto &c : cases) {
        SetEnvironmentVariableA("DADA_SECRET", c.env);
        dadatest::UseHosts(dir.file("hosts.ini"), "BETA=127.0.0.1:" + std::to_string(beta_->port()) + "\r\n" +
                                                      (c.file ? "[network]\r\nsecret=" + std::string(c.file) + "\r\n" : ""));
        EXPECT_EQ(LibraryEcho(), c.status) << (c.env ? c.env : "none") << " / " << (c.file ? c.file : "none");
    }
}

// Idle and trickling connections, before and after the handshake: the
// server keeps at most its cap of them and a real client still gets in.
TEST_F(Hostile, HeldConnectionsDoNotShutOutARealClient)
{
    constexpr int kHeld = 200;
    std::vector<SOCKET> held;
    for (int i = 0; i < kHeld; ++i) {
        SOCKET s = Raw();
        ASSERT_NE(s, INVALID_SOCKET) << i;
        held.push_back(s);
        switch (i % 4) {
        case 0: break;                                      // idle from the start
        case 1: SendAll(s, "ZD", 2); break;                 // a hello that trickles
        case 2: Opening(s, false, kSecret); break;          // served, then idle
        case 3:                                             // served, then a frame that trickles
            Opening(s, false, kSecret);
            SendAll(s, "ZDUR\1", 5);
            break;
        }
        if (i % 50 == 49) EXPECT_EQ(LibraryEcho(), NETSVC_OK) << "with " << i + 1 << " held";
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
    EXPECT_GE(dropped, kHeld - int(z::kMaxConnectionsPerPeer));
    EXPECT_EQ(LibraryEcho(), NETSVC_OK);
}

// Random bytes, before the handshake and as frames after it (some with our
// magic and version, some with an oversized length): refused, and the
// server still serves.
TEST_F(Hostile, GarbageOnTheWireDoesNotHurtTheServer)
{
    std::mt19937 rng(1234);
    const BYTE header[8] = {'Z', 'D', 'U', 'R', 1, 0, 1, 0};
    for (int round = 0; round < 300; ++round) {
        SOCKET s = Raw();
        ASSERT_NE(s, INVALID_SOCKET);
        if (round % 2) Opening(s, false, kSecret);
        std::vector<BYTE> junk(rng() % 200);
        for (BYTE &b : junk) b = static_cast<BYTE>(rng());
        if (round % 3 == 0 && junk.size() >= 24) {
            std::memcpy(junk.data(), header, 8);
            if (round % 6 == 3) junk[23] = 0x7F;
        }
        SendAll(s, junk.data(), junk.size());
        closesocket(s);
    }
    EXPECT_EQ(LibraryEcho(), NETSVC_OK);
}

} // namespace
