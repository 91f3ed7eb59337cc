// The transfer server's handler called directly, and the file move.
#include <gtest/gtest.h>
#include "REMOTE/xfer_server.h"
#include "dadada32.h"
#include "machine.h"
#include <cstring>
#include <random>
#include <vector>

using namespace dadatest;

namespace {

std::string Fields(std::initializer_list<DWORD> values)
{
    std::string r;
    for (DWORD v : values) r.append(reinterpret_cast<const char *>(&v), 4);
    return r;
}

std::string OpenRequest(const std::string &name)
{
    return Fields({XFER_REQ_OPEN, DWORD(name.size() + 1)}) + name + '\0';
}

std::string ReadRequest(DWORD handle, DWORD offset, DWORD count)
{
    return Fields({XFER_REQ_READ, handle, offset, count});
}

DWORD At(const void *block, DWORD offset)
{
    DWORD v;
    std::memcpy(&v, static_cast<const BYTE *>(block) + offset, 4);
    return v;
}

DWORD Crc(const void *data, DWORD count, DWORD seed = XFER_CRC_SEED)
{
    CrcBuffer(data, count, &seed);
    return seed;
}

// The handler's answer to one request.
struct Reply : dadatest::ReplyBlock {
    DWORD result;
    explicit Reply(const std::string &request)
    {
        p = reinterpret_cast<void *>(1);   // the handler must not trust what it finds there
        result = dada::xfer::FileTransferHandler(0, request.data(), DWORD(request.size()), &p, &length);
        if (!result) p = nullptr;
    }
    DWORD field(DWORD offset) const { return At(p, offset); }
};

// The checksum: the common CRC-32 uncomplemented, and long buffers at every
// alignment and tail against the byte-at-a-time rule.
TEST(TransferChecksum, ByteAtATimeRule)
{
    EXPECT_EQ(Crc("123456789", 9, 0xFFFFFFFFu), ~0xCBF43926u);
    std::vector<BYTE> data(5000);
    for (size_t i = 0; i < data.size(); ++i) data[i] = BYTE(i * 7 + (i >> 5) * 13);
    for (DWORD start : {0u, 1u, 3u, 8u}) {
        for (DWORD count : {63u, 64u, 65u, 80u, 127u, 128u, 129u, 4096u, 4991u}) {
            DWORD c = count * 0x9E3779B9u;
            const DWORD seed = c;
            for (DWORD i = 0; i < count; ++i) {
                c ^= data[start + i];
                for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            }
            EXPECT_EQ(Crc(data.data() + start, count, seed), c) << start << " " << count;
        }
    }
}

class TransferServer : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dadatest::WriteFileBytes(path_, content_)); }
    DWORD OpenData()
    {
        Reply r(OpenRequest(path_));
        EXPECT_EQ(r.field(8), content_.size());
        return r.field(4);
    }
    dadatest::TempDir dir_;
    std::string path_ = dir_.file("data.bin"), content_ = dadatest::Pattern(3000);
};

// Files left open: the one named longest ago makes room; a read names a file anew.
TEST_F(TransferServer, FilesLeftOpenByPeersMakeRoom)
{
    const LONG before = ZKT_OpenFiles();
    std::vector<DWORD> open;
    while (open.size() < 4096) open.push_back(OpenData());   // within a few ticks: the order counts
    Reply named(ReadRequest(open[0], 0, 1));
    open.push_back(OpenData());
    EXPECT_EQ(ZKT_OpenFiles(), before + 4096);
    EXPECT_EQ(Reply(ReadRequest(open[1], 0, 1)).field(0), XFER_REPLY_ERROR);
    for (DWORD h : {open[0], open[2], open.back()}) EXPECT_EQ(Reply(ReadRequest(h, 0, 1)).field(0), XFER_REQ_READ);
    for (DWORD h : open) Reply(Fields({XFER_REQ_CLOSE, h}));
    EXPECT_EQ(ZKT_OpenFiles(), before);
}

