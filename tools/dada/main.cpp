// dada: command-line front end of DADADA32.dll.
#include "command.h"

#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <cerrno>
#include <cstdlib>
#include <algorithm>

namespace dadatool {

static std::vector<Command> &Registry()
{
    static std::vector<Command> commands;
    return commands;
}

Register::Register(const Command &c) { Registry().push_back(c); }

int Usage(const std::string &message)
{
    std::fprintf(stderr, "dada: %s (see dada --help)\n", message.c_str());
    return 2;
}

int Fail(const std::string &message)
{
    std::fprintf(stderr, "dada: %s\n", message.c_str());
    return 1;
}

bool Options::parse(const Args &args, const std::vector<std::string> &valued,
                    const std::vector<std::string> &flags)
{
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        if (a.size() < 3 || a.compare(0, 2, "--") != 0) {
            positional_.push_back(a);
            continue;
        }
        std::string name = a.substr(2);
        if (std::find(flags.begin(), flags.end(), name) != flags.end()) {
            values_.emplace_back(name, "");
        } else if (std::find(valued.begin(), valued.end(), name) != valued.end()) {
            if (i + 1 >= args.size()) {
                Usage("option --" + name + " needs a value");
                return false;
            }
            values_.emplace_back(name, args[++i]);
        } else {
            Usage("unknown option " + a);
            return false;
        }
    }
    return true;
}

bool Options::has(const std::string &name) const
{
    return std::any_of(values_.begin(), values_.end(), [&](auto &v) { return v.first == name; });
}

std::string Options::get(const std::string &name, const std::string &def) const
{
    for (auto it = values_.rbegin(); it != values_.rend(); ++it)
        if (it->first == name) return it->second;
    return def;
}

bool Options::getNumber(const std::string &name, unsigned long &out) const
{
    std::string v = get(name);
    char *end = nullptr;
    errno = 0;
    unsigned long n = std::strtoul(v.c_str(), &end, 0);
    if (v.empty() || *end || errno || v[0] == '-') {
        Usage("--" + name + " needs a number, not '" + v + "'");
        return false;
    }
    out = n;
    return true;
}

} // namespace dadatool

static void Help()
{
    std::printf("dada - the DADADA32 library from a shell\n\nusage:\n");
    auto cmds = dadatool::Registry();
    std::sort(cmds.begin(), cmds.end(), [](auto &a, auto &b) { return std::string(a.name) < b.name; });
    for (const auto &c : cmds) std::printf("  dada %s\n", c.usage);
    std::printf("  dada --help\n");
}

int main(int argc, char **argv)
{
    _setmode(_fileno(stdout), _O_BINARY);   // lines carry their own CR LF
    if (argc < 2 || std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h") {
        Help();
        return argc < 2 ? 2 : 0;
    }
    std::string name = argv[1];
    for (const auto &c : dadatool::Registry())
        if (name == c.name) return c.run(dadatool::Args(argv + 2, argv + argc));
    return dadatool::Usage("unknown command '" + name + "'");
}
