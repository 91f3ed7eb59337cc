// String-table files for the dada tool: the readable source form and the
// binary form that String_Init loads.
//
// Source: one text per line, "ID<TAB>TEXT".  The text is stored with a
// terminating zero; "ID:raw<TAB>TEXT" stores exactly the bytes given.
// Escapes: \\ \t \n \r \0 and \xHH.  Blank lines and lines starting with #
// are skipped.  Binary: as dada/strtab_format.h describes it.
#pragma once
#include "dada/strtab_format.h"
#include <string>
#include <string_view>
#include <vector>

namespace strtab {

using dada::strtab::Record;
using dada::strtab::Encode;

// False and a message naming the line on a malformed source.
bool ParseSource(std::string_view source, std::vector<Record> &records, std::string &error);
std::string FormatSource(const std::vector<Record> &records);

// False and a message on a file that is not a complete table.  Bytes after
// the last record are counted in `trailing`.
bool Decode(std::string_view file, std::vector<Record> &records, size_t &trailing, std::string &error);

} // namespace strtab
