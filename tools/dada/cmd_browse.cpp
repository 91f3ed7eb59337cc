// dada browse: the library's drive and folder browser on this machine or on
// a machine of the hosts map; prints the chosen path.
#include "command.h"
#include "dada_res.h"
#include "dadada32.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

int RunBrowse(const dadatool::Args &args)
{
    dadatool::Options o;
    if (!o.parse(args, {"pattern", "initial"}, {"files", "files-only"})) return 2;
    if (o.positional().size() > 1) return dadatool::Usage("browse takes one server name at most");
    const std::string server = o.positional().empty() ? std::string() : o.positional()[0];
    const std::string pattern = o.get("pattern"), initial = o.get("initial");
    if (initial.size() >= BROWSE_PATH_SIZE) return dadatool::Usage("--initial is longer than a path");

    char path[BROWSE_PATH_SIZE] = {};
    std::memcpy(path, initial.data(), initial.size());
    const bool files = o.has("files") || o.has("files-only");
    RemoteBrowseInfo info{};
    info.server = server.c_str();
    info.path = path;
    info.pathSize = sizeof path;
    info.mode = files ? 0 : BROWSE_FOLDERS_ONLY;
    info.titleId = files ? IDS_BROWSE_TITLE_FILES : IDS_BROWSE_TITLE;
    info.promptId = o.has("files-only") ? IDS_BROWSE_PROMPT_FILES : files ? IDS_BROWSE_PROMPT_ANY : IDS_BROWSE_PROMPT;
    info.pattern = o.has("pattern") ? pattern.c_str() : nullptr;
    info.filesOnly = o.has("files-only") ? 1 : 0;

    switch (RemoteBrowse(&info)) {
    case 1:
        std::printf("%s\r\n", path);
        return 0;
    case 0:
        std::fprintf(stderr, "dada: cancelled\n");
        return 1;
    default:
        return dadatool::Fail("the browse dialog cannot be shown (is there a display?)");
    }
}

dadatool::Register reg{{"browse",
    "browse [SERVER] [--files] [--files-only] [--pattern P;P] [--initial PATH]", RunBrowse}};

} // namespace
