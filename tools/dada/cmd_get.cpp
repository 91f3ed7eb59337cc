// dada get: fetch a file from another machine that runs the library, with
// a progress line while it arrives.
#include "command.h"
#include "dadada32.h"
#include "zuredu.h"

#include <cstdio>
#include <string>

namespace {

struct StatusName { DWORD status; const char *text; };
constexpr StatusName kStatusNames[] = {
    {XFER_E_NO_CONTEXT, "out of memory"},
    {XFER_E_NO_THREAD, "the worker thread could not be started"},
    {XFER_E_TARGET_EXISTS, "the local file exists (use --overwrite)"},
    {XFER_E_TARGET_CREATE, "the local file could not be created"},
    {XFER_E_NO_API, "the communication library is not available"},
    {XFER_E_NO_SERVER, "no server name in the remote name (\\\\SERVER\\C\\path)"},
    {XFER_E_NO_CONNECTION, "the server could not be reached"},
    {XFER_E_BAD_NAME, "the remote name is not a file on the server"},
    {XFER_E_BAD_REPLY, "the server's replies were not understood"},
    {XFER_E_BAD_CHECKSUM, "the data arrived damaged five times"},
    {XFER_E_WRITE, "the local file could not be written"},
    {XFER_E_BAD_REQUEST, "the server refused the request"},
    {XFER_E_NO_REPLY_MEMORY, "the server ran out of memory"},
    {XFER_E_OPEN, "the server could not open the file"},
    {XFER_E_SEEK, "the server could not position the file"},
    {XFER_E_READ, "the server could not read the file"},
    {XFER_E_NO_SEMAPHORE, "no semaphore"},
};

std::string Describe(DWORD status)
{
    for (const auto &n : kStatusNames)
        if (n.status == status) return n.text;
    char buf[32];
    std::snprintf(buf, sizeof buf, "failed with status 0x%08lX", static_cast<unsigned long>(status));
    return buf;
}

// Where the data land: LOCAL, or LOCAL\name when LOCAL is a folder.
std::string TargetPath(const std::string &remote, const std::string &local)
{
    DWORD attributes = GetFileAttributesA(local.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return local;
    std::string name = remote.substr(remote.find_last_of('\\') + 1);
    return local + (local.empty() || local.back() == '\\' ? "" : "\\") + name;
}

// Bytes of the local file so far, or -1 while there is none.
long long Received(const std::string &path)
{
    WIN32_FILE_ATTRIBUTE_DATA d;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &d)) return -1;
    return (static_cast<long long>(d.nFileSizeHigh) << 32) | d.nFileSizeLow;
}

DWORD g_status;   // the callback's report (the tool runs one retrieve)
DWORD WINAPI OnRetrieved(DWORD status)
{
    g_status = status;
    return 0;
}

struct SyncCall { std::string remote, local; DWORD overwrite, result, status; };
DWORD WINAPI RunSync(LPVOID p)
{
    auto *s = static_cast<SyncCall *>(p);
    s->result = FileRetrieve(s->remote.c_str(), s->local.c_str(), s->overwrite, nullptr, nullptr);
    s->status = s->result ? XFER_DONE : GetLastError();
    return 0;
}

// The failure of a retrieve in words.  Replies that stopped coming are
// told apart from ones that came garbled by trying the server again.
std::string Failure(const std::string &remote, DWORD status)
{
    if (status == XFER_E_BAD_REPLY) {
        const std::string server = remote.rfind("\\\\", 0) == 0 ? remote.substr(2, remote.find('\\', 2) - 2) : "";
        DWORD connection = server.empty() ? 0 : NetService_Connect(server.c_str(), 1);
        if (!connection) return remote + ": the connection to the server failed (it no longer answers)";
        NetService_Disconnect(&connection);
    }
    return remote + ": " + Describe(status);
}

// Waits for `done`, showing how much of the file has arrived: a line that
// is rewritten on a console, one line at the end otherwise.
void WaitWithProgress(HANDLE done, const std::string &target)
{
    DWORD mode;
    const bool console = GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
    long long shown = -1;
    while (WaitForSingleObject(done, 200) == WAIT_TIMEOUT) {
        const long long now = Received(target);
        if (console && now >= 0 && now != shown) {
            std::fprintf(stderr, "\rreceived %lld bytes", now);
            shown = now;
        }
    }
    // The file is gone again when the transfer failed.
    const long long last = Received(target);
    if (last >= 0) std::fprintf(stderr, "%sreceived %lld bytes\n", console ? "\r" : "", last);
    else if (shown >= 0) std::fprintf(stderr, "\n");
}

int RunGet(const dadatool::Args &args)
{
    dadatool::Options o;
    if (!o.parse(args, {}, {"overwrite", "async"})) return 2;
    if (o.positional().size() != 2) return dadatool::Usage("get needs \\\\SERVER\\C\\path\\file and LOCAL");
    const std::string &remote = o.positional()[0], &local = o.positional()[1];
    const std::string target = TargetPath(remote, local);
    const DWORD overwrite = o.has("overwrite") ? 1 : 0;

    if (o.has("async")) {
        // Asynchronous: the callback reports the status, then the semaphore.
        HANDLE done = CreateSemaphoreA(nullptr, 0, 1, nullptr);
        if (!done) return dadatool::Fail("no semaphore");
        g_status = XFER_DONE;
        if (FileRetrieve(remote.c_str(), local.c_str(), overwrite, done, OnRetrieved))
            WaitWithProgress(done, target);
        CloseHandle(done);
        if (g_status != XFER_DONE) return dadatool::Fail(Failure(remote, g_status));
    } else {
        // Synchronous: FileRetrieve waits; it runs on a thread of ours so
        // that this one can show the progress.
        SyncCall call{remote, local, overwrite, 0, XFER_DONE};
        HANDLE t = CreateThread(nullptr, 0, RunSync, &call, 0, nullptr);
        if (!t) return dadatool::Fail("no thread");
        WaitWithProgress(t, target);
        CloseHandle(t);
        if (!call.result) return dadatool::Fail(Failure(remote, call.status));
    }
    std::printf("%s -> %s\n", remote.c_str(), target.c_str());
    return 0;
}

dadatool::Register reg{{"get", "get \\\\SERVER\\C\\path\\file LOCAL [--overwrite] [--async]", RunGet}};

} // namespace
