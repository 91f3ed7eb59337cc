// The accessors of a parsed command line: they walk the zero-separated items
// and classify each by its first character.
#include "dadada32.h"
#include "CMDLINE/cmdline_record.h"
#include "common/boundedcopy.h"

#include <array>
#include <string_view>

namespace {

enum class Kind { Any, Switch, Param };

// The items of a line in order.  Runs of zero bytes separate items and are
// not items themselves, so 261 bytes hold at most 131 items.
struct Items {
    std::array<std::string_view, (kCmdLineTextBytes + 1) / 2> at;
    DWORD count = 0;

    explicit Items(const CmdLine *line)
    {
        const char *s = line->items;
        DWORD length = line->length < kCmdLineTextBytes ? line->length : kCmdLineTextBytes;
        for (DWORD i = 0; i < length;) {
            if (!s[i]) {
                ++i;
                continue;
            }
            DWORD start = i;
            while (i < length && s[i]) ++i;
            at[count++] = std::string_view(s + start, i - start);
        }
    }

    static bool IsSwitch(std::string_view item) { return IsSwitchChar(item[0]); }

    // The index-th item of the kind, or an empty view when there is none.
    std::string_view find(DWORD index, Kind kind) const
    {
        for (DWORD i = 0; i < count; ++i) {
            bool match = kind == Kind::Any || (kind == Kind::Switch) == IsSwitch(at[i]);
            if (match && index-- == 0) return at[i];
        }
        return {};
    }
};

bool SameName(std::string_view switchItem, LPCSTR name)
{
    char switchName[kCmdLineTextBytes];
    std::string_view n = switchItem.substr(1);
    n.copy(switchName, n.size());
    switchName[n.size()] = 0;
    return lstrcmpiA(switchName, name) == 0;
}

DWORD CopyItem(const CmdLine *line, DWORD index, Kind kind, LPSTR dest, DWORD size)
{
    if (!line) return 0;
    std::string_view item = Items(line).find(index, kind);
    if (item.empty()) return 0;
    if (kind == Kind::Switch) item.remove_prefix(1);
    dada::BoundedCopy(dest, size, item);
    return 1;
}

} // namespace

extern "C" DWORD DADAAPI CmdLineGetSwitchCount(const CmdLine *line) { return line ? line->switchCount : 0; }

extern "C" DWORD DADAAPI CmdLineGetParamCount(const CmdLine *line) { return line ? line->paramCount : 0; }

extern "C" DWORD DADAAPI IsSwitch(LPCSTR text) { return text && IsSwitchChar(text[0]) ? 1 : 0; }

extern "C" DWORD DADAAPI CmdLineGetSwitch(const CmdLine *line, DWORD index, LPSTR dest, DWORD size)
{
    return CopyItem(line, index, Kind::Switch, dest, size);
}

extern "C" DWORD DADAAPI CmdLineGetParam(const CmdLine *line, DWORD index, LPSTR dest, DWORD size)
{
    return CopyItem(line, index, Kind::Param, dest, size);
}

extern "C" DWORD DADAAPI CmdLineGetNextItem(const CmdLine *line, DWORD index, LPSTR dest, DWORD size)
{
    if (index == CMDLINE_NO_ITEM || !CopyItem(line, index, Kind::Any, dest, size))
        return CMDLINE_NO_ITEM;
    return index + 1;
}

extern "C" DWORD DADAAPI CmdLineFindSwitch(const CmdLine *line, LPCSTR name)
{
    if (!line || !name) return 0;
    Items items(line);
    for (DWORD i = 0; i < items.count; ++i)
        if (Items::IsSwitch(items.at[i]) && SameName(items.at[i], name)) return 1;
    return 0;
}

extern "C" DWORD DADAAPI CmdLineGetOptionValue(const CmdLine *line, LPCSTR name, LPSTR dest, DWORD size)
{
    if (!line || !name) return 0;
    Items items(line);
    for (DWORD i = 0; i + 1 < items.count; ++i) {
        if (!Items::IsSwitch(items.at[i]) || !SameName(items.at[i], name)) continue;
        if (!Items::IsSwitch(items.at[i + 1])) {
            dada::BoundedCopy(dest, size, items.at[i + 1]);
            return 1;
        }
        ++i;   // a switch follows: the search goes on after it, untested
    }
    return 0;
}
