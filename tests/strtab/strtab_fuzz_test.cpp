// Mutation fuzzer for String_Init: seeded, bounded.  Every mutated file must
// load or be refused without a crash, and every text found must lie wholly
// inside the file's data.
#include <gtest/gtest.h>
#include "dadada32.h"
#include "strtab_files.h"
#include "testutil.h"

#include <map>
#include <optional>
#include <random>

using namespace strtabtest;

namespace {

uint32_t Le(const std::string &s, size_t at, int bytes)
{
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | uint8_t(s[at + i]);
    return v;
}

// What a careful reader makes of the file: nothing when the header is bad,
// else the first text of each id among the records that lie inside the data.
std::optional<std::map<uint32_t, std::string>> Expected(const std::string &f)
{
    if (f.size() < 8 || Le(f, 2, 2) != 0x0100) return std::nullopt;
    std::map<uint32_t, std::string> texts;
    size_t pos = 8;
    for (uint32_t i = 0, count = Le(f, 4, 4); i < count && f.size() - pos >= 4; ++i) {
        uint32_t len = Le(f, pos + 2, 2);
        if (len > f.size() - pos - 4) break;
        std::string text = f.substr(pos + 4, len);
        for (char &c : text) c ^= 0x6E;
        texts.emplace(Le(f, pos, 2), text);
        pos += 4 + len;
    }
    return texts;
}

std::string Seed(std::mt19937 &rng)
{
    std::vector<Raw> records(rng() % 30);
    for (auto &r : records) {
        r.id = uint16_t(rng() % 40);
        r.text.resize(rng() % 40);
        for (char &c : r.text) c = char(rng() % 5 ? 'a' + rng() % 26 : 0);
    }
    return Table(records);
}

void Mutate(std::string &f, std::mt19937 &rng)
{
    auto at = [&](size_t room) { return f.size() > room ? rng() % (f.size() - room) : 0; };
    switch (rng() % 6) {
    case 0: if (!f.empty()) f[at(0)] ^= char(1 << (rng() % 8)); break;
    case 1: if (f.size() >= 2) { size_t p = at(1); f[p] = char(rng()); f[p + 1] = char(rng()); } break;
    case 2: if (f.size() >= 8) { uint32_t c = rng() % 3 ? rng() % 64 : rng(); for (int i = 0; i < 4; ++i) f[4 + i] = char(c >> (8 * i)); } break;
    case 3: f.resize(at(0)); break;
    case 4: for (int n = rng() % 16; n; --n) f += char(rng()); break;
    default: if (!f.empty()) { size_t p = at(0); f.insert(p, f.substr(p, rng() % 12)); } break;
    }
}

TEST(StringTableFuzz, MutatedFiles)
{
    dadatest::TempDir dir;
    std::string path = dir.file("fuzz.str");
    std::mt19937 rng(0x5EED0001);
    static char buf[65536];
    int loaded = 0;
    for (int round = 0; round < 20000; ++round) {
        std::string f = Seed(rng);
        for (int n = 1 + rng() % 4; n; --n) Mutate(f, rng);
        ASSERT_TRUE(dadatest::WriteFileBytes(path, f));
        StringTable *t = nullptr;
        String_Init(&t, path.c_str());
        auto want = Expected(f);
        ASSERT_EQ(want.has_value(), t != nullptr) << "round " << round;
        if (!t) continue;
        ++loaded;
        for (uint32_t id = 0; id < 48; ++id) {
            DWORD n = String_Get(t, id, buf, sizeof buf);
            auto it = want->find(id);
            if (it == want->end()) {
                ASSERT_EQ(0u, n) << "round " << round << ": id " << id << " is not inside the data";
                continue;
            }
            std::string text = it->second;
            if (size_t z = text.find('\0'); z != std::string::npos) std::fill(text.begin() + z, text.end(), '\0');
            ASSERT_EQ(text, std::string(buf, n)) << "round " << round << ", id " << id;
        }
        String_End(&t);
    }
    EXPECT_GT(loaded, 5000) << "the mutations refuse too many files to test the index walk";
    EXPECT_EQ(0, ZKT_OpenFiles());
}

} // namespace
