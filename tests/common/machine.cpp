#include "machine.h"

#include <cstdlib>

namespace dadatest {

Machine::Machine(const std::string &name, const std::vector<std::string> &command) : name_(name)
{
    std::string portFile = dir_.file("port.txt");
    stop_ = dir_.file("stop");
    hosts_ = dir_.file("hosts.ini");
    std::string program = command.empty() ? std::string() : command[0];
    if (program.find(':') == std::string::npos) program = ProgramDir() + program;
    std::string line = "\"" + program + "\"";
    for (size_t i = 1; i < command.size(); ++i) line += " \"" + command[i] + "\"";
    line += " --name " + name + " --listen 127.0.0.1:0 --port-file \"" + portFile + "\" --stop-file \"" +
            stop_ + "\"";
    STARTUPINFOA si{};
    si.cb = sizeof si;
    std::vector<char> buf(line.begin(), line.end());
    buf.push_back('\0');
    if (!CreateProcessA(nullptr, buf.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi_)) return;
    for (int waited = 0; waited < 20000; waited += 20) {
        std::string text = ReadFileBytes(portFile);
        if (!text.empty() && text.back() == '\n') {
            port_ = std::strtoul(text.c_str(), nullptr, 10);
            break;
        }
        if (WaitForSingleObject(pi_.hProcess, 20) == WAIT_OBJECT_0) break;
    }
    WriteFileBytes(hosts_, "[hosts]\r\n" + name + "=127.0.0.1:" + std::to_string(port_) + "\r\n");
}

Machine::~Machine()
{
    if (pi_.hProcess) {
        WriteFileBytes(stop_, "stop");
        if (WaitForSingleObject(pi_.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(pi_.hProcess, 1);
        CloseHandle(pi_.hProcess);
        CloseHandle(pi_.hThread);
    }
}

void Machine::kill()
{
    if (pi_.hProcess) {
        TerminateProcess(pi_.hProcess, 9);
        WaitForSingleObject(pi_.hProcess, 10000);
    }
}

void Machine::useHosts() const { SetEnvironmentVariableA("DADA_HOSTS", hosts_.c_str()); }

} // namespace dadatest
