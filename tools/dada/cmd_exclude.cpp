// dada exclude list|add|delete and dada check: an exclusion list kept in a
// profile file, edited and checked from a shell.
#include "command.h"
#include "dadada32.h"
#include "dada/limits.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

std::string StatusText(DWORD status)
{
    const char *text = "unknown status";
    switch (status) {
    case EXCLUDE_NOMEMORY: text = "not enough memory"; break;
    case EXCLUDE_BADARG: text = "missing argument, index out of range or item not found"; break;
    case EXCLUDE_LOADFAILED: text = "a stored item is malformed"; break;
    case EXCLUDE_DUPLICATE: text = "the item is already in the list"; break;
    case EXCLUDE_ILLEGALCHAR: text = "the item holds a character that is not allowed"; break;
    }
    return std::string(text) + " (status " + std::to_string(status) + ")";
}

// Why the profile at `path` cannot hold an exclusion list, or "" when it
// can.  A missing profile is fine only where it may be created (`add`).
std::string ProfileProblem(const std::string &path, bool mayCreate)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return mayCreate ? "" : "the profile does not exist";
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return "the profile is a folder";
    HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return "the profile cannot be read (error " + std::to_string(GetLastError()) + ")";
    char head[4096];
    DWORD got = 0;
    const bool read = ReadFile(f, head, sizeof head, &got, nullptr) != 0;
    CloseHandle(f);
    if (!read) return "the profile cannot be read";
    if (got == 0) return mayCreate ? "" : "the profile is empty";
    if (std::memchr(head, 0, got)) return "the profile is not a text file";
    char section[16];
    const bool hasSection = GetPrivateProfileSectionA("ExcludedItems", section, sizeof section, path.c_str()) != 0;
    if (!hasSection) return mayCreate ? "" : "the profile has no [ExcludedItems] section";
    char count[32];
    GetPrivateProfileStringA("ExcludedItems", "NumExcludeItems", "", count, sizeof count, path.c_str());
    const char *p = count;
    while (*p == ' ' || *p == '\t') ++p;
    if (*p == '+' || *p == '-') ++p;
    if (*p < '0' || *p > '9') return "the profile's NumExcludeItems is not a number";
    return "";
}

// An open list for the length of a command.
class List {
public:
    ~List() { ExcludeClose(&h_, 0); }
    // Opens the profile (a relative name is taken from the current folder,
    // not the Windows folder); prints the failure and answers false.
    bool Open(const std::string &profile, bool mayCreate = false)
    {
        char full[dada::kPathMax];
        DWORD n = GetFullPathNameA(profile.c_str(), sizeof full, full, nullptr);
        if (!n || n >= sizeof full) {
            dadatool::Fail("bad profile path " + profile);
            return false;
        }
        path_ = full;
        if (std::string why = ProfileProblem(path_, mayCreate); !why.empty()) {
            dadatool::Fail(path_ + ": " + why);
            return false;
        }
        DWORD status = ExcludeOpenEx(&h_, full, nullptr);
        if (status != EXCLUDE_OK) {
            dadatool::Fail("cannot load the exclusion list of " + path_ + ": " + StatusText(status));
            return false;
        }
        return true;
    }
    EXCLUDEHANDLE get() const { return h_; }
    DWORD Save() { return ExcludeClose(&h_, 1); }
private:
    EXCLUDEHANDLE h_ = nullptr;
    std::string path_;
};

bool Mask(const dadatool::Options &o, DWORD &mask)
{
    unsigned long n = 0xFFFFFFFFul;
    if (o.has("mask") && !o.getNumber("mask", n)) return false;
    if (n > 0xFFFFFFFFul) {
        dadatool::Usage("--mask must fit in 32 bits");
        return false;
    }
    mask = DWORD(n);
    return true;
}

bool CopyField(char (&field)[dada::kPathBuf], const std::string &text, const char *what)
{
    if (text.size() > dada::kPathMax) {
        dadatool::Usage(std::string(what) + " is longer than " + std::to_string(dada::kPathMax) + " characters");
        return false;
    }
    std::strcpy(field, text.c_str());
    return true;
}

int PrintList(const List &list)
{
    DWORD count = ExcludeGetCount(list.get());
    std::printf("%lu item%s\n", (unsigned long)count, count == 1 ? "" : "s");
    for (DWORD i = 0; i < count; ++i) {
        ExcludeItem item;
        if (ExcludeGet(list.get(), i, &item) != EXCLUDE_OK) break;
        std::printf("%lu: folder \"%s\" pattern \"%s\" mask 0x%08lX%s\n", (unsigned long)i, item.folder,
                    item.pattern, (unsigned long)item.mask, item.subfolders ? " with subfolders" : "");
    }
    return 0;
}

int RunExclude(const dadatool::Args &args)
{
    dadatool::Options o;
    if (!o.parse(args, {"profile", "folder", "pattern", "mask"}, {"subfolders"})) return 2;
    if (o.positional().size() != 1) return dadatool::Usage("exclude needs one of list, add, delete");
    const std::string action = o.positional()[0];
    if (action != "list" && action != "add" && action != "delete")
        return dadatool::Usage("exclude needs one of list, add, delete, not '" + action + "'");
    if (!o.has("profile")) return dadatool::Usage("exclude needs --profile INI");

    List list;
    if (!list.Open(o.get("profile"), action == "add")) return 1;
    if (action == "list") return PrintList(list);

    if (!o.has("folder") && !o.has("pattern")) return dadatool::Usage(action + " needs --folder or --pattern");
    std::string folder = o.get("folder"), pattern = o.get("pattern");
    DWORD status;
    if (action == "add") {
        ExcludeItem item{};
        if (!CopyField(item.folder, folder, "--folder") || !CopyField(item.pattern, pattern, "--pattern") ||
            !Mask(o, item.mask))
            return 2;
        item.subfolders = o.has("subfolders") ? 1 : 0;
        status = ExcludeAdd(list.get(), &item);
    } else {
        status = ExcludeDelete(list.get(), o.has("folder") ? folder.c_str() : nullptr,
                               o.has("pattern") ? pattern.c_str() : nullptr);
        if (status == EXCLUDE_BADARG) return dadatool::Fail("no such item in the list (status 5)");
    }
    if (status != EXCLUDE_OK) return dadatool::Fail("cannot " + action + " the item: " + StatusText(status));
    const DWORD count = ExcludeGetCount(list.get());
    list.Save();
    std::printf("%s; the list now holds %lu item(s)\n", action == "add" ? "added" : "deleted",
                (unsigned long)count);
    return 0;
}

int RunCheck(const dadatool::Args &args)
{
    dadatool::Options o;
    if (!o.parse(args, {"profile", "mask"}, {})) return 2;
    if (o.positional().empty()) return dadatool::Usage("check needs at least one PATH");
    if (!o.has("profile")) return dadatool::Usage("check needs --profile INI");
    DWORD mask;
    if (!Mask(o, mask)) return 2;
    List list;
    if (!list.Open(o.get("profile"))) return 1;
    for (const auto &path : o.positional())
        std::printf("%s: %s\n", path.c_str(),
                    ExcludeCheck(list.get(), path.c_str(), mask) == EXCLUDE_COVERED ? "covered" : "not covered");
    return 0;
}

dadatool::Register exclude{{"exclude",
    "exclude list|add|delete --profile INI [--folder F] [--pattern P] [--mask N] [--subfolders]", RunExclude}};
dadatool::Register check{{"check", "check PATH... --profile INI [--mask N]", RunCheck}};

} // namespace
