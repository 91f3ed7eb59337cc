// The transfer server's handler, called directly with requests built in
// memory: validation, reply shapes, error replies and the name mapping.
#include <gtest/gtest.h>
#include "REMOTE/xfer_server.h"
#include "testutil.h"
#include "xfer_request.h"

using namespace xfertest;
using dada::xfer::FileTransferHandler;
using dada::xfer::MapRemoteName;

namespace {

struct Reply {
    DWORD result = 0;
    void *block = nullptr;
    DWORD length = 0;
    ~Reply() { FreeReply(block); }
    DWORD code() const { return At(block, 0); }
    DWORD field(DWORD offset) const { return At(block, offset); }
};

void Send(const std::string &request, Reply &r)
{
    r.block = reinterpret_cast<void *>(1);   // the handler must not trust what it finds there
    r.result = FileTransferHandler(0, request.data(), static_cast<DWORD>(request.size()), &r.block,
                                   &r.length);
}

TEST(CrcBuffer, KnownValuesAndChaining)
{
    struct { std::string text; DWORD seed, want; } cases[] = {
        {"abc", XFER_CRC_SEED, 0x72D9FFB5u},
        {"", XFER_CRC_SEED, XFER_CRC_SEED},                  // count 0 leaves it alone
        {"123456789", 0xFFFFFFFFu, ~0xCBF43926u},            // the common CRC-32, uncomplemented
        {std::string(1, '\0'), 0, 0},                       // table entry 0
        {"\x01", 0, 0x77073096u},                            // table entry 1
        {"\x01", 0x77073096u, 0x6E1C01D7u},
    };
    for (const auto &c : cases)
        EXPECT_EQ(Crc(c.text.data(), DWORD(c.text.size()), c.seed), c.want) << c.text;
    // Run in two pieces, the register carries over.
    std::string text = "the quick brown fox jumps over the lazy dog";
    for (size_t cut = 0; cut <= text.size(); cut += 7)
        EXPECT_EQ(Crc(text.data() + cut, DWORD(text.size() - cut), Crc(text.data(), DWORD(cut))),
                  Crc(text.data(), DWORD(text.size())));
    CrcBuffer("abc", 3, nullptr);   // no variable: nothing happens
}

TEST(TransferNameMapping, Table)
{
    struct { const char *name; const char *path; } cases[] = {
        {"C:\\dir\\f", "C:\\dir\\f"},
        {"C\\dir\\f", "C:\\dir\\f"},
        {"\\\\server\\D\\dir\\f", "D:\\dir\\f"},
        {"\\\\server\\D:\\dir\\f", "D:\\dir\\f"},
        {"//server/D/dir/f", "D:/dir/f"},
        {"\\\\server/D\\f", "D:\\f"},
        {"\\\\\\D\\f", "D:\\f"},             // empty server part
        {"C$\\x", "C$:\\x"},
        {"C", "C:"},
        {"C:", "C:"},
        {"C/dir", "C:/dir"},
        {"\\\\server", nullptr},             // no separator after the server
        {"\\\\", nullptr},
        {"\\\\server\\", nullptr},           // no first component
        {"\\\\server\\\\x", nullptr},
        {"\\dir\\f", nullptr},               // a lone leading separator
        {"/dir", nullptr},
        {"\\/server/x", nullptr},            // one of each is not a network name
        {"", nullptr},
    };
    for (const auto &c : cases) {
        char out[261];
        std::memset(out, 'x', sizeof out);
        bool ok = MapRemoteName(c.name, DWORD(std::strlen(c.name) + 1), out);
        EXPECT_EQ(ok, c.path != nullptr) << c.name;
        if (ok && c.path) {
            EXPECT_STREQ(out, c.path) << c.name;
        }
    }
}

TEST(TransferNameMapping, LimitsOfTheRequestAndThePathArea)
{
    char out[261];
    std::string fits = "C\\" + std::string(257, 'a');    // gains a colon: 260 characters
    EXPECT_TRUE(MapRemoteName(fits.c_str(), DWORD(fits.size() + 1), out));
    EXPECT_EQ(std::strlen(out), 260u);
    std::string over = fits + "a";
    EXPECT_FALSE(MapRemoteName(over.c_str(), DWORD(over.size() + 1), out));
    std::string withColon = "C:\\" + std::string(257, 'a');
    EXPECT_TRUE(MapRemoteName(withColon.c_str(), DWORD(withColon.size() + 1), out));
    // The terminator must lie inside the bytes the request carries.
    EXPECT_FALSE(MapRemoteName("C:\\abc", 6, out));
    EXPECT_TRUE(MapRemoteName("C:\\abc", 7, out));
}

class TransferServer : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (int i = 0; i < 100; ++i) content_.push_back(char(i * 7 + 3));
        path_ = dir_.file("data.bin");
        ASSERT_TRUE(dadatest::WriteFileBytes(path_, content_));
    }
    DWORD OpenData()
    {
        Reply r;
        Send(OpenRequest(path_), r);
        EXPECT_EQ(r.code(), XFER_REQ_OPEN);
        return r.field(4);
    }
    void Close(DWORD handle)
    {
        Reply r;
        Send(Fields({XFER_REQ_CLOSE, handle}), r);
    }
    dadatest::TempDir dir_;
    std::string path_, content_;
};

