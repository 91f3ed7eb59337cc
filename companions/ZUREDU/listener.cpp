// The listener of a serving process and its connection threads.
#include "server.h"
#include "dispatch.h"
#include "hosts.h"
#include "wire.h"

#include <memory>
#include <new>
#include <vector>

namespace zuredu {

namespace {

constexpr LONG kMaxConnections = 64;
constexpr DWORD kFrameMs = 30000;   // a started frame must be complete within this

// Shared by the listener and its connection threads; outlives all of them.
struct ListenState {
    Socket sock;
    DWORD port = 0;
    volatile LONG stop = 0;
    volatile LONG connections = 0;
    // The connection sockets, shut down at stop so that their threads'
    // waiting reads return at once.
    CRITICAL_SECTION lock;
    std::vector<SOCKET> serving;
    ListenState() { InitializeCriticalSection(&lock); }
    ~ListenState() { DeleteCriticalSection(&lock); }

    // False when the stop came first: the connection is not served.
    bool Enlist(SOCKET s)
    {
        EnterCriticalSection(&lock);
        bool ok = !stop;
        if (ok) {
            try {
                serving.push_back(s);
            } catch (const std::bad_alloc &) {
                ok = false;
            }
        }
        LeaveCriticalSection(&lock);
        return ok;
    }
    void Leave(SOCKET s)
    {
        EnterCriticalSection(&lock);
        std::erase(serving, s);
        LeaveCriticalSection(&lock);
    }
    void Stop()
    {
        EnterCriticalSection(&lock);
        InterlockedExchange(&stop, 1);
        for (SOCKET s : serving) shutdown(s, SD_BOTH);
        LeaveCriticalSection(&lock);
    }
};

struct Current {
    CRITICAL_SECTION lock;
    std::shared_ptr<ListenState> state;
    Current() { InitializeCriticalSection(&lock); }
};
Current &Cur() { static Current c; return c; }

struct ConnectionArgs {
    std::shared_ptr<ListenState> state;
    Socket sock;
};

// Serves one client until it goes away, sends garbage, stalls inside a
// frame, or the process stops listening.
void Serve(ListenState &state, SOCKET s)
{
    if (!state.Enlist(s)) return;
    FrameStream stream;
    std::vector<BYTE> request;  // reused: its capacity stays between requests
    for (;;) {
        HeaderBytes head;
        if (stream.Read(s, head, Deadline(kFrameMs), true) != Io::Done || state.stop) break;
        FrameHeader h;
        if (!DecodeHeader(head, h) || h.kind != Kind::Request) break;
        try {
            request.resize(h.length);
        } catch (const std::bad_alloc &) {
            break;
        }
        if (h.length && stream.Read(s, request, Deadline(kFrameMs)) != Io::Done) break;
        Reply reply = Dispatch(h.packetType, request.data(), h.length);
        FrameHeader out{Kind::Reply, h.packetType, h.sequence, reply.status,
                        reply.status == NETSVC_OK ? reply.length : 0};
        if (stream.Write(s, out, reply.block.get(), Deadline(kFrameMs)) != Io::Done) break;
    }
    state.Leave(s);
}

DWORD WINAPI ConnectionThread(void *p)
{
    std::unique_ptr<ConnectionArgs> args(static_cast<ConnectionArgs *>(p));
    Serve(*args->state, args->sock.get());
    args->sock.reset();
    InterlockedDecrement(&args->state->connections);
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
        Socket client(accept(state->sock.get(), nullptr, nullptr));
        if (!client.valid()) continue;
        if (InterlockedIncrement(&state->connections) > kMaxConnections) {
            InterlockedDecrement(&state->connections);
            continue;   // refused: closed at once
        }
        u_long blocking = 0;
        ioctlsocket(client.get(), FIONBIO, &blocking);
        BOOL noDelay = TRUE;
        setsockopt(client.get(), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char *>(&noDelay),
                   sizeof noDelay);
        auto *args = new (std::nothrow) ConnectionArgs{state, std::move(client)};
        if (!args || !StartOwnThread(ConnectionThread, args)) {
            delete args;
            InterlockedDecrement(&state->connections);
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
    EnterCriticalSection(&Cur().lock);
    DWORD port = Cur().state ? Cur().state->port : 0;
    LeaveCriticalSection(&Cur().lock);
    return port;
}

DWORD StartListening(const char *name, const char *endpoint)
{
    struct Locked {
        Locked() { EnterCriticalSection(&Cur().lock); }
        ~Locked() { LeaveCriticalSection(&Cur().lock); }
    } l;
    if (Cur().state) return Cur().state->port;
    if (!SocketsReady()) return 0;
    std::string machine = name && *name ? BareName(name) : OwnMachine();
    sockaddr_in addr{};
    bool known = endpoint && *endpoint ? ParseEndpoint(endpoint, addr) : ResolveMachine(machine, addr);
    if (!known) return 0;

    auto state = std::make_shared<ListenState>();
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
    EnterCriticalSection(&Cur().lock);
    if (Cur().state) Cur().state->Stop();
    Cur().state.reset();
    LeaveCriticalSection(&Cur().lock);
}

} // namespace zuredu
