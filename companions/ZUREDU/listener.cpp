// The listener of a serving process and its connection threads.
#include "server.h"
#include "auth.h"
#include "bounds.h"
#include "dispatch.h"
#include "hosts.h"
#include "wire.h"

#include <algorithm>
#include <memory>
#include <new>
#include <vector>
#include "dada/process_object.h"
#include "dada/lock.h"

namespace zuredu {

namespace {

bool IsLoopback(const sockaddr_in &a) { return ntohl(a.sin_addr.s_addr) >> 24 == 127; }

// One connection held by the server.
struct Held {
    SOCKET sock;
    ULONG peer;                 // the peer's IPv4 address
    enum Stage { Handshake, Waiting, Busy } stage;
    ULONGLONG progress;         // GetTickCount64 at the accept or the last request
};

// Shared by the listener and its connection threads; outlives all of them.
// The table of held connections is guarded by `lock`; `key` and `port` are
// set before any thread starts and never change.
struct ListenState {
    Socket sock;
    DWORD port = 0;
    NetworkKey key;
    volatile LONG stop = 0;
    volatile LONG threads = 0;
    dada::CriticalSection lock;
    std::vector<Held> held;

    // Takes `s` into the table, making room under the caps by dropping the
    // idlest held connection (of the same peer when that peer is at its cap).
    // False when the stop came first or nothing can be dropped: the caller
    // closes `s` unserved.
    bool Admit(SOCKET s, ULONG peer)
    {
        dada::Locked l(lock);
        bool ok = !stop;
        if (ok) {
            const auto fromPeer = std::count_if(held.begin(), held.end(), [&](const Held &h) { return h.peer == peer; });
            const bool peerFull = static_cast<size_t>(fromPeer) >= kMaxConnectionsPerPeer;
            if (peerFull || held.size() >= kMaxConnections) ok = DropIdlest(peerFull, peer);
        }
        if (ok) {
            try {
                held.push_back({s, peer, Held::Handshake, GetTickCount64()});
            } catch (const std::bad_alloc &) {
                ok = false;
            }
        }
        return ok;
    }
    // Under `lock`.  A connection in its handshake goes first, then the
    // one longest without a request; one inside a handler never.
    bool DropIdlest(bool samePeer, ULONG peer)
    {
        auto worse = [](const Held &a, const Held &b) {
            return a.stage != b.stage ? a.stage < b.stage : a.progress < b.progress;
        };
        auto victim = held.end();
        for (auto it = held.begin(); it != held.end(); ++it)
            if (it->stage != Held::Busy && (!samePeer || it->peer == peer) && (victim == held.end() || worse(*it, *victim)))
                victim = it;
        if (victim == held.end()) return false;
        shutdown(victim->sock, SD_BOTH);   // its thread's read returns; the thread leaves
        held.erase(victim);
        return true;
    }
    // False when `s` was dropped meanwhile.
    bool Mark(SOCKET s, Held::Stage stage)
    {
        dada::Locked l(lock);
        auto it = std::find_if(held.begin(), held.end(), [&](const Held &h) { return h.sock == s; });
        if (it != held.end()) {
            it->stage = stage;
            it->progress = GetTickCount64();
        }
        return it != held.end();
    }
    // Before `s` is closed, so that its value cannot come back meanwhile.
    void Leave(SOCKET s)
    {
        dada::Locked l(lock);
        std::erase_if(held, [&](const Held &h) { return h.sock == s; });
    }
    void Stop()
    {
        dada::Locked l(lock);
        InterlockedExchange(&stop, 1);
        for (const Held &h : held) shutdown(h.sock, SD_BOTH);
    }
};

struct Current {
    dada::CriticalSection lock;
    std::shared_ptr<ListenState> state;
};
Current &Cur() { return dada::ProcessObject<Current>(); }

struct ConnectionArgs {
    std::shared_ptr<ListenState> state;
    Socket sock;
};

// Serves one client until it goes away, fails the handshake, sends garbage,
// idles or stalls inside a frame past the limits, is dropped for a newer
// connection, or the process stops listening.
void Serve(ListenState &state, SOCKET s)
{
    FrameStream stream;
    if (!ServerHandshake(s, stream, state.key, Deadline(kHandshakeMs)) || !state.Mark(s, Held::Waiting)) return;
    std::vector<BYTE> request;  // reused: its capacity stays between requests
    for (;;) {
        if (stream.Await(s, Deadline(kIdleMs)) != Io::Done || state.stop) break;
        const Deadline frame(kFrameMs);   // from the frame's first byte
        HeaderBytes head;
        if (stream.Read(s, head, frame) != Io::Done) break;
        FrameHeader h;
        if (!DecodeHeader(head, h) || h.kind != Kind::Request) break;
        try {
            request.resize(h.length);
        } catch (const std::bad_alloc &) {
            break;
        }
        if (h.length && stream.Read(s, request, frame) != Io::Done) break;
        if (!state.Mark(s, Held::Busy)) break;
        Reply reply = Dispatch(h.packetType, request.data(), h.length);
        if (!state.Mark(s, Held::Waiting)) break;
        FrameHeader out{Kind::Reply, h.packetType, h.sequence, reply.status,
                        reply.status == NETSVC_OK ? reply.length : 0};
        if (stream.Write(s, out, reply.block.get(), Deadline(kFrameMs)) != Io::Done) break;
    }
}

DWORD WINAPI ConnectionThread(void *p)
{
    std::unique_ptr<ConnectionArgs> args(static_cast<ConnectionArgs *>(p));
    Serve(*args->state, args->sock.get());
    args->state->Leave(args->sock.get());
    args->sock.reset();
    InterlockedDecrement(&args->state->threads);
    return 0;
}

DWORD WINAPI AcceptThread(void *p)
{
    std::unique_ptr<std::shared_ptr<ListenState>> holder(static_cast<std::shared_ptr<ListenState> *>(p));
    std::shared_ptr<ListenState> state = *holder;
    while (!state->stop) {
        fd_set set;
        FD_ZERO(&set);
        FD_SET(state->sock.get(), &set);
        timeval tv{0, 200000};
        int n = select(0, &set, nullptr, nullptr, &tv);
        if (n == SOCKET_ERROR) break;
        if (n == 0) continue;
        sockaddr_in from{};
        int fromLength = sizeof from;
        Socket client(accept(state->sock.get(), reinterpret_cast<sockaddr *>(&from), &fromLength));
        if (!client.valid() || from.sin_family != AF_INET) continue;
        // Without a secret only this computer's own processes are served.
        if (!state->key.configured && !IsLoopback(from)) continue;
        if (InterlockedIncrement(&state->threads) > kMaxConnectionThreads) {
            InterlockedDecrement(&state->threads);
            continue;   // refused: closed at once
        }
        if (!state->Admit(client.get(), from.sin_addr.s_addr)) {
            InterlockedDecrement(&state->threads);
            continue;
        }
        u_long blocking = 0;
        ioctlsocket(client.get(), FIONBIO, &blocking);
        BOOL noDelay = TRUE;
        setsockopt(client.get(), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char *>(&noDelay),
                   sizeof noDelay);
        const SOCKET admitted = client.get();
        auto *args = new (std::nothrow) ConnectionArgs{state, std::move(client)};
        if (!args || !StartOwnThread(ConnectionThread, args)) {
            state->Leave(admitted);
            delete args;
            InterlockedDecrement(&state->threads);
        }
    }
    state->sock.reset();
    return 0;
}

struct ThreadStart {
    LPTHREAD_START_ROUTINE fn;
    void *arg;
    HMODULE self;
};

DWORD WINAPI OwnThread(void *p)
{
    ThreadStart start = *static_cast<ThreadStart *>(p);
    delete static_cast<ThreadStart *>(p);
    start.fn(start.arg);
    FreeLibraryAndExitThread(start.self, 0);
}

} // namespace

bool StartOwnThread(LPTHREAD_START_ROUTINE fn, void *arg)
{
    HMODULE self = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                            reinterpret_cast<LPCSTR>(&OwnThread), &self))
        return false;
    auto *start = new (std::nothrow) ThreadStart{fn, arg, self};
    HANDLE t = start ? CreateThread(nullptr, 0, OwnThread, start, 0, nullptr) : nullptr;
    if (!t) {
        delete start;
        FreeLibrary(self);
        return false;
    }
    CloseHandle(t);
    return true;
}