TEST_F(TransferServer, MalformedRequestsGetAnEightByteError)
{
    struct { const char *what; std::string request; DWORD status; } cases[] = {
        {"empty", "", XFER_E_BAD_REQUEST},
        {"code only", Fields({XFER_REQ_OPEN}), XFER_E_BAD_REQUEST},
        {"open, name length 0", Fields({XFER_REQ_OPEN, 0}), XFER_E_BAD_REQUEST},
        {"open, length not 8 + name", Fields({XFER_REQ_OPEN, 5, 0}), XFER_E_BAD_REQUEST},
        {"open, name length wraps", Fields({XFER_REQ_OPEN, 0xFFFFFFFCu}), XFER_E_BAD_REQUEST},
        {"read, 15 bytes", ReadRequest(8, 0, 1).substr(0, 15), XFER_E_BAD_REQUEST},
        {"read, 17 bytes", ReadRequest(8, 0, 1) + "x", XFER_E_BAD_REQUEST},
        {"read, count 0", ReadRequest(8, 0, 0), XFER_E_BAD_REQUEST},
        {"read, no handle", ReadRequest(0xFFFFFFFFu, 0, 1), XFER_E_BAD_REQUEST},
        {"read, offset -1", ReadRequest(8, 0xFFFFFFFFu, 1), XFER_E_BAD_REQUEST},
        {"read, 16 + count overflows", ReadRequest(8, 0, 0xFFFFFFF0u), XFER_E_BAD_REQUEST},
        {"read, count beyond the largest reply", ReadRequest(8, 0, XFER_MAX_READ + 1), XFER_E_NO_REPLY_MEMORY},
        {"read, largest count that fits 32 bits", ReadRequest(8, 0, 0xFFFFFFEFu), XFER_E_NO_REPLY_MEMORY},
        {"close, handle 0", Fields({XFER_REQ_CLOSE, 0}), XFER_E_BAD_REQUEST},
        {"close, no handle", Fields({XFER_REQ_CLOSE, 0xFFFFFFFFu}), XFER_E_BAD_REQUEST},
        {"close, 12 bytes", Fields({XFER_REQ_CLOSE, 0x7FFF0000u, 0}), XFER_E_BAD_REQUEST},
        {"code 258", Fields({258, 0x7FFF0000u}), XFER_E_BAD_REQUEST},
        {"error code as request", Fields({XFER_REPLY_ERROR, 0}), XFER_E_BAD_REQUEST},
    };
    for (const auto &c : cases) {
        Reply r;
        Send(c.request, r);
        ASSERT_EQ(r.result, 1u) << c.what;
        ASSERT_NE(r.block, nullptr) << c.what;
        EXPECT_EQ(r.length, 8u) << c.what;
        EXPECT_EQ(r.code(), XFER_REPLY_ERROR) << c.what;
        EXPECT_EQ(r.field(4), c.status) << c.what;
    }
    DWORD length = 0;
    void *block = nullptr;
    EXPECT_EQ(FileTransferHandler(0, nullptr, 16, &block, &length), 1u);
    EXPECT_EQ(At(block, 4), XFER_E_BAD_REQUEST);
    FreeReply(block);
    EXPECT_EQ(FileTransferHandler(0, "", 0, nullptr, &length), 0u);   // nowhere to put a reply
}

