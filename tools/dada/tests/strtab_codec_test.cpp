// The dada tool's string-table codec: source -> records -> binary -> records
// -> source again, and the sources and files it refuses.  (The library
// reading any encoded table is the strtab tests' business.)
#include <gtest/gtest.h>
#include "strtab_codec.h"

namespace {

using S = std::string;

TEST(StrtabCodec, RoundTripAndBadFiles)
{
    const std::string source =
        "# messages\n"
        "100\tHello, world\n"
        "\n"
        "101\tFound ^2%s in ^1%s\\tcode ^3%d\r\n"
        "7:raw\traw\\0bytes\\x01\\\\\n"
        "65535\tline one\\nline two\n"
        "8:raw\t\n";
    std::vector<strtab::Record> records, back;
    std::string error;
    ASSERT_TRUE(strtab::ParseSource(source, records, error)) << error;
    const std::vector<strtab::Record> want = {
        {100, S("Hello, world\0", 13)}, {101, S("Found ^2%s in ^1%s\tcode ^3%d\0", 29)},
        {7, S("raw\0bytes\x01\\", 11)}, {65535, S("line one\nline two\0", 18)}, {8, ""}};
    EXPECT_EQ(want, records);
    size_t trailing = 1;
    ASSERT_TRUE(strtab::Decode(strtab::Encode(records), back, trailing, error)) << error;
    EXPECT_EQ(records, back);
    EXPECT_EQ(0u, trailing);
    EXPECT_EQ("100\tHello, world\n101\tFound ^2%s in ^1%s\\tcode ^3%d\n7:raw\traw\\0bytes\\x01\\\\\n"
              "65535\tline one\\nline two\n8:raw\t\n",
              strtab::FormatSource(back));
    // Files it refuses: a record past the end, another version, a short header.
    std::string cut = strtab::Encode({{1, "ab"}});
    cut.pop_back();
    EXPECT_FALSE(strtab::Decode(cut, back, trailing, error));
    EXPECT_FALSE(strtab::Decode(strtab::Encode({}, 0, dada::strtab::kVersion + 1), back, trailing, error));
    EXPECT_FALSE(strtab::Decode(std::string_view("\0\0\0\x01", 4), back, trailing, error));
}

TEST(StrtabCodec, RejectsBadSources)
{
    const char *bad[] = {"100 no tab\n", "x\ttext\n", "65536\ttext\n", "1\tbad \\q escape\n",
                         "1\tends in \\\n", "1\t\\x4\n", "-1\ttext\n", "1:RAW\ttext\n"};
    for (const char *src : bad) {
        std::vector<strtab::Record> records;
        std::string error;
        EXPECT_FALSE(strtab::ParseSource(src, records, error)) << src;
        EXPECT_EQ(0u, error.rfind("line 1: ", 0)) << error;
    }
}

} // namespace