DWORD ListeningPort()
{
    dada::Locked l(Cur().lock);
    return Cur().state ? Cur().state->port : 0;
}

DWORD StartListening(const char *name, const char *endpoint)
{
    dada::Locked l(Cur().lock);
    if (Cur().state) return Cur().state->port;
    if (!SocketsReady()) return 0;
    std::string machine = name && *name ? BareName(name) : OwnMachine();
    sockaddr_in addr{};
    bool known = endpoint && *endpoint ? ParseEndpoint(endpoint, addr) : ResolveMachine(machine, addr);
    if (!known) return 0;

    auto state = std::make_shared<ListenState>();
    state->key = LoadNetworkKey();
    if (!state->key.configured && !IsLoopback(addr)) addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    state->sock = Socket(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (!state->sock.valid()) return 0;
    BOOL exclusive = TRUE;
    setsockopt(state->sock.get(), SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char *>(&exclusive),
               sizeof exclusive);
    if (bind(state->sock.get(), reinterpret_cast<const sockaddr *>(&addr), sizeof addr) == SOCKET_ERROR ||
        listen(state->sock.get(), SOMAXCONN) == SOCKET_ERROR)
        return 0;
    sockaddr_in bound{};
    int len = sizeof bound;
    if (getsockname(state->sock.get(), reinterpret_cast<sockaddr *>(&bound), &len) == SOCKET_ERROR) return 0;
    state->port = ntohs(bound.sin_port);
    auto *holder = new (std::nothrow) std::shared_ptr<ListenState>(state);
    if (!holder || !StartOwnThread(AcceptThread, holder)) {
        delete holder;
        return 0;
    }
    Cur().state = state;
    SetOwnMachine(machine);
    return state->port;
}

void StopListening()
{
    dada::Locked l(Cur().lock);
    if (Cur().state) Cur().state->Stop();
    Cur().state.reset();
}

} // namespace zuredu
