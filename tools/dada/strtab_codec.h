// String-table files for the dada tool: the readable source form and the
// binary form that String_Init loads.
//
// Source: one text per line, "ID<TAB>TEXT".  The text is stored with a
// terminating zero; "ID:raw<TAB>TEXT" stores exactly the bytes given.
// Escapes: \\ \t \n \r \0 and \xHH.  Blank lines and lines starting with #
// are skipped.  Binary: 2 bytes (0), version 0x0100, record count, then per
// record id, length and the text XOR 0x6E, all little-endian.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace strtab {

struct Record {
    unsigned id;
    std::string text;   // the bytes stored, terminating zero included if any
    bool operator==(const Record &) const = default;
};

// False and a message naming the line on a malformed source.
bool ParseSource(std::string_view source, std::vector<Record> &records, std::string &error);
std::string FormatSource(const std::vector<Record> &records);

std::string Encode(const std::vector<Record> &records);
// False and a message on a file that is not a complete table.  Bytes after
// the last record are counted in `trailing`.
bool Decode(std::string_view file, std::vector<Record> &records, size_t &trailing, std::string &error);

} // namespace strtab
