// A machine whose RPC service answers folder reads with replies a real
// server never sends; the folder named in the search path picks them:
//   EMPTYBATCH  two folders and a continuation, then an empty batch that
//               still promises more, then (never asked) a third folder
//   STUCK       one folder and the continuation it was given
//   any other   the call fails (RPC_E_NOT_FOUND)
#include "callwire.h"
#include "zuredu.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

using namespace zarov;

namespace {

// Entries with their type bytes ("\x02" a folder), then the empty entry.
void AddList(Message &m, const std::vector<std::string> &entries)
{
    std::vector<BYTE> bytes;
    for (const std::string &e : entries) bytes.insert(bytes.end(), e.c_str(), e.c_str() + e.size() + 1);
    bytes.push_back(0);
    if (entries.empty()) bytes.push_back(0);
    m.args.push_back(IntArg(RPC_ARG_COUNT, DWORD(bytes.size())));
    m.args.push_back({RPC_ARG_BYTES, std::move(bytes)});
}

Message Folder(const std::string &path, DWORD at)
{
    Message m{{RPC_OK}, {}};
    DWORD next = RPC_CONTINUATION_DONE;
    std::vector<std::string> entries;
    if (path.find("\\EMPTYBATCH\\") != std::string::npos) {
        next = at == 0 ? 5 : at == 5 ? 9 : RPC_CONTINUATION_DONE;
        if (at == 0) entries = {"\x02" "one", "\x02" "two"};
        if (at == 9) entries = {"\x02" "three"};
    } else if (path.find("\\STUCK\\") != std::string::npos) {
        entries = {"\x02" "again"};
        next = at;
    } else if (path.size() > 5 && path.compare(path.size() - 5, 5, "\\\\*.*") == 0) {   // a drive
        entries = {"\x02" "EMPTYBATCH", "\x02" "STUCK", "\x02" "FAILS"};
    } else {
        m.head[0] = RPC_E_NOT_FOUND;
        return m;
    }
    m.args.push_back(IntArg(RPC_ARG_INT, next));
    AddList(m, entries);
    return m;
}

DWORD WINAPI Handler(DWORD, void *request, DWORD length, void **reply, DWORD *replyLength)
{
    Message call, answer{{RPC_E_BAD_ARGUMENTS}, {}};
    if (Decode({static_cast<const BYTE *>(request), length}, 3, call)) {
        if (call.head[0] == RPC_PROC_READ_VOLUMES) {
            answer.head[0] = RPC_OK;
            AddList(answer, {"C:\\"});
        } else if (call.head[0] == RPC_PROC_READ_DIRECTORY && call.args.size() == 6) {
            const std::string path(call.args[1].bytes.begin(), call.args[1].bytes.end());
            answer = Folder(path.c_str(), call.args[4].number());
        }
    }
    const std::vector<BYTE> bytes = Encode(answer);
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes.size());
    BYTE *block = h ? static_cast<BYTE *>(GlobalLock(h)) : nullptr;
    if (!block) return 0;
    std::memcpy(block, bytes.data(), bytes.size());
    *reply = block;
    *replyLength = DWORD(bytes.size());
    return 1;
}

} // namespace

int main(int argc, char **argv)
{
    std::map<std::string, std::string> opt;
    for (int i = 1; i + 1 < argc; i += 2) opt[argv[i]] = argv[i + 1];
    const DWORD range[2] = {ZAROV_SERVICE, ZAROV_SERVICE};
    DWORD port = 0;
    if (!NetService_BeginUsingAPI()) return 3;
    DWORD service = NetService_ServiceStart(range, &port);
    if (!service || !NetService_BindCallback(service, ZAROV_SERVICE, Handler, ZAROV_PACKET_TYPE, ZAROV_PACKET_TYPE))
        return 3;
    if (!(port = NetService_Listen(opt["--name"].c_str(), opt["--listen"].c_str()))) return 5;
    const std::string portFile = opt["--port-file"], stopFile = opt["--stop-file"];
    if (FILE *f = std::fopen((portFile + ".tmp").c_str(), "wb")) {
        std::fprintf(f, "%lu\n", static_cast<unsigned long>(port));
        std::fclose(f);
        MoveFileA((portFile + ".tmp").c_str(), portFile.c_str());
    }
    for (int waited = 0; waited < 300000 && GetFileAttributesA(stopFile.c_str()) == INVALID_FILE_ATTRIBUTES; waited += 50)
        Sleep(50);
    NetService_ServiceShutdown(&service);
    NetService_DoneUsingAPI();
    return 0;
}
