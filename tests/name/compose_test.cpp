// Joining, splitting and expanding path names.
#include "dadada32.h"
#include "testutil.h"
#include "path_cases.h"

namespace {

TEST(NameAppend, FileAndExtension)
{
    using AppendFn = BOOL(WINAPI *)(LPSTR, DWORD, LPCSTR);
    const struct { AppendFn fn; const char *path, *name; DWORD size; BOOL ok; const char *result; } cases[] = {
        {NameAppendFile, "C:\\dir\\", "\\file", 260, 1, "C:\\dir\\file"}, {NameAppendFile, "C:\\dir", "file", 260, 1, "C:\\dir\\file"},
        {NameAppendFile, "C:\\dir\\", "file", 260, 1, "C:\\dir\\file"}, {NameAppendFile, "C:\\dir", "\\file", 260, 1, "C:\\dir\\file"},
        {NameAppendFile, "C:", "file", 260, 1, "C:\\file"}, {NameAppendFile, "", "file", 260, 1, "\\file"},
        {NameAppendFile, "", "", 260, 1, "\\"}, {NameAppendFile, "C:\\", "", 260, 1, "C:\\"},
        // L1 + L2 + 2 must stay below the size
        {NameAppendFile, "abc", "de", 7, 0, "abc"}, {NameAppendFile, "abc", "de", 8, 1, "abc\\de"},
        {NameAppendFile, "abc\\", "\\de", 9, 0, "abc\\"}, {NameAppendFile, "abc\\", "\\de", 10, 1, "abc\\de"},
        {NameAppendFile, "abc", "de", 0, 0, "abc"}, {NameAppendFile, "x", nullptr, 16, 0, "x"},
        {NameAppendExtension, "name", "txt", 260, 1, "name.txt"}, {NameAppendExtension, "name.", "txt", 260, 1, "name.txt"},
        {NameAppendExtension, "name", ".txt", 260, 1, "name..txt"}, {NameAppendExtension, "", "txt", 260, 1, ".txt"},
        {NameAppendExtension, "ab", "cd", 6, 0, "ab"}, {NameAppendExtension, "ab", "cd", 7, 1, "ab.cd"},
        {NameAppendExtension, "x", nullptr, 16, 0, "x"},
    };
    for (const auto &c : cases) {
        char buf[300];
        std::strcpy(buf, c.path);
        EXPECT_EQ(c.ok, c.fn(buf, c.size, c.name)) << c.path << " + " << c.name << " in " << c.size;
        EXPECT_STREQ(c.result, buf) << c.path << " in " << c.size;
    }
    EXPECT_EQ(0, NameAppendFile(nullptr, 16, "a"));
}

TEST(NameReturnExtension, TextAfterTheLastDotPastTheFirstCharacter)
{
    const struct { const char *in; DWORD size; const char *out; } cases[] = {
        {"archive.tar.gz", 32, "gz"}, {".profile", 32, ""}, {"dir.d\\file", 32, "d\\file"}, {"readme", 32, ""},
        {"a.", 32, ""}, {"", 32, ""}, {"x.y", 32, "y"}, {nullptr, 32, ""},
        {"a.html", 4, "htm"},   // cut to the buffer, which stays terminated
    };
    for (const auto &c : cases) {
        char out[33];
        std::memset(out, 'Z', sizeof out);
        NameReturnExtension(c.in, out, c.size);
        EXPECT_STREQ(c.out, out) << c.size;
        if (c.out[0])   // the rest of the buffer is zero-filled, and nothing past it written
            for (size_t i = std::strlen(c.out); i < c.size; ++i) ASSERT_EQ(0, out[i]) << c.in;
        EXPECT_EQ('Z', out[c.size]);
    }
}

TEST(NameParts, StripReturnAndDisplayCase)
{
    const PathCase files[] = {{"C:\\dir\\file", "C:\\dir"}, {"C:\\file", "C:"}, {"\\file", ""}, {"file", "file"},
                              {"\\\\srv\\share\\", "\\\\srv\\share"}, {"", ""}};
    CheckInPlace(NameStripFile, files);
    const PathCase extensions[] = {{"readme.txt", "readme"}, {"page.html", "page.html"}, {"a.b", "a"}, {".c", ".c"},
                                   {"d.\\ab", "d"}, {"x", "x"}, {"", ""}, {"a.b.c", "a.b"}, {"ab.", "ab"}};
    CheckInPlace(NameStripExtension, extensions);
    const PathCase names[] = {{"\\dir\\", "dir\\"}, {"C:\\dir\\", ""}, {"\\\\", "\\"}, {"C:\\dir\\file.txt", "file.txt"},
                              {"file.txt", ""}, {"C:file", ""}, {"\\", ""}, {"", ""}, {"\\file", "file"}};
    CheckPart(NameReturnFile, names);
    std::string longPath(400, 'a');   // cut to one path buffer, never past it
    longPath[300] = '\\';
    const PathCase overLong[] = {{longPath.c_str(), ""}};
    CheckPart(NameReturnFile, overLong);
    const PathCase display[] = {
        {"C:\\PROGRAM FILES\\SCAN\\README.TXT", "C:\\Program files\\Scan\\Readme.txt"}, {"c:\\1abc", "C:\\1Abc"},
        {"", ""}, {"\\\\SRV\\SHARE", "\\\\Srv\\Share"}, {"..\\x.y", "..\\X.y"}, {"a b\\ c", "A b\\ C"}};
    CheckInPlace(NameOutputFormat, display);
}

class ExpandTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        GetCurrentDirectoryA(sizeof saved_, saved_);
        ASSERT_TRUE(CreateDirectoryA(dir_.file("SubFolder").c_str(), nullptr));
        ASSERT_TRUE(SetCurrentDirectoryA(dir_.path().c_str()));
    }
    void TearDown() override { SetCurrentDirectoryA(saved_); }
    dadatest::TempDir dir_;
    std::string d_ = dir_.path();
    char saved_[MAX_PATH], out_[MAX_PATH];
};

