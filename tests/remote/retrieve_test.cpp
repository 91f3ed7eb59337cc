// FileRetrieve end to end against `dada serve` processes; the binding of the
// comm and RPC libraries at load and unload, one process and folder of
// libraries per scenario.
#include <gtest/gtest.h>
#include "dadada32.h"
#include "machine.h"
#include "zuredu.h"
#include <atomic>
#include <thread>

using namespace dadatest;

namespace {

// The calls of `procedure` since the comm library's trace (the procedures
// called, one a line) was `mark` long.
unsigned Calls(DWORD mark, const std::string &procedure)
{
    std::string trace(ZUT_GetTrace(nullptr, 0) + 1, '\0');
    trace.resize(ZUT_GetTrace(trace.data(), DWORD(trace.size())));
    const std::string text = "\n" + trace.substr(mark), line = "\n" + procedure + "\n";
    unsigned n = 0;
    for (size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1)) ++n;
    return n;
}

constexpr DWORD kUnreported = 0x12345678;
std::atomic<DWORD> g_status, g_calls;
HANDLE g_reported = CreateEventA(nullptr, FALSE, FALSE, nullptr);
DWORD WINAPI Record(DWORD status)
{
    g_status = status;
    ++g_calls;
    SetEvent(g_reported);
    return 0;
}

// \\MACHINE\C\... for a local path C:\...
std::string Remote(const std::string &path, const char *machine = "SERVER")
{
    return "\\\\" + std::string(machine) + "\\" + path.substr(0, 1) + path.substr(2);
}

class Retrieve : public ::testing::Test {
protected:
    static void SetUpTestSuite() { server_ = new Machine("SERVER", {"dada.exe", "serve"}); }
    static void TearDownTestSuite() { delete server_; }
    void SetUp() override
    {
        ASSERT_TRUE(server_->running());
        server_->useHosts();
        ZUT_CorruptReplies(0, 17);
    }
    // The status reported; `semaphore`: its starting count, -1 none, from 10 up the call waits.
    DWORD Fetch(const std::string &remote, const std::string &local, DWORD overwrite = 0, LONG semaphore = 0,
                bool callback = true)
    {
        HANDLE sem = semaphore < 0 ? nullptr : CreateSemaphoreA(nullptr, semaphore, 20, nullptr);
        g_status = kUnreported;
        g_calls = 0;
        ResetEvent(g_reported);
        FileRetrieve(remote.c_str(), local.c_str(), overwrite, sem, callback ? Record : nullptr);
        if (semaphore < 10) EXPECT_EQ(WaitForSingleObject(sem ? sem : g_reported, 60000), WAIT_OBJECT_0);
        if (sem) {
            LONG previous = -1;
            ReleaseSemaphore(sem, 1, &previous);   // learn the count that is left
            EXPECT_EQ(previous, semaphore < 10 ? 0 : semaphore - 10);
            CloseHandle(sem);
        }
        EXPECT_EQ(g_calls.load(), callback ? 1u : 0u);
        return g_status;
    }
    static inline Machine *server_;
    TempDir dir_;
};

