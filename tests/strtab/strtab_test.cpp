// String tables: loading (good and malformed files), look-up and copies,
// kernel-library failures, and the compiler's round trip.
#include <gtest/gtest.h>
#include "dadada32.h"
#include "strtab_codec.h"
#include "strtab_files.h"
#include "testutil.h"

#include <optional>

using namespace strtabtest;
using dadatest::TempDir;

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

struct FileCase {
    const char *name;
    std::string bytes;
    bool loads;
    std::vector<std::pair<DWORD, std::optional<std::string>>> lookups;
};

std::vector<FileCase> FileCases()
{
    const std::vector<Raw> two = {{10, S("ten\0", 4)}, {20, S("twenty\0", 7)}};
    return {
        {"two records", Table(two), true, {{10, S("ten\0", 4)}, {20, S("twenty\0", 7)}, {30, {}}}},
        {"first bytes not examined", Table(two, 2, 0x0100, 0xBEEF), true, {{20, S("twenty\0", 7)}}},
        {"version 0x0101", Table(two, 2, 0x0101), false, {}},
        {"version 0x0001", Table(two, 2, 0x0001), false, {}},
        {"zero records", Table({}), true, {{0, {}}, {10, {}}}},
        {"count 0 over records", Table(two, 0), true, {{10, {}}}},
        {"count 1 of 2", Table(two, 1), true, {{10, S("ten\0", 4)}, {20, {}}}},
        {"empty file", "", false, {}},
        {"short header", Table(two).substr(0, 7), false, {}},
        {"count too large", Table(two, 3), true, {{10, S("ten\0", 4)}, {20, S("twenty\0", 7)}}},
        {"count 0xFFFFFFFF", Table(two, 0xFFFFFFFFu), true, {{20, S("twenty\0", 7)}}},
        {"length past the end", Table({{10, S("ten\0", 4)}, {20, "xy", 1}}), true, {{10, S("ten\0", 4)}, {20, {}}}},
        {"length 0xFFFF", Table({{10, "abc", 0xFFFF - 3}}), true, {{10, {}}}},
        {"half a record header", Table(two) + "\x05", true, {{10, S("ten\0", 4)}}},
        {"first id wins", Table({{5, S("one\0", 4)}, {5, S("two\0", 4)}}), true, {{5, S("one\0", 4)}}},
        {"ids above 65535 never match", Table({{0, S("z\0", 2)}}), true, {{0x10000, {}}, {0, S("z\0", 2)}}},
        {"empty text", Table({{1, ""}}), true, {{1, {}}}},   // found, but nothing to copy
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
    dadatest::WriteFileBytes(path, Table({{1, S("hello\0", 6)}, {2, S("ab\0cd", 5)}, {3, ""}}));
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
    dadatest::WriteFileBytes(path, Table({{1, S("x\0", 2)}}));
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

// Source -> binary -> String_Get, and binary -> source again.
TEST(StringTable, CompilerRoundTrip)
{
    const std::string source =
        "# messages\n"
        "100\tHello, world\n"
        "\n"
        "101\tFound ^2%s in ^1%s\\tcode ^3%d\r\n"
        "7:raw\traw\\0bytes\\x01\\\\\n"
        "65535\tline one\\nline two\n"
        "8:raw\t\n";
    std::vector<strtab::Record> records;
    std::string error;
    ASSERT_TRUE(strtab::ParseSource(source, records, error)) << error;
    ASSERT_EQ(5u, records.size());
    TempDir dir;
    std::string path = dir.file("r.str");
    dadatest::WriteFileBytes(path, strtab::Encode(records));
    Loaded t(path);
    ASSERT_TRUE(t.table);
    const std::pair<DWORD, std::optional<std::string>> want[] = {
        {100, S("Hello, world\0", 13)}, {101, S("Found ^2%s in ^1%s\tcode ^3%d\0", 29)},
        {7, S("raw\0\0\0\0\0\0\0\0", 11)}, {65535, S("line one\nline two\0", 18)}, {8, {}}, {9, {}}};
    for (const auto &[id, text] : want) EXPECT_EQ(text, t.get(id)) << id;

    std::vector<strtab::Record> back;
    size_t trailing = 1;
    ASSERT_TRUE(strtab::Decode(dadatest::ReadFileBytes(path), back, trailing, error)) << error;
    EXPECT_EQ(records, back);
    EXPECT_EQ(0u, trailing);
    EXPECT_EQ("100\tHello, world\n101\tFound ^2%s in ^1%s\\tcode ^3%d\n7:raw\traw\\0bytes\\x01\\\\\n"
              "65535\tline one\\nline two\n8:raw\t\n",
              strtab::FormatSource(back));
}

TEST(StringTable, CompilerRejectsBadSources)
{
    const char *bad[] = {"100 no tab\n", "x\ttext\n", "65536\ttext\n", "1\tbad \\q escape\n",
                         "1\tends in \\\n", "1\t\\x4\n", "-1\ttext\n", "1:RAW\ttext\n"};
    for (const char *src : bad) {
        std::vector<strtab::Record> records;
        std::string error;
        EXPECT_FALSE(strtab::ParseSource(src, records, error)) << src;
        EXPECT_EQ(0u, error.rfind("line 1: ", 0)) << error;
    }
    std::vector<strtab::Record> records;
    size_t trailing;
    std::string error;
    EXPECT_FALSE(strtab::Decode(Table({{1, "ab", 2}}), records, trailing, error));
    EXPECT_FALSE(strtab::Decode(Table({}, 0, 0x0101), records, trailing, error));
}

} // namespace
