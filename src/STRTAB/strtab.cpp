// String tables: load a masked string-table file through the kernel file
// library, index its records, copy texts out by id.
#include "dadada32.h"
#include "FRAME/kfile.h"
#include "dada/memblock.h"
#include "dada/strtab_format.h"
#include "STRTAB/strtab_record.h"
#include "common/boundedcopy.h"

#include <algorithm>
#include <string_view>

namespace {

using namespace dada::strtab;

// Unmasks the records in place and notes where each starts.  The walk stops
// at the end of the data: a record whose header or text would run past it,
// and every record after it, is left out.  Answers the records indexed.
DWORD IndexRecords(BYTE *texts, DWORD dataBytes, DWORD *offsets, DWORD wanted)
{
    const std::string_view data(reinterpret_cast<const char *>(texts), dataBytes);
    DWORD pos = 0, n = 0;
    for (RecordView r; n < wanted && RecordAt(data, pos, r);) {
        Mask(texts + r.text, r.length);
        offsets[n++] = pos;
        pos = DWORD(r.text + r.length);
    }
    return n;
}

StringTable *Load(LPCSTR path)
{
    dada::KFile file = dada::KFile::open(path, ZK_OPEN_READ);
    if (!file.valid()) return nullptr;
    DWORD length = ZK_Length(file.get());
    char bytes[kHeaderBytes];
    Header header;
    if (ZK_Read(file.get(), bytes, sizeof bytes) != sizeof bytes) return nullptr;
    if (!ReadHeader({bytes, sizeof bytes}, header) || header.version != kVersion || length < kHeaderBytes)
        return nullptr;

    dada::BlockPtr<StringTable> table(dada::BlockNew<StringTable>(dada::Block::Fixed));
    if (!table) return nullptr;
    DWORD dataBytes = length - kHeaderBytes;
    dada::BlockPtr<BYTE> texts(static_cast<BYTE *>(dada::BlockAlloc(SIZE_T(dataBytes) + 1, dada::Block::Fixed)));
    if (!texts) return nullptr;
    if (ZK_Read(file.get(), texts.get(), dataBytes) != dataBytes) return nullptr;

    // Every record takes at least its 4-byte header, which bounds a count
    // that claims more records than the data can hold.
    DWORD wanted = std::min<DWORD>(header.count, dataBytes / kRecordHeaderBytes);
    dada::BlockPtr<DWORD> offsets(static_cast<DWORD *>(
        dada::BlockAlloc(SIZE_T(std::max<DWORD>(wanted, 1)) * sizeof(DWORD), dada::Block::Fixed)));
    if (!offsets) return nullptr;

    table->count = IndexRecords(texts.get(), dataBytes, offsets.get(), wanted);
    table->texts = texts.release();
    table->offsets = offsets.release();
    return table.release();
}

} // namespace

extern "C" DWORD DADAAPI String_Init(StringTable **table, LPCSTR path)
{
    if (!table) return 0;
    *table = nullptr;
    if (path) *table = Load(path);
    return 0;
}

extern "C" void DADAAPI String_End(StringTable **table)
{
    if (!table || !*table) return;
    dada::BlockFree((*table)->texts);
    dada::BlockFree((*table)->offsets);
    dada::BlockFree(*table);
    *table = nullptr;
}

extern "C" DWORD DADAAPI String_Get(const StringTable *table, DWORD id, LPSTR dest, DWORD size)
{
    if (!table || id > 0xFFFF) return 0;
    for (DWORD i = 0; i < table->count; ++i) {
        const BYTE *record = table->texts + table->offsets[i];
        if (Word(record) != id) continue;
        if (!dest) return size;
        DWORD length = Word(record + 2);
        DWORD n = std::min(size, length);
        dada::BoundedCopy(dest, n,
                          std::string_view(reinterpret_cast<const char *>(record) + kRecordHeaderBytes, length));
        return n;
    }
    return 0;
}
