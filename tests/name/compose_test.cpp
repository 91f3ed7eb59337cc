// Joining, splitting and expanding path names.
#include <gtest/gtest.h>
#include "dadada32.h"
#include "testutil.h"
#include "path_cases.h"

#include <cstring>
#include <string>

namespace {

struct AppendCase { const char *path; const char *name; DWORD size; BOOL ok; const char *result; };
using AppendFn = BOOL(WINAPI *)(LPSTR, DWORD, LPCSTR);

template <size_t N> void CheckAppends(AppendFn fn, const AppendCase (&cases)[N])
{
    for (const auto &c : cases) {
        char buf[300];
        std::strcpy(buf, c.path);
        EXPECT_EQ(c.ok, fn(buf, c.size, c.name)) << c.path << " + " << c.name << " in " << c.size;
        EXPECT_STREQ(c.result, buf) << c.path << " + " << c.name << " in " << c.size;
    }
}

TEST(NameAppendFile, JoinsWithExactlyOneSeparator)
{
    const AppendCase cases[] = {
        {"C:\\dir\\", "\\file", 260, 1, "C:\\dir\\file"},
        {"C:\\dir", "file", 260, 1, "C:\\dir\\file"},
        {"C:\\dir\\", "file", 260, 1, "C:\\dir\\file"},
        {"C:\\dir", "\\file", 260, 1, "C:\\dir\\file"},
        {"C:", "file", 260, 1, "C:\\file"},
        {"", "file", 260, 1, "\\file"},
        {"", "", 260, 1, "\\"},
        {"C:\\", "", 260, 1, "C:\\"},
        // size test: L1 + L2 + 2 must stay below the size
        {"abc", "de", 7, 0, "abc"},
        {"abc", "de", 8, 1, "abc\\de"},
        {"abc\\", "\\de", 9, 0, "abc\\"},
        {"abc\\", "\\de", 10, 1, "abc\\de"},
        {"abc", "de", 0, 0, "abc"},
    };
    CheckAppends(NameAppendFile, cases);
}

TEST(NameAppendExtension, AddsOneDotUnlessThere)
{
    const AppendCase cases[] = {
        {"name", "txt", 260, 1, "name.txt"},
        {"name.", "txt", 260, 1, "name.txt"},
        {"name", ".txt", 260, 1, "name..txt"},
        {"", "txt", 260, 1, ".txt"},
        {"ab", "cd", 6, 0, "ab"},
        {"ab", "cd", 7, 1, "ab.cd"},
    };
    CheckAppends(NameAppendExtension, cases);
}

TEST(NameAppend, NullArgumentsAreRefused)
{
    char buf[16] = "x";
    EXPECT_EQ(0, NameAppendFile(nullptr, 16, "a"));
    EXPECT_EQ(0, NameAppendFile(buf, 16, nullptr));
    EXPECT_EQ(0, NameAppendExtension(buf, 16, nullptr));
    EXPECT_STREQ("x", buf);
}

TEST(NameReturnExtension, TextAfterTheLastDotPastTheFirstCharacter)
{
    const PathCase cases[] = {
        {"archive.tar.gz", "gz"}, {".profile", ""}, {"dir.d\\file", "d\\file"},
        {"readme", ""}, {"a.", ""}, {"", ""}, {"x.y", "y"},
    };
    for (const auto &c : cases) {
        char out[32];
        std::memset(out, 'Z', sizeof out);
        NameReturnExtension(c.in, out, sizeof out);
        EXPECT_STREQ(c.out, out) << c.in;
        if (c.out[0]) {   // the rest of the buffer is zero-filled
            for (size_t i = std::strlen(c.out); i < sizeof out; ++i) ASSERT_EQ(0, out[i]);
        }
    }
    char out[4] = "xyz";
    NameReturnExtension(nullptr, out, sizeof out);
    EXPECT_STREQ("", out);
    // an extension as long as the buffer is cut, and the buffer stays terminated
    char small[4];
    std::memset(small, 'Z', sizeof small);
    NameReturnExtension("a.html", small, sizeof small);
    EXPECT_STREQ("htm", small);
}

TEST(NameStrip, FileAndExtension)
{
    const PathCase files[] = {
        {"C:\\dir\\file", "C:\\dir"}, {"C:\\file", "C:"}, {"\\file", ""}, {"file", "file"},
        {"\\\\srv\\share\\", "\\\\srv\\share"}, {"", ""},
    };
    CheckInPlace(NameStripFile, files);
    const PathCase extensions[] = {
        {"readme.txt", "readme"}, {"page.html", "page.html"}, {"a.b", "a"}, {".c", ".c"},
        {"d.\\ab", "d"}, {"x", "x"}, {"", ""}, {"a.b.c", "a.b"}, {"ab.", "ab"},
    };
    CheckInPlace(NameStripExtension, extensions);
}

TEST(NameReturnFile, NameAfterTheLastSeparator)
{
    const PathCase cases[] = {
        {"\\dir\\", "dir\\"}, {"C:\\dir\\", ""}, {"\\\\", "\\"}, {"C:\\dir\\file.txt", "file.txt"},
        {"file.txt", ""}, {"C:file", ""}, {"\\", ""}, {"", ""}, {"\\file", "file"},
    };
    CheckPart(NameReturnFile, cases);
    // over-long paths are cut to one path buffer, never past it
    std::string longPath(400, 'a');
    longPath[300] = '\\';
    char out[261];
    NameReturnFile(longPath.c_str(), out);
    EXPECT_STREQ("", out);
}

TEST(NameHasDriveLetter, LetterColonBackslash)
{
    const std::pair<const char *, BOOL> cases[] = {
        {"C:\\", 1}, {"z:\\dir", 1}, {"C:", 0}, {"C:file", 0}, {"1:\\", 0}, {"\\\\a", 0}, {"", 0},
        {"@:\\", 0}, {"[:\\", 0},
    };
    for (auto [path, want] : cases) EXPECT_EQ(want, NameHasDriveLetter(path)) << path;
    EXPECT_EQ(0, NameHasDriveLetter(nullptr));
}

TEST(NameHasWildcards, StarBeforeQuestionMark)
{
    const std::pair<const char *, int> cases[] = {
        {"a?b*", 3}, {"*.txt", 0}, {"dir\\a?c", 5}, {"plain", -1}, {"", -1}, {"?x?*", 3},
    };
    for (auto [path, at] : cases) {
        LPSTR got = NameHasWildcards(path);
        if (at < 0) EXPECT_EQ(nullptr, got) << path;
        else EXPECT_EQ(path + at, got) << path;
    }
    EXPECT_EQ(nullptr, NameHasWildcards(nullptr));
}

TEST(NameOutputFormat, DisplayCase)
{
    const PathCase cases[] = {
        {"C:\\PROGRAM FILES\\SCAN\\README.TXT", "C:\\Program files\\Scan\\Readme.txt"},
        {"c:\\1abc", "C:\\1Abc"}, {"", ""}, {"\\\\SRV\\SHARE", "\\\\Srv\\Share"},
        {"..\\x.y", "..\\X.y"}, {"a b\\ c", "A b\\ C"},
    };
    CheckInPlace(NameOutputFormat, cases);
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
    char saved_[MAX_PATH];
};

TEST_F(ExpandTest, LongNameKeepsThePattern)
{
    struct { const char *in; std::string want; } cases[] = {
        {"sub\\*.txt", dir_.path() + "\\sub\\*.txt"},
        {"*.txt", dir_.path() + "\\*.txt"},
        {"a\\b?\\*.c", dir_.path() + "\\a\\b?\\*.c"},
        {"file.txt", dir_.path() + "\\file.txt"},
    };
    for (const auto &c : cases) {
        char out[MAX_PATH] = "";
        EXPECT_EQ(1, NameReturnLongName(c.in, out, sizeof out)) << c.in;
        EXPECT_STREQ(c.want.c_str(), out) << c.in;
    }
}

TEST_F(ExpandTest, ShortFailuresAndSmallBuffers)
{
    char out[MAX_PATH];
    EXPECT_EQ(0, NameReturnShortName("no such folder\\*.txt", out, sizeof out, 0));
    EXPECT_EQ(0, NameReturnLongName("x", out, 3));       // does not fit
    EXPECT_EQ(0, NameReturnLongName(nullptr, out, sizeof out));
    // a pattern that does not fit is dropped, the folder alone is kept
    std::string full = dir_.path() + "\\SubFolder";
    DWORD size = DWORD(full.size() + 3);
    EXPECT_EQ(1, NameReturnLongName("SubFolder\\*.toolong", out, size));
    EXPECT_STREQ(full.c_str(), out);
}

TEST_F(ExpandTest, ShortNameFormatsTheFolderOnly)
{
    char shortDir[MAX_PATH];
    ASSERT_NE(0u, GetShortPathNameA("SubFolder", shortDir, sizeof shortDir));
    char formatted[MAX_PATH];
    std::strcpy(formatted, shortDir);
    NameOutputFormat(formatted);

    char out[MAX_PATH];
    ASSERT_EQ(1, NameReturnShortName("SubFolder\\*.TXT", out, sizeof out, 1));
    EXPECT_EQ(std::string(formatted) + "\\*.TXT", out);
    ASSERT_EQ(1, NameReturnShortName("SubFolder\\*.TXT", out, sizeof out, 2));
    EXPECT_EQ(std::string(shortDir) + "\\*.TXT", out);
}

} // namespace
