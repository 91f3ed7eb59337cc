// dada serve: this process becomes a machine that answers file-transfer
// requests (the library's handler, registered when it loads) and remote
// calls, until Ctrl-C, its stop file, or its time limit.
#include "command.h"
#include "dada/served_roots.h"
#include "zarov.h"
#include "zuredu.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

HANDLE g_stop;

BOOL WINAPI OnConsoleEvent(DWORD)
{
    SetEvent(g_stop);
    return TRUE;
}

bool WritePortFile(const std::string &path, DWORD port)
{
    std::string tmp = path + ".tmp";
    FILE *f = std::fopen(tmp.c_str(), "wb");
    if (!f) return false;
    std::fprintf(f, "%lu\n", static_cast<unsigned long>(port));
    std::fclose(f);
    return MoveFileExA(tmp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

int RunServe(const dadatool::Args &args)
{
    dadatool::Options o;
    if (!o.parse(args, {"name", "listen", "port-file", "stop-file", "seconds", "root"}, {})) return 2;
    if (!o.positional().empty()) return dadatool::Usage("serve takes no file names");
    unsigned long seconds = 0;
    if (o.has("seconds") && !o.getNumber("seconds", seconds)) return 2;
    std::string name = o.get("name"), listen = o.get("listen");

    // The served roots reach the library's file-transfer service through the
    // environment; every --root adds one folder.
    std::string roots;
    for (const auto &[option, root] : o.values()) {
        if (option != "root") continue;
        char full[MAX_PATH];
        const DWORD n = GetFullPathNameA(root.c_str(), sizeof full, full, nullptr);
        const DWORD attributes = n && n < sizeof full ? GetFileAttributesA(full) : INVALID_FILE_ATTRIBUTES;
        if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) || std::strchr(full, ';'))
            return dadatool::Fail("--root " + root + ": not a folder");
        roots += (roots.empty() ? "" : ";") + std::string(full);
    }
    if (!roots.empty()) SetEnvironmentVariableA(dada::kRootsVariable, roots.c_str());

    DWORD port = NetService_Listen(name.empty() ? nullptr : name.c_str(), listen.empty() ? nullptr : listen.c_str());
    if (!port)
        return dadatool::Fail("cannot listen as " + (name.empty() ? std::string("this computer") : name) +
                              (listen.empty() ? " (is it in the hosts file, is its port free?)" : " on " + listen));
    if (!RPC_ServerStart()) return dadatool::Fail("the remote-call service does not start");
    std::printf("serving %s on port %lu: file transfer and remote calls (Ctrl-C stops)\n",
                name.empty() ? "this computer" : name.c_str(), static_cast<unsigned long>(port));
    std::fflush(stdout);
    if (o.has("port-file") && !WritePortFile(o.get("port-file"), port))
        return dadatool::Fail("cannot write " + o.get("port-file"));

    g_stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
    std::string stopFile = o.get("stop-file");
    ULONGLONG end = seconds ? GetTickCount64() + seconds * 1000ull : 0;
    while (WaitForSingleObject(g_stop, 100) == WAIT_TIMEOUT) {
        if (!stopFile.empty() && GetFileAttributesA(stopFile.c_str()) != INVALID_FILE_ATTRIBUTES) break;
        if (end && GetTickCount64() >= end) break;
    }
    RPC_ServerStop();
    std::printf("stopped\n");
    return 0;
}

dadatool::Register reg{{"serve",
    "serve [--name NAME] [--listen ADDR:PORT] [--root FOLDER]... [--port-file F] [--stop-file F] [--seconds N]", RunServe}};

} // namespace
