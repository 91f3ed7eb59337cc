// Registered services and the dispatch of one request to its handler.
#include "server.h"
#include "dispatch.h"

#include <map>
#include <vector>
#include "dada/process_object.h"
#include "dada/lock.h"

namespace zuredu {

namespace {

struct Registration {
    DWORD service, number;
    NETSVC_HANDLER handler;
    DWORD firstType, lastType;
};

struct ServiceInfo {
    DWORD firstNumber, lastNumber;
    LONG calls = 0;         // handler calls in progress
};

struct Table {
    dada::CriticalSection lock;
    std::map<DWORD, ServiceInfo> services;
    std::vector<Registration> registrations;
    DWORD next = 0;
};
Table &T() { return dada::ProcessObject<Table>(); }

// True while the process is ending: the threads a wait would wait for are gone.
bool ProcessEnding()
{
    using Fn = BOOLEAN(NTAPI *)();
    static Fn fn = reinterpret_cast<Fn>(
        reinterpret_cast<void *>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "RtlDllShutdownInProgress")));
    return fn && fn();
}

bool ValidReplyBlock(void *reply, DWORD length)
{
    HGLOBAL h = GlobalHandle(reply);
    return h && length <= ZUREDU_MAX_PACKET && length <= GlobalSize(h);
}

} // namespace

DWORD AddService(DWORD firstNumber, DWORD lastNumber)
{
    dada::Locked l(T().lock);
    Table &t = T();
    do { ++t.next; } while (t.next == 0 || t.services.count(t.next));
    t.services[t.next] = ServiceInfo{firstNumber, lastNumber};
    return t.next;
}

bool BindHandler(DWORD service, DWORD number, NETSVC_HANDLER handler, DWORD firstType, DWORD lastType)
{
    dada::Locked l(T().lock);
    Table &t = T();
    auto it = t.services.find(service);
    if (it == t.services.end() || !handler || firstType > lastType ||
        number < it->second.firstNumber || number > it->second.lastNumber)
        return false;
    for (Registration &r : t.registrations)
        if (r.service == service && r.number == number) {
            r = Registration{service, number, handler, firstType, lastType};
            return true;
        }
    t.registrations.push_back({service, number, handler, firstType, lastType});
    return true;
}

bool RemoveService(DWORD service)
{
    {
        dada::Locked l(T().lock);
        Table &t = T();
        if (!t.services.count(service)) return t.services.empty();
        std::erase_if(t.registrations, [&](const Registration &r) { return r.service == service; });
    }
    // Let the handler calls in progress return before the caller goes away.
    for (int waited = 0; waited < 5000 && !ProcessEnding(); waited += 10) {
        {
            dada::Locked l(T().lock);
            if (T().services[service].calls == 0) break;
        }
        Sleep(10);
    }
    dada::Locked l(T().lock);
    T().services.erase(service);
    return T().services.empty();
}

Reply Dispatch(DWORD packetType, BYTE *request, DWORD length)
{
    Registration reg{};
    {
        dada::Locked l(T().lock);
        Table &t = T();
        const Registration *found = nullptr;
        for (const Registration &r : t.registrations)
            if (packetType >= r.firstType && packetType <= r.lastType) found = &r;
        if (!found) return Reply::Failed(NETSVC_E_NO_HANDLER);
        reg = *found;
        ++t.services[reg.service].calls;
    }
    static BYTE empty[8];
    void *block = nullptr;
    DWORD blockLength = 0;
    reg.handler(reg.number, length ? request : empty, length, &block, &blockLength);
    {
        dada::Locked l(T().lock);
        --T().services[reg.service].calls;
    }
    if (!block) return Reply::Failed(NETSVC_E_NO_REPLY);
    if (!ValidReplyBlock(block, blockLength)) {
        // Not one of ours to free, or it claims more than it holds.
        Reply r = Reply::Failed(NETSVC_E_REPLY_SIZE);
        if (GlobalHandle(block)) r.block.reset(static_cast<BYTE *>(block));
        return r;
    }
    return Reply{NETSVC_OK, OwnedBlock(static_cast<BYTE *>(block)), blockLength};
}

} // namespace zuredu
