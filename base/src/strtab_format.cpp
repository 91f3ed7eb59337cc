#include "dada/strtab_format.h"

namespace dada::strtab {

namespace {

void PutWord(std::string &out, unsigned v)
{
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}

const unsigned char *Bytes(std::string_view s, size_t at)
{
    return reinterpret_cast<const unsigned char *>(s.data() + at);
}

} // namespace

bool ReadHeader(std::string_view file, Header &header)
{
    if (file.size() < kHeaderBytes) return false;
    header = {Word(Bytes(file, 2)), Dword(Bytes(file, 4))};
    return true;
}

bool RecordAt(std::string_view data, size_t pos, RecordView &record)
{
    if (pos > data.size() || data.size() - pos < kRecordHeaderBytes) return false;
    const size_t length = Word(Bytes(data, pos + 2));
    if (length > data.size() - pos - kRecordHeaderBytes) return false;
    record = {Word(Bytes(data, pos)), length, pos + kRecordHeaderBytes};
    return true;
}

void Mask(void *bytes, size_t n)
{
    auto *p = static_cast<unsigned char *>(bytes);
    for (size_t i = 0; i < n; ++i) p[i] ^= kMask;
}

std::string Encode(const std::vector<Record> &records, uint32_t count, unsigned version)
{
    std::string out;
    PutWord(out, 0);
    PutWord(out, version);
    PutWord(out, count & 0xFFFF);
    PutWord(out, count >> 16);
    for (const auto &r : records) {
        PutWord(out, r.id);
        PutWord(out, static_cast<unsigned>(r.text.size()));
        const size_t at = out.size();
        out += r.text;
        Mask(out.data() + at, r.text.size());
    }
    return out;
}

std::string Encode(const std::vector<Record> &records)
{
    return Encode(records, static_cast<uint32_t>(records.size()));
}

} // namespace dada::strtab
