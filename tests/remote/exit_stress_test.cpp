// `dada get` processes run to the end many times, one after another and
// several at once, against a serving process: every one must exit 0 with
// the whole file, never crash on the way out.
#include <gtest/gtest.h>
#include "machine.h"
#include <thread>
#include <vector>

using namespace dadatest;

namespace {

TEST(RetrieveExit, ManyProcessesNoCrash)
{
    constexpr int kRounds = 10, kAtOnce = 4;
    Machine server("SERVER", {"dada.exe", "serve"});
    ASSERT_TRUE(server.running());
    server.useHosts();
    TempDir dir;
    const std::string source = dir.file("source.bin"), data(300000, 'q');
    ASSERT_TRUE(WriteFileBytes(source, data));
    const std::string remote = "\\\\SERVER\\" + source.substr(0, 1) + source.substr(2);
    static const struct { const char *mode; int atOnce; } cases[] = {
        {"", 1}, {" --async", 1}, {"", kAtOnce}, {" --async", kAtOnce},
    };
    for (const auto &c : cases) {
        int failed = 0;
        for (int round = 0; round < kRounds; ++round) {
            std::vector<std::thread> runs;
            std::vector<int> codes(c.atOnce);
            for (int k = 0; k < c.atOnce; ++k)
                runs.emplace_back([&, k] {
                    const std::string out = dir.file("out" + std::to_string(k) + ".bin");
                    codes[k] = RunProgram("dada.exe get \"" + remote + "\" \"" + out + "\" --overwrite" + c.mode,
                                          nullptr, 60000);
                    if (codes[k] == 0 && ReadFileBytes(out) != data) codes[k] = -2;
                });
            for (auto &t : runs) t.join();
            for (int code : codes) failed += code != 0;
        }
        EXPECT_EQ(failed, 0) << "of " << kRounds * c.atOnce << " runs" << c.mode << ", " << c.atOnce << " at once";
    }
}

} // namespace
