// The transfer server's handler, called directly with requests built in
// memory: validation, reply shapes, error replies and the name mapping.
#include <gtest/gtest.h>
#include "testutil.h"
#include "xfer_request.h"

using namespace xfertest;
using dada::xfer::FileTransferHandler;

namespace {

// Fixed points of the seed and the common CRC-32, then every length, alignment
// and a carried-over register against the byte-at-a-time definition.
TEST(CrcBuffer, KnownValuesAndModel)
{
    struct { std::string text; DWORD seed, want; } cases[] = {
        {"abc", XFER_CRC_SEED, 0x72D9FFB5u}, {"", XFER_CRC_SEED, XFER_CRC_SEED},
        {"123456789", 0xFFFFFFFFu, ~0xCBF43926u},   // uncomplemented
    };
    for (const auto &c : cases) EXPECT_EQ(Crc(c.text.data(), DWORD(c.text.size()), c.seed), c.want) << c.text;
    CrcBuffer("abc", 3, nullptr);   // no variable: nothing happens
    BYTE bytes[300];
    for (size_t i = 0; i < sizeof bytes; ++i) bytes[i] = BYTE(i * 131 + (i >> 3));
    for (DWORD start = 0; start < 8; ++start)
        for (DWORD n = 0; start + n <= sizeof bytes; n += 1 + n / 16) {
            DWORD c = 0x12345678u;
            for (DWORD i = 0; i < n; ++i) {
                c ^= bytes[start + i];
                for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            }
            EXPECT_EQ(Crc(bytes + start, n, 0x12345678u), c) << start << "+" << n;
        }
}

TEST(TransferNameMapping, Table)
{
    const std::string fits = "C\\" + std::string(257, 'a');   // gains a colon: 260 characters
    struct { std::string name; const char *path; DWORD size = 0; } cases[] = {
        {"C:\\dir\\f", "C:\\dir\\f"},         {"C\\dir\\f", "C:\\dir\\f"},
        {"\\\\server\\D\\dir\\f", "D:\\dir\\f"}, {"\\\\server\\D:\\dir\\f", "D:\\dir\\f"},
        {"//server/D/dir/f", "D:/dir/f"},     {"\\\\server/D\\f", "D:\\f"},
        {"\\\\\\D\\f", "D:\\f"},              {"C$\\x", "C$:\\x"},
        {"C", "C:"}, {"C:", "C:"}, {"C/dir", "C:/dir"},
        {"\\\\server", nullptr}, {"\\\\", nullptr}, {"\\\\server\\", nullptr}, {"\\\\server\\\\x", nullptr},
        {"\\dir\\f", nullptr}, {"/dir", nullptr}, {"\\/server/x", nullptr}, {"", nullptr},
        {fits, "C:"}, {fits + "a", nullptr}, {"C:\\" + std::string(257, 'a'), "C:"},
        {"C:\\abc", nullptr, 6}, {"C:\\abc", "C:\\abc", 7},   // the terminator must lie inside the request
    };
    for (const auto &c : cases) {
        char out[261];
        std::memset(out, 'x', sizeof out);
        const bool ok = dada::xfer::MapRemoteName(c.name.c_str(), c.size ? c.size : DWORD(c.name.size() + 1), out);
        ASSERT_EQ(ok, c.path != nullptr) << c.name;
        if (ok && c.name.size() > 250) {
            EXPECT_EQ(std::strlen(out), c.name.size() + (c.name[1] != ':')) << c.name;
        } else if (ok) {
            EXPECT_STREQ(out, c.path) << c.name;
        }
    }
}

// Served roots: only names inside one of the folders, whatever "." and ".."
// steps or letter case they take; no setting serves everything.
TEST(TransferNameMapping, ServedRoots)
{
    struct { const char *roots, *path; bool served; } cases[] = {
        {nullptr, "C:\\any\\f", true},
        {"C:\\pub", "C:\\pub\\f", true},          {"C:\\pub", "c:\\PUB\\sub\\f", true},
        {"C:\\pub\\", "C:\\pub\\f", true},        {"C:\\pub", "C:\\pub", true},
        {"C:\\pub", "C:\\pubx\\f", false},        {"C:\\pub", "C:\\pub\\..\\secret", false},
        {"C:\\pub", "C:\\other\\..\\pub\\f", true}, {"C:\\pub", "D:\\pub\\f", false},
        {"C:\\a;D:\\b", "D:\\b\\f", true},       {"C:\\a;D:\\b", "D:\\c\\f", false},
        {"C:\\", "C:\\x\\f", true},               {";", "C:\\x", false},
        {"C:\\pub", "C:/pub/f", true},             {"C:\\pub", "\\\\.\\C:\\pub\\f", false},
    };
    for (const auto &c : cases) {
        SetEnvironmentVariableA(dada::xfer::kRootsVariable, c.roots);
        EXPECT_EQ(dada::xfer::InServedRoots(c.path), c.served) << (c.roots ? c.roots : "-") << " " << c.path;
    }
    SetEnvironmentVariableA(dada::xfer::kRootsVariable, nullptr);
}

class TransferServer : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (int i = 0; i < 100; ++i) content_.push_back(char(i * 7 + 3));
        ASSERT_TRUE(dadatest::WriteFileBytes(path_, content_));
    }
    DWORD OpenData()
    {
        Reply r(OpenRequest(path_));
        EXPECT_EQ(At(r.p, 0), XFER_REQ_OPEN);
        return r.field(4);
    }
    dadatest::TempDir dir_;
    std::string path_ = dir_.file("data.bin"), content_;
};