// One file's conversation: names mapped or refused, malformed requests, reads, a forged
// handle, kernel failures, close.
TEST_F(TransferServer, OneFilesConversation)
{
    const LONG before = ZKT_OpenFiles();
    const DWORD h = OpenData(), size = DWORD(content_.size()), forged = h ^ 0x80000000u, none = ~0u;
    EXPECT_EQ(ZKT_OpenFiles(), before + 1);
    const DWORD bad = XFER_E_BAD_REQUEST;
    struct { DWORD fault; std::string request; DWORD length, code, second, third; } cases[] = {
        {none, OpenRequest(path_.substr(0, 1) + path_.substr(2)), 12, XFER_REQ_OPEN, none, size},   // no colon
        {none, OpenRequest("\\\\server\\" + path_), 12, XFER_REQ_OPEN, none, size},
        {none, OpenRequest("\\dir\\f"), 12, XFER_REPLY_ERROR, XFER_E_BAD_NAME, none},
        {none, OpenRequest("C\\" + std::string(258, 'a')), 12, XFER_REPLY_ERROR, XFER_E_BAD_NAME, none},
        {none, Fields({XFER_REQ_OPEN, 6}) + "C:\\abc", 12, XFER_REPLY_ERROR, XFER_E_BAD_NAME, none},   // no zero
        {none, "", 8, XFER_REPLY_ERROR, bad, none},
        {none, Fields({XFER_REQ_OPEN, 0xFFFFFFFCu}), 8, XFER_REPLY_ERROR, bad, none},   // the name length wraps
        {none, ReadRequest(h, 0, 0), 8, XFER_REPLY_ERROR, bad, none},
        {none, ReadRequest(h, 0, XFER_MAX_READ + 1), 8, XFER_REPLY_ERROR, XFER_E_NO_REPLY_MEMORY, none},
        {none, Fields({XFER_REQ_CLOSE, h, 0}), 8, XFER_REPLY_ERROR, bad, none},
        {none, ReadRequest(h, 0, size), 16 + size, XFER_REQ_READ, h, size},
        {none, ReadRequest(h, size, 1), 17, XFER_REPLY_ERROR, XFER_E_READ, size},
        {none, ReadRequest(forged, 3, 5), 21, XFER_REPLY_ERROR, XFER_E_SEEK, 3},
        {none, Fields({XFER_REQ_CLOSE, forged}), 8, XFER_REQ_CLOSE, 1, none},
        {none, ReadRequest(h, 50, 50), 66, XFER_REQ_READ, h, 100},
        {ZK_ORD_SEEK, ReadRequest(h, 0, 4), 20, XFER_REPLY_ERROR, XFER_E_SEEK, 0},
        {ZK_ORD_READ, ReadRequest(h, 0, 4), 20, XFER_REPLY_ERROR, XFER_E_READ, 0},
        {ZK_ORD_OPEN, OpenRequest(path_), 12, XFER_REPLY_ERROR, XFER_E_OPEN, none},
        {none, Fields({XFER_REQ_CLOSE, h}), 8, XFER_REQ_CLOSE, 1, none},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "request " << (&c - cases));
        dadatest::KernelFault fault(c.fault, 0, c.fault == none ? 0 : 1, 2);
        Reply r(c.request);
        ASSERT_EQ(r.length, c.length);
        EXPECT_EQ(r.field(0), c.code);
        if (c.second != none) EXPECT_EQ(r.field(4), c.second);
        if (c.third != none) EXPECT_EQ(r.field(8), c.third);
        if (c.code == XFER_REQ_OPEN) Reply(Fields({XFER_REQ_CLOSE, r.field(4)}));
        if (c.code != XFER_REQ_READ) continue;
        const DWORD offset = At(c.request.data(), 8), count = c.length - 16;
        EXPECT_EQ(std::string(reinterpret_cast<const char *>(r.bytes() + 16), count), content_.substr(offset, count));
        EXPECT_EQ(r.field(12), Crc(r.bytes() + 16, count));
    }
    EXPECT_EQ(ZKT_OpenFiles(), before);
    dadatest::ReplyBlock b;
    EXPECT_EQ(dada::xfer::FileTransferHandler(0, nullptr, 16, &b.p, &b.length), 1u);
    EXPECT_EQ(At(b.p, 4), XFER_E_BAD_REQUEST);
    EXPECT_EQ(dada::xfer::FileTransferHandler(0, "", 0, nullptr, &b.length), 0u);   // nowhere to put a reply
}

