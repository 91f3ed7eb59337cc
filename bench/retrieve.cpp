// FileRetrieve of a 64 MB file from another process (a `dada serve`
// machine over loopback) against a plain socket client and server doing
// the same exchange: 16-byte requests, replies of a 16-byte header and at
// most 16 KB of file data, written to a local file.
//   bench_retrieve            (runs all, prints MB/s and the ratios)
// Three more comparisons, for information, show where the time goes:
//   one CPU       the same pair with this process and both servers held to
//                 one processor (no wake-ups across processors);
//   split CPUs    this process held to one processor, both servers to
//                 another (each side's wake-ups always cross);
//   exchanges     the comm library's exchange with the transfer server
//                 alone (no checksum check, no worker thread, no kernel
//                 file library) against the plain exchange: once without
//                 a local file, once both writing each chunk with WriteFile.
// Lines "ratio NAME VALUE TARGET min" are for bench/run.
//   bench_retrieve --plain-server FILE PORTFILE    (internal: the plain server)
#include "bench_clock.h"
#include "dadada32.h"
#include "zuredu.h"
#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr DWORD kSize = 64u << 20;
constexpr DWORD kChunk = 16384;
constexpr int kRounds = 4;   // interleaved; the best of each side counts (the machine is shared)

std::string Temp(const std::string &name)
{
    return BenchTempPath("bench_retrieve_" + std::to_string(GetCurrentProcessId()) + "_" + name);
}

std::string ProgramDir()
{
    char buf[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, buf, sizeof buf);
    std::string s(buf, n);
    return s.substr(0, s.find_last_of('\\') + 1);
}

// Moves exactly n bytes through send or recv; false when the stream ends.
template <class Io> bool Exactly(Io io, SOCKET s, char *p, int n)
{
    while (n > 0) {
        int k = io(s, p, n, 0);
        if (k <= 0) return false;
        p += k;
        n -= k;
    }
    return true;
}
bool SendAll(SOCKET s, const char *p, int n)
{
    return Exactly([](SOCKET s, char *p, int n, int f) { return send(s, p, n, f); }, s, const_cast<char *>(p), n);
}
bool RecvAll(SOCKET s, char *p, int n) { return Exactly(recv, s, p, n); }

// Starts a process and waits for the port it writes into `portFile`.
HANDLE Start(const std::string &commandLine, const std::string &portFile, DWORD &port)
{
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return nullptr;
    CloseHandle(pi.hThread);
    port = 0;
    for (int i = 0; i < 1000 && !port; ++i) {
        if (FILE *f = std::fopen(portFile.c_str(), "rb")) {
            unsigned long p = 0;
            if (std::fscanf(f, "%lu\n", &p) == 1) port = p;
            std::fclose(f);
        }
        if (!port) Sleep(20);
    }
    return pi.hProcess;
}

void Stop(HANDLE process)
{
    TerminateProcess(process, 0);
    WaitForSingleObject(process, 10000);
    CloseHandle(process);
}

// The plain server: one client, requests {offset, count} answered with
// {offset, count, 0, 0} and the file's bytes.
int PlainServer(const char *file, const char *portFile)
{
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    SOCKET l = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(l, reinterpret_cast<sockaddr *>(&a), sizeof a) || listen(l, 1)) return 1;
    int len = sizeof a;
    getsockname(l, reinterpret_cast<sockaddr *>(&a), &len);
    if (FILE *f = std::fopen(portFile, "wb")) {
        std::fprintf(f, "%u\n", ntohs(a.sin_port));
        std::fclose(f);
    }
    HANDLE h = CreateFileA(file, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    std::vector<char> reply(16 + kChunk);
    for (;;) {
        SOCKET c = accept(l, nullptr, nullptr);
        if (c == INVALID_SOCKET) return 1;
        DWORD req[4];
        while (RecvAll(c, reinterpret_cast<char *>(req), sizeof req)) {
            DWORD count = std::min(req[3], kChunk), got = 0;
            SetFilePointer(h, LONG(req[2]), nullptr, FILE_BEGIN);
            ReadFile(h, reply.data() + 16, count, &got, nullptr);
            DWORD head[4] = {req[0], req[1], req[2] + got, 0};
            std::memcpy(reply.data(), head, sizeof head);
            if (!SendAll(c, reply.data(), int(16 + got))) break;
        }
        closesocket(c);
    }
}

