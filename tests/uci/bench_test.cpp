// The benchmark through the built program: its exact output form, its argument rules and its
// node count, which is the engine's signature and must not change between runs.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "test_support.h"

namespace {

// Total nodes of "tarvolo bench 1 7" at depths 5, 6 and 7 (one thread). A change to the search
// or the evaluation changes them; update them together with the signature in the README.
constexpr unsigned long long BENCH_NODES[] = {108301, 114544, 242156};

struct BenchLine {
    int depth;
    unsigned long long nodes;
};

// Parses one result line and checks it against its exact form by printing the parsed values
// back with the same format.
bool parseBenchLine(const std::string& line, BenchLine& out) {
    int depth = 0;
    long long nodes = 0;
    double seconds = 0, factor = 0;
    if (line.size() < 53 || sscanf(line.c_str(), "%d", &depth) != 1 || line.compare(3, 50, std::string(50, '.')) != 0)
        return false;
    const char* rest = line.c_str() + 53;
    char expected[200];
    if (depth == 5) {
        if (sscanf(rest, " %lld nds %lf sec", &nodes, &seconds) != 2) return false;
        snprintf(expected, sizeof expected, "%2d %s %14lld nds %7.2f sec", depth, std::string(50, '.').c_str(), nodes,
                 seconds);
    } else {
        if (sscanf(rest, " %lld nds %lf sec %lf bf", &nodes, &seconds, &factor) != 3) return false;
        snprintf(expected, sizeof expected, "%2d %s %14lld nds %7.2f sec  %6.2f bf", depth,
                 std::string(50, '.').c_str(), nodes, seconds, factor);
    }
    EXPECT_EQ(line, expected);
    out = {depth, (unsigned long long)nodes};
    return true;
}

// The result lines of a benchmark run; any other line must be empty or part of the start-up
// messages.
std::vector<BenchLine> benchLines(const std::string& output) {
    std::vector<BenchLine> lines;
    size_t start = 0;
    while (start < output.size()) {
        size_t end = output.find('\n', start);
        if (end == std::string::npos) end = output.size();
        const std::string line = output.substr(start, end - start);
        start = end + 1;
        BenchLine parsed;
        if (parseBenchLine(line, parsed)) {
            lines.push_back(parsed);
        } else {
            EXPECT_TRUE(line.empty() || line.rfind("Tarvolo ", 0) == 0 || line.rfind("using ", 0) == 0 ||
                        line.rfind("info string ", 0) == 0)
                << "unexpected line: [" << line << "]";
        }
    }
    return lines;
}

TEST(Benchmark, ShortBenchIsDeterministicAndMatchesTheSignature) {
    for (int run = 0; run < 2; ++run) {
        EngineResult r = runEngine("", {"bench", "1", "7"}, 120);
        EXPECT_EQ(r.status, 0);
        // The run ends with the last result line, then an empty line.
        EXPECT_TRUE(r.output.size() > 5 && r.output.compare(r.output.size() - 5, 5, " bf\n\n") == 0) << r.output;
        std::vector<BenchLine> lines = benchLines(r.output);
        ASSERT_EQ(lines.size(), 3u) << r.output;
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(lines[i].depth, 5 + i);
            EXPECT_EQ(lines[i].nodes, BENCH_NODES[i]) << "depth " << 5 + i << ", run " << run;
        }
    }
}

TEST(Benchmark, ArgumentsOutOfRangeAreIgnored) {
    struct Case {
        std::vector<std::string> args;
        size_t lines;
    };
    const Case cases[] = {
        {{"bench", "0", "5"}, 1},   // thread count 0 ignored: one thread
        {{"bench", "65", "5"}, 1},  // so is 65
        {{"bench", "1", "4"}, 0},   // a maximum depth below 5: only the closing empty line
        {{"bench", "1", "5", "2"}, 2},
    };
    for (const Case& c : cases) {
        EngineResult r = runEngine("", c.args, 120);
        EXPECT_EQ(r.status, 0);
        std::vector<BenchLine> lines = benchLines(r.output);
        ASSERT_EQ(lines.size(), c.lines) << r.output;
        // A later repetition starts from the history the first one left, so only the first line is
        // the signature's.
        if (!lines.empty()) {
            EXPECT_EQ(lines[0].nodes, BENCH_NODES[0]) << "one thread at depth 5";
        } else {
            EXPECT_NE(r.output.find("\n\n"), std::string::npos);
        }
    }
}

} // namespace
