// String tables from mutated files against a model of the format; mprintf's placeholders.
#include <gtest/gtest.h>
#include "dadada32.h"
#include "dada/strtab_format.h"
#include "testutil.h"

#include <map>
#include <optional>
#include <random>

namespace {

// A file's texts: none for a bad header, else each id's first record inside the data (zeros after its first).
std::optional<std::map<DWORD, std::string>> Expected(const std::string &f)
{
    auto le = [&](size_t at, int bytes) {
        uint32_t v = 0;
        memcpy(&v, f.data() + at, bytes);
        return v;
    };
    if (f.size() < 8 || le(2, 2) != dada::strtab::kVersion) return std::nullopt;
    std::map<DWORD, std::string> texts;
    for (uint32_t i = 0, count = le(4, 4), pos = 8; i < count && f.size() - pos >= 4; ++i) {
        const uint32_t length = le(pos + 2, 2);
        if (length > f.size() - pos - 4) break;
        std::string text = f.substr(pos + 4, length);
        for (char &c : text) c ^= dada::strtab::kMask;
        if (size_t z = text.find('\0'); z != std::string::npos) std::fill(text.begin() + z, text.end(), '\0');
        texts.emplace(le(pos, 2), text);
        pos += 4 + length;
    }
    return texts;
}

// A well-formed table after one to four mutations: bit flip, record count, cut, bytes appended, run repeated.
std::string Mutant(std::mt19937 &rng)
{
    std::vector<dada::strtab::Record> records(rng() % 30);
    for (auto &r : records) {
        r.id = rng() % 40;
        r.text.resize(rng() % 40);
        for (char &c : r.text) c = char(rng() % 5 ? 'a' + rng() % 26 : 0);
    }
    std::string f = dada::strtab::Encode(records);
    for (int n = 1 + rng() % 4; n; --n) {
        const size_t at = f.size() > 2 ? rng() % (f.size() - 1) : 0;
        switch (rng() % 5) {
        case 0: if (!f.empty()) f[at] ^= char(1 << (rng() % 8)); break;
        case 1:
            for (uint32_t i = 0, count = rng() % 3 ? rng() % 64 : rng(); f.size() >= 8 && i < 4; ++i) f[4 + i] = char(count >> 8 * i);
            break;
        case 2: f.resize(at); break;
        case 3: for (int k = rng() % 16; k; --k) f += char(rng()); break;
        default: f.insert(at, f.substr(at, rng() % 12)); break;
        }
    }
    return f;
}

// Loads as the model says; look-ups (ids past 16 bits, any size, no destination) copy the model's text.
TEST(StringTable, MutatedFiles)
{
    dadatest::TempDir dir;
    const std::string path = dir.file("fuzz.str");
    std::mt19937 rng(0x5EED0001);
    int loaded = 0;
    for (int round = 0; round < 3000; ++round) {
        const std::string f = Mutant(rng);
        ASSERT_TRUE(dadatest::WriteFileBytes(path, f));
        StringTable *t = reinterpret_cast<StringTable *>(1);
        EXPECT_EQ(0u, String_Init(&t, path.c_str()));
        const auto want = Expected(f);
        ASSERT_EQ(want.has_value(), t != nullptr) << "round " << round;
        loaded += t != nullptr;
        for (int probe = 0; t && probe < 48; ++probe) {
            const DWORD id = rng() % 48 | (rng() % 16 ? 0 : 0x10000), size = rng() % 48;
            const bool toNull = rng() % 8 == 0;
            const std::string text = want->count(id) ? want->at(id) : "";
            const DWORD n = std::min<DWORD>(size, text.size());
            char buf[64];
            memset(buf, 0x7F, sizeof buf);
            ASSERT_EQ(!want->count(id) ? 0 : toNull ? size : n, String_Get(t, id, toNull ? nullptr : buf, size)) << round;
            ASSERT_EQ(text.substr(0, toNull ? 0 : n) + '\x7F', std::string(buf, toNull ? 1 : n + 1)) << round;
        }
        String_End(&t);
        EXPECT_EQ(nullptr, t);
    }
    EXPECT_GT(loaded, 1000) << "the mutations refuse too many files to test the index walk";
    EXPECT_EQ(0, ZKT_OpenFiles());
    EXPECT_EQ(0u, String_Get(nullptr, 1, nullptr, 5));
}

// Placeholders ^N%T (N 1 to 9; c, d, s, others dropped), lone carets, measuring without a destination.
TEST(Mprintf, Formats)
{
    const std::string big(300, 'w');
    const UINT_PTR abc = reinterpret_cast<UINT_PTR>("abc"), wide = reinterpret_cast<UINT_PTR>(big.c_str());
    const struct { const char *format; std::vector<UINT_PTR> args; std::string want; } cases[] = {
        {"Found ^2%s in file", {7, abc}, "Found abc in file"}, {"", {}, ""}, {nullptr, {}, ""}, {"[^1%x]", {1}, "[]"},
        {"^1%d", {UINT_PTR(0xFFFFFFFF80000000ull)}, "-2147483648"}, {"^1%c", {0x141}, "A"}, {"^^1%d", {3}, "^3"},
        {"cost ^", {}, "cost ^"}, {"100% ^1", {}, "100% ^1"}, {"x^1%", {0}, "x"}, {"^2%d-^1%d-^2%d", {1, 2}, "2-1-2"},
        {"^9%d", {1, 2, 3, 4, 5, 6, 7, 8, 9}, "9"}, {"^0%d^:%d!", {1}, "!"}, {"^1%s^2%d!", {wide, 42}, big + "42!"},
    };
    for (const auto &c : cases) {
        char out[400];
        memset(out, 0x7F, sizeof out);
        EXPECT_EQ(c.want.size(), mprintf(out, c.format, c.args.data())) << c.format;
        EXPECT_EQ(c.want, std::string(out)) << c.format;
        EXPECT_EQ(c.want.size(), mprintf(nullptr, c.format, c.args.data())) << "measuring " << c.format;
    }
}

} // namespace
