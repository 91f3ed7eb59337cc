// dada move: move a file by copy and delete.
#include "command.h"
#include "dadada32.h"

namespace {

int RunMove(const dadatool::Args &args)
{
    dadatool::Options o;
    if (!o.parse(args, {}, {"overwrite"})) return 2;
    if (o.positional().size() != 2) return dadatool::Usage("move needs SRC and DST");
    const std::string &src = o.positional()[0], &dst = o.positional()[1];
    if (FileMove(src.c_str(), dst.c_str(), o.has("overwrite") ? 1 : 0)) return 0;
    const DWORD srcAttributes = GetFileAttributesA(src.c_str());
    const DWORD dstAttributes = GetFileAttributesA(dst.c_str());
    std::string why;
    if (srcAttributes == INVALID_FILE_ATTRIBUTES) why = "the source does not exist";
    else if (srcAttributes & FILE_ATTRIBUTE_DIRECTORY) why = "the source is a folder, not a file";
    else if (dstAttributes != INVALID_FILE_ATTRIBUTES && !o.has("overwrite"))
        why = "the destination exists (use --overwrite)";
    else if (dstAttributes != INVALID_FILE_ATTRIBUTES && (dstAttributes & FILE_ATTRIBUTE_READONLY))
        why = "the destination is read-only";
    else why = "the copy or the removal of the source failed";
    return dadatool::Fail("could not move " + src + " to " + dst + ": " + why);
}

dadatool::Register reg{{"move", "move SRC DST [--overwrite]", RunMove}};

} // namespace
