#include "strtab_codec.h"

#include <cstdio>

namespace strtab {
namespace {

constexpr unsigned kVersion = 0x0100, kMask = 0x6E, kMaxField = 0xFFFF;
constexpr char kRawSuffix[] = ":raw";

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool Unescape(std::string_view in, std::string &out, std::string &error)
{
    for (size_t i = 0; i < in.size(); ++i) {
        if (in[i] != '\\') {
            out += in[i];
            continue;
        }
        char e = i + 1 < in.size() ? in[++i] : 0;
        switch (e) {
        case '\\': out += '\\'; break;
        case 't': out += '\t'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case '0': out += '\0'; break;
        case 'x': {
            int hi = i + 1 < in.size() ? HexDigit(in[i + 1]) : -1;
            int lo = i + 2 < in.size() ? HexDigit(in[i + 2]) : -1;
            if (hi < 0 || lo < 0) {
                error = "\\x needs two hex digits";
                return false;
            }
            out += static_cast<char>(hi * 16 + lo);
            i += 2;
            break;
        }
        default:
            error = e ? std::string("unknown escape \\") + e : "a lone backslash ends the text";
            return false;
        }
    }
    return true;
}

std::string Escape(std::string_view text)
{
    std::string out;
    for (unsigned char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\0': out += "\\0"; break;
        default:
            if (c < 0x20 || c == 0x7F) {
                char hex[5];
                std::snprintf(hex, sizeof hex, "\\x%02X", c);
                out += hex;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out;
}

bool ParseId(std::string_view field, unsigned &id)
{
    if (field.empty() || field.size() > 5) return false;
    id = 0;
    for (char c : field) {
        if (c < '0' || c > '9') return false;
        id = id * 10 + unsigned(c - '0');
    }
    return id <= kMaxField;
}

void PutWord(std::string &out, unsigned v)
{
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}

unsigned Word(std::string_view s, size_t at)
{
    return static_cast<unsigned char>(s[at]) | (static_cast<unsigned char>(s[at + 1]) << 8);
}

} // namespace

bool ParseSource(std::string_view source, std::vector<Record> &records, std::string &error)
{
    size_t lineNo = 0;
    while (!source.empty()) {
        ++lineNo;
        size_t end = source.find('\n');
        std::string_view line = source.substr(0, end);
        source.remove_prefix(end == std::string_view::npos ? source.size() : end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty() || line[0] == '#') continue;

        auto fail = [&](const std::string &what) {
            error = "line " + std::to_string(lineNo) + ": " + what;
            return false;
        };
        size_t tab = line.find('\t');
        if (tab == std::string_view::npos) return fail("expected ID<TAB>TEXT");
        std::string_view idField = line.substr(0, tab);
        bool raw = idField.size() > 4 && idField.substr(idField.size() - 4) == kRawSuffix;
        if (raw) idField.remove_suffix(4);
        Record r{};
        if (!ParseId(idField, r.id)) return fail("the id must be a number from 0 to 65535");
        std::string why;
        if (!Unescape(line.substr(tab + 1), r.text, why)) return fail(why);
        if (!raw) r.text += '\0';
        if (r.text.size() > kMaxField) return fail("the text is longer than 65535 bytes");
        records.push_back(std::move(r));
    }
    return true;
}

std::string FormatSource(const std::vector<Record> &records)
{
    std::string out;
    for (const auto &r : records) {
        bool terminated = !r.text.empty() && r.text.back() == '\0';
        std::string_view text(r.text);
        if (terminated) text.remove_suffix(1);
        out += std::to_string(r.id) + (terminated ? "" : kRawSuffix) + "\t" + Escape(text) + "\n";
    }
    return out;
}

std::string Encode(const std::vector<Record> &records)
{
    std::string out;
    PutWord(out, 0);
    PutWord(out, kVersion);
    PutWord(out, records.size() & 0xFFFF);
    PutWord(out, (records.size() >> 16) & 0xFFFF);
    for (const auto &r : records) {
        PutWord(out, r.id);
        PutWord(out, static_cast<unsigned>(r.text.size()));
        for (char c : r.text) out += static_cast<char>(c ^ kMask);
    }
    return out;
}

bool Decode(std::string_view file, std::vector<Record> &records, size_t &trailing, std::string &error)
{
    if (file.size() < 8) {
        error = "too short for a string-table header (" + std::to_string(file.size()) + " bytes)";
        return false;
    }
    if (Word(file, 2) != kVersion) {
        char v[8];
        std::snprintf(v, sizeof v, "%04X", Word(file, 2));
        error = std::string("not a string table of version 0100 (version ") + v + ")";
        return false;
    }
    unsigned long count = Word(file, 4) | (static_cast<unsigned long>(Word(file, 6)) << 16);
    size_t pos = 8;
    for (unsigned long i = 0; i < count; ++i) {
        if (file.size() - pos < 4 || file.size() - pos - 4 < Word(file, pos + 2)) {
            error = "record " + std::to_string(i + 1) + " of " + std::to_string(count) +
                    " runs past the end of the file";
            return false;
        }
        Record r{Word(file, pos), std::string(file.substr(pos + 4, Word(file, pos + 2)))};
        for (char &c : r.text) c = static_cast<char>(c ^ kMask);
        pos += 4 + r.text.size();
        records.push_back(std::move(r));
    }
    trailing = file.size() - pos;
    return true;
}

} // namespace strtab
