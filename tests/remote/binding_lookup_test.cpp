// Procedure look-up by name, with the binding run in this process against
// the comm and RPC libraries beside the test program.
#include <gtest/gtest.h>
#include "REMOTE/binding.h"

TEST(BindingLookup, ExactNamesWhileBound)
{
    ASSERT_TRUE(dada::BindRemoteServices());
    struct { const char *name; int comm, rpc; } cases[] = {
        {"NetService_AllServicesStarted", 0, -1}, {"NetService_Connect", 3, -1},
        {"NetSession_GetConnectionType", 9, -1},  {"RPC_SendCall", -1, 0},
        {"netservice_connect", -1, -1},           {"NetService_Connect ", -1, -1},
        {"NetService_Listen", -1, -1},            // exported, but not one of ours
        {"", -1, -1},                             {nullptr, -1, -1},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(dada::FindCommProcedure(c.name), c.comm) << (c.name ? c.name : "null");
        EXPECT_EQ(dada::FindRpcProcedure(c.name), c.rpc) << (c.name ? c.name : "null");
    }
    dada::UnbindRemoteServices();   // unloaded: every wrapper gives its unbound result
    EXPECT_EQ(dada::FindCommProcedure("NetService_Connect"), -1);
    EXPECT_EQ(dada::FindRpcProcedure("RPC_SendCall"), -1);
    DWORD connection = 5, length = 0;
    void *reply = nullptr;
    EXPECT_EQ(dada::NetService_SendPacket(connection, 4097, "", 0, &reply, &length, 2000), 1u);
    EXPECT_EQ(dada::NetService_Connect("SERVER", 1), 0u);
    EXPECT_EQ(dada::NetSession_GetConnectionType("SERVER"), 0u);
    EXPECT_EQ(dada::RPC_SendCall(nullptr), 0u);
    EXPECT_EQ(dada::NetService_BeginUsingAPI(), 0u);
    dada::NetService_Disconnect(&connection);
    EXPECT_EQ(connection, 5u);
}
