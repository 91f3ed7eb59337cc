// Loads DADADA32.dll from its own folder (with whatever comm and RPC
// libraries lie beside it), tries one retrieve and unloads it again.
//   binding_probe TRACEFILE TEMPFOLDER
// Marks "probe:loaded", "probe:retrieve=STATUS" and "probe:unloading" are
// appended to the comm library's trace file, so the calls it records fall
// between them.  Exit code: 0 loaded, 1 the load failed, 2 bad use.
#include <windows.h>
#include <cstdio>
#include <string>

namespace {

std::string g_trace;

void Mark(const std::string &text)
{
    HANDLE f = CreateFileA(g_trace.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return;
    std::string line = "probe:" + text + "\n";
    DWORD done;
    WriteFile(f, line.data(), DWORD(line.size()), &done, nullptr);
    CloseHandle(f);
}

DWORD g_status = 0x12345678;
DWORD WINAPI OnDone(DWORD status)
{
    g_status = status;
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) return 2;
    g_trace = argv[1];
    const std::string local = std::string(argv[2]) + "\\probe.out";

    HMODULE dll = LoadLibraryA("DADADA32.dll");
    if (!dll) {
        Mark("load-failed");
        return 1;
    }
    Mark("loaded");
    using Retrieve = DWORD (WINAPI *)(LPCSTR, LPCSTR, DWORD, HANDLE, DWORD (WINAPI *)(DWORD));
    auto retrieve = reinterpret_cast<Retrieve>(GetProcAddress(dll, MAKEINTRESOURCEA(128)));
    HANDLE done = CreateSemaphoreA(nullptr, 0, 1, nullptr);
    if (retrieve && retrieve("\\\\NOSUCHMACHINE\\C\\file", local.c_str(), 1, done, OnDone))
        WaitForSingleObject(done, 30000);
    char text[64];
    std::snprintf(text, sizeof text, "retrieve=%08lX local=%d", static_cast<unsigned long>(g_status),
                  GetFileAttributesA(local.c_str()) != INVALID_FILE_ATTRIBUTES);
    Mark(text);
    Mark("unloading");
    FreeLibrary(dll);
    Mark("unloaded");
    return 0;
}
