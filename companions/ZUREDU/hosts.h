// Machine names: the hosts map (DADA_HOSTS) and the name this process
// answers to.
#pragma once
#include <winsock2.h>
#include <string>

namespace zuredu {

// Strips leading backslashes or slashes ("\\ALPHA" -> "ALPHA").
std::string BareName(const char *name);
// The endpoint of machine `name`: the hosts file first, then the built-in
// names of this computer.  False when the name is unknown or its entry is
// not a valid ADDRESS:PORT.
bool ResolveMachine(const std::string &name, sockaddr_in &out);
// This computer's name (GetComputerNameA).
std::string ComputerName();
// The machine this process is: set by NetService_Listen, else DADA_MACHINE,
// else the computer's name.
std::string OwnMachine();
void SetOwnMachine(const std::string &name);
// The value of `key` in `section` of the DADA_HOSTS file; empty when there
// is no file, no such key, or a value too long to be one of ours.
std::string HostsValue(const char *section, const char *key);
// The value of an environment variable, empty when unset.
std::string EnvValue(const char *name);

} // namespace zuredu
