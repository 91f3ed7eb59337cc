// FileRetrieve of a 64 MB file from another process (a `dada serve`
// machine over loopback) against a plain socket client and server doing
// the same exchange: 16-byte requests, replies of a 16-byte header and at
// most 16 KB of file data, written to a local file.
//   bench_retrieve            (runs both, prints MB/s and the ratio)
// The last line is "ratio NAME VALUE" for bench/run.
//   bench_retrieve --plain-server FILE PORTFILE    (internal: the plain server)
#include "bench_clock.h"
#include "dadada32.h"
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
constexpr int kRounds = 5;   // interleaved; the best of each side counts (the machine is shared)

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
    HANDLE out = CreateFileA(local.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    std::vector<char> reply(16 + kChunk);
    for (DWORD offset = 0; offset < kSize;) {
        DWORD count = std::min(kSize - offset, kChunk);
        DWORD req[4] = {XFER_REQ_READ, 1, offset, count};
        if (!SendAll(s, reinterpret_cast<char *>(req), sizeof req) || !RecvAll(s, reply.data(), int(16 + count)))
            return 0;
        DWORD written = 0;
        WriteFile(out, reply.data() + 16, count, &written, nullptr);
        offset += count;
    }
    CloseHandle(out);
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

    std::vector<double> lib, raw;
    for (int r = 0; r < kRounds; ++r) {
        lib.push_back(LibraryRun(remote, local));
        raw.push_back(PlainClient(plainPort, local));
    }
    Stop(server);
    Stop(plain);
    DeleteFileA(data.c_str());
    DeleteFileA(local.c_str());
    DeleteFileA(libPortFile.c_str());
    DeleteFileA(plainPortFile.c_str());
    DeleteFileA(hosts.c_str());

    const double l = *std::max_element(lib.begin(), lib.end()), p = *std::max_element(raw.begin(), raw.end());
    std::printf("64 MB over loopback, 16 KB per exchange, best of %d interleaved rounds\n", kRounds);
    std::printf("  FileRetrieve (dada serve)    %8.1f MB/s\n", l);
    std::printf("  plain socket client/server   %8.1f MB/s\n", p);
    std::printf("  ratio library/plain          %8.2f\n", p > 0 ? l / p : 0.0);
    std::printf("ratio FileRetrieve %.3f 0.9 min\n", p > 0 ? l / p : 0.0);
    return l > 0 && p > 0 ? 0 : 1;
}
