#include "hosts.h"
#include "wire.h"
#include "zuredu.h"
#include "dada/process_object.h"
#include "dada/lock.h"

namespace zuredu {

namespace {

// Written at Listen time, read by any thread: guarded.
struct OwnName {
    dada::CriticalSection lock;
    std::string name;
};
OwnName &Own() { return dada::ProcessObject<OwnName>(); }

bool SameName(const std::string &a, const std::string &b)
{
    return !a.empty() && lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

} // namespace

std::string EnvValue(const char *name)
{
    char buf[1024];
    DWORD n = GetEnvironmentVariableA(name, buf, sizeof buf);
    return n > 0 && n < sizeof buf ? std::string(buf, n) : std::string();
}

std::string BareName(const char *name)
{
    if (!name) return {};
    while (*name == '\\' || *name == '/') ++name;
    return name;
}

std::string ComputerName()
{
    char buf[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD n = sizeof buf;
    return GetComputerNameA(buf, &n) ? std::string(buf, n) : std::string();
}

std::string HostsValue(const char *section, const char *key)
{
    std::string file = EnvValue("DADA_HOSTS");
    if (file.empty()) return {};
    char full[MAX_PATH];
    DWORD n = GetFullPathNameA(file.c_str(), sizeof full, full, nullptr);
    char entry[1024];
    if (n == 0 || n >= sizeof full) return {};
    DWORD got = GetPrivateProfileStringA(section, key, "", entry, sizeof entry, full);
    return got > 0 && got < sizeof entry - 1 ? std::string(entry, got) : std::string();
}

bool ResolveMachine(const std::string &name, sockaddr_in &out)
{
    if (name.empty() || name.size() > 255) return false;
    std::string entry = HostsValue("hosts", name.c_str());
    if (!entry.empty()) return ParseEndpoint(entry.c_str(), out);
    if (SameName(name, "localhost") || name == "127.0.0.1" || SameName(name, ComputerName())) {
        out = {};
        out.sin_family = AF_INET;
        out.sin_port = htons(ZUREDU_DEFAULT_PORT);
        out.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return true;
    }
    return false;
}

std::string OwnMachine()
{
    std::string name;
    {
        dada::Locked l(Own().lock);
        name = Own().name;
    }
    if (name.empty()) name = EnvValue("DADA_MACHINE");
    if (name.empty()) name = ComputerName();
    return name;
}

void SetOwnMachine(const std::string &name)
{
    dada::Locked l(Own().lock);
    Own().name = name;
}

} // namespace zuredu
