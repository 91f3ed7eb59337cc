// A second machine serving the peer protocol and RPC until its stop file appears
// (or five minutes have passed, so that an orphaned peer ends itself).
// zuredu_peer --name NAME --listen ADDR:PORT --port-file PATH --stop-file PATH
#include "peer_protocol.h"
#include "zarov.h"
#include "zuredu.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <string>

static DWORD WINAPI PeerHandler(DWORD, void *request, DWORD length, void **reply, DWORD *replyLength)
{
    DWORD words[2] = {0, 0};
    std::memcpy(words, request, length < sizeof words ? length : sizeof words);
    if (words[0] == peer::NoReply) return 0;
    if (words[0] == peer::Sleep) ::Sleep(words[1]);
    const DWORD size = words[0] == peer::Big ? words[1] : words[0] == peer::Oversized ? 16 : length;
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size ? size : 1);
    BYTE *block = h ? static_cast<BYTE *>(GlobalLock(h)) : nullptr;
    if (!block) return 0;
    if (words[0] == peer::Big)
        for (DWORD i = 0; i < size; ++i) block[i] = peer::PatternByte(i);
    else if (words[0] != peer::Oversized)
        std::memcpy(block, request, length);
    *reply = block;
    *replyLength = words[0] == peer::Oversized ? 1u << 20 : size;
    return 1;
}

int main(int argc, char **argv)
{
    std::map<std::string, std::string> opt;
    for (int i = 1; i + 1 < argc; i += 2) opt[argv[i]] = argv[i + 1];
    const std::string portFile = opt["--port-file"], stopFile = opt["--stop-file"];
    DWORD range[2] = {7, 7}, port = 0;
    if (!NetService_BeginUsingAPI()) return 3;
    DWORD service = NetService_ServiceStart(range, &port);
    if (!service || !NetService_BindCallback(service, 7, PeerHandler, peer::kPeerPacketType, peer::kPeerPacketType))
        return 3;
    if (!RPC_ServerStart()) return 4;
    NetService_AllServicesStarted();
    if (!(port = NetService_Listen(opt["--name"].c_str(), opt["--listen"].c_str()))) return 5;
    FILE *f = std::fopen(portFile.c_str(), "wb");   // the reader waits for the line's end
    if (!f) return 6;
    std::fprintf(f, "%lu\n", static_cast<unsigned long>(port));
    std::fclose(f);
    const ULONGLONG end = GetTickCount64() + 300000;
    while (GetTickCount64() < end && GetFileAttributesA(stopFile.c_str()) == INVALID_FILE_ATTRIBUTES)
        Sleep(50);
    RPC_ServerStop();
    NetService_ServiceShutdown(&service);
    NetService_DoneUsingAPI();
    return 0;
}
