// CmdLineInit, CmdLineDuplicate and CmdLineEnd: splitting a command line
// into items in place.
#include "dadada32.h"
#include "CMDLINE/cmdline_record.h"
#include "dada/memblock.h"

#include <cstring>

namespace {

// Removes the character at i: the rest of the text moves one place left.
void RemoveAt(CmdLine *line, DWORD i)
{
    std::memmove(line->items + i, line->items + i + 1, line->length - i - 1);
    line->items[--line->length] = 0;
}

void Split(CmdLine *line)
{
    char *s = line->items;
    bool atStart = true, inQuotes = false;
    DWORD i = 0;
    while (i < line->length) {
        char c = s[i];
        if (c == ' ') {
            if (!inQuotes) {
                s[i] = 0;
                atStart = true;
            }
        } else if (c == '"' && inQuotes && i + 1 < line->length) {
            // A closing quote: a blank after it ends the item; anything else
            // starts a new item right after it.
            inQuotes = false;
            if (s[i + 1] == ' ') {
                RemoveAt(line, i);
                continue;
            }
            s[i] = 0;
            atStart = true;
        } else if (c == '"') {
            // An opening quote (or a closing one at the very end): a quoted
            // item is a parameter whatever follows the quote.
            if (atStart) {
                ++line->paramCount;
                atStart = false;
            }
            inQuotes = !inQuotes;
            RemoveAt(line, i);
            continue;
        } else if (atStart) {
            if (IsSwitchChar(c)) ++line->switchCount;
            else ++line->paramCount;
            atStart = false;
        }
        ++i;
    }
}

} // namespace

extern "C" CmdLine *DADAAPI CmdLineInit(LPCSTR text)
{
    auto *line = dada::BlockNew<CmdLine>(dada::Block::Fixed);
    if (!line) return nullptr;
    if (text) {
        line->length = static_cast<DWORD>(strnlen(text, kCmdLineTextBytes));
        std::memcpy(line->items, text, line->length);
    }
    Split(line);
    return line;
}

extern "C" CmdLine *DADAAPI CmdLineDuplicate(const CmdLine *line)
{
    if (!line) return nullptr;
    auto *copy = dada::BlockNew<CmdLine>(dada::Block::Fixed);
    if (copy) *copy = *line;
    return copy;
}

extern "C" void DADAAPI CmdLineEnd(CmdLine *line)
{
    dada::BlockFree(line);
}
