// String-table files made by the tests, well formed or not.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace strtabtest {

struct Raw {
    uint16_t id;
    std::string text;          // plain text; masked when written
    int lengthDelta = 0;       // added to the stored length field
};

inline void Put16(std::string &s, uint32_t v) { s += char(v & 0xFF); s += char((v >> 8) & 0xFF); }

inline std::string Table(const std::vector<Raw> &records, uint32_t count, uint16_t version = 0x0100,
                         uint16_t first = 0)
{
    std::string s;
    Put16(s, first);
    Put16(s, version);
    Put16(s, count & 0xFFFF);
    Put16(s, count >> 16);
    for (const auto &r : records) {
        Put16(s, r.id);
        Put16(s, uint32_t(r.text.size() + r.lengthDelta));
        for (char c : r.text) s += char(c ^ 0x6E);
    }
    return s;
}

inline std::string Table(const std::vector<Raw> &records) { return Table(records, uint32_t(records.size())); }

} // namespace strtabtest
