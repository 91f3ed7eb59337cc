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

ServedRoots ServedRoots::Read()
{
    ServedRoots r;
    char setting[kRootsArea];
    const DWORD n = GetEnvironmentVariableA(kRootsVariable, setting, sizeof setting);
    r.set_ = n != 0;
    if (n == 0 || n >= sizeof setting) return r;
    std::string_view rest(setting, n);
    while (!rest.empty()) {
        const size_t end = std::min(rest.find(';'), rest.size());
        std::string root = FullPath(std::string(rest.substr(0, end)).c_str());
        rest.remove_prefix(std::min(end + 1, rest.size()));
        if (!root.empty()) r.roots_.push_back(std::move(root));
    }
    return r;
}

RootReach ServedRoots::reach(const std::string &full) const
{
    if (!set_) return RootReach::Inside;
    if (full.empty()) return RootReach::Outside;
    RootReach reach = RootReach::Outside;
    for (const std::string &r : roots_) {
        if (Contains(r, full)) return RootReach::Inside;
        if (Contains(full, r)) reach = RootReach::Toward;
    }
    return reach;
}

} // namespace dada