TEST_F(TransferServer, MalformedRequestsGetAnEightByteError)
{
    struct { const char *what; std::string request; DWORD status = XFER_E_BAD_REQUEST; } cases[] = {
        {"empty", ""},
        {"code only", Fields({XFER_REQ_OPEN})},
        {"open, name length 0", Fields({XFER_REQ_OPEN, 0})},
        {"open, length not 8 + name", Fields({XFER_REQ_OPEN, 5, 0})},
        {"open, name length wraps", Fields({XFER_REQ_OPEN, 0xFFFFFFFCu})},
        {"read, 15 bytes", ReadRequest(8, 0, 1).substr(0, 15)},
        {"read, 17 bytes", ReadRequest(8, 0, 1) + "x"},
        {"read, count 0", ReadRequest(8, 0, 0)},
        {"read, no handle", ReadRequest(0xFFFFFFFFu, 0, 1)},
        {"read, offset -1", ReadRequest(8, 0xFFFFFFFFu, 1)},
        {"read, 16 + count overflows", ReadRequest(8, 0, 0xFFFFFFF0u)},
        {"read, beyond the largest reply", ReadRequest(8, 0, XFER_MAX_READ + 1), XFER_E_NO_REPLY_MEMORY},
        {"read, largest count in 32 bits", ReadRequest(8, 0, 0xFFFFFFEFu), XFER_E_NO_REPLY_MEMORY},
        {"close, handle 0", Fields({XFER_REQ_CLOSE, 0})},
        {"close, no handle", Fields({XFER_REQ_CLOSE, 0xFFFFFFFFu})},
        {"close, 12 bytes", Fields({XFER_REQ_CLOSE, 0x7FFF0000u, 0})},
        {"code 258", Fields({258, 0x7FFF0000u})},
        {"error code as request", Fields({XFER_REPLY_ERROR, 0})},
    };
    for (const auto &c : cases) {
        Reply r(c.request);
        ASSERT_EQ(r.result, 1u) << c.what;
        ASSERT_NE(r.p, nullptr) << c.what;
        EXPECT_EQ(r.length, 8u) << c.what;
        EXPECT_EQ(r.field(0), XFER_REPLY_ERROR) << c.what;
        EXPECT_EQ(r.field(4), c.status) << c.what;
    }
    dadatest::ReplyBlock b;
    EXPECT_EQ(FileTransferHandler(0, nullptr, 16, &b.p, &b.length), 1u);
    EXPECT_EQ(At(b.p, 4), XFER_E_BAD_REQUEST);
    EXPECT_EQ(FileTransferHandler(0, "", 0, nullptr, &b.length), 0u);   // nowhere to put a reply
}