// Fuzzing: valid requests are bent, cut and stretched.
const DWORD kFields[] = {0, 1, 8, 15, 16, 17, 256, 259, 260, 261, XFER_MAX_READ, XFER_MAX_READ + 1,
                         0x7FFFFFFFu, 0x80000000u, 0xFFFFFFEFu, 0xFFFFFFF0u, 0xFFFFFFFFu};

std::string Mutate(std::string r, std::mt19937 &rng, const std::vector<std::string> &seeds)
{
    auto below = [&rng](size_t n) { return n ? DWORD(rng() % n) : 0; };
    for (DWORD i = 0, rounds = 1 + below(4); i < rounds; ++i) {
        const DWORD op = below(4);
        if (op == 0 && r.size() >= 4) {   // a field set to a boundary, or to near the name length
            const DWORD v = below(4) ? kFields[below(std::size(kFields))] : DWORD(r.size()) - 9 + below(3);
            std::memcpy(&r[4 * below(r.size() / 4)], &v, 4);
        } else if (op == 1) {
            r.resize(below(r.size() + 1));
        } else if (op == 2) {
            r.append(below(40), char(rng()));
        } else if (!r.empty()) {
            r[below(r.size())] = below(2) ? '\\' : char(rng());
        }
    }
    // Keep closes and reads off this process's own files.
    const DWORD code = r.size() >= 8 ? At(r.data(), 0) : 0, handle = code ? At(r.data(), 4) : 0;
    if ((code == XFER_REQ_CLOSE || code == XFER_REQ_READ) && handle != At(seeds[0].data(), 4) &&
        handle < 0x01000000u) {
        const DWORD steered = handle | 0x40000000u;
        std::memcpy(&r[4], &steered, 4);
    }
    return r;
}

// What is wrong with one reply (length, code, a read's data length and checksum); empty: nothing.
std::string Check(const std::string &req, const Reply &r)
{
    if (r.result != 1 || !r.p || r.length < 8) return "no reply, or one under 8 bytes";
    if (GlobalSize(GlobalHandle(r.p)) < r.length) return "reply longer than its block";
    const DWORD code = req.size() >= 4 ? At(req.data(), 0) : 0, count = req.size() == 16 ? At(req.data(), 12) : 0;
    if (r.field(0) == XFER_REPLY_ERROR) return "";
    if (r.field(0) != code) return "reply code differs from the request";
    if (code != XFER_REQ_READ) return r.length <= 12 ? "" : "open or close reply size";
    if (r.length != 16 + count || r.field(12) != Crc(r.bytes() + 16, count)) return "read reply size or checksum";
    return "";
}

TEST_F(TransferServer, FuzzedRequestsGetWellFormedReplies)
{
    const DWORD own = ZK_Open(path_.c_str(), ZK_OPEN_READ);
    ASSERT_NE(own, ZK_NOFILE);
    const std::vector<std::string> seeds = {
        ReadRequest(own, 2990, 10), OpenRequest(path_), Fields({XFER_REQ_CLOSE, 0x40000000u}),
    };
    std::mt19937 rng(20240607);
    unsigned failures = 0;
    for (unsigned i = 0; i < 10000; ++i) {
        const std::string req = Mutate(seeds[rng() % seeds.size()], rng, seeds);
        Reply r(req);
        const std::string bad = Check(req, r);
        if (!bad.empty() && failures++ == 0) ADD_FAILURE() << bad << " (case " << i << ")";
        if (r.p && r.length == 12 && r.field(0) == XFER_REQ_OPEN) ZK_Close(r.field(4));   // a mutated name that opened
    }
    ZK_Close(own);
    EXPECT_EQ(failures, 0u);
}

