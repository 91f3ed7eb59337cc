// Several writer processes append to one log at once: no line is lost or
// torn, with and without truncation to a limit, and a writer that dies
// while it holds the log's turn does not stop the others.
#include <gtest/gtest.h>
#include "machine.h"
#include <map>
#include <sstream>
#include <thread>
#include <vector>

using namespace dadatest;

namespace {

TEST(AlogProcesses, EveryLineWholeAndNoneLost)
{
    constexpr int kWriters = 4, kLines = 500;
    const struct { int limitKb; bool firstDies; } kRuns[] = {{0, false}, {16, false}, {16, true}};
    for (const auto [limitKb, firstDies] : kRuns) {
        SCOPED_TRACE(testing::Message() << limitKb << (firstDies ? " with a dying writer" : ""));
        TempDir dir;
        const std::string log = dir.file("shared.log");
        std::vector<std::thread> writers;
        std::vector<int> codes(kWriters);
        for (int w = 0; w < kWriters; ++w)
            writers.emplace_back([&, w] {
                codes[w] = RunProgram("alog_writer.exe \"" + log + "\" " + std::to_string(w) + " " +
                                      std::to_string(kLines) + " " + std::to_string(limitKb) +
                                      (firstDies ? (w == 0 ? " die" : " slow") : ""), nullptr, 120000);
            });
        for (auto &t : writers) t.join();
        for (int w = 0; w < kWriters; ++w) EXPECT_EQ(codes[w], firstDies && w == 0 ? 9 : 0) << w;

        // Every line is a writer's whole line or the truncation notice; each
        // writer's lines come in order, and without a limit all are there.
        std::istringstream in(ReadFileBytes(log));
        std::map<int, int> next;
        int lines = 0, notices = 0;
        for (std::string line; std::getline(in, line); ++lines) {
            ASSERT_FALSE(line.empty()) << "after line " << lines;
            ASSERT_EQ(line.back(), '\r') << line;
            int id = -1, k = -1;
            char pad[64] = {};
            if (std::sscanf(line.c_str(), "writer %d line %d %63s", &id, &k, pad) != 3) {
                ++notices;
                EXPECT_NE(limitKb, 0) << line;
                continue;
            }
            EXPECT_EQ(std::string(pad), std::string(48, '.')) << line;
            EXPECT_GE(k, next[id]) << line;
            if (!limitKb) EXPECT_EQ(k, next[id]) << "lost line before " << line;
            next[id] = k + 1;
        }
        if (!limitKb) {
            EXPECT_EQ(lines, kWriters * kLines);
            for (int w = 0; w < kWriters; ++w) EXPECT_EQ(next[w], kLines) << w;
        } else {
            EXPECT_GT(notices, 0);
            EXPECT_LE(ReadFileBytes(log).size(), size_t(limitKb + 1) * 1024 + 200);   // the limit counts whole KB
        }
    }
}

} // namespace
