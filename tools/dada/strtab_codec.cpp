#include "strtab_codec.h"

#include <cstdio>

namespace strtab {
namespace {

using namespace dada::strtab;
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

bool Decode(std::string_view file, std::vector<Record> &records, size_t &trailing, std::string &error)
{
    Header header;
    if (!ReadHeader(file, header)) {
        error = "too short for a string-table header (" + std::to_string(file.size()) + " bytes)";
        return false;
    }
    if (header.version != kVersion) {
        char v[64];
        std::snprintf(v, sizeof v, "not a string table of version %04X (version %04X)", kVersion,
                      header.version);
        error = v;
        return false;
    }
    const std::string_view data = file.substr(kHeaderBytes);
    size_t pos = 0;
    for (uint32_t i = 0; i < header.count; ++i) {
        RecordView view;
        if (!RecordAt(data, pos, view)) {
            error = "record " + std::to_string(i + 1) + " of " + std::to_string(header.count) +
                    " runs past the end of the file";
            return false;
        }
        Record r{view.id, std::string(data.substr(view.text, view.length))};
        Mask(r.text.data(), r.text.size());
        pos = view.text + view.length;
        records.push_back(std::move(r));
    }
    trailing = data.size() - pos;
    return true;
}

} // namespace strtab
