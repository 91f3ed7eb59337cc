// dada strtab: build a string-table file from its source, print one back,
// or look a text up through the library (optionally filling its
// placeholders with mprintf).
#include "command.h"
#include "dadada32.h"
#include "strtab_codec.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

namespace {

bool ReadAll(const std::string &path, std::string &data)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

int Build(const dadatool::Args &args)
{
    if (args.size() != 2) return dadatool::Usage("strtab build needs SOURCE and OUT");
    std::string source, error;
    if (!ReadAll(args[0], source)) return dadatool::Fail("cannot read " + args[0]);
    std::vector<strtab::Record> records;
    if (!strtab::ParseSource(source, records, error)) return dadatool::Fail(args[0] + ": " + error);
    std::string data = strtab::Encode(records);
    std::ofstream out(args[1], std::ios::binary | std::ios::trunc);
    if (!out.write(data.data(), static_cast<std::streamsize>(data.size())) || !out.flush())
        return dadatool::Fail("cannot write " + args[1]);
    std::printf("%s: %zu texts, %zu bytes\n", args[1].c_str(), records.size(), data.size());
    return 0;
}

int Dump(const dadatool::Args &args)
{
    if (args.size() != 1) return dadatool::Usage("strtab dump needs FILE");
    std::string data, error;
    if (!ReadAll(args[0], data)) return dadatool::Fail("cannot read " + args[0]);
    std::vector<strtab::Record> records;
    size_t trailing = 0;
    if (!strtab::Decode(data, records, trailing, error)) return dadatool::Fail(args[0] + ": " + error);
    std::printf("# %s: %zu texts\n", args[0].c_str(), records.size());
    if (trailing) std::printf("# %zu bytes after the last record are not read\n", trailing);
    std::fputs(strtab::FormatSource(records).c_str(), stdout);
    return 0;
}

// The placeholder types the text uses for each argument digit 1 to 9
// (0: unused).  False when one argument is used with two different types.
bool ArgumentTypes(const std::string &text, char (&types)[9], std::string &error)
{
    for (size_t i = 0; i + 3 < text.size(); ++i) {
        if (text[i] != '^' || text[i + 2] != '%' || text[i + 1] < '1' || text[i + 1] > '9') continue;
        char type = text[i + 3], &slot = types[text[i + 1] - '1'];
        if (type != 'c' && type != 'd' && type != 's') continue;
        if (slot && slot != type) {
            error = std::string("argument ") + text[i + 1] + " is used both as %" + slot + " and as %" + type;
            return false;
        }
        slot = type;
    }
    return true;
}

int Get(const dadatool::Args &args)
{
    if (args.size() < 2) return dadatool::Usage("strtab get needs FILE and ID");
    char *end = nullptr;
    unsigned long id = std::strtoul(args[1].c_str(), &end, 0);
    if (args[1].empty() || *end) return dadatool::Usage("the id must be a number, not '" + args[1] + "'");

    StringTable *table = nullptr;
    String_Init(&table, args[0].c_str());
    if (!table) return dadatool::Fail("cannot load " + args[0] + " as a string table");
    std::string text(65536, '\0');
    DWORD n = String_Get(table, static_cast<DWORD>(id), text.data(), static_cast<DWORD>(text.size()));
    String_End(&table);
    if (!n) return dadatool::Fail("no text with id " + args[1] + " in " + args[0]);
    text.resize(text.find('\0'));

    dadatool::Args values(args.begin() + 2, args.end());
    if (values.empty()) {
        std::printf("%s\n", text.c_str());
        return 0;
    }
    char types[9] = {};
    std::string error;
    if (!ArgumentTypes(text, types, error)) return dadatool::Fail(error);
    UINT_PTR argv[9] = {};
    for (size_t i = 0; i < 9; ++i) {
        if (!types[i]) continue;
        if (i >= values.size())
            return dadatool::Fail("the text uses argument " + std::to_string(i + 1) + " but only " +
                                  std::to_string(values.size()) + " were given");
        const std::string &v = values[i];
        if (types[i] == 's') {
            argv[i] = reinterpret_cast<UINT_PTR>(v.c_str());
        } else if (types[i] == 'c' && v.size() == 1) {
            argv[i] = static_cast<unsigned char>(v[0]);
        } else {
            long number = std::strtol(v.c_str(), &end, 0);
            if (v.empty() || *end) return dadatool::Fail("argument " + std::to_string(i + 1) + " must be a number");
            argv[i] = static_cast<UINT_PTR>(static_cast<DWORD>(number));
        }
    }
    std::string out(mprintf(nullptr, text.c_str(), argv) + 1, '\0');
    out.resize(mprintf(out.data(), text.c_str(), argv));
    std::printf("%s\n", out.c_str());
    return 0;
}

int RunStrtab(const dadatool::Args &args)
{
    if (args.empty()) return dadatool::Usage("strtab needs build, dump or get");
    dadatool::Args rest(args.begin() + 1, args.end());
    if (args[0] == "build") return Build(rest);
    if (args[0] == "dump") return Dump(rest);
    if (args[0] == "get") return Get(rest);
    return dadatool::Usage("unknown strtab command '" + args[0] + "'");
}

dadatool::Register reg{{"strtab",
    "strtab build SOURCE OUT | strtab dump FILE | strtab get FILE ID [ARG...]",
    RunStrtab}};

} // namespace
