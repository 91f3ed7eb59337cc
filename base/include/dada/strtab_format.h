// The string-table file: the one description of its bytes, used by the
// library's loader, the dada tool's compiler and the tests.
//
// Little-endian throughout.  Header (8 bytes): 2 bytes not examined (0 when
// written), the format version, the record count as a 32-bit value.  Then
// per record: id (2), text length (2), the text with every byte XOR kMask.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace dada::strtab {

inline constexpr unsigned kVersion = 0x0100;
inline constexpr unsigned char kMask = 0x6E;
inline constexpr size_t kHeaderBytes = 8;
inline constexpr size_t kRecordHeaderBytes = 4;
inline constexpr unsigned kMaxField = 0xFFFF;   // largest id and text length

inline unsigned Word(const unsigned char *p) { return p[0] | (p[1] << 8); }
inline uint32_t Dword(const unsigned char *p) { return Word(p) | (uint32_t(Word(p + 2)) << 16); }

struct Header {
    unsigned version;
    uint32_t count;
};
// The header of `file`; false when it is shorter than a header.
bool ReadHeader(std::string_view file, Header &header);

// The record starting `pos` bytes into the record data: false when its
// header or its text would run past the end of `data`.  `text` is left
// masked.
struct RecordView {
    unsigned id;
    size_t length;
    size_t text;   // offset of the text in `data`
};
bool RecordAt(std::string_view data, size_t pos, RecordView &record);

// XORs the mask into (or out of) `n` bytes in place.
void Mask(void *bytes, size_t n);

struct Record {
    unsigned id;
    std::string text;   // the bytes stored, terminating zero included if any
    bool operator==(const Record &) const = default;
};

// A whole file for `records` with `count` in its header (normally their
// number; tests may claim another) and `version`.
std::string Encode(const std::vector<Record> &records);
std::string Encode(const std::vector<Record> &records, uint32_t count, unsigned version = kVersion);

} // namespace dada::strtab
