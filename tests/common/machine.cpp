#include "machine.h"

#include <cstdlib>

namespace dadatest {

namespace {
// The started process; nothing when it cannot start.
dada::UniqueHandle Start(const std::string &commandLine, const char *folder)
{
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::vector<char> buf(commandLine.begin(), commandLine.end());
    buf.push_back('\0');
    if (!CreateProcessA(nullptr, buf.data(), nullptr, nullptr, FALSE, 0, nullptr, folder, &si, &pi)) return {};
    CloseHandle(pi.hThread);
    return dada::UniqueHandle(pi.hProcess);
}
} // namespace

Machine::Machine(const std::string &name, const std::vector<std::string> &command) : name_(name)
{
    const std::string portFile = dir_.file("port.txt");
    std::string program = command.empty() ? std::string() : command[0];
    if (program.find(':') == std::string::npos) program = ProgramDir() + program;
    std::string line = "\"" + program + "\"";
    for (size_t i = 1; i < command.size(); ++i) line += " \"" + command[i] + "\"";
    line += " --name " + name + " --listen 127.0.0.1:0 --port-file \"" + portFile + "\" --stop-file \"" +
            dir_.file("stop") + "\"";
    process_ = Start(line, nullptr);
    WaitUntil([&] {
        const std::string text = ReadFileBytes(portFile);
        if (!text.empty() && text.back() == '\n') port_ = std::strtoul(text.c_str(), nullptr, 10);
        return port_ || WaitForSingleObject(process_.get(), 0) != WAIT_TIMEOUT;
    }, 20000);
}

Machine::~Machine()
{
    if (process_) {
        WriteFileBytes(dir_.file("stop"), "stop");
        if (WaitForSingleObject(process_.get(), 10000) != WAIT_OBJECT_0) TerminateProcess(process_.get(), 1);
    }
}

void Machine::kill()
{
    if (process_) {
        TerminateProcess(process_.get(), 9);
        WaitForSingleObject(process_.get(), 10000);
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
    const dada::UniqueHandle process = Start(commandLine, folder);
    if (!process) return -1;
    DWORD code = 0xDEAD;
    if (WaitForSingleObject(process.get(), ms) == WAIT_OBJECT_0) GetExitCodeProcess(process.get(), &code);
    else TerminateProcess(process.get(), 9);
    return int(code);
}

} // namespace dadatest
