// A second machine for the communication tests: serves the peer protocol
// (and, with --rpc, the RPC procedures) until its stop file appears or its
// time runs out.
//   zuredu_peer [--rpc] --name NAME --listen ADDR:PORT --port-file PATH
//               --stop-file PATH [--seconds N]
#include "peer_protocol.h"
#include "zuredu.h"
#include "zarov.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void *NewBlock(DWORD size)
{
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size ? size : 1);
    return h ? GlobalLock(h) : nullptr;
}

DWORD WINAPI PeerHandler(DWORD, void *request, DWORD length, void **reply, DWORD *replyLength)
{
    DWORD words[2] = {0, 0};
    std::memcpy(words, request, length < sizeof words ? length : sizeof words);
    DWORD size = length;
    switch (words[0]) {
    case peer::NoReply:
        return 0;
    case peer::Sleep:
        ::Sleep(words[1]);
        break;
    case peer::Big:
        size = words[1];
        break;
    case peer::Oversized:
        size = 16;
        break;
    default:
        break;
    }
    BYTE *block = static_cast<BYTE *>(NewBlock(size));
    if (!block) return 0;
    if (words[0] == peer::Big)
        for (DWORD i = 0; i < size; ++i) block[i] = peer::PatternByte(i);
    else if (words[0] != peer::Oversized)
        std::memcpy(block, request, length);
    *reply = block;
    *replyLength = words[0] == peer::Oversized ? 1u << 20 : size;
    return 1;
}

bool Exists(const std::string &path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

} // namespace

int main(int argc, char **argv)
{
    std::string name, listen, portFile, stopFile;
    unsigned long seconds = 300;
    bool rpc = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        std::string v = i + 1 < argc ? argv[i + 1] : "";
        if (a == "--rpc") rpc = true;
        else if (a == "--name") name = v, ++i;
        else if (a == "--listen") listen = v, ++i;
        else if (a == "--port-file") portFile = v, ++i;
        else if (a == "--stop-file") stopFile = v, ++i;
        else if (a == "--seconds") seconds = std::strtoul(v.c_str(), nullptr, 10), ++i;
    }
    DWORD range[2] = {7, 7}, port = 0;
    if (!NetService_BeginUsingAPI()) return 3;
    DWORD service = NetService_ServiceStart(range, &port);
    if (!service || !NetService_BindCallback(service, 7, PeerHandler, peer::kPeerPacketType,
                                             peer::kPeerPacketType))
        return 3;
    if (rpc && !RPC_ServerStart()) return 4;
    NetService_AllServicesStarted();
    port = NetService_Listen(name.c_str(), listen.c_str());
    if (!port) return 5;
    if (!portFile.empty()) {
        std::string tmp = portFile + ".tmp";
        FILE *f = std::fopen(tmp.c_str(), "wb");
        if (!f) return 6;
        std::fprintf(f, "%lu\n", static_cast<unsigned long>(port));
        std::fclose(f);
        MoveFileA(tmp.c_str(), portFile.c_str());
    }
    for (ULONGLONG end = GetTickCount64() + seconds * 1000ull; GetTickCount64() < end;) {
        if (!stopFile.empty() && Exists(stopFile)) break;
        Sleep(50);
    }
    if (rpc) RPC_ServerStop();
    NetService_ServiceShutdown(&service);
    NetService_DoneUsingAPI();
    return 0;
}
