#include "wildcard.h"

namespace zarov {

namespace {

char Fold(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// Iterative glob with one back-tracking point (the last '*').
bool Glob(std::string_view p, std::string_view n)
{
    size_t pi = 0, ni = 0, star = std::string_view::npos, mark = 0;
    while (ni < n.size()) {
        if (pi < p.size() && (p[pi] == '?' || Fold(p[pi]) == Fold(n[ni]))) {
            ++pi;
            ++ni;
        } else if (pi < p.size() && p[pi] == '*') {
            star = pi++;
            mark = ni;
        } else if (star != std::string_view::npos) {
            pi = star + 1;
            ni = ++mark;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == '*') ++pi;
    return pi == p.size();
}

} // namespace

bool MatchPattern(std::string_view pattern, std::string_view name)
{
    if (Glob(pattern, name)) return true;
    if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*" &&
        name.find('.') == std::string_view::npos)
        return Glob(pattern.substr(0, pattern.size() - 2), name);
    return false;
}

bool MatchPatternList(std::string_view list, std::string_view name)
{
    while (!list.empty()) {
        size_t end = list.find(';');
        std::string_view item = list.substr(0, end);
        if (!item.empty() && MatchPattern(item, name)) return true;
        if (end == std::string_view::npos) break;
        list.remove_prefix(end + 1);
    }
    return false;
}

} // namespace zarov
