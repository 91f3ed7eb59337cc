// RemoteBrowse expanding one folder of 10 000 entries: on the remote-call
// road (a `dada serve` machine in another process, procedures 301 and 302
// over loopback, the folder in batches) against the file-system road on the
// same folder, in the same run.  The dialog runs on a thread of its own; the
// expansion is a "+" key sent to the tree, timed until the tree has read
// the folder.
//   bench_browse [ENTRIES]   (prints both times and the ratio)
#include "bench_clock.h"
#include "dadada32.h"
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int kDefaultEntries = 10000;
int kEntries = kDefaultEntries;
constexpr int kRounds = 1;   // a 10 000-entry expansion takes a minute or more under wine

std::string ProgramDir()
{
    char buf[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, buf, sizeof buf);
    std::string s(buf, n);
    return s.substr(0, s.find_last_of('\\') + 1);
}

HTREEITEM Next(HWND tree, HTREEITEM item, UINT relation)
{
    return reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
}

std::string Text(HWND tree, HTREEITEM item)
{
    char text[300] = {};
    TVITEMA t{};
    t.mask = TVIF_HANDLE | TVIF_TEXT;
    t.hItem = item;
    t.pszText = text;
    t.cchTextMax = sizeof text;
    SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&t));
    return text;
}

HTREEITEM Child(HWND tree, HTREEITEM parent, const std::string &name)
{
    for (HTREEITEM c = Next(tree, parent, TVGN_CHILD); c; c = Next(tree, c, TVGN_NEXT))
        if (Text(tree, c) == name) return c;
    return nullptr;
}

void Key(HWND tree, HTREEITEM item, WPARAM key)
{
    SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
    SendMessageA(tree, WM_KEYDOWN, key, 0);
}

DWORD WINAPI RunDialog(LPVOID info)
{
    return static_cast<DWORD>(RemoteBrowse(static_cast<RemoteBrowseInfo *>(info)));
}

BOOL CALLBACK FindBrowse(HWND w, LPARAM out)
{
    if (GetDlgItem(w, 1000)) *reinterpret_cast<HWND *>(out) = w;
    return TRUE;
}

// Seconds for each expansion of `folder` (path of item texts below the
// root) in a dialog on `server`; empty when the dialog or folder is missing.
std::vector<double> TimeExpansions(const char *server, const std::vector<std::string> &folder, size_t &items)
{
    char path[BROWSE_PATH_SIZE] = {};
    RemoteBrowseInfo info{};
    info.server = server;
    info.path = path;
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, RunDialog, &info, 0, &id);
    HWND dialog = nullptr;
    for (int i = 0; i < 3000 && !dialog; ++i) {
        Sleep(10);
        EnumThreadWindows(id, FindBrowse, reinterpret_cast<LPARAM>(&dialog));
    }
    std::vector<double> times;
    HWND tree = dialog ? GetDlgItem(dialog, 1000) : nullptr;
    HTREEITEM item = tree ? Next(tree, nullptr, TVGN_ROOT) : nullptr;
    for (size_t i = 0; item && i < folder.size(); ++i) {
        if (i) Key(tree, item, VK_ADD);
        item = Child(tree, item, folder[i]);
    }
    for (int round = 0; item && round < kRounds; ++round) {
        const double start = BenchNow();
        Key(tree, item, VK_ADD);
        times.push_back(BenchNow() - start);
        items = 0;
        for (HTREEITEM c = Next(tree, item, TVGN_CHILD); c; c = Next(tree, c, TVGN_NEXT)) ++items;
        Key(tree, item, VK_SUBTRACT);
    }
    if (dialog) PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    WaitForSingleObject(thread, 30000);
    CloseHandle(thread);
    return times;
}

} // namespace

int main(int argc, char **argv)
{
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    if (argc > 1) kEntries = std::max(1, std::atoi(argv[1]));
    const std::string base = "bench_browse_" + std::to_string(GetCurrentProcessId());
    const std::string root = "C:\\" + base, big = root + "\\big";
    CreateDirectoryA(root.c_str(), nullptr);
    CreateDirectoryA(big.c_str(), nullptr);
    for (int i = 0; i < kEntries; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "\\entry-%05d.dat", i);
        HANDLE f = CreateFileA((big + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
    }

    // The other machine: `dada serve` beside this program.
    const std::string portFile = root + "\\port", stopFile = root + "\\stop", hosts = root + "\\hosts.ini";
    std::string line = "\"" + ProgramDir() + "dada.exe\" serve --name BENCHSRV --listen 127.0.0.1:0 --port-file \"" +
                       portFile + "\" --stop-file \"" + stopFile + "\" --seconds 600";
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        std::fprintf(stderr, "bench_browse: cannot start dada serve\n");
        return 1;
    }
    unsigned long port = 0;
    for (int i = 0; i < 2000 && !port; ++i) {
        Sleep(10);
        if (FILE *f = std::fopen(portFile.c_str(), "rb")) {
            if (std::fscanf(f, "%lu", &port) != 1) port = 0;
            std::fclose(f);
        }
    }
    if (FILE *f = std::fopen(hosts.c_str(), "wb")) {
        std::fprintf(f, "[hosts]\r\nBENCHSRV=127.0.0.1:%lu\r\n", port);
        std::fclose(f);
    }
    SetEnvironmentVariableA("DADA_HOSTS", hosts.c_str());

    size_t localItems = 0, remoteItems = 0;
    const std::vector<std::string> folder{"C:\\", base, "big"};
    const std::vector<double> local = TimeExpansions(nullptr, folder, localItems);
    std::fprintf(stderr, "bench_browse: file-system road done (%zu items)\n", localItems);
    const std::vector<double> remote = TimeExpansions("BENCHSRV", folder, remoteItems);
    std::fprintf(stderr, "bench_browse: remote-call road done (%zu items)\n", remoteItems);

    if (FILE *f = std::fopen(stopFile.c_str(), "wb")) std::fclose(f);
    WaitForSingleObject(pi.hProcess, 10000);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    for (int i = 0; i < kEntries; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "\\entry-%05d.dat", i);
        DeleteFileA((big + name).c_str());
    }
    for (const std::string &f : {portFile, stopFile, hosts}) DeleteFileA(f.c_str());
    RemoveDirectoryA(big.c_str());
    RemoveDirectoryA(root.c_str());

    if (local.empty() || remote.empty() || localItems != size_t(kEntries) || remoteItems != size_t(kEntries)) {
        std::fprintf(stderr, "bench_browse: the folder did not list (%zu local, %zu remote items)\n", localItems, remoteItems);
        return 1;
    }
    const double l = *std::min_element(local.begin(), local.end());
    const double r = *std::min_element(remote.begin(), remote.end());
    std::printf("expanding a folder of %d entries in the browse dialog (best of %d)\n", kEntries, kRounds);
    std::printf("  file-system road  %8.3f s\n", l);
    std::printf("  remote-call road  %8.3f s   (another process, batches over loopback)\n", r);
    std::printf("  ratio remote / file system: %.2f\n", r / l);
    std::printf("ratio RemoteBrowseExpand%d %.2f 1.5 max\n", kEntries, r / l);
    return 0;
}
