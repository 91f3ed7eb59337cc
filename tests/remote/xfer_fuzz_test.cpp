// Mutation fuzzer of the transfer server's handler: valid requests are
// bent, cut, stretched and spliced; every reply must be well formed.
// DADA_XFER_FUZZ_COUNT and DADA_XFER_FUZZ_SEED choose a longer or other run.
#include <gtest/gtest.h>
#include "testutil.h"
#include "xfer_request.h"
#include <cstdlib>
#include <map>
#include <vector>

using namespace xfertest;

namespace {

struct Rng {
    unsigned long long s;
    DWORD next()
    {
        unsigned long long z = s += 0x9E3779B97F4A7C15ull;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return DWORD(z ^ (z >> 31));
    }
    DWORD below(size_t n) { return n ? next() % DWORD(n) : 0; }
};

unsigned long EnvNumber(const char *name, unsigned long def)
{
    const char *v = std::getenv(name);
    return v && *v ? std::strtoul(v, nullptr, 0) : def;
}

const DWORD kFields[] = {0, 1, 2, 7, 8, 12, 15, 16, 17, 255, 256, 257, 258, 259, 260, 261, 16384,
                         XFER_MAX_READ, XFER_MAX_READ + 1, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFEFu,
                         0xFFFFFFF0u, 0xFFFFFFFEu, 0xFFFFFFFFu};
const char kBytes[] = {0, '\\', '/', ':', '$', 'C', '.', char(0x81), char(0xFF)};

std::string Mutate(std::string r, Rng &rng, const std::vector<std::string> &seeds)
{
    for (DWORD i = 0, rounds = 1 + rng.below(4); i < rounds; ++i) {
        const DWORD op = rng.below(7);
        if (op == 2 && r.size() >= 4) {   // an interesting field at a field boundary, or near the name length
            DWORD v = rng.below(4) ? kFields[rng.below(std::size(kFields))] : DWORD(r.size()) - 9 + rng.below(3);
            std::memcpy(&r[4 * rng.below(r.size() / 4)], &v, 4);
        } else if (op == 3) {
            r.resize(rng.below(r.size() + 1));
        } else if (op == 4) {
            r.append(rng.below(40), char(rng.next()));
        } else if (op == 5) {             // splice another seed's tail
            const std::string &o = seeds[rng.below(seeds.size())];
            r = r.substr(0, rng.below(r.size() + 1)) + o.substr(rng.below(o.size() + 1));
        } else if (!r.empty() && op != 2) {
            char &b = r[rng.below(r.size())];
            b = op == 0 ? char(b ^ (1u << rng.below(8))) : op == 1 ? kBytes[rng.below(sizeof kBytes)] : char(rng.next());
        }
    }
    return r;
}

// A close (or read) of a small arbitrary value would reach one of this
// process's own handles; keep the fuzzer on handles it owns or that cannot exist.
void SteerHandle(std::string &r, DWORD own)
{
    if (r.size() < 8) return;
    DWORD code = At(r.data(), 0), handle = At(r.data(), 4);
    if ((code == XFER_REQ_CLOSE || code == XFER_REQ_READ) && handle != own && handle < 0x01000000u) {
        handle |= 0x40000000u;
        std::memcpy(&r[4], &handle, 4);
    }
}

// Checks one reply; returns an empty string when it is well formed.
std::string Check(const std::string &req, const Reply &r)
{
    if (r.result != 1 || !r.p) return "no reply";
    if (r.length < 8) return "reply shorter than 8 bytes";
    if (GlobalSize(GlobalHandle(r.p)) < r.length) return "reply longer than its block";
    const DWORD reqCode = req.size() >= 4 ? At(req.data(), 0) : 0, code = r.field(0);
    const DWORD count = req.size() == 16 ? At(req.data(), 12) : 0;
    const bool readShape = reqCode == XFER_REQ_READ && r.length == 16 + count;
    if (code == XFER_REPLY_ERROR) {
        switch (r.field(4)) {
        case XFER_E_BAD_REQUEST: case XFER_E_NO_REPLY_MEMORY: return r.length == 8 ? "" : "request error size";
        case XFER_E_BAD_NAME: case XFER_E_OPEN:
            return reqCode == XFER_REQ_OPEN && r.length == 12 ? "" : "open error of the wrong shape";
        case XFER_E_SEEK: case XFER_E_READ:
            return readShape && r.field(8) == At(req.data(), 8) ? "" : "read error of the wrong shape";
        default: return "unknown status";
        }
    }
    if (code != reqCode) return "reply code differs from the request";
    switch (code) {
    case XFER_REQ_OPEN: return r.length == 12 ? "" : "open reply not 12 bytes";
    case XFER_REQ_CLOSE: return r.length == 8 && r.field(4) == 1 ? "" : "bad close reply";
    case XFER_REQ_READ:
        if (!readShape) return "read reply length";
        if (r.field(12) != Crc(r.bytes() + 16, count)) return "read checksum";
        return r.field(8) == At(req.data(), 8) + count ? "" : "read next offset";
    default: return "reply code";
    }
}

TEST(TransferServerFuzz, EveryMalformedRequestGetsAWellFormedReply)
{
    dadatest::TempDir dir;
    std::string content(3000, '\0');
    for (size_t i = 0; i < content.size(); ++i) content[i] = char(i * 31 + 5);
    const std::string path = dir.file("fuzz.bin");
    ASSERT_TRUE(dadatest::WriteFileBytes(path, content));
    const DWORD own = ZK_Open(path.c_str(), ZK_OPEN_READ);
    ASSERT_NE(own, ZK_NOFILE);
    const std::vector<std::string> seeds = {
        OpenRequest(path), OpenRequest("\\\\machine\\" + path), OpenRequest("C\\x"),
        OpenRequest("//m/" + path.substr(0, 1) + path.substr(2)),
        ReadRequest(own, 0, 16), ReadRequest(own, 2990, 10), ReadRequest(own, 100, 2000),
        Fields({XFER_REQ_CLOSE, 0x40000000u}), Fields({258, 1, 2, 3}),
    };
    const unsigned long count = EnvNumber("DADA_XFER_FUZZ_COUNT", 200000);
    Rng rng{EnvNumber("DADA_XFER_FUZZ_SEED", 20240607)};
    std::map<std::string, unsigned> failures;
    unsigned long opened = 0;
    for (unsigned long i = 0; i < count; ++i) {
        std::string req = Mutate(seeds[rng.below(seeds.size())], rng, seeds);
        SteerHandle(req, own);
        Reply r(req);
        const std::string bad = Check(req, r);
        if (!bad.empty() && failures[bad]++ == 0) ADD_FAILURE() << bad << " (case " << i << ", " << req.size() << " bytes)";
        if (r.p && r.length == 12 && r.field(0) == XFER_REQ_OPEN) {
            ZK_Close(r.field(4));   // a mutated name that still opens something
            ++opened;
        }
    }
    ZK_Close(own);
    EXPECT_TRUE(failures.empty());
    std::printf("%lu requests, %lu opened a file\n", count, opened);
}

} // namespace
