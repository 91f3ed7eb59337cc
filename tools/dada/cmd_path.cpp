// dada match / find / path / validate: the path-name functions from a shell.
#include "command.h"
#include "dadada32.h"
#include "dada/limits.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <string>

namespace {

constexpr DWORD kDefaultSize = dada::kPathBuf;

int RunMatch(const dadatool::Args &args)
{
    if (args.size() < 2) return dadatool::Usage("match needs PATTERNS and at least one NAME");
    for (size_t i = 1; i < args.size(); ++i)
        std::printf("%s\t%s\n", NameWildcardMatch(args[0].c_str(), args[i].c_str()) ? "match" : "no",
                    args[i].c_str());
    return 0;
}

std::string AttributeLetters(DWORD kv)
{
    static const std::pair<DWORD, char> letters[] = {
        {KVATTR_ARCHIVE, 'A'}, {KVATTR_DIRECTORY, 'D'}, {KVATTR_HIDDEN, 'H'},
        {KVATTR_NORMAL, 'N'},  {KVATTR_READONLY, 'R'},  {KVATTR_SYSTEM, 'S'},
    };
    std::string s;
    for (auto [bit, letter] : letters) s += (kv & bit) ? letter : '-';
    return s;
}

DWORD WINAPI PrintRecord(FindFileRecord *r)
{
    static const char *const kinds[] = {"file", "folder", "end", "too-long"};
    const char *kind = r->kind < 4 ? kinds[r->kind] : "?";
    std::printf("%s\t%.260s\t%s\t%lu\t%s\n", kind, r->path, r->name, static_cast<unsigned long>(r->sizeLow),
                AttributeLetters(r->attributes).c_str());
    ++*reinterpret_cast<unsigned long *>(r->userValue);
    return 1;
}

int RunFind(const dadatool::Args &args)
{
    dadatool::Options o;
    if (!o.parse(args, {}, {"recurse"})) return 2;
    if (o.positional().size() != 1) return dadatool::Usage("find needs exactly one DIR");
    const std::string &dir = o.positional()[0];
    if (!NameIsDirectory(dir.c_str())) return dadatool::Fail("no such folder: " + dir);
    unsigned long count = 0;
    if (!FindAllFiles(dir.c_str(), o.has("recurse") ? 1 : 0, PrintRecord,
                      reinterpret_cast<UINT_PTR>(&count)))
        return dadatool::Fail("out of memory");
    std::fflush(stdout);
    std::fprintf(stderr, "%lu records\n", count);
    return 0;
}

// One `dada path` operation: its arguments and what it prints.
struct PathOp {
    int argc;
    const char *help;
    std::function<int(const dadatool::Args &, DWORD size, bool format)> run;
};

int PrintText(const char *s) { std::printf("%s\n", s); return 0; }
int PrintYesNo(BOOL b) { std::printf("%s\n", b ? "yes" : "no"); return 0; }

// In place on a copy of the path in a buffer of `size` bytes.
int InPlace(const std::string &path, DWORD size, const std::function<bool(char *)> &op)
{
    std::string buf = path;
    buf.resize(std::max<size_t>(size, path.size() + 1), '\0');
    if (!op(buf.data())) return dadatool::Fail("the result does not fit in " + std::to_string(size) + " bytes");
    return PrintText(buf.c_str());
}

const std::map<std::string, PathOp> &PathOps()
{
    using A = const dadatool::Args &;
    static const std::map<std::string, PathOp> ops{
        {"append-file", {2, "PATH NAME [--size N]", [](A a, DWORD size, bool) {
             return InPlace(a[0], size, [&](char *b) { return NameAppendFile(b, size, a[1].c_str()) != 0; });
         }}},
        {"append-ext", {2, "PATH EXT [--size N]", [](A a, DWORD size, bool) {
             return InPlace(a[0], size, [&](char *b) { return NameAppendExtension(b, size, a[1].c_str()) != 0; });
         }}},
        {"file", {1, "PATH", [](A a, DWORD, bool) {
             char out[dada::kPathBuf];
             NameReturnFile(a[0].c_str(), out);
             return PrintText(out);
         }}},
        {"ext", {1, "PATH", [](A a, DWORD, bool) {
             char out[dada::kPathBuf];
             NameReturnExtension(a[0].c_str(), out, sizeof out);
             return PrintText(out);
         }}},
        {"strip-file", {1, "PATH", [](A a, DWORD, bool) {
             return InPlace(a[0], 0, [](char *b) { NameStripFile(b); return true; });
         }}},
        {"strip-ext", {1, "PATH", [](A a, DWORD, bool) {
             return InPlace(a[0], 0, [](char *b) { NameStripExtension(b); return true; });
         }}},
        {"format", {1, "PATH", [](A a, DWORD, bool) {
             return InPlace(a[0], 0, [](char *b) { NameOutputFormat(b); return true; });
         }}},
        {"long", {1, "PATH [--size N]", [](A a, DWORD size, bool) {
             std::string out(size, '\0');
             if (!NameReturnLongName(a[0].c_str(), out.data(), size)) return dadatool::Fail("cannot expand " + a[0]);
             return PrintText(out.c_str());
         }}},
        {"short", {1, "PATH [--size N] [--format]", [](A a, DWORD size, bool format) {
             std::string out(size, '\0');
             if (!NameReturnShortName(a[0].c_str(), out.data(), size, format ? 1 : 0))
                 return dadatool::Fail("cannot expand " + a[0] + " (does it exist?)");
             return PrintText(out.c_str());
         }}},
        {"wildcards", {1, "PATH", [](A a, DWORD, bool) {
             LPSTR at = NameHasWildcards(a[0].c_str());
             if (!at) return PrintText("none");
             std::printf("%c at %ld\n", *at, static_cast<long>(at - a[0].c_str()));
             return 0;
         }}},
        {"separate", {1, "ITEM", [](A a, DWORD, bool) {
             char folder[dada::kPathBuf], pattern[dada::kPathBuf];
             NameSeparatePath(a[0].c_str(), folder, pattern);
             std::printf("folder\t%s\npattern\t%s\n", folder, pattern);
             return 0;
         }}},
        {"has-drive", {1, "PATH", [](A a, DWORD, bool) { return PrintYesNo(NameHasDriveLetter(a[0].c_str())); }}},
        {"is-device", {1, "NAME", [](A a, DWORD, bool) { return PrintYesNo(NameIsDevice(a[0].c_str())); }}},
        {"is-unc", {1, "PATH", [](A a, DWORD, bool) { return PrintYesNo(NameIsUNCPath(a[0].c_str())); }}},
        {"is-dir", {1, "PATH", [](A a, DWORD, bool) { return PrintYesNo(NameIsDirectory(a[0].c_str())); }}},
        {"is-target", {1, "ITEM", [](A a, DWORD, bool) { return PrintYesNo(NameIsTargetFile(a[0].c_str())); }}},
    };
    return ops;
}

int RunPath(const dadatool::Args &args)
{
    dadatool::Options o;
    if (!o.parse(args, {"size"}, {"format"})) return 2;
    const auto &pos = o.positional();
    if (pos.empty()) {
        std::string list;
        for (const auto &[name, op] : PathOps()) list += "\n  dada path " + name + " " + op.help;
        return dadatool::Usage("path needs an operation:" + list);
    }
    auto it = PathOps().find(pos[0]);
    if (it == PathOps().end()) return dadatool::Usage("unknown path operation '" + pos[0] + "'");
    dadatool::Args rest(pos.begin() + 1, pos.end());
    if (int(rest.size()) != it->second.argc)
        return dadatool::Usage("usage: dada path " + it->first + " " + it->second.help);
    unsigned long size = kDefaultSize;
    if (o.has("size") && !o.getNumber("size", size)) return 2;
    if (size > 65536) return dadatool::Usage("--size must be at most 65536");
    return it->second.run(rest, DWORD(size), o.has("format"));
}

int RunValidate(const dadatool::Args &args)
{
    dadatool::Options o;
    if (!o.parse(args, {}, {"wildcards", "targets"})) return 2;
    if (o.positional().size() != 1) return dadatool::Usage("validate needs exactly one ITEM");
    DWORD flags = (o.has("wildcards") ? NAME_VALIDATE_WILDCARDS : 0) |
                  (o.has("targets") ? NAME_VALIDATE_TARGETS : 0);
    const std::string &item = o.positional()[0];
    std::printf("%s\t%s\n", NameValidateItem(item.c_str(), flags) ? "valid" : "invalid", item.c_str());
    return 0;
}

dadatool::Register match{{"match", "match PATTERNS NAME...   (PATTERNS: ';'-separated)", RunMatch}};
dadatool::Register find{{"find", "find DIR [--recurse]   (kind, path, name, size, attributes)", RunFind}};
dadatool::Register path{{"path", "path OP ARGS   (dada path for the list of operations)", RunPath}};
dadatool::Register validate{{"validate", "validate ITEM [--wildcards] [--targets]", RunValidate}};

} // namespace
