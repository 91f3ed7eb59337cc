// Lists kept in a profile file: loading, malformed values, saving.
#include "exclude_helpers.h"
#include "testutil.h"
#include <gtest/gtest.h>
#include <vector>

using namespace dadatest;

namespace {

std::string ReadValue(const std::string &ini, const std::string &key)
{
    char buf[1024];
    GetPrivateProfileStringA("ExcludedItems", key.c_str(), "<none>", buf, sizeof buf, ini.c_str());
    return buf;
}

std::string ItemKey(int i) { return "ExcludedItem_" + std::to_string(i); }

// A profile file holding `body`, under a name of its own (the profile
// functions may cache a file by name).
std::string Profile(const TempDir &dir, const std::string &body)
{
    static int serial = 0;
    std::string path = dir.file("list" + std::to_string(serial++) + ".ini");
    EXPECT_TRUE(WriteFileBytes(path, body));
    return path;
}

std::string Items(std::initializer_list<const char *> values, int count = -1)
{
    std::string body = "[ExcludedItems]\r\nNumExcludeItems=" +
                       std::to_string(count < 0 ? int(values.size()) : count) + "\r\n";
    int i = 0;
    for (const char *v : values) body += ItemKey(i++) + "=" + v + "\r\n";
    return body;
}

} // namespace

TEST(ExcludeProfile, Load)
{
    struct Case {
        const char *name;
        std::string body;
        DWORD status;
        DWORD count;        // items in the open list (status 0 or 6)
        ExcludeItem first;  // compared when count > 0
    };
    const std::string longFolder(300, 'f');
    const Case cases[] = {
        {"no file section", "[Other]\r\nx=1\r\n", EXCLUDE_OK, 0, {}},
        {"example", Items({"C:\\temp|*.tmp|3|1"}), EXCLUDE_OK, 1, MakeItem("C:\\temp", "*.tmp", 3, 1)},
        {"signed numbers", Items({"\\x||-1| +2"}), EXCLUDE_OK, 1, MakeItem("\\x", "", 0xFFFFFFFFu, 2)},
        {"non-numeric mask", Items({"C:\\a|p|abc|1"}), EXCLUDE_OK, 1, MakeItem("C:\\a", "p", 0, 1)},
        {"digits then text", Items({"C:\\a|p|12ab|3x"}), EXCLUDE_OK, 1, MakeItem("C:\\a", "p", 12, 3)},
        {"empty numbers", Items({"C:\\a|p||"}), EXCLUDE_OK, 1, MakeItem("C:\\a", "p", 0, 0)},
        {"extra field", Items({"C:\\a|p|1|1|junk"}), EXCLUDE_OK, 1, MakeItem("C:\\a", "p", 1, 1)},
        {"no subfolders field", Items({"C:\\temp|*.tmp|3"}), EXCLUDE_LOADFAILED, 0, {}},
        {"no mask field", Items({"C:\\temp|*.tmp"}), EXCLUDE_LOADFAILED, 0, {}},
        {"folder only", Items({"C:\\temp"}), EXCLUDE_LOADFAILED, 0, {}},
        {"empty value", Items({"C:\\a|p|1|0", ""}), EXCLUDE_LOADFAILED, 1, MakeItem("C:\\a", "p", 1, 0)},
        {"key missing in the middle",
         "[ExcludedItems]\r\nNumExcludeItems=3\r\nExcludedItem_0=C:\\a|p|1|0\r\nExcludedItem_2=C:\\c|p|1|0\r\n",
         EXCLUDE_LOADFAILED, 1, MakeItem("C:\\a", "p", 1, 0)},
        {"count above the keys", Items({"C:\\a||1|0", "C:\\b||1|0"}, 5), EXCLUDE_LOADFAILED, 2,
         MakeItem("C:\\a", "", 1, 0)},
        {"count below the keys", Items({"C:\\a||1|0", "C:\\b||1|0"}, 1), EXCLUDE_OK, 1, MakeItem("C:\\a", "", 1, 0)},
        {"count garbage", "[ExcludedItems]\r\nNumExcludeItems=many\r\nExcludedItem_0=C:\\a||1|0\r\n", EXCLUDE_OK, 0, {}},
        {"negative count", "[ExcludedItems]\r\nNumExcludeItems=-1\r\nExcludedItem_0=C:\\a||1|0\r\n",
         EXCLUDE_OK, 0, {}},
        // Only 259 characters are read back: the separators are lost.
        {"value too long", Items({(longFolder + "|p|1|0").c_str()}), EXCLUDE_LOADFAILED, 0, {}},
        {"long but whole", Items({(std::string(240, 'f') + "|p|1|0").c_str()}), EXCLUDE_OK, 1,
         MakeItem(std::string(240, 'f').c_str(), "p", 1, 0)},
    };
    TempDir dir;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        std::string ini = Profile(dir, c.body);
        EXCLUDEHANDLE h = nullptr;
        EXPECT_EQ(ExcludeOpenEx(&h, ini.c_str(), nullptr), c.status);
        ASSERT_NE(h, nullptr);
        EXPECT_EQ(ExcludeGetCount(h), c.count);
        ExcludeItem got{};
        if (c.count) {
            ASSERT_EQ(ExcludeGet(h, 0, &got), EXCLUDE_OK);
            ExpectFields(got, c.first);
        }
        EXPECT_EQ(ExcludeClose(&h, 0), 0u);
        EXPECT_EQ(h, nullptr);
    }
}

