// binding_probe TRACEFILE TEMPFOLDER: loads DADADA32.dll, retrieves once and
// unloads, marking each step in the comm library's trace; exit 1: no load.
#include <windows.h>
#include <cstdio>
#include <string>

static const char *g_trace;

static void Mark(const std::string &text)
{
    if (FILE *f = std::fopen(g_trace, "ab")) {
        std::fprintf(f, "probe:%s\n", text.c_str());
        std::fclose(f);
    }
}

int main(int argc, char **argv)
{
    if (argc != 3) return 2;
    g_trace = argv[1];
    const std::string local = std::string(argv[2]) + "\\probe.out";
    HMODULE dll = LoadLibraryA("DADADA32.dll");
    if (!dll) return Mark("load-failed"), 1;
    Mark("loaded");
    using Retrieve = DWORD(WINAPI *)(LPCSTR, LPCSTR, DWORD, HANDLE, DWORD(WINAPI *)(DWORD));
    auto retrieve = reinterpret_cast<Retrieve>(GetProcAddress(dll, MAKEINTRESOURCEA(128)));
    // It waits inside: the failure status comes as the last error.
    const bool retrieved = retrieve && retrieve("\\\\NOSUCHMACHINE\\C\\file", local.c_str(), 1, nullptr, nullptr);
    const unsigned long status = retrieved ? 0 : GetLastError();
    char text[64];
    std::snprintf(text, sizeof text, "retrieve=%08lX local=%d", status,
                  GetFileAttributesA(local.c_str()) != INVALID_FILE_ATTRIBUTES);
    Mark(text);
    Mark("unloading");
    FreeLibrary(dll);   // the retrieve's worker may hold the library a moment longer
    for (int i = 0; i < 1000 && GetModuleHandleA("DADADA32.dll"); ++i) Sleep(10);
    Mark("unloaded");
    return 0;
}