TEST_F(ExpandTest, LongName)
{
    const std::string sub = d_ + "\\SubFolder";
    const struct { const char *in; DWORD size; BOOL ok; std::string want; } cases[] = {
        {"sub\\*.txt", MAX_PATH, 1, d_ + "\\sub\\*.txt"}, {"*.txt", MAX_PATH, 1, d_ + "\\*.txt"},
        {"a\\b?\\*.c", MAX_PATH, 1, d_ + "\\a\\b?\\*.c"}, {"file.txt", MAX_PATH, 1, d_ + "\\file.txt"},
        {"x", 3, 0, ""}, {nullptr, MAX_PATH, 0, ""},
        {"SubFolder\\*.toolong", DWORD(sub.size() + 3), 1, sub},   // the pattern does not fit: the folder alone
    };
    for (const auto &c : cases) {
        out_[0] = 0;
        EXPECT_EQ(c.ok, NameReturnLongName(c.in, out_, c.size)) << c.in;
        if (c.ok) EXPECT_EQ(c.want, out_) << c.in;
    }
}

TEST_F(ExpandTest, ShortNameFormatsTheFolderOnly)
{
    EXPECT_EQ(0, NameReturnShortName("no such folder\\*.txt", out_, sizeof out_, 0));
    char shortDir[MAX_PATH], formatted[MAX_PATH];
    ASSERT_NE(0u, GetShortPathNameA("SubFolder", shortDir, sizeof shortDir));
    NameOutputFormat(std::strcpy(formatted, shortDir));
    ASSERT_EQ(1, NameReturnShortName("SubFolder\\*.TXT", out_, sizeof out_, 1));
    EXPECT_EQ(std::string(formatted) + "\\*.TXT", out_);
    ASSERT_EQ(1, NameReturnShortName("SubFolder\\*.TXT", out_, sizeof out_, 2));
    EXPECT_EQ(std::string(shortDir) + "\\*.TXT", out_);
}

} // namespace