TEST(ExcludeProfile, ReadBufferIsZeroedOnceOnly)
{
    // Every stored value is parsed into the same buffer, cleared once: a
    // shorter folder leaves the tail of the longer one behind its terminator.
    TempDir dir;
    std::string ini = Profile(dir, Items({"C:\\longfolder|pattern|1|0", "C:\\a|p|2|1"}));
    EXCLUDEHANDLE h = nullptr;
    ASSERT_EQ(ExcludeOpenEx(&h, ini.c_str(), nullptr), EXCLUDE_OK);
    ExcludeItem got;
    ASSERT_EQ(ExcludeGet(h, 1, &got), EXCLUDE_OK);
    EXPECT_STREQ(got.folder, "C:\\a");
    EXPECT_STREQ(got.folder + 5, "ngfolder");
    EXPECT_STREQ(got.pattern, "p");
    EXPECT_STREQ(got.pattern + 2, "ttern");
    EXPECT_EQ(got.mask, 2u);
    EXPECT_EQ(got.subfolders, 1u);
    ExcludeClose(&h, 0);
}

TEST(ExcludeProfile, RefusedStoredItemClosesTheList)
{
    struct Case { const char *name; std::string body; DWORD status; };
    const Case cases[] = {
        {"duplicate", Items({"C:\\a|p|1|0", "c:\\A|P|2|1"}), EXCLUDE_DUPLICATE},
        {"illegal character", Items({"C:\\a|p|1|0", "C:\\<b>|p|1|0"}), EXCLUDE_ILLEGALCHAR},
    };
    TempDir dir;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        std::string ini = Profile(dir, c.body);
        EXCLUDEHANDLE h = reinterpret_cast<EXCLUDEHANDLE>(1);
        EXPECT_EQ(ExcludeOpenEx(&h, ini.c_str(), nullptr), c.status);
        EXPECT_EQ(h, nullptr);
    }
}

TEST(ExcludeProfile, SaveAndReopen)
{
    TempDir dir;
    std::string ini = dir.file("roundtrip.ini");
    EXCLUDEHANDLE h = nullptr;
    ASSERT_EQ(ExcludeOpenEx(&h, ini.c_str(), nullptr), EXCLUDE_OK);   // no file yet
    const ExcludeItem items[] = {
        MakeItem("C:\\temp", "*.tmp", 3, 1), MakeItem("", "*.bak;*.old", 0xFFFFFFFFu, 0),
        MakeItem("\\\\srv\\share", "", 2, 1), MakeItem("C:\\gone", "", 1, 0),
    };
    for (const auto &item : items) ASSERT_EQ(ExcludeAdd(h, &item), EXCLUDE_OK);
    ASSERT_EQ(ExcludeDelete(h, "C:\\gone", nullptr), EXCLUDE_OK);
    EXPECT_EQ(ExcludeClose(&h, 1), 0u);

    EXPECT_EQ(ReadValue(ini, "NumExcludeItems"), "3");
    EXPECT_EQ(ReadValue(ini, ItemKey(0)), "C:\\temp|*.tmp|3|1");
    EXPECT_EQ(ReadValue(ini, ItemKey(1)), "|*.bak;*.old|-1|0");
    EXPECT_EQ(ReadValue(ini, ItemKey(2)), "\\\\srv\\share||2|1");
    EXPECT_EQ(ReadValue(ini, ItemKey(3)), "<none>");

    ASSERT_EQ(ExcludeOpenEx(&h, ini.c_str(), nullptr), EXCLUDE_OK);
    ASSERT_EQ(ExcludeGetCount(h), 3u);
    for (DWORD i = 0; i < 3; ++i) {
        ExcludeItem got;
        ASSERT_EQ(ExcludeGet(h, i, &got), EXCLUDE_OK);
        SCOPED_TRACE(i);
        ExpectFields(got, items[i]);   // the bytes behind each text may differ
    }
    EXPECT_EQ(Head(h).changed, 1u);    // loaded through ExcludeAdd
    EXPECT_EQ(Head(h).storedCount, 3u);
    ExcludeClose(&h, 0);
}

