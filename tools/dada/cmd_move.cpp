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
    if (!FileMove(src.c_str(), dst.c_str(), o.has("overwrite") ? 1 : 0))
        return dadatool::Fail("could not move " + src + " to " + dst +
                              (o.has("overwrite") ? "" : " (an existing destination needs --overwrite)"));
    return 0;
}

dadatool::Register reg{{"move", "move SRC DST [--overwrite]", RunMove}};

} // namespace
