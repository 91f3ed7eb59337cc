// RPC_SendCall: the client side of a call.
#include "callwire.h"
#include "dada/memblock.h"
#include "zuredu.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>
#include "dada/process_object.h"
#include "dada/lock.h"

using namespace zarov;

namespace {

constexpr DWORD kCallTimeoutMs = 15000;

// Connections left open after a call, by server name, for the next call to
// the same server: a folder read in many batches connects once.  Shared by
// every calling thread (guarded); a connection serves one call at a time.
class IdleConnections {
public:
    static constexpr size_t kMost = 8;
    // An idle connection to `server`, or 0.
    DWORD take(const char *server)
    {
        dada::Locked l(lock_);
        auto it = std::find_if(idle_.begin(), idle_.end(),
                               [&](const auto &c) { return lstrcmpiA(c.first.c_str(), server) == 0; });
        DWORD conn = 0;
        if (it != idle_.end()) {
            conn = it->second;
            idle_.erase(it);
        }
        return conn;
    }
    void give(const char *server, DWORD conn)
    {
        DWORD dropped = 0;
        {
            dada::Locked l(lock_);
            if (idle_.size() == kMost) {
                dropped = idle_.front().second;
                idle_.erase(idle_.begin());
            }
            idle_.emplace_back(server, conn);
        }
        if (dropped) NetService_Disconnect(&dropped);
    }

private:
    dada::CriticalSection lock_;
    std::vector<std::pair<std::string, DWORD>> idle_;
};

IdleConnections &Idle()
{
    return dada::ProcessObject<IdleConnections>();
}

// One exchange on an idle connection when there is one (tried again on a
// fresh connection if the idle one fails: its server may have restarted),
// else on a fresh one.  A connection that worked is kept for the next call.
DWORD Exchange(const char *server, const std::vector<BYTE> &bytes, void **reply, DWORD *length)
{
    for (DWORD conn = Idle().take(server), fresh = 0;; conn = 0) {
        if (!conn) {
            conn = NetService_Connect(server, 1);
            if (!conn) return RPC_E_NO_CONNECTION;
            fresh = 1;
        }
        const DWORD status = NetService_SendPacket(conn, ZAROV_PACKET_TYPE, bytes.data(),
                                                   static_cast<DWORD>(bytes.size()), reply, length, kCallTimeoutMs);
        if (status == NETSVC_OK) {
            Idle().give(server, conn);
            return RPC_OK;
        }
        NetService_Disconnect(&conn);
        dada::BlockFree(std::exchange(*reply, nullptr));
        if (fresh) return RPC_E_TRANSPORT;
    }
}

// The arguments of one direction are well formed: known kinds, a count
// always followed by its bytes, every slot given.
bool SlotsUsable(const DWORD (&kinds)[RPC_MAX_ARGS], void *const (&slots)[RPC_MAX_ARGS])
{
    for (int i = 0; i < RPC_MAX_ARGS && kinds[i] != RPC_ARG_NONE; ++i) {
        DWORD k = kinds[i];
        if (k != RPC_ARG_INT && k != RPC_ARG_COUNT && k != RPC_ARG_BYTES) return false;
        if (k == RPC_ARG_COUNT && (i + 1 == RPC_MAX_ARGS || kinds[i + 1] != RPC_ARG_BYTES)) return false;
        if (k == RPC_ARG_BYTES && (i == 0 || kinds[i - 1] != RPC_ARG_COUNT)) return false;
        if (!slots[i]) return false;
    }
    return true;
}

DWORD ReadWord(const void *p)
{
    DWORD v;
    std::memcpy(&v, p, 4);
    return v;
}

bool MarshalIn(const CallPacket &p, Message &call)
{
    const CallDescriptor &d = *p.descriptor;
    call.head = {d.procedure, d.argumentSize, d.replySize};
    for (int i = 0; i < RPC_MAX_ARGS && d.inKinds[i] != RPC_ARG_NONE; ++i) {
        if (d.inKinds[i] != RPC_ARG_BYTES) {
            call.args.push_back(IntArg(d.inKinds[i], ReadWord(p.in[i])));
            continue;
        }
        DWORD count = call.args.back().number();
        if (count > kMaxArgBytes) return false;
        const BYTE *from = static_cast<const BYTE *>(p.in[i]);
        call.args.push_back({RPC_ARG_BYTES, std::vector<BYTE>(from, from + count)});
    }
    return true;
}

// Checks the whole answer before anything is written to the caller.
DWORD CheckAnswer(const CallPacket &p, const Message &answer)
{
    const CallDescriptor &d = *p.descriptor;
    if (answer.head[0] != RPC_OK) return answer.head[0];
    if (!KindsMatch(answer.args, d.outKinds)) return RPC_E_BAD_REPLY;
    for (const Arg &a : answer.args)
        if (a.kind == RPC_ARG_BYTES && a.bytes.size() > d.replySize - 4) return RPC_E_BAD_REPLY;
    return RPC_OK;
}

void WriteOut(const CallPacket &p, const Message &answer)
{
    for (size_t i = 0; i < answer.args.size(); ++i) {
        const Arg &a = answer.args[i];
        if (a.kind == RPC_ARG_BYTES) {
            if (!a.bytes.empty()) std::memcpy(p.out[i], a.bytes.data(), a.bytes.size());
        } else {
            DWORD v = a.number();
            std::memcpy(p.out[i], &v, 4);
        }
    }
}

} // namespace

extern "C" DWORD WINAPI RPC_SendCall(CallPacket *packet)
{
    if (!packet || !packet->server || !*packet->server || !packet->descriptor) return RPC_E_BAD_PACKET;
    const CallDescriptor &d = *packet->descriptor;
    if (d.replySize < 4 || d.replySize > kMaxArgBytes + 4 || !SlotsUsable(d.inKinds, packet->in) ||
        !SlotsUsable(d.outKinds, packet->out))
        return RPC_E_BAD_PACKET;
    Message call;
    try {
        if (!MarshalIn(*packet, call)) return RPC_E_BAD_PACKET;
    } catch (const std::bad_alloc &) {
        return RPC_E_NO_MEMORY;
    }
    std::vector<BYTE> bytes = Encode(call);

    void *reply = nullptr;
    DWORD length = 0;
    DWORD status = Exchange(packet->server, bytes, &reply, &length);
    dada::BlockPtr<BYTE> owned(static_cast<BYTE *>(reply));
    if (status != RPC_OK) return status;
    Message answer;
    if (!Decode({owned.get(), length}, 1, answer)) return RPC_E_BAD_REPLY;
    status = CheckAnswer(*packet, answer);
    if (status == RPC_OK) WriteOut(*packet, answer);
    return status;
}
