#include "dada/served_roots.h"
#include "dada/ascii.h"
#include "dada/limits.h"

#include <windows.h>
#include <algorithm>
#include <string_view>

namespace dada {

namespace {

// `outer` is `inner` or one of its folders.
bool Contains(std::string_view outer, std::string_view inner)
{
    if (inner.size() < outer.size() || !EqualsNoCase(inner.substr(0, outer.size()), outer)) return false;
    return inner.size() == outer.size() || outer.back() == '\\' || inner[outer.size()] == '\\';
}

} // namespace

bool HasServedRoots()
{
    return GetEnvironmentVariableA(kRootsVariable, nullptr, 0) != 0;
}

std::string FullPath(const char *path)
{
    char full[kPathBuf];
    const DWORD n = GetFullPathNameA(path, sizeof full, full, nullptr);
    if (n == 0 || n >= sizeof full) return {};
    std::string s(full, n);
    for (char &c : s)
        if (c == '/') c = '\\';
    while (s.size() > 3 && s.back() == '\\') s.pop_back();
    return s;
}

RootReach ReachOf(const std::string &full)
{
    char roots[kRootsArea];
    const DWORD n = GetEnvironmentVariableA(kRootsVariable, roots, sizeof roots);
    if (n == 0) return RootReach::Inside;
    if (n >= sizeof roots || full.empty()) return RootReach::Outside;
    RootReach reach = RootReach::Outside;
    std::string_view rest(roots, n);
    while (!rest.empty()) {
        const size_t end = std::min(rest.find(';'), rest.size());
        const std::string r = FullPath(std::string(rest.substr(0, end)).c_str());
        rest.remove_prefix(std::min(end + 1, rest.size()));
        if (r.empty()) continue;
        if (Contains(r, full)) return RootReach::Inside;
        if (Contains(full, r)) reach = RootReach::Toward;
    }
    return reach;
}

bool InServedRoots(const char *path)
{
    return ReachOf(FullPath(path)) == RootReach::Inside;
}

} // namespace dada
