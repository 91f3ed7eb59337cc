// dada notify / connect / pick-folder / pick-file: the library's small
// dialogs.  Each prints its answer; exit code 0 when the user accepted, 1
// when the user cancelled (or it failed), 2 for a usage error.
//
// The pickers' --no-shell shows the road a system without the shell takes:
// the library's SHGetMalloc then answers failure, so the file-open dialog
// is used.
#include "command.h"
#include "dadada32.h"
#include "dada_res.h"
#include "testkit/importpatch.h"
#include <objidl.h>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

using dadatool::Args;

int RunNotify(const Args &args)
{
    dadatool::Options o;
    if (!o.parse(args, {"value"}, {"question"})) return 2;
    if (!o.positional().empty()) return dadatool::Usage("notify takes no arguments");
    unsigned long value = 0;
    if (o.has("value") && !o.getNumber("value", value)) return 2;
    const bool question = o.has("question");
    NotifyRequest r{};
    r.insertValue = value;
    r.messageId = question ? IDS_DADA_QUESTION : (o.has("value") ? IDS_DADA_FOUND : IDS_DADA_CLEAN);
    r.yesId = question ? IDS_DADA_STOP : 0;
    r.noId = question ? IDS_DADA_GO_ON : 0;
    r.titleId = IDS_DADA_TITLE;
    r.iconId = IDI_DADA;
    const int answer = NotifyUser(&r);
    if (answer < 0) return dadatool::Fail("the dialog could not be shown");
    std::printf("%s\n", answer == 1 ? (question ? "yes" : "ok") : (question ? "no" : "cancel"));
    return answer == 1 ? 0 : 1;
}

// --delay MS: the library's registry connection first waits MS
// milliseconds, to watch the wait dialog on a network that answers at once.
DWORD g_delayMs;
using ConnectFn = LONG(WINAPI *)(LPCSTR, HKEY, PHKEY);
ConnectFn g_connect;

LONG WINAPI DelayedConnect(LPCSTR computer, HKEY root, PHKEY key)
{
    Sleep(g_delayMs);
    return g_connect(computer, root, key);
}

int RunConnect(const Args &args)
{
    dadatool::Options o;
    if (!o.parse(args, {"delay"}, {})) return 2;
    if (o.positional().size() != 1) return dadatool::Usage("connect needs COMPUTER");
    unsigned long delay = 0;
    if (o.has("delay") && !o.getNumber("delay", delay)) return 2;
    g_delayMs = delay;
    std::unique_ptr<testkit::ImportPatch> slow;
    if (delay) {
        slow = std::make_unique<testkit::ImportPatch>("RegConnectRegistryA", reinterpret_cast<void *>(&DelayedConnect));
        g_connect = slow->original<ConnectFn>();
    }
    const std::string &computer = o.positional()[0];
    HKEY key = nullptr;
    switch (ConnectComputer(nullptr, &key, computer.c_str())) {
    case CONNECT_OK: {
        DWORD subkeys = 0;
        RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr, nullptr);
        RegCloseKey(key);
        std::printf("connected to %s: HKEY_LOCAL_MACHINE has %lu keys\n", computer.c_str(), subkeys);
        return 0;
    }
    case CONNECT_CANCELLED:
        std::printf("cancelled\n");
        return 1;
    case CONNECT_FAILED:
        return dadatool::Fail("could not connect to " + computer);
    default:
        return dadatool::Fail("the dialog could not be shown");
    }
}

HRESULT WINAPI NoShellAllocator(IMalloc **allocator)
{
    *allocator = nullptr;
    return E_FAIL;
}

std::unique_ptr<testkit::ImportPatch> ShellRoad(const dadatool::Options &o)
{
    if (!o.has("no-shell")) return nullptr;
    return std::make_unique<testkit::ImportPatch>("SHGetMalloc", reinterpret_cast<void *>(&NoShellAllocator));
}

int Picked(BOOL chosen, const char *path)
{
    if (!chosen) {
        std::printf("cancelled\n");
        return 1;
    }
    std::printf("%s\n", path);
    return 0;
}

int RunPickFolder(const Args &args)
{
    dadatool::Options o;
    if (!o.parse(args, {}, {"no-shell"})) return 2;
    if (!o.positional().empty()) return dadatool::Usage("pick-folder takes no arguments");
    auto road = ShellRoad(o);
    char path[MAX_PATH + 1] = "";
    return Picked(FolderBrowseDialog(nullptr, path, MAX_PATH, IDS_DADA_PICK_FOLDER), path);
}

int RunPickFile(const Args &args)
{
    dadatool::Options o;
    if (!o.parse(args, {"pattern", "initial"}, {"folder", "files-only", "no-shell"})) return 2;
    if (!o.positional().empty()) return dadatool::Usage("pick-file takes no arguments");
    auto road = ShellRoad(o);
    const std::string initial = o.get("initial"), pattern = o.get("pattern");
    if (initial.size() >= MAX_PATH) return dadatool::Usage("--initial is longer than a path");
    char path[MAX_PATH + 1] = "";
    std::memcpy(path, initial.c_str(), initial.size() + 1);
    RemoteBrowseInfo info{};
    info.path = path;
    info.pathSize = MAX_PATH;
    info.mode = o.has("folder");
    info.titleId = IDS_DADA_PICK_FILE;
    info.promptId = IDS_DADA_PICK_PROMPT;
    info.pattern = o.has("pattern") ? pattern.c_str() : nullptr;
    info.filesOnly = o.has("files-only");
    return Picked(FileBrowseDialog(&info), path);
}

dadatool::Register notify{{"notify", "notify [--value N] [--question]", RunNotify}};
dadatool::Register connect{{"connect", "connect COMPUTER [--delay MS]", RunConnect}};
dadatool::Register pickFolder{{"pick-folder", "pick-folder [--no-shell]", RunPickFolder}};
dadatool::Register pickFile{{"pick-file", "pick-file [--folder] [--pattern P] [--files-only] [--initial PATH] [--no-shell]",
                             RunPickFile}};

} // namespace
