// The remote-call road of the reader: procedures 301 (volume names) and 302
// (a folder in batches) of the product's RPC service, sent through
// RPC_SendCall.  A failure is raised with a 32-bit code and caught where
// the request was made, which shows it in the error box.
#include "RFDIR/rfdir.h"
#include "RFTREEVW/rftreevw.h"
#include "REMOTE/binding.h"
#include "dada/memblock.h"
#include "zarov.h"

#include <algorithm>
#include <initializer_list>

namespace dada::browse {

namespace {

constexpr DWORD kAccessViolation = 0xC0000005;
constexpr DWORD kRaisedBit = 0x10000000;
constexpr DWORD kVolumesWanted = 64;

enum Direction { kOut = 0, kIn = 1 };

const CallDescriptor kReadVolumes = RPC_DESCRIPTOR_READ_VOLUMES;
const CallDescriptor kReadDirectory = RPC_DESCRIPTOR_READ_DIRECTORY;

// A failure of a remote call, raised with its code.
struct CallFailure {
    DWORD code;
};
[[noreturn]] void RaiseCallFailure(DWORD code) { throw CallFailure{code}; }

// Which raised failures the reading operations catch: all but access
// violations.  A caught code becomes the thread's last-error value, with
// the raised bit added.
bool CallFailureFilter(DWORD code)
{
    if (code == kAccessViolation) return false;
    SetLastError(code | kRaisedBit);
    return true;
}

const CallDescriptor *DescriptorOf(DWORD procedure)
{
    switch (procedure) {
    case RPC_PROC_READ_VOLUMES: return &kReadVolumes;
    case RPC_PROC_READ_DIRECTORY: return &kReadDirectory;
    default: return nullptr;
    }
}

DWORD ReplyRoom(const CallDescriptor &d) { return d.replySize - sizeof(DWORD); }

using Packet = BlockPtr<CallPacket>;

// A zeroed, locked packet with room for the procedure's reply.
Packet AllocCallPacket(DWORD procedure)
{
    const CallDescriptor *d = DescriptorOf(procedure);
    if (!d) RaiseCallFailure(kNoCallPacket);
    Packet p(static_cast<CallPacket *>(BlockAlloc(RPC_PACKET_SIZE(d), Block::Fixed)));
    if (!p) RaiseCallFailure(kNoCallPacket);
    return p;
}

void InitCallPacket(DWORD procedure, LPCSTR server, CallPacket *p)
{
    p->descriptor = DescriptorOf(procedure);
    p->server = server;
}

// Argument addresses into the slots of one direction, up to the first null
// one and at most RPC_MAX_ARGS.
void SetCallArgs(Direction direction, CallPacket *p, std::initializer_list<const void *> args)
{
    void **slots = direction == kIn ? p->in : p->out;
    size_t i = 0;
    for (const void *arg : args) {
        if (!arg || i == RPC_MAX_ARGS) break;
        slots[i++] = const_cast<void *>(arg);
    }
}

void Send(CallPacket *p)
{
    if (DWORD answer = dada::RPC_SendCall(p)) RaiseCallFailure(answer);
}

// Runs one request; a caught failure is shown and answers null.
template <class Request> Packet Guarded(Request request)
{
    try {
        return request();
    } catch (const CallFailure &failure) {
        if (!CallFailureFilter(failure.code)) throw;
        ShowErrorBox();
        return nullptr;
    }
}

Packet RemoteReadVolumes(LPCSTR server)
{
    return Guarded([server] {
        Packet p = AllocCallPacket(RPC_PROC_READ_VOLUMES);
        InitCallPacket(RPC_PROC_READ_VOLUMES, server, p.get());
        const DWORD first = 0, most = kVolumesWanted;
        SetCallArgs(kIn, p.get(), {&first, &most});
        SetCallArgs(kOut, p.get(), {&p->replyCount, p->replyList});
        Send(p.get());
        return p;
    });
}

Packet RemoteReadDirectory(LPCSTR server, LPCSTR search, DWORD mode, LPCSTR pattern, DWORD *continuation)
{
    return Guarded([=] {
        Packet p = AllocCallPacket(RPC_PROC_READ_DIRECTORY);
        InitCallPacket(RPC_PROC_READ_DIRECTORY, server, p.get());
        const DWORD searchLength = lstrlenA(search) + 1;
        const DWORD patternLength = pattern ? lstrlenA(pattern) + 1 : 0;
        SetCallArgs(kIn, p.get(), {&searchLength, search, &patternLength, pattern ? pattern : "", continuation, &mode});
        SetCallArgs(kOut, p.get(), {continuation, &p->replyCount, p->replyList});
        Send(p.get());
        return p;
    });
}

// The names of a reply, never more than the reply room holds.
HTREEITEM AddReply(HWND tree, const CallPacket &p, HTREEITEM parent, DWORD typeMode)
{
    return TreeAddNameList(tree, std::min(p.replyCount, ReplyRoom(*p.descriptor)), p.replyList, parent, typeMode);
}

LPCSTR ServerOf(HWND tree)
{
    const RemoteBrowseInfo *info = BrowseInfoOf(tree);
    return info ? info->server : nullptr;
}

} // namespace

BOOL RemoteListDrives(HWND tree, HTREEITEM parent)
{
    Packet p = RemoteReadVolumes(ServerOf(tree));
    return p && AddReply(tree, *p, parent, kFolderItem) ? TRUE : FALSE;
}

BOOL RemoteListDirectory(HWND tree, LPCSTR search, HTREEITEM parent, DWORD mode, LPCSTR pattern)
{
    LPCSTR server = ServerOf(tree);
    DWORD continuation = 0;
    while (continuation != RPC_CONTINUATION_DONE) {
        const DWORD sent = continuation;
        Packet p = RemoteReadDirectory(server, search ? search : "", mode, pattern, &continuation);
        if (!p || !AddReply(tree, *p, parent, kTypedList)) return FALSE;
        // A server that answers the position it was given would be asked
        // for the same batch forever.
        if (continuation == sent) return FALSE;
    }
    return TRUE;
}

} // namespace dada::browse