// `local` empty: the replies are not written anywhere.
double PlainClient(DWORD port, const std::string &local)
{
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(u_short(port));
    BOOL one = TRUE;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char *>(&one), sizeof one);
    if (connect(s, reinterpret_cast<sockaddr *>(&a), sizeof a)) return 0;
    double t0 = BenchNow();
    HANDLE out = local.empty() ? INVALID_HANDLE_VALUE
                               : CreateFileA(local.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    std::vector<char> reply(16 + kChunk);
    for (DWORD offset = 0; offset < kSize;) {
        DWORD count = std::min(kSize - offset, kChunk);
        DWORD req[4] = {XFER_REQ_READ, 1, offset, count};
        if (!SendAll(s, reinterpret_cast<char *>(req), sizeof req) || !RecvAll(s, reply.data(), int(16 + count)))
            return 0;
        DWORD written = 0;
        if (out != INVALID_HANDLE_VALUE) WriteFile(out, reply.data() + 16, count, &written, nullptr);
        offset += count;
    }
    if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
    double t = BenchNow() - t0;
    closesocket(s);
    return kSize / t / 1048576.0;
}

double LibraryRun(const std::string &remote, const std::string &local)
{
    double t0 = BenchNow();
    DWORD ok = FileRetrieve(remote.c_str(), local.c_str(), 1, nullptr, nullptr);
    double t = BenchNow() - t0;
    return ok ? kSize / t / 1048576.0 : 0;
}

// One exchange through the comm library; the reply's field `field`, or 0.
// The data of a read reply goes to `out` when there is one.
DWORD Exchange(DWORD connection, const void *request, DWORD length, DWORD field = 1,
               HANDLE out = INVALID_HANDLE_VALUE)
{
    void *reply = nullptr;
    DWORD replyLength = 0, written = 0;
    DWORD status = NetService_SendPacket(connection, XFER_PACKET_TYPE, request, length, &reply, &replyLength, 2000);
    DWORD value = status == 0 && reply && replyLength >= 8 + 4 * field ? static_cast<DWORD *>(reply)[field] : 0;
    if (value && out != INVALID_HANDLE_VALUE)
        WriteFile(out, static_cast<BYTE *>(reply) + 16, replyLength - 16, &written, nullptr);
    if (reply) GlobalFree(GlobalHandle(reply));
    return value;
}

// The file `name` (as the transfer server names it) read in 16 KB exchanges,
// each chunk written to `local` unless that is empty.
double ExchangeRun(const std::string &name, const std::string &local)
{
    const double t0 = BenchNow();
    HANDLE out = local.empty() ? INVALID_HANDLE_VALUE
                               : CreateFileA(local.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD connection = NetService_BeginUsingAPI() ? NetService_Connect("BENCH", 1) : 0;
    std::string open(8, '\0');
    const DWORD head[2] = {XFER_REQ_OPEN, DWORD(name.size() + 1)};
    std::memcpy(open.data(), head, sizeof head);
    open += name + '\0';
    const DWORD handle = connection ? Exchange(connection, open.data(), DWORD(open.size())) : 0;
    bool ok = handle != 0;
    for (DWORD offset = 0; ok && offset < kSize; offset += kChunk) {
        const DWORD read[4] = {XFER_REQ_READ, handle, offset, kChunk};
        ok = Exchange(connection, read, sizeof read, 2, out) == offset + kChunk;   // the next offset
    }
    const DWORD close[2] = {XFER_REQ_CLOSE, handle};
    if (handle) Exchange(connection, close, sizeof close);
    if (connection) NetService_Disconnect(&connection);
    NetService_DoneUsingAPI();
    if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
    const double t = BenchNow() - t0;
    return ok ? kSize / t / 1048576.0 : 0;
}

enum class Cpus { Any, One, Split };

// Holds this process and the servers to processors: all to the lowest
// (One), this process to the lowest and the servers to the next (Split,
// where there are two), or lets them go (Any).
void HoldTo(Cpus cpus, std::initializer_list<HANDLE> servers)
{
    DWORD_PTR mine = 0, system = 0;
    GetProcessAffinityMask(GetCurrentProcess(), &mine, &system);
    const DWORD_PTR lowest = system & (~system + 1), next = (system & ~lowest) & (~(system & ~lowest) + 1);
    const DWORD_PTR client = cpus == Cpus::Any ? system : lowest;
    const DWORD_PTR server = cpus == Cpus::Any ? system : cpus == Cpus::Split && next ? next : lowest;
    SetProcessAffinityMask(GetCurrentProcess(), client);
    for (HANDLE h : servers) SetProcessAffinityMask(h, server);
}

struct Best {
    double library = 0, plain = 0;
    void add(double l, double p)
    {
        library = std::max(library, l);
        plain = std::max(plain, p);
    }
    double ratio() const { return plain > 0 ? library / plain : 0.0; }
};

} // namespace

