// dada volumes / dada dir: another machine's drives and folders through the
// remote calls 301 and 302.
#include "command.h"
#include "zarov.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

const CallDescriptor kVolumes = RPC_DESCRIPTOR_READ_VOLUMES;
const CallDescriptor kDirectory = RPC_DESCRIPTOR_READ_DIRECTORY;

std::string Reason(DWORD code)
{
    switch (code) {
    case RPC_E_NO_CONNECTION: return "the machine is unknown or does not answer";
    case RPC_E_TRANSPORT: return "the call was lost on its way (time-out or connection closed)";
    case RPC_E_NOT_FOUND: return "the folder cannot be read";
    case RPC_E_BAD_REPLY: return "the answer was malformed";
    default: {
        char text[32];
        std::snprintf(text, sizeof text, "error 0x%08lX", static_cast<unsigned long>(code));
        return text;
    }
    }
}

// A zeroed packet with room for the descriptor's reply.
struct Packet {
    Packet(const CallDescriptor &d, const std::string &server) : bytes(RPC_PACKET_SIZE(&d) / 4 + 1, 0)
    {
        p()->server = server.c_str();
        p()->descriptor = &d;
    }
    CallPacket *p() { return reinterpret_cast<CallPacket *>(bytes.data()); }
    std::vector<DWORD> bytes;   // DWORDs: the packet's alignment
};

// Calls `fn(type, name)` for each entry of a name list.
template <class Fn> void EachName(const BYTE *list, DWORD count, bool typed, Fn fn)
{
    DWORD at = 0;
    while (at < count && list[at]) {
        BYTE type = typed ? list[at++] : 0;
        DWORD start = at;
        while (at < count && list[at]) ++at;
        if (at >= count) return;   // a name without its zero: the list ends here
        fn(type, std::string(reinterpret_cast<const char *>(list + start), at - start));
        ++at;
    }
}

int RunVolumes(const dadatool::Args &args)
{
    dadatool::Options o;
    if (!o.parse(args, {}, {})) return 2;
    if (o.positional().size() != 1) return dadatool::Usage("volumes needs exactly one SERVER");
    std::string server = o.positional()[0];
    Packet pk(kVolumes, server);
    DWORD first = 0, most = 64;
    pk.p()->in[0] = &first;
    pk.p()->in[1] = &most;
    pk.p()->out[0] = &pk.p()->replyCount;
    pk.p()->out[1] = pk.p()->replyList;
    DWORD status = RPC_SendCall(pk.p());
    if (status != RPC_OK) return dadatool::Fail("volumes of " + server + ": " + Reason(status));
    EachName(pk.p()->replyList, pk.p()->replyCount, false,
             [](BYTE, const std::string &name) { std::printf("%s\n", name.c_str()); });
    return 0;
}

int RunDir(const dadatool::Args &args)
{
    dadatool::Options o;
    if (!o.parse(args, {"pattern"}, {"folders"})) return 2;
    if (o.positional().size() != 2) return dadatool::Usage("dir needs SERVER and PATH");
    std::string server = o.positional()[0], search = o.positional()[1];
    if (search.find_first_of("*?") == std::string::npos) {
        if (!search.empty() && search.back() != '\\') search += '\\';
        search += "*.*";
    }
    std::string pattern = o.get("pattern");
    DWORD pathLen = static_cast<DWORD>(search.size() + 1);
    DWORD patLen = o.has("pattern") ? static_cast<DWORD>(pattern.size() + 1) : 0;
    DWORD mode = o.has("folders") ? RPC_MODE_FOLDERS_ONLY : 0, cont = 0;
    unsigned long files = 0, folders = 0, batches = 0;
    while (cont != RPC_CONTINUATION_DONE) {
        Packet pk(kDirectory, server);
        void *in[] = {&pathLen, search.data(), &patLen, pattern.data(), &cont, &mode};
        std::memcpy(pk.p()->in, in, sizeof in);
        pk.p()->out[0] = &cont;
        pk.p()->out[1] = &pk.p()->replyCount;
        pk.p()->out[2] = pk.p()->replyList;
        DWORD status = RPC_SendCall(pk.p());
        if (status != RPC_OK) return dadatool::Fail(search + " on " + server + ": " + Reason(status));
        ++batches;
        size_t before = files + folders;
        EachName(pk.p()->replyList, pk.p()->replyCount, true, [&](BYTE type, const std::string &name) {
            if (name == "." || name == "..") return;
            bool folder = type == RPC_ENTRY_FOLDER;
            (folder ? folders : files)++;
            std::printf("%s %s\n", folder ? "<DIR>" : "     ", name.c_str());
        });
        if (files + folders == before && cont != RPC_CONTINUATION_DONE && pk.p()->replyCount <= 2) break;
    }
    std::printf("%lu folder(s), %lu file(s) in %lu batch(es)\n", folders, files, batches);
    return 0;
}

dadatool::Register volumes{{"volumes", "volumes SERVER", RunVolumes}};
dadatool::Register dir{{"dir", "dir SERVER PATH [--pattern P;P...] [--folders]", RunDir}};

} // namespace
