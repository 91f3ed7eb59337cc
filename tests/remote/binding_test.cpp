// Binding of the comm and RPC libraries at load and unload, each scenario
// in its own process with its own folder of libraries.
#include <gtest/gtest.h>
#include "dadada32.h"
#include "testutil.h"
#include <sstream>
#include <vector>

namespace {

struct Scenario {
    const char *name;
    const char *zuredu;     // variant folder under variants/, or null: absent
    bool zarov;
    const char *failures;   // DADA_ZUREDU_FAIL, or null
    int exitCode;           // 0 loaded, 1 refused
    const char *trace;      // the recorded calls, ';' between them
};

const std::string kLoadOk = "NetService_BeginUsingAPI;NetService_ServiceStart;NetService_BindCallback;"
                            "NetService_BindCallback;NetService_AllServicesStarted;probe:loaded;";
const std::string kRetrieveNoConnection = "NetService_BeginUsingAPI;NetService_Connect;"
                                          "NetService_DoneUsingAPI;probe:retrieve=A0000080 local=0;";
const std::string kUnloadStarted = "probe:unloading;NetService_ServiceShutdown;NetService_DoneUsingAPI;"
                                   "probe:unloaded;";
const std::string kUnbound = "probe:loaded;probe:retrieve=A0000060 local=0;probe:unloading;probe:unloaded;";

const std::string kBoth = kLoadOk + kRetrieveNoConnection + kUnloadStarted;
const std::string kNoRpc = "probe:loaded;" + kRetrieveNoConnection +
                           "probe:unloading;NetService_DoneUsingAPI;probe:unloaded;";

const Scenario kScenarios[] = {
    {"both", "zuredu-test", true, nullptr, 0, kBoth.c_str()},
    {"no-comm", nullptr, true, nullptr, 0, kUnbound.c_str()},
    {"comm-missing-procedure", "zuredu-missing", true, nullptr, 0, kUnbound.c_str()},
    {"no-rpc", "zuredu-test", false, nullptr, 0, kNoRpc.c_str()},
    {"begin-fails", "zuredu-test", true, "NetService_BeginUsingAPI", 1,
     "NetService_BeginUsingAPI;NetService_DoneUsingAPI;probe:load-failed;"},
    {"start-fails", "zuredu-test", true, "NetService_ServiceStart", 1,
     "NetService_BeginUsingAPI;NetService_ServiceStart;NetService_DoneUsingAPI;probe:load-failed;"},
    {"first-bind-fails", "zuredu-test", true, "NetService_BindCallback#1", 1,
     "NetService_BeginUsingAPI;NetService_ServiceStart;NetService_BindCallback;"
     "NetService_ServiceShutdown;NetService_DoneUsingAPI;probe:load-failed;"},
    {"second-bind-fails", "zuredu-test", true, "NetService_BindCallback#2", 1,
     "NetService_BeginUsingAPI;NetService_ServiceStart;NetService_BindCallback;NetService_BindCallback;"
     "NetService_ServiceShutdown;NetService_DoneUsingAPI;probe:load-failed;"},
};

bool Copy(const std::string &from, const std::string &folder, const std::string &name)
{
    return CopyFileA(from.c_str(), (folder + name).c_str(), FALSE) != 0;
}

std::string JoinLines(const std::string &text)
{
    std::istringstream in(text);
    std::string line, out;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) out += line + ";";
    }
    return out;
}

int RunProgram(const std::string &commandLine, const std::string &folder)
{
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si, &pi))
        return -1;
    DWORD code = 0xDEAD;
    if (WaitForSingleObject(pi.hProcess, 60000) == WAIT_OBJECT_0) GetExitCodeProcess(pi.hProcess, &code);
    else TerminateProcess(pi.hProcess, 9);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return int(code);
}

// Sets an environment variable for the length of a scope.
struct EnvSetting {
    std::string name;
    EnvSetting(const char *n, const char *value) : name(n) { SetEnvironmentVariableA(n, value); }
    ~EnvSetting() { SetEnvironmentVariableA(name.c_str(), nullptr); }
};

class Binding : public ::testing::TestWithParam<Scenario> {};

TEST_P(Binding, LoadAnswerAndCallOrder)
{
    const Scenario &s = GetParam();
    const std::string bin = dadatest::ProgramDir();
    const std::string folder = bin + "binding-" + s.name + "\\";
    dadatest::RemoveTree(folder);
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    ASSERT_TRUE(Copy(bin + "DADADA32.dll", folder, "DADADA32.dll"));
    ASSERT_TRUE(Copy(bin + "ZOREDO32.dll", folder, "ZOREDO32.dll"));
    ASSERT_TRUE(Copy(bin + "binding_probe.exe", folder, "binding_probe.exe"));
    if (s.zarov) {
        ASSERT_TRUE(Copy(bin + "ZAROV.dll", folder, "ZAROV.dll"));
    }
    // ZAROV imports ZUREDU: without a ZUREDU beside it, it cannot load either.
    if (s.zuredu) {
        ASSERT_TRUE(Copy(bin + "..\\variants\\" + s.zuredu + "\\ZUREDU.dll", folder, "ZUREDU.dll"));
    }

    dadatest::TempDir work;
    const std::string trace = work.file("trace.txt");
    EnvSetting traceVar("DADA_ZUREDU_TRACE", trace.c_str());
    EnvSetting failVar("DADA_ZUREDU_FAIL", s.failures);
    EnvSetting hostsVar("DADA_HOSTS", work.file("no-hosts.ini").c_str());
    EXPECT_EQ(RunProgram("\"" + folder + "binding_probe.exe\" \"" + trace + "\" \"" + work.path() + "\"", folder),
              s.exitCode);
    EXPECT_EQ(JoinLines(dadatest::ReadFileBytes(trace)), s.trace);
    dadatest::RemoveTree(folder);
}

INSTANTIATE_TEST_SUITE_P(Scenarios, Binding, ::testing::ValuesIn(kScenarios),
                         [](const auto &info) {
                             std::string n = info.param.name;
                             for (char &c : n) if (c == '-') c = '_';
                             return n;
                         });

} // namespace
