// A second machine for the tests: another process serving on a loopback
// port it picked and wrote into a port file, named in a hosts file of its
// own (the DADA_HOSTS format).  The program gets "--name NAME --listen
// 127.0.0.1:0 --port-file PATH --stop-file PATH" added to its arguments;
// the stop file ends it cleanly at destruction.
//   dadatest::Machine beta("BETA", {"dada.exe", "serve"});
#pragma once
#include <windows.h>
#include <string>
#include <vector>
#include "dada/handle.h"
#include "testutil.h"

namespace dadatest {

class Machine {
public:
    // `command`: program (relative to the test programs' folder unless a
    // full path) and extra arguments.  Waits up to 20 s for the port file.
    Machine(const std::string &name, const std::vector<std::string> &command);
    ~Machine();

    bool running() const { return port_ != 0; }
    DWORD port() const { return port_; }
    void kill();                       // ends the process at once, as a crash would
    void useHosts() const;             // DADA_HOSTS of this process names the machine

private:
    TempDir dir_;
    std::string name_;
    dada::UniqueHandle process_;
    DWORD port_ = 0;
};

// Writes "[hosts]" plus `lines` into `file` and makes it this process's DADA_HOSTS.
void UseHosts(const std::string &file, const std::string &lines);

// Runs a command line in `folder` (null: this one); answers its exit code,
// -1 when it cannot start, 0xDEAD when killed after `ms`.
int RunProgram(const std::string &commandLine, const char *folder, DWORD ms = 60000);

// `size` bytes of a pattern that differs with `salt` and repeats only
// after many blocks.
inline std::string Pattern(size_t size, unsigned salt = 0)
{
    std::string s(size, '\0');
    for (size_t i = 0; i < size; ++i) s[i] = char((i * 167 + salt) ^ (i >> 11));
    return s;
}

// A reply block of the communication library, freed at scope end the way its
// convention says (GlobalHandle, GlobalUnlock, GlobalFree).
struct ReplyBlock {
    void *p = nullptr;
    DWORD length = 0;
    ReplyBlock() = default;
    ReplyBlock(const ReplyBlock &) = delete;
    ReplyBlock &operator=(const ReplyBlock &) = delete;
    ~ReplyBlock() { release(); }
    void release()
    {
        if (HGLOBAL h = p ? GlobalHandle(p) : nullptr) {
            GlobalUnlock(h);
            GlobalFree(h);
        }
        p = nullptr;
        length = 0;
    }
    const BYTE *bytes() const { return static_cast<const BYTE *>(p); }
};

} // namespace dadatest