// Sizes, remote names and local targets, each way of learning the end, and
// damaged replies asked for again up to five times.
TEST_F(Retrieve, SizesNamesTargetsAndDamagedReplies)
{
    const std::string src = dir_.file("src"), dst = dir_.file("dst"), folder = dir_.file("in");
    const std::string drive = src.substr(0, 1), rest = src.substr(2);
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    struct {   // remote, local: empty for the source's network name and dst
        size_t size;
        DWORD status, damaged = 0, how = 0;
        LONG semaphore = 0;
        bool callback = true;
        std::string remote = "", local = "";
        DWORD overwrite = 1, existing = 0;
        unsigned disconnects = 1;
    } cases[] = {
        {.size = 0, .status = XFER_DONE},
        {.size = 16384, .status = XFER_DONE},
        {.size = 16385, .status = XFER_DONE, .semaphore = -1},
        {.size = 3 * 1024 * 1024 + 7, .status = kUnreported, .callback = false},
        {.size = 40000, .status = kUnreported, .semaphore = 12, .callback = false},
        {.size = 50000, .status = XFER_DONE, .damaged = 4},
        {.size = 50000, .status = XFER_E_BAD_CHECKSUM, .damaged = 5},
        {.size = 50000, .status = XFER_E_BAD_REPLY, .damaged = 5, .how = ZUT_DAMAGE_SHORTEN},       // a byte cut off
        {.size = 50000, .status = XFER_E_BAD_REPLY, .damaged = 5, .how = ZUT_DAMAGE_SECOND_WORD},   // the handle bent
        {.size = 5000, .status = XFER_DONE, .remote = "\\\\server\\" + drive + ":" + rest},
        {.size = 5000, .status = XFER_E_NO_SERVER, .remote = src, .disconnects = 0},
        {.size = 5000, .status = XFER_E_BAD_NAME, .remote = "\\\\SERVER"},   // connected, then no file part
        {.size = 5000, .status = XFER_E_OPEN, .remote = "\\\\SERVER\\" + drive + "$" + rest},
        {.size = 5000, .status = XFER_E_TARGET_EXISTS, .overwrite = 0, .existing = FILE_ATTRIBUTE_NORMAL, .disconnects = 0},
        {.size = 5000, .status = XFER_E_TARGET_EXISTS, .existing = FILE_ATTRIBUTE_HIDDEN, .disconnects = 0},
        {.size = 5000, .status = XFER_E_TARGET_CREATE, .local = dir_.file("nosuchfolder\\x"), .disconnects = 0},
        {.size = 5000, .status = XFER_DONE, .local = folder + "\\", .overwrite = 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(&c - cases);
        const std::string data = Pattern(c.size, unsigned(c.size)), local = c.local.empty() ? dst : c.local;
        ASSERT_TRUE(WriteFileBytes(src, data));
        DeleteFileA(dst.c_str());
        if (c.existing) ASSERT_TRUE(WriteFileBytes(dst, "old"));
        SetFileAttributesA(dst.c_str(), c.existing);
        const DWORD mark = ZUT_GetTrace(nullptr, 0);
        ZUT_CorruptReplies(c.damaged, 17 | c.how);
        EXPECT_EQ(Fetch(c.remote.empty() ? Remote(src) : c.remote, local, c.overwrite, c.semaphore, c.callback), c.status);
        ZUT_CorruptReplies(0, 17);
        SetFileAttributesA(dst.c_str(), FILE_ATTRIBUTE_NORMAL);
        const bool done = !XFER_FAILED(c.status);
        const std::string landed = local == dst ? dst : folder + "\\src";
        EXPECT_EQ(ReadFileBytes(landed), done ? data : c.existing ? "old" : "");
        EXPECT_EQ(FileExists(landed), done || c.existing);
        if (done || c.damaged)
            EXPECT_EQ(Calls(mark, "NetService_SendPacket"), 2 + (done ? (c.size + 16383) / 16384 + c.damaged : 5));
        EXPECT_EQ(Calls(mark, "NetService_Disconnect"), c.disconnects);
        EXPECT_EQ(Calls(mark, "NetService_BeginUsingAPI"), Calls(mark, "NetService_DoneUsingAPI"));
    }
}

// A server killed mid-transfer: the retrieve fails and leaves no partial file.
TEST_F(Retrieve, ServerKilledMidTransfer)
{
    Machine victim("VICTIM", {"dada.exe", "serve"});   // its own, so the other tests keep theirs
    ASSERT_TRUE(victim.running());
    victim.useHosts();
    const std::string src = dir_.file("big"), dst = dir_.file("dst");
    ASSERT_TRUE(WriteFileBytes(src, Pattern(32u << 20)));
    HANDLE done = CreateSemaphoreA(nullptr, 0, 1, nullptr);
    ASSERT_EQ(FileRetrieve(Remote(src, "VICTIM").c_str(), dst.c_str(), 0, done, Record), 1u);
    WIN32_FILE_ATTRIBUTE_DATA d;   // killed once the first chunk is written
    for (int i = 0; i < 2000; ++i) {
        if (GetFileAttributesExA(dst.c_str(), GetFileExInfoStandard, &d) && d.nFileSizeLow > 0) break;
        Sleep(5);
    }
    victim.kill();
    EXPECT_EQ(WaitForSingleObject(done, 120000), WAIT_OBJECT_0);
    CloseHandle(done);
    EXPECT_TRUE(XFER_FAILED(g_status.load())) << std::hex << g_status.load();
    EXPECT_FALSE(FileExists(dst));
}

// Four `dada get` processes at once, two waiting and two not: each exits 0 with the whole file.
TEST_F(Retrieve, ManyGetProcessesNoCrash)
{
    const std::string source = dir_.file("source.bin"), data(300000, 'q');
    ASSERT_TRUE(WriteFileBytes(source, data));
    std::vector<std::thread> runs;
    std::vector<int> codes(4);
    for (int k = 0; k < 4; ++k)
        runs.emplace_back([&, k] {
            const std::string out = dir_.file("out" + std::to_string(k) + ".bin");
            const std::string mode = k % 2 ? " --async" : "";
            codes[k] = RunProgram("dada.exe get \"" + Remote(source) + "\" \"" + out + "\" --overwrite" + mode, nullptr);
            if (codes[k] == 0 && ReadFileBytes(out) != data) codes[k] = -2;
        });
    for (auto &t : runs) t.join();
    EXPECT_EQ(codes, std::vector<int>(4, 0));
}

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
