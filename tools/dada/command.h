// Subcommand registry of the dada tool.
#pragma once
#include <string>
#include <vector>

namespace dadatool {

using Args = std::vector<std::string>;

struct Command {
    const char *name;
    const char *usage;     // one line, after "dada "
    int (*run)(const Args &args);   // args after the command name; exit code
};

// Registers a command at start-up: static dadatool::Register r{{...}};
struct Register { explicit Register(const Command &c); };

// Prints "dada: message" to stderr and answers 2 (usage) or 1 (failure).
int Usage(const std::string &message);
int Fail(const std::string &message);

// Options: "--name value" and "--flag".  Returns false and prints a message
// for an unknown option or a missing value.
class Options {
public:
    // `valued` and `flags` list the accepted option names (without --).
    bool parse(const Args &args, const std::vector<std::string> &valued,
               const std::vector<std::string> &flags);
    bool has(const std::string &name) const;
    std::string get(const std::string &name, const std::string &def = {}) const;
    bool getNumber(const std::string &name, unsigned long &out) const;
    const Args &positional() const { return positional_; }
    // Every option given, in order, as (name, value); flags have "".
    const std::vector<std::pair<std::string, std::string>> &values() const { return values_; }
private:
    std::vector<std::pair<std::string, std::string>> values_;
    Args positional_;
};

} // namespace dadatool
