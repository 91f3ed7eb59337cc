#include "machine.h"

#include <cstdlib>

namespace dadatest {

namespace {
bool Start(const std::string &commandLine, const char *folder, PROCESS_INFORMATION &pi)
{
    STARTUPINFOA si{};
    si.cb = sizeof si;
    std::vector<char> buf(commandLine.begin(), commandLine.end());
    buf.push_back('\0');
    return CreateProcessA(nullptr, buf.data(), nullptr, nullptr, FALSE, 0, nullptr, folder, &si, &pi) != 0;
}
} // namespace

Machine::Machine(const std::string &name, const std::vector<std::string> &command) : name_(name)
{
    const std::string portFile = dir_.file("port.txt");
    stop_ = dir_.file("stop");
    std::string program = command.empty() ? std::string() : command[0];
    if (program.find(':') == std::string::npos) program = ProgramDir() + program;
    std::string line = "\"" + program + "\"";
    for (size_t i = 1; i < command.size(); ++i) line += " \"" + command[i] + "\"";
    line += " --name " + name + " --listen 127.0.0.1:0 --port-file \"" + portFile + "\" --stop-file \"" +
            stop_ + "\"";
    if (!Start(line, nullptr, pi_)) return;
    for (int waited = 0; waited < 20000; waited += 20) {
        std::string text = ReadFileBytes(portFile);
        if (!text.empty() && text.back() == '\n') {
            port_ = std::strtoul(text.c_str(), nullptr, 10);
            break;
        }
        if (WaitForSingleObject(pi_.hProcess, 20) == WAIT_OBJECT_0) break;
    }
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

void Machine::useHosts() const
{
    UseHosts(dir_.file("hosts.ini"), name_ + "=127.0.0.1:" + std::to_string(port_) + "\r\n");
}

void UseHosts(const std::string &file, const std::string &lines)
{
    WriteFileBytes(file, "[hosts]\r\n" + lines);
    SetEnvironmentVariableA("DADA_HOSTS", file.c_str());
}

int RunProgram(const std::string &commandLine, const char *folder, DWORD ms)
{
    PROCESS_INFORMATION pi{};
    if (!Start(commandLine, folder, pi)) return -1;
    DWORD code = 0xDEAD;
    if (WaitForSingleObject(pi.hProcess, ms) == WAIT_OBJECT_0) GetExitCodeProcess(pi.hProcess, &code);
    else TerminateProcess(pi.hProcess, 9);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return int(code);
}

} // namespace dadatest