// FileMove: all or nothing for the destination, and the source never lost.
// An existing destination, missing names, sizes around the block, then a
// kernel failure at each call.
TEST(FileMove, AllOrNothing)
{
    TempDir dir;
    const std::string src = dir.file("src.bin"), dst = dir.file("dst.bin"), missing = dir.file("none");
    // srcAfter: the source's content afterwards, or null for no file
    struct { const char *source, *destination; DWORD overwrite, result; const char *srcAfter, *dstAfter; } cases[] = {
        {src.c_str(), dst.c_str(), 2, 0, "new", "old"},   {src.c_str(), dst.c_str(), 1, 1, nullptr, "new"},
        {nullptr, dst.c_str(), 1, 0, "new", "old"},       {missing.c_str(), dst.c_str(), 1, 0, "new", "old"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.source ? c.source : "null") + " overwrite " + std::to_string(c.overwrite));
        ASSERT_TRUE(WriteFileBytes(src, "new"));
        ASSERT_TRUE(WriteFileBytes(dst, "old"));
        EXPECT_EQ(FileMove(c.source, c.destination, c.overwrite), c.result);
        EXPECT_EQ(ReadFileBytes(src), c.srcAfter ? c.srcAfter : "");
        EXPECT_EQ(FileExists(src), c.srcAfter != nullptr);
        EXPECT_EQ(ReadFileBytes(dst), c.dstAfter);
    }
    struct { size_t size; DWORD reads; } sizes[] = {{0, 0}, {65534, 1}, {65535, 2}, {3 * 65534 + 17, 4}};
    DWORD calls = 0;
    for (const auto &c : sizes) {
        DeleteFileA(dst.c_str());
        ASSERT_TRUE(WriteFileBytes(src, Pattern(c.size)));
        ZKT_ClearFaults();
        EXPECT_EQ(FileMove(src.c_str(), dst.c_str(), 0), 1u) << c.size;
        EXPECT_EQ(ZKT_CallCount(ZK_ORD_READ), c.reads) << c.size;
        calls = ZKT_CallCount(0);
        EXPECT_FALSE(FileExists(src)) << c.size;
        EXPECT_EQ(ReadFileBytes(dst), Pattern(c.size)) << c.size;
    }
    EXPECT_EQ(ZKT_OpenFiles(), 0);
    ASSERT_GT(calls, 10u);
    ASSERT_TRUE(MoveFileA(dst.c_str(), src.c_str()));   // the largest, back as the source
    const std::string data = Pattern(sizes[3].size);
    DWORD unnoticed = 0;
    for (DWORD k = 0; k < calls; ++k) {
        SCOPED_TRACE(k);
        DWORD moved;
        {
            KernelFault fault(0, k, 1, 100);
            moved = FileMove(src.c_str(), dst.c_str(), 0);
        }
        if (moved) {   // only a fault whose failure changes nothing may pass: the move is complete
            EXPECT_FALSE(FileExists(src));
            EXPECT_EQ(ReadFileBytes(dst), data);
            ASSERT_TRUE(MoveFileA(dst.c_str(), src.c_str()));
            ++unnoticed;
            continue;
        }
        EXPECT_EQ(ReadFileBytes(src), data);
        EXPECT_FALSE(FileExists(dst));
        EXPECT_EQ(ZKT_OpenFiles(), 0);
    }
    EXPECT_LE(unnoticed, 3u);   // the destination's existence test and the two closes
}

} // namespace
