// dada cmdline: how the library splits a command line into switches,
// parameters and items, and which option values it finds.
#include "command.h"
#include "dadada32.h"
#include "dada/limits.h"

#include <cstdio>
#include <memory>

namespace {

int RunCmdLine(const dadatool::Args &args)
{
    if (args.empty()) return dadatool::Usage("cmdline needs LINE");
    dadatool::Options o;
    if (!o.parse(dadatool::Args(args.begin() + 1, args.end()), {"option"}, {})) return 2;
    if (!o.positional().empty()) return dadatool::Usage("cmdline takes one LINE; quote it");

    std::unique_ptr<CmdLine, void(WINAPI *)(CmdLine *)> line(CmdLineInit(args[0].c_str()), CmdLineEnd);
    if (!line) return dadatool::Fail("out of memory");
    if (args[0].size() > dada::kPathMax)
        std::printf("(the line is cut to its first %u bytes)\n", unsigned(dada::kPathBuf));

    char item[300];
    std::printf("items:\n");
    DWORD found[2] = {};
    for (DWORD i = 0; (i = CmdLineGetNextItem(line.get(), i, item, sizeof item)) != CMDLINE_NO_ITEM;) {
        bool isSwitch = IsSwitch(item);
        std::printf("  %2lu  %-9s  [%s]\n", static_cast<unsigned long>(i - 1),
                    isSwitch ? "switch" : "parameter", isSwitch ? item + 1 : item);
        ++found[isSwitch ? 0 : 1];
    }
    DWORD switches = CmdLineGetSwitchCount(line.get()), params = CmdLineGetParamCount(line.get());
    std::printf("counted: %lu switches, %lu parameters\n", static_cast<unsigned long>(switches),
                static_cast<unsigned long>(params));
    if (found[0] != switches || found[1] != params)
        std::printf("note: the accessors find %lu switches and %lu parameters (quoted items count as "
                    "parameters; empty quotes leave no item)\n",
                    static_cast<unsigned long>(found[0]), static_cast<unsigned long>(found[1]));

    for (const auto &[key, name] : o.values())
        std::printf("option %s: %s\n", name.c_str(),
                    CmdLineGetOptionValue(line.get(), name.c_str(), item, sizeof item) ? item
                                                                                        : "(no value)");
    return 0;
}

dadatool::Register reg{{"cmdline", "cmdline LINE [--option NAME]...", RunCmdLine}};

} // namespace
