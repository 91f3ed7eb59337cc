// Binding of the comm and RPC libraries at load and unload, one process and
// folder of libraries per scenario.
#include <gtest/gtest.h>
#include "machine.h"

namespace {

struct Scenario {
    const char *name;
    const char *zuredu;     // variant folder under variants/
    bool zarov;             // (it imports ZUREDU: without one beside it, it cannot load either)
    const char *failures;   // DADA_ZUREDU_FAIL, or null
    int exitCode;           // 0 loaded, 1 refused
    std::string trace;      // the recorded calls, ';' after each
};

const std::string kBegin = "NetService_BeginUsingAPI;", kDone = "NetService_DoneUsingAPI;",
                  kStart = "NetService_ServiceStart;", kBind = "NetService_BindCallback;",
                  kShutdown = "NetService_ServiceShutdown;", kFailed = "probe:load-failed;",
                  kRetrieve = kBegin + "NetService_Connect;" + kDone + "probe:retrieve=A0000080 local=0;",
                  kUnbound = "probe:loaded;probe:retrieve=A0000060 local=0;probe:unloading;probe:unloaded;";

const Scenario kScenarios[] = {
    {"both", "zuredu-test", true, nullptr, 0,
     kBegin + kStart + kBind + kBind + "NetService_AllServicesStarted;probe:loaded;" + kRetrieve +
         "probe:unloading;" + kShutdown + kDone + "probe:unloaded;"},
    {"comm_missing_procedure", "zuredu-missing", true, nullptr, 0, kUnbound},
    {"no_rpc", "zuredu-test", false, nullptr, 0,
     "probe:loaded;" + kRetrieve + "probe:unloading;" + kDone + "probe:unloaded;"},
    {"second_bind_fails", "zuredu-test", true, "NetService_BindCallback#2", 1,
     kBegin + kStart + kBind + kBind + kShutdown + kDone + kFailed},
};

class Binding : public ::testing::TestWithParam<Scenario> {};

TEST_P(Binding, LoadAnswerAndCallOrder)
{
    const Scenario &s = GetParam();
    const std::string bin = dadatest::ProgramDir(), folder = bin + "binding-" + s.name + "\\";
    dadatest::RemoveTree(folder);
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    std::vector<std::string> files = {"DADADA32.dll", "ZOREDO32.dll", "binding_probe.exe"};
    if (s.zarov) files.push_back("ZAROV.dll");
    for (const auto &f : files) ASSERT_TRUE(CopyFileA((bin + f).c_str(), (folder + f).c_str(), FALSE)) << f;
    const std::string comm = bin + "..\\variants\\" + s.zuredu + "\\ZUREDU.dll";
    ASSERT_TRUE(CopyFileA(comm.c_str(), (folder + "ZUREDU.dll").c_str(), FALSE));

    dadatest::TempDir work;
    const std::string trace = work.file("trace.txt");
    SetEnvironmentVariableA("DADA_ZUREDU_TRACE", trace.c_str());
    SetEnvironmentVariableA("DADA_ZUREDU_FAIL", s.failures);
    SetEnvironmentVariableA("DADA_HOSTS", work.file("no-hosts.ini").c_str());
    EXPECT_EQ(dadatest::RunProgram("\"" + folder + "binding_probe.exe\" \"" + trace + "\" \"" + work.path() + "\"",
                                   folder.c_str()), s.exitCode);
    for (const char *v : {"DADA_ZUREDU_TRACE", "DADA_ZUREDU_FAIL", "DADA_HOSTS"}) SetEnvironmentVariableA(v, nullptr);
    std::string calls;
    for (char ch : dadatest::ReadFileBytes(trace))
        if (ch != '\r') calls += ch == '\n' ? ';' : ch;
    EXPECT_EQ(calls, s.trace);
    dadatest::RemoveTree(folder);
}

INSTANTIATE_TEST_SUITE_P(Scenarios, Binding, ::testing::ValuesIn(kScenarios),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
