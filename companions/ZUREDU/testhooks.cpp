// Test build only: see zuredu.h for the environment variables.
#ifdef ZUREDU_TESTHOOKS
#include "testhooks.h"
#include "hosts.h"
#include "zuredu.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>
#include "dada/process_object.h"
#include "dada/lock.h"

namespace zuredu {

namespace {

constexpr size_t kTraceCap = 1u << 20;   // the in-memory trace stops growing here

struct FailRule {
    std::string procedure;
    DWORD nth;      // 0: every call
};

struct Hooks {
    dada::CriticalSection lock;
    std::string tracePath;
    std::string trace;
    std::vector<FailRule> failures;
    std::vector<std::pair<std::string, DWORD>> calls;
    DWORD corruptLeft = 0, corruptMin = 17;
};
Hooks &H() { return dada::ProcessObject<Hooks>(); }

void ParseFailures(const char *list)
{
    Hooks &h = H();
    h.failures.clear();
    h.calls.clear();
    if (!list) return;
    std::string all = list;
    size_t start = 0;
    while (start <= all.size()) {
        size_t end = all.find(',', start);
        if (end == std::string::npos) end = all.size();
        std::string item = all.substr(start, end - start);
        if (!item.empty()) {
            FailRule rule{item, 0};
            size_t hash = item.find('#');
            if (hash != std::string::npos) {
                rule.procedure = item.substr(0, hash);
                rule.nth = std::strtoul(item.c_str() + hash + 1, nullptr, 10);
            }
            h.failures.push_back(rule);
        }
        start = end + 1;
    }
}

void AppendToFile(const std::string &path, const char *line)
{
    HANDLE f = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return;
    std::string text = std::string(line) + "\n";
    DWORD written = 0;
    WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(f);
}

} // namespace

void LoadHooks()
{
    dada::Locked l(H().lock);
    Hooks &h = H();
    h.tracePath = EnvValue("DADA_ZUREDU_TRACE");
    std::string fail = EnvValue("DADA_ZUREDU_FAIL");
    ParseFailures(fail.c_str());
    std::string corrupt = EnvValue("DADA_ZUREDU_CORRUPT");
    if (!corrupt.empty()) {
        char *end = nullptr;
        h.corruptLeft = std::strtoul(corrupt.c_str(), &end, 10);
        if (*end == ':') h.corruptMin = std::strtoul(end + 1, nullptr, 10);
    }
}

void Trace(const char *procedure)
{
    dada::Locked l(H().lock);
    Hooks &h = H();
    if (h.trace.size() < kTraceCap) {
        h.trace += procedure;
        h.trace += '\n';
    }
    if (!h.tracePath.empty()) AppendToFile(h.tracePath, procedure);
}

bool ShouldFail(const char *procedure)
{
    dada::Locked l(H().lock);
    Hooks &h = H();
    DWORD n = 0;
    bool counted = false;
    for (auto &c : h.calls)
        if (c.first == procedure) { n = ++c.second; counted = true; }
    if (!counted) h.calls.emplace_back(procedure, n = 1);
    for (const FailRule &r : h.failures)
        if (r.procedure == procedure && (r.nth == 0 || r.nth == n)) return true;
    return false;
}

void MaybeCorrupt(BYTE *data, DWORD &length)
{
    dada::Locked l(H().lock);
    Hooks &h = H();
    const DWORD kind = h.corruptMin & kDamageKinds, minLength = h.corruptMin & ~kDamageKinds;
    const DWORD least = kind == kDamageSecondWord ? 8 : 1;
    if (h.corruptLeft == 0 || length < least || length < minLength) return;
    --h.corruptLeft;
    if (kind == kDamageShorten)
        --length;
    else if (kind == kDamageSecondWord)
        data[4] ^= 0x01;
    else
        data[length - 1] ^= 0x5A;
}

} // namespace zuredu

using namespace zuredu;

extern "C" DWORD WINAPI ZUT_CorruptReplies(DWORD count, DWORD minLength)
{
    dada::Locked l(H().lock);
    DWORD before = H().corruptLeft;
    H().corruptLeft = count;
    H().corruptMin = minLength;
    return before;
}

extern "C" DWORD WINAPI ZUT_GetTrace(LPSTR buffer, DWORD size)
{
    dada::Locked l(H().lock);
    const std::string &t = H().trace;
    if (buffer && size) {
        size_t n = t.size() < size - 1 ? t.size() : size - 1;
        std::memcpy(buffer, t.data(), n);
        buffer[n] = '\0';
    }
    return static_cast<DWORD>(t.size());
}

extern "C" void WINAPI ZUT_SetFailures(LPCSTR list)
{
    dada::Locked l(H().lock);
    ParseFailures(list);
}
#endif