TEST(ExcludeProfile, ShrinkingRemovesStaleKeys)
{
    TempDir dir;
    std::string ini = Profile(dir, Items({"C:\\0||1|0", "C:\\1||1|0", "C:\\2||1|0", "C:\\3||1|0", "C:\\4||1|0"}));
    EXCLUDEHANDLE h = nullptr;
    ASSERT_EQ(ExcludeOpenEx(&h, ini.c_str(), nullptr), EXCLUDE_OK);
    ASSERT_EQ(ExcludeDelete(h, "C:\\1", nullptr), EXCLUDE_OK);
    ASSERT_EQ(ExcludeDelete(h, "C:\\3", nullptr), EXCLUDE_OK);
    ExcludeFlush(h);
    // The stored count stays what the file held at open.
    EXPECT_EQ(Head(h).storedCount, 5u);
    ExcludeClose(&h, 0);
    EXPECT_EQ(ReadValue(ini, "NumExcludeItems"), "3");
    const char *expect[] = {"C:\\0||1|0", "C:\\2||1|0", "C:\\4||1|0", "<none>", "<none>"};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(ReadValue(ini, ItemKey(i)), expect[i]) << i;
}

TEST(ExcludeProfile, UnchangedOrDiscardedListsWriteNothing)
{
    TempDir dir;
    const std::string body = "[ExcludedItems]\r\nNumExcludeItems=0\r\n";
    std::string ini = Profile(dir, body);
    EXCLUDEHANDLE h = nullptr;
    ASSERT_EQ(ExcludeOpenEx(&h, ini.c_str(), nullptr), EXCLUDE_OK);
    EXPECT_EQ(ExcludeFlush(h), 0u);            // unchanged: nothing written
    EXPECT_EQ(ReadFileBytes(ini), body);
    ExcludeItem item = MakeItem("C:\\a", "");
    ASSERT_EQ(ExcludeAdd(h, &item), EXCLUDE_OK);
    EXPECT_EQ(ExcludeClose(&h, 0), 0u);        // discarded
    EXPECT_EQ(ReadFileBytes(ini), body);
    ASSERT_EQ(ExcludeOpenEx(&h, ini.c_str(), nullptr), EXCLUDE_OK);
    ASSERT_EQ(ExcludeAdd(h, &item), EXCLUDE_OK);
    EXPECT_EQ(ExcludeClose(&h, 2), 0u);        // only exactly 1 saves
    EXPECT_EQ(ReadFileBytes(ini), body);
}

TEST(ExcludeProfile, LongFieldsAreWrittenCut)
{
    TempDir dir;
    std::string ini = dir.file("long.ini");
    EXCLUDEHANDLE h = nullptr;
    ASSERT_EQ(ExcludeOpenEx(&h, ini.c_str(), nullptr), EXCLUDE_OK);
    ExcludeItem item = MakeItem(std::string(260, 'f').c_str(), std::string(260, 'p').c_str(), 1, 1);
    ASSERT_EQ(ExcludeAdd(h, &item), EXCLUDE_OK);
    ExcludeClose(&h, 1);
    std::string value = ReadValue(ini, ItemKey(0));
    EXPECT_EQ(value, std::string(260, 'f') + "|" + std::string(258, 'p'));   // 519 characters
    // Reading back sees only 259 characters: the load fails, it does not crash.
    ASSERT_EQ(ExcludeOpenEx(&h, ini.c_str(), nullptr), EXCLUDE_LOADFAILED);
    EXPECT_EQ(ExcludeGetCount(h), 0u);
    ExcludeClose(&h, 0);
}

TEST(ExcludeProfile, GarbageFilesNeverCrash)
{
    TempDir dir;
    unsigned seed = 12345;
    auto next = [&] { seed = seed * 1103515245u + 12345u; return seed >> 16; };
    const char alphabet[] = "|||0123456789-+ abc\\:*?\r\n=[]ExcludedItems_";
    for (int round = 0; round < 200; ++round) {
        std::string body = "[ExcludedItems]\r\nNumExcludeItems=" + std::to_string(next() % 6) + "\r\n";
        for (int k = 0; k < 6; ++k) {
            body += ItemKey(int(next() % 6)) + "=";
            for (unsigned n = next() % 300; n; --n) body += alphabet[next() % (sizeof alphabet - 1)];
            body += "\r\n";
        }
        std::string ini = Profile(dir, body);
        EXCLUDEHANDLE h = nullptr;
        DWORD status = ExcludeOpenEx(&h, ini.c_str(), nullptr);
        ASSERT_TRUE(status == EXCLUDE_OK || status == EXCLUDE_LOADFAILED || status == EXCLUDE_DUPLICATE ||
                    status == EXCLUDE_ILLEGALCHAR) << status;
        EXPECT_EQ(h == nullptr, status == EXCLUDE_DUPLICATE || status == EXCLUDE_ILLEGALCHAR);
        if (h) ExcludeCheck(h, "C:\\abc\\x.tmp", 0xFFFFFFFFu);
        ExcludeClose(&h, 0);
        DeleteFileA(ini.c_str());
    }
}
