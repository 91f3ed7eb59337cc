// The serving side: RPC_ServerStart registers the call handler with the
// communication library for ZAROV_SERVICE and ZAROV_PACKET_TYPE.
#include "callwire.h"
#include "procedures.h"
#include "dada/memblock.h"
#include "zuredu.h"

#include <cstring>
#include "dada/process_object.h"
#include "dada/lock.h"

using namespace zarov;

namespace {

struct ServerState {
    dada::CriticalSection lock;
    DWORD service = 0;
};
ServerState &S() { return dada::ProcessObject<ServerState>(); }

Answer Answer301or302(std::span<const BYTE> request)
{
    Message call;
    if (!Decode(request, 3, call)) {
        Answer a;
        a.status = RPC_E_BAD_ARGUMENTS;
        return a;
    }
    DWORD room = call.head[2] >= 4 ? call.head[2] - 4 : 0;
    switch (call.head[0]) {
    case RPC_PROC_READ_VOLUMES: return ReadVolumes(call.args, room);
    case RPC_PROC_READ_DIRECTORY: return ReadDirectory(call.args, room);
    default: {
        Answer a;
        a.status = RPC_E_UNKNOWN_PROC;
        return a;
    }
    }
}

DWORD WINAPI CallHandler(DWORD, void *request, DWORD length, void **reply, DWORD *replyLength)
{
    std::vector<BYTE> bytes;
    try {
        Answer a = Answer301or302({static_cast<const BYTE *>(request), length});
        Message m{{a.status}, std::move(a.out)};
        bytes = Encode(m);
    } catch (const std::bad_alloc &) {
        return 0;
    }
    BYTE *block = static_cast<BYTE *>(dada::BlockAlloc(bytes.size(), dada::Block::Moveable));
    if (!block) return 0;
    std::memcpy(block, bytes.data(), bytes.size());
    *reply = block;
    *replyLength = static_cast<DWORD>(bytes.size());
    return 1;
}

} // namespace

extern "C" DWORD WINAPI RPC_ServerStart(void)
{
    ServerState &s = S();
    dada::Locked l(s.lock);
    if (!s.service && NetService_BeginUsingAPI()) {
        const DWORD range[2] = {ZAROV_SERVICE, ZAROV_SERVICE};
        DWORD port = 0;
        s.service = NetService_ServiceStart(range, &port);
        if (s.service &&
            !NetService_BindCallback(s.service, ZAROV_SERVICE, CallHandler, ZAROV_PACKET_TYPE, ZAROV_PACKET_TYPE))
            NetService_ServiceShutdown(&s.service);
        if (!s.service) NetService_DoneUsingAPI();
    }
    return s.service ? 1 : 0;
}

extern "C" void WINAPI RPC_ServerStop(void)
{
    ServerState &s = S();
    dada::Locked l(s.lock);
    if (s.service) {
        NetService_ServiceShutdown(&s.service);
        NetService_DoneUsingAPI();
    }
}

// Unloaded (not the process ending): the process-wide objects go too.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved)
{
    if (reason == DLL_PROCESS_DETACH && !reserved) dada::ReleaseProcessObjects();
    return TRUE;
}
