// Mutation fuzzer of the transfer server's handler: valid requests are
// bent, cut, stretched and spliced; every reply must be well formed.
// DADA_XFER_FUZZ_COUNT and DADA_XFER_FUZZ_SEED choose a longer or other run.
#include <gtest/gtest.h>
#include "REMOTE/xfer_server.h"
#include "testutil.h"
#include "xfer_request.h"
#include <cstdlib>
#include <map>
#include <vector>

using namespace xfertest;
using dada::xfer::FileTransferHandler;

namespace {

struct Rng {
    unsigned long long s;
    DWORD next()
    {
        s += 0x9E3779B97F4A7C15ull;
        unsigned long long z = s;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return DWORD(z ^ (z >> 31));
    }
    DWORD below(DWORD n) { return n ? next() % n : 0; }
};

unsigned long EnvNumber(const char *name, unsigned long def)
{
    const char *v = std::getenv(name);
    return v && *v ? std::strtoul(v, nullptr, 0) : def;
}

const DWORD kInteresting[] = {0, 1, 2, 7, 8, 12, 15, 16, 17, 255, 256, 257, 258, 259, 260, 261,
                              16384, XFER_MAX_READ, XFER_MAX_READ + 1, 0x7FFFFFFFu, 0x80000000u,
                              0xFFFFFFEFu, 0xFFFFFFF0u, 0xFFFFFFFEu, 0xFFFFFFFFu};
const char kInterestingBytes[] = {0, '\\', '/', ':', '$', 'C', '.', char(0x81), char(0xFF)};

std::string Mutate(std::string r, Rng &rng, const std::vector<std::string> &seeds)
{
    const DWORD rounds = 1 + rng.below(4);
    for (DWORD i = 0; i < rounds; ++i) {
        switch (rng.below(7)) {
        case 0:   // flip a bit
            if (!r.empty()) r[rng.below(DWORD(r.size()))] ^= char(1u << rng.below(8));
            break;
        case 1:   // an interesting byte
            if (!r.empty()) r[rng.below(DWORD(r.size()))] = kInterestingBytes[rng.below(sizeof kInterestingBytes)];
            break;
        case 2: { // an interesting 32-bit field at a field boundary
            if (r.size() < 4) break;
            DWORD at = 4 * rng.below(DWORD(r.size() / 4));
            DWORD v = kInteresting[rng.below(sizeof kInteresting / sizeof *kInteresting)];
            if (rng.below(4) == 0) v = DWORD(r.size()) - 8 + rng.below(3) - 1;   // near the name length
            std::memcpy(&r[at], &v, 4);
            break;
        }
        case 3:   // cut
            r.resize(rng.below(DWORD(r.size()) + 1));
            break;
        case 4:   // stretch
            r.append(rng.below(40), char(rng.next()));
            break;
        case 5: { // splice another seed's tail
            const std::string &o = seeds[rng.below(DWORD(seeds.size()))];
            r = r.substr(0, rng.below(DWORD(r.size()) + 1)) + o.substr(rng.below(DWORD(o.size()) + 1));
            break;
        }
        default:  // random bytes
            if (!r.empty()) r[rng.below(DWORD(r.size()))] = char(rng.next());
            break;
        }
    }
    return r;
}

// A close (or read) of a small arbitrary value would reach one of this
// process's own handles, as it would on a real server; keep the fuzzer on
// handles it owns or that cannot exist.
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
std::string Check(const std::string &req, DWORD result, void *block, DWORD length)
{
    if (result != 1) return "handler gave no reply";
    if (!block) return "null reply";
    if (length < 8) return "reply shorter than 8 bytes";
    if (GlobalSize(GlobalHandle(block)) < length) return "reply longer than its block";
    const DWORD reqCode = req.size() >= 4 ? At(req.data(), 0) : 0;
    const DWORD code = At(block, 0);
    const DWORD count = req.size() == 16 ? At(req.data(), 12) : 0;
    if (code == XFER_REPLY_ERROR) {
        const DWORD status = At(block, 4);
        switch (status) {
        case XFER_E_BAD_REQUEST: case XFER_E_NO_REPLY_MEMORY:
            return length == 8 ? "" : "request error not 8 bytes long";
        case XFER_E_BAD_NAME: case XFER_E_OPEN:
            return reqCode == XFER_REQ_OPEN && length == 12 ? "" : "open error of the wrong shape";
        case XFER_E_SEEK: case XFER_E_READ:
            return reqCode == XFER_REQ_READ && length == 16 + count && At(block, 8) == At(req.data(), 8)
                       ? "" : "read error of the wrong shape";
        default:
            return "unknown status";
        }
    }
    if (code != reqCode) return "reply code differs from the request";
    switch (code) {
    case XFER_REQ_OPEN: return length == 12 ? "" : "open reply not 12 bytes";
    case XFER_REQ_CLOSE: return length == 8 && At(block, 4) == 1 ? "" : "bad close reply";
    case XFER_REQ_READ:
        if (length != 16 + count) return "read reply length";
        if (At(block, 12) != Crc(static_cast<BYTE *>(block) + 16, count)) return "read checksum";
        return At(block, 8) == At(req.data(), 8) + count ? "" : "read next offset";
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
        std::string req = Mutate(seeds[rng.below(DWORD(seeds.size()))], rng, seeds);
        SteerHandle(req, own);
        void *block = nullptr;
        DWORD length = 0;
        DWORD result = FileTransferHandler(0, req.data(), DWORD(req.size()), &block, &length);
        std::string bad = Check(req, result, block, length);
        if (!bad.empty() && failures[bad]++ == 0)
            ADD_FAILURE() << bad << " (case " << i << ", " << req.size() << " bytes)";
        if (block && length == 12 && At(block, 0) == XFER_REQ_OPEN) {
            ZK_Close(At(block, 4));    // a mutated name that still opens something
            ++opened;
        }
        FreeReply(block);
    }
    ZK_Close(own);
    EXPECT_TRUE(failures.empty());
    std::printf("%lu requests, %lu opened a file\n", count, opened);
}

} // namespace