TEST_F(TransferServer, OpenMapsEveryNameForm)
{
    const std::string rest = path_.substr(2);      // after "C:"
    const std::string drive = path_.substr(0, 1);
    struct { std::string name; DWORD status; } cases[] = {
        {path_, 0},
        {drive + rest, 0},
        {"\\\\machine\\" + drive + rest, 0},
        {"\\\\machine\\" + path_, 0},
        {"\\\\\\" + path_, 0},
        {rest, XFER_E_BAD_NAME},                   // a lone leading backslash
        {"\\\\machine", XFER_E_BAD_NAME},
        {drive + "$" + rest, XFER_E_OPEN},
        {path_ + ".missing", XFER_E_OPEN},
        {drive + std::string(300, 'a'), XFER_E_BAD_NAME},
    };
    for (const auto &c : cases) {
        Reply r;
        Send(OpenRequest(c.name), r);
        ASSERT_EQ(r.result, 1u) << c.name;
        EXPECT_EQ(r.length, 12u) << c.name;    // an open reply, or an error in its place
        EXPECT_EQ(GlobalSize(GlobalHandle(r.block)), 273u) << c.name;
        if (c.status == 0) {
            EXPECT_EQ(r.code(), XFER_REQ_OPEN) << c.name;
            EXPECT_EQ(r.field(8), content_.size()) << c.name;
            Close(r.field(4));
        } else {
            EXPECT_EQ(r.code(), XFER_REPLY_ERROR) << c.name;
            EXPECT_EQ(r.field(4), c.status) << c.name;
        }
    }
    // A name whose terminator is not inside the request.
    std::string unterminated = OpenRequest(path_);
    unterminated.back() = 'x';
    Reply r;
    Send(unterminated, r);
    EXPECT_EQ(r.length, 12u);
    EXPECT_EQ(r.field(4), XFER_E_BAD_NAME);
}

TEST_F(TransferServer, ReadRepliesCarryDataOffsetAndChecksum)
{
    const DWORD handle = OpenData(), size = DWORD(content_.size());
    struct { DWORD offset, count, status; } cases[] = {
        {0, 1, 0},
        {0, size, 0},
        {size - 10, 10, 0},          // exactly up to the end
        {size - 4, 10, XFER_E_READ}, // reaches past the end
        {size, 1, XFER_E_READ},
        {50, 50, 0},
    };
    for (const auto &c : cases) {
        Reply r;
        Send(ReadRequest(handle, c.offset, c.count), r);
        ASSERT_EQ(r.result, 1u);
        EXPECT_EQ(r.length, 16 + c.count) << c.offset;
        if (c.status == 0) {
            EXPECT_EQ(r.code(), XFER_REQ_READ);
            EXPECT_EQ(r.field(4), handle);
            EXPECT_EQ(r.field(8), c.offset + c.count);
            const BYTE *data = static_cast<BYTE *>(r.block) + 16;
            EXPECT_EQ(std::string(reinterpret_cast<const char *>(data), c.count),
                      content_.substr(c.offset, c.count));
            EXPECT_EQ(r.field(12), Crc(data, c.count));
        } else {
            EXPECT_EQ(r.code(), XFER_REPLY_ERROR);
            EXPECT_EQ(r.field(4), c.status);
            EXPECT_EQ(r.field(8), c.offset);
        }
    }
    Close(handle);
}

TEST_F(TransferServer, ReadAndCloseOfHandlesNeverOpened)
{
    const DWORD bogus = 0x7FFF0000u;   // no handle of this process
    Reply r;
    Send(ReadRequest(bogus, 3, 5), r);
    EXPECT_EQ(r.length, 21u);
    EXPECT_EQ(r.code(), XFER_REPLY_ERROR);
    EXPECT_EQ(r.field(4), XFER_E_SEEK);
    EXPECT_EQ(r.field(8), 3u);

    Reply c;
    Send(Fields({XFER_REQ_CLOSE, bogus}), c);
    EXPECT_EQ(c.length, 8u);
    EXPECT_EQ(c.code(), XFER_REQ_CLOSE);
    EXPECT_EQ(c.field(4), 1u);
}

TEST_F(TransferServer, CloseReleasesTheFile)
{
    const LONG before = ZKT_OpenFiles();
    const DWORD handle = OpenData();
    EXPECT_EQ(ZKT_OpenFiles(), before + 1);
    Reply r;
    Send(Fields({XFER_REQ_CLOSE, handle}), r);
    EXPECT_EQ(r.length, 8u);
    EXPECT_EQ(r.code(), XFER_REQ_CLOSE);
    EXPECT_EQ(r.field(4), 1u);
    EXPECT_EQ(ZKT_OpenFiles(), before);
}

TEST_F(TransferServer, KernelFailuresBecomeErrorReplies)
{
    const DWORD handle = OpenData();
    struct { DWORD ordinal; std::string request; DWORD length, status; } cases[] = {
        {ZK_ORD_OPEN, OpenRequest(path_), 12, XFER_E_OPEN},
        {ZK_ORD_SEEK, ReadRequest(handle, 0, 4), 20, XFER_E_SEEK},
        {ZK_ORD_READ, ReadRequest(handle, 0, 4), 20, XFER_E_READ},
    };
    for (const auto &c : cases) {
        dadatest::KernelFault fault(c.ordinal, 0, 1, 2);
        Reply r;
        Send(c.request, r);
        EXPECT_EQ(r.length, c.length) << c.ordinal;
        EXPECT_EQ(r.code(), XFER_REPLY_ERROR) << c.ordinal;
        EXPECT_EQ(r.field(4), c.status) << c.ordinal;
    }
    Close(handle);
}

} // namespace
