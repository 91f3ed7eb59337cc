// String tables: loading (good, malformed and mutated files), look-up and
// copies, kernel-library failures.
#include <gtest/gtest.h>
#include "dadada32.h"
#include "dada/strtab_format.h"
#include "testutil.h"

#include <map>
#include <memory>
#include <optional>
#include <random>

using dadatest::TempDir;
using dada::strtab::Encode;
using dada::strtab::kVersion;

namespace {

using S = std::string;

struct Loaded {
    StringTable *table = nullptr;
    explicit Loaded(const std::string &path) { String_Init(&table, path.c_str()); }
    ~Loaded() { String_End(&table); }
    // The text of id copied with a roomy size, or nothing when absent.
    std::optional<std::string> get(DWORD id) const
    {
        char buf[256];
        DWORD n = String_Get(table, id, buf, sizeof buf);
        if (!n) return std::nullopt;
        return std::string(buf, n);
    }
};

// Counts, lengths past the data, duplicate ids, empty texts, unexamined
// first bytes and truncation are MutatedFiles' business (against a model).
struct FileCase { const char *name; std::string bytes; bool loads; std::vector<std::pair<DWORD, std::optional<S>>> lookups; };

std::vector<FileCase> FileCases()
{
    const std::vector<dada::strtab::Record> two = {{10, S("ten\0", 4)}, {20, S("twenty\0", 7)}};
    return {
        {"two records", Encode(two), true, {{10, S("ten\0", 4)}, {20, S("twenty\0", 7)}, {30, {}}}},
        {"version 0x0101", Encode(two, 2, 0x0101), false, {}},
        {"ids above 65535 never match", Encode({{0, S("z\0", 2)}}), true, {{0x10000, {}}, {0, S("z\0", 2)}}},
    };
}

TEST(StringTable, LoadsFiles)
{
    TempDir dir;
    for (const auto &c : FileCases()) {
        SCOPED_TRACE(c.name);
        std::string path = dir.file("t.str");
        ASSERT_TRUE(dadatest::WriteFileBytes(path, c.bytes));
        StringTable *table = reinterpret_cast<StringTable *>(1);
        EXPECT_EQ(0u, String_Init(&table, path.c_str()));
        EXPECT_EQ(c.loads, table != nullptr);
        for (const auto &[id, want] : c.lookups) EXPECT_EQ(want, Loaded(path).get(id)) << "id " << id;
        String_End(&table);
        EXPECT_EQ(nullptr, table);
        EXPECT_EQ(0, ZKT_OpenFiles());
    }
}

TEST(StringTable, BoundedCopies)
{
    TempDir dir;
    std::string path = dir.file("c.str");
    dadatest::WriteFileBytes(path, Encode({{1, S("hello\0", 6)}, {2, S("ab\0cd", 5)}, {3, ""}}));
    Loaded t(path);
    ASSERT_TRUE(t.table);
    struct { DWORD id, size; bool nullDest; DWORD result; std::string bytes; } cases[] = {
        {1, 10, false, 6, S("hello\0", 6)}, {1, 3, false, 3, "hel"}, {1, 6, false, 6, S("hello\0", 6)},
        {1, 5, false, 5, "hello"},          {2, 5, false, 5, S("ab\0\0\0", 5)},
        {1, 5, true, 5, ""},                {1, 0, true, 0, ""},  {9, 5, true, 0, ""},
        {3, 4, true, 4, ""},                {1, 0, false, 0, ""},
    };
    for (const auto &c : cases) {
        char buf[16];
        memset(buf, 0x7F, sizeof buf);
        EXPECT_EQ(c.result, String_Get(t.table, c.id, c.nullDest ? nullptr : buf, c.size)) << c.id << "/" << c.size;
        if (c.nullDest) continue;
        EXPECT_EQ(c.bytes, std::string(buf, c.result)) << c.id << "/" << c.size;
        EXPECT_EQ(0x7F, buf[c.result]) << "wrote past the count, id " << c.id << " size " << c.size;
    }
    EXPECT_EQ(0u, String_Get(nullptr, 1, nullptr, 5));
}

TEST(StringTable, KernelFailuresLeaveNoTable)
{
    TempDir dir;
    std::string path = dir.file("k.str");
    dadatest::WriteFileBytes(path, Encode({{1, S("x\0", 2)}}));
    {
        Loaded ok(path);
        EXPECT_TRUE(ok.table);
    }
    ZKT_ClearFaults();
    { Loaded counted(path); }
    EXPECT_EQ(2u, ZKT_CallCount(ZK_ORD_READ)) << "a table is read with two reads";
    struct { DWORD ordinal, skip, shortBytes; } faults[] = {
        {ZK_ORD_OPEN, 0, 0}, {ZK_ORD_READ, 0, 4}, {ZK_ORD_READ, 1, 2}, {ZK_ORD_READ, 1, 0}};
    for (const auto &f : faults) {
        dadatest::KernelFault fault(f.ordinal, f.skip, 1, f.shortBytes);
        Loaded t(path);
        EXPECT_FALSE(t.table) << f.ordinal << "/" << f.skip;
        EXPECT_EQ(0, ZKT_OpenFiles());
    }
    Loaded missing(dir.file("none.str"));
    EXPECT_FALSE(missing.table);
    StringTable *table = nullptr;
    String_Init(&table, nullptr);
    EXPECT_FALSE(table);
    String_End(nullptr);
    String_End(&table);
    EXPECT_EQ(0u, String_Init(nullptr, path.c_str()));
}

uint32_t Le(const std::string &s, size_t at, int bytes)
{
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | uint8_t(s[at + i]);
    return v;
}

// What a careful reader makes of a file: nothing when the header is bad,
// else the first text of each id among the records that lie inside the data.
std::optional<std::map<uint32_t, std::string>> Expected(const std::string &f)
{
    if (f.size() < 8 || Le(f, 2, 2) != kVersion) return std::nullopt;
    std::map<uint32_t, std::string> texts;
    size_t pos = 8;
    for (uint32_t i = 0, count = Le(f, 4, 4); i < count && f.size() - pos >= 4; ++i) {
        uint32_t len = Le(f, pos + 2, 2);
        if (len > f.size() - pos - 4) break;
        std::string text = f.substr(pos + 4, len);
        for (char &c : text) c ^= dada::strtab::kMask;
        if (size_t z = text.find('\0'); z != std::string::npos) std::fill(text.begin() + z, text.end(), '\0');
        texts.emplace(Le(f, pos, 2), text);
        pos += 4 + len;
    }
    return texts;
}

std::string Mutant(std::mt19937 &rng)
{
    std::vector<dada::strtab::Record> records(rng() % 30);
    for (auto &r : records) {
        r.id = rng() % 40;
        r.text.resize(rng() % 40);
        for (char &c : r.text) c = char(rng() % 5 ? 'a' + rng() % 26 : 0);
    }
    std::string f = Encode(records);
    for (int n = 1 + rng() % 4; n; --n) {
        auto at = [&](size_t room) { return f.size() > room ? rng() % (f.size() - room) : 0; };
        switch (rng() % 6) {
        case 0: if (!f.empty()) f[at(0)] ^= char(1 << (rng() % 8)); break;
        case 1: if (f.size() >= 2) { size_t p = at(1); f[p] = char(rng()); f[p + 1] = char(rng()); } break;
        case 2: if (f.size() >= 8) { uint32_t c = rng() % 3 ? rng() % 64 : rng(); for (int i = 0; i < 4; ++i) f[4 + i] = char(c >> (8 * i)); } break;
        case 3: f.resize(at(0)); break;
        case 4: for (int k = rng() % 16; k; --k) f += char(rng()); break;
        default: if (!f.empty()) { size_t p = at(0); f.insert(p, f.substr(p, rng() % 12)); } break;
        }
    }
    return f;
}

// Every mutated file loads or is refused without a crash, and every text
// found lies wholly inside the file's data.  One handle rewrites the file.
TEST(StringTable, MutatedFiles)
{
    TempDir dir;
    std::string path = dir.file("fuzz.str");
    std::unique_ptr<void, decltype(&CloseHandle)> file(
        CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    CREATE_ALWAYS, 0, nullptr), CloseHandle);
    ASSERT_NE(INVALID_HANDLE_VALUE, file.get());
    std::mt19937 rng(0x5EED0001);
    static char buf[65536];
    int loaded = 0;
    for (int round = 0; round < 20000; ++round) {
        std::string f = Mutant(rng);
        DWORD done;
        ASSERT_TRUE(SetFilePointer(file.get(), 0, nullptr, FILE_BEGIN) == 0 &&
                    WriteFile(file.get(), f.data(), DWORD(f.size()), &done, nullptr) && SetEndOfFile(file.get()));
        StringTable *t = nullptr;
        String_Init(&t, path.c_str());
        auto want = Expected(f);
        ASSERT_EQ(want.has_value(), t != nullptr) << "round " << round;
        if (!t) continue;
        ++loaded;
        for (uint32_t id = 0; id < 48; ++id) {
            auto it = want->find(id);
            std::string text = it == want->end() ? "" : it->second;
            ASSERT_EQ(text, std::string(buf, String_Get(t, id, buf, sizeof buf))) << "round " << round << ", id " << id;
        }
        String_End(&t);
    }
    EXPECT_GT(loaded, 5000) << "the mutations refuse too many files to test the index walk";
    EXPECT_EQ(0, ZKT_OpenFiles());
}

} // namespace