int main(int argc, char **argv)
{
    if (argc == 4 && std::string(argv[1]) == "--plain-server") return PlainServer(argv[2], argv[3]);

    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    const std::string data = Temp("data.bin"), local = Temp("local.bin");
    {
        std::vector<char> block(1 << 20);
        for (size_t i = 0; i < block.size(); ++i) block[i] = char(i * 131 + (i >> 8));
        HANDLE h = CreateFileA(data.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD w;
        for (DWORD i = 0; i < kSize / block.size(); ++i) WriteFile(h, block.data(), DWORD(block.size()), &w, nullptr);
        CloseHandle(h);
    }

    // The machine BENCH: dada serve beside this program.
    DWORD libPort = 0, plainPort = 0;
    const std::string libPortFile = Temp("lib.port"), plainPortFile = Temp("plain.port"), hosts = Temp("hosts.ini");
    HANDLE server = Start("\"" + ProgramDir() + "dada.exe\" serve --name BENCH --listen 127.0.0.1:0 --port-file \"" +
                          libPortFile + "\"", libPortFile, libPort);
    HANDLE plain = Start("\"" + ProgramDir() + "bench_retrieve.exe\" --plain-server \"" + data + "\" \"" +
                         plainPortFile + "\"", plainPortFile, plainPort);
    if (!server || !plain || !libPort || !plainPort) {
        std::fprintf(stderr, "bench_retrieve: the servers did not start\n");
        return 1;
    }
    {
        FILE *f = std::fopen(hosts.c_str(), "wb");
        std::fprintf(f, "[hosts]\r\nBENCH=127.0.0.1:%lu\r\n", static_cast<unsigned long>(libPort));
        std::fclose(f);
        SetEnvironmentVariableA("DADA_HOSTS", hosts.c_str());
    }
    const std::string remote = "\\\\BENCH\\" + data.substr(0, 1) + data.substr(2);

    const std::string served = data.substr(0, 1) + data.substr(2);
    Best full, oneCpu, splitCpus, exchanges, exchangesWritten;
    for (int r = 0; r < kRounds; ++r) {
        full.add(LibraryRun(remote, local), PlainClient(plainPort, local));
        exchanges.add(ExchangeRun(served, ""), PlainClient(plainPort, ""));
        exchangesWritten.add(ExchangeRun(served, local), PlainClient(plainPort, local));
        HoldTo(Cpus::One, {server, plain});
        oneCpu.add(LibraryRun(remote, local), PlainClient(plainPort, local));
        HoldTo(Cpus::Split, {server, plain});
        splitCpus.add(LibraryRun(remote, local), PlainClient(plainPort, local));
        HoldTo(Cpus::Any, {server, plain});
    }
    Stop(server);
    Stop(plain);
    DeleteFileA(data.c_str());
    DeleteFileA(local.c_str());
    DeleteFileA(libPortFile.c_str());
    DeleteFileA(plainPortFile.c_str());
    DeleteFileA(hosts.c_str());

    std::printf("64 MB over loopback, 16 KB per exchange, best of %d interleaved rounds (MB/s)\n", kRounds);
    std::printf("                                 library    plain   ratio\n");
    std::printf("  FileRetrieve                  %8.1f %8.1f %7.2f\n", full.library, full.plain, full.ratio());
    std::printf("  FileRetrieve, one CPU         %8.1f %8.1f %7.2f\n", oneCpu.library, oneCpu.plain, oneCpu.ratio());
    std::printf("  FileRetrieve, split CPUs      %8.1f %8.1f %7.2f\n", splitCpus.library, splitCpus.plain,
                splitCpus.ratio());
    std::printf("  exchanges only, no local file %8.1f %8.1f %7.2f\n", exchanges.library, exchanges.plain,
                exchanges.ratio());
    std::printf("  exchanges only, WriteFile     %8.1f %8.1f %7.2f\n", exchangesWritten.library,
                exchangesWritten.plain, exchangesWritten.ratio());
    std::printf("ratio FileRetrieve %.3f 0.9 min\n", full.ratio());
    std::printf("ratio FileRetrieveOneCpu %.3f - min\n", oneCpu.ratio());
    std::printf("ratio FileRetrieveSplitCpus %.3f - min\n", splitCpus.ratio());
    std::printf("ratio RetrieveExchangesOnly %.3f - min\n", exchanges.ratio());
    std::printf("ratio RetrieveExchangesWriteFile %.3f - min\n", exchangesWritten.ratio());
    return full.library > 0 && full.plain > 0 && exchanges.library > 0 ? 0 : 1;
}