TEST_F(TransferServer, OpenRepliesForEachOutcome)
{
    const std::string rest = path_.substr(2), drive = path_.substr(0, 1);
    std::string unterminated = OpenRequest(path_);
    unterminated.back() = 'x';
    struct { std::string request; DWORD status; } cases[] = {
        // name forms beyond these are the mapping table's; here each outcome once
        {OpenRequest(path_), 0}, {OpenRequest(drive + rest), 0}, {OpenRequest("\\\\machine\\" + drive + rest), 0},
        {OpenRequest(rest), XFER_E_BAD_NAME},   // a lone leading backslash
        {OpenRequest(drive + "$" + rest), XFER_E_OPEN}, {OpenRequest(path_ + ".missing"), XFER_E_OPEN},
        {unterminated, XFER_E_BAD_NAME},
    };
    for (const auto &c : cases) {
        Reply r(c.request);
        const std::string name = c.request.substr(8);
        ASSERT_EQ(r.result, 1u) << name;
        EXPECT_EQ(r.length, 12u) << name;    // an open reply, or an error in its place
        EXPECT_EQ(GlobalSize(GlobalHandle(r.p)), 273u) << name;
        EXPECT_EQ(r.field(0), c.status ? XFER_REPLY_ERROR : XFER_REQ_OPEN) << name;
        EXPECT_EQ(r.field(c.status ? 4 : 8), c.status ? c.status : content_.size()) << name;
        if (!c.status) Reply close(Fields({XFER_REQ_CLOSE, r.field(4)}));
    }
}

TEST_F(TransferServer, ReadRepliesCarryDataOffsetAndChecksum)
{
    const DWORD handle = OpenData(), size = DWORD(content_.size());
    struct { DWORD offset, count, status; } cases[] = {
        {0, 1, 0}, {0, size, 0}, {size - 10, 10, 0}, {50, 50, 0},   // up to the end at most
        {size - 4, 10, XFER_E_READ}, {size, 1, XFER_E_READ},
    };
    for (const auto &c : cases) {
        Reply r(ReadRequest(handle, c.offset, c.count));
        ASSERT_EQ(r.result, 1u);
        EXPECT_EQ(r.length, 16 + c.count) << c.offset;
        if (c.status == 0) {
            EXPECT_EQ(r.field(0), XFER_REQ_READ);
            EXPECT_EQ(r.field(4), handle);
            EXPECT_EQ(r.field(8), c.offset + c.count);
            EXPECT_EQ(std::string(reinterpret_cast<const char *>(r.bytes() + 16), c.count),
                      content_.substr(c.offset, c.count));
            EXPECT_EQ(r.field(12), Crc(r.bytes() + 16, c.count));
        } else {
            EXPECT_EQ(r.field(0), XFER_REPLY_ERROR);
            EXPECT_EQ(r.field(4), c.status);
            EXPECT_EQ(r.field(8), c.offset);
        }
    }
    Reply close(Fields({XFER_REQ_CLOSE, handle}));
}

// Handles never opened, kernel failures, and the close that releases the file.
TEST_F(TransferServer, ErrorRepliesAndClose)
{
    const LONG before = ZKT_OpenFiles();
    const DWORD handle = OpenData(), bogus = 0x7FFF0000u, none = 0xFFFFFFFFu;
    EXPECT_EQ(ZKT_OpenFiles(), before + 1);
    struct { DWORD fault; std::string request; DWORD length, code, status, offset; } cases[] = {
        {none, ReadRequest(bogus, 3, 5), 21, XFER_REPLY_ERROR, XFER_E_SEEK, 3},
        {none, Fields({XFER_REQ_CLOSE, bogus}), 8, XFER_REQ_CLOSE, 1, none},
        {ZK_ORD_OPEN, OpenRequest(path_), 12, XFER_REPLY_ERROR, XFER_E_OPEN, none},
        {ZK_ORD_SEEK, ReadRequest(handle, 0, 4), 20, XFER_REPLY_ERROR, XFER_E_SEEK, 0},
        {ZK_ORD_READ, ReadRequest(handle, 0, 4), 20, XFER_REPLY_ERROR, XFER_E_READ, 0},
        {none, Fields({XFER_REQ_CLOSE, handle}), 8, XFER_REQ_CLOSE, 1, none},
    };
    for (const auto &c : cases) {
        dadatest::KernelFault fault(c.fault, 0, c.fault == none ? 0 : 1, 2);
        Reply r(c.request);
        EXPECT_EQ(r.length, c.length) << c.fault;
        EXPECT_EQ(r.field(0), c.code) << c.fault;
        EXPECT_EQ(r.field(4), c.status) << c.fault;
        if (c.offset != none) EXPECT_EQ(r.field(8), c.offset) << c.fault;
    }
    EXPECT_EQ(ZKT_OpenFiles(), before);
}

} // namespace
