// Mapping a requested file name to a path on this machine.
#include "REMOTE/xfer_server.h"
#include "REMOTE/xfer_wire.h"
#include "dada/ascii.h"
#include <cstring>
#include <string_view>

namespace dada::xfer {

namespace {
bool IsSep(char c) { return c == '\\' || c == '/'; }
}

bool MapRemoteName(const char *name, DWORD available, char *out)
{
    if (!name || !out) return false;
    const void *end = std::memchr(name, 0, available);
    if (!end) return false;                        // not terminated inside the request
    std::string_view s(name, static_cast<const char *>(end) - name);

    size_t pos = 0;
    if (s.size() >= 2 && s[0] == s[1] && IsSep(s[0])) {
        // Network name: skip the server part and its separator.
        size_t sep = 2;
        while (sep < s.size() && !IsSep(s[sep])) ++sep;
        if (sep >= s.size()) return false;         // nothing after the server
        pos = sep + 1;
    } else if (!s.empty() && IsSep(s[0])) {
        return false;                              // rooted without a drive
    }

    size_t compEnd = pos;
    while (compEnd < s.size() && !IsSep(s[compEnd])) ++compEnd;
    if (compEnd == pos) return false;              // no first component

    std::string_view first = s.substr(pos, compEnd - pos), rest = s.substr(compEnd);
    const bool colon = first.back() != ':';
    if (first.size() + colon + rest.size() + 1 > kPathArea) return false;

    char *w = out;
    std::memcpy(w, first.data(), first.size());
    w += first.size();
    if (colon) *w++ = ':';
    std::memcpy(w, rest.data(), rest.size());
    w[rest.size()] = '\0';
    return true;
}

} // namespace dada::xfer
