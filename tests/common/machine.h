// A second machine for the tests: another process that serves requests on a
// loopback port it picked itself and wrote into a port file, named in a
// hosts file of its own (the DADA_HOSTS format):
//
//   dadatest::Machine beta("BETA", {"zuredu_peer.exe", "--rpc"});
//   beta.port();  beta.hostsFile();  beta.kill();
//
// The program is started with "--name NAME --listen 127.0.0.1:0 --port-file
// PATH" added to its arguments (dada serve and the test peer both take
// them); its stop file (--stop-file PATH) ends it cleanly at destruction.
#pragma once
#include <windows.h>
#include <string>
#include <vector>
#include "testutil.h"

namespace dadatest {

class Machine {
public:
    // `command`: program (relative to the test programs' folder unless a
    // full path) and extra arguments.  Waits up to 20 s for the port file.
    Machine(const std::string &name, const std::vector<std::string> &command);
    ~Machine();
    Machine(const Machine &) = delete;
    Machine &operator=(const Machine &) = delete;

    bool running() const { return port_ != 0; }
    DWORD port() const { return port_; }
    const std::string &name() const { return name_; }
    // An INI file with [hosts] NAME=127.0.0.1:PORT (plus `extra` lines).
    const std::string &hostsFile() const { return hosts_; }
    // Ends the process at once, as a crash would.
    void kill();
    // Sets DADA_HOSTS of this process to the machine's hosts file.
    void useHosts() const;

private:
    std::string name_;
    TempDir dir_;
    std::string hosts_, stop_;
    PROCESS_INFORMATION pi_{};
    DWORD port_ = 0;
};

} // namespace dadatest
