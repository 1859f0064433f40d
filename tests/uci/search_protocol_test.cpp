// The search commands: reading "go", choosing the search's limits, and (through the built
// program) go, stop, ponderhit, isready and quit while a search runs.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "search/search_state.h"
#include "uci/go.h"
#include "uci/settings.h"
#include "uci/timeman.h"

namespace {

std::vector<std::string> words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> out;
    for (std::string w; in >> w;) out.push_back(w);
    return out;
}

TEST(GoCommand, ReadsEveryKeyword) {
    SearchLimits l = parseGoLimits(
        words("go wtime 60000 btime 30500 winc 1000 binc 250 movestogo 12 depth 7 movetime 1500 nodes 123456789012"));
    EXPECT_EQ(l.wtime, 60.0);
    EXPECT_EQ(l.btime, 30.5);
    EXPECT_EQ(l.winc, 1.0);
    EXPECT_EQ(l.binc, 0.25);
    EXPECT_EQ(l.movestogo, 12);
    EXPECT_EQ(l.depth, 7);
    EXPECT_EQ(l.movetime, 1.5);
    EXPECT_EQ(l.nodes, 123456789012ULL);
    EXPECT_FALSE(l.infinite);
    EXPECT_FALSE(l.ponder);
    EXPECT_EQ(l.searchmoves, "");

    l = parseGoLimits(words("go ponder infinite"));
    EXPECT_TRUE(l.ponder);
    EXPECT_TRUE(l.infinite);
    EXPECT_EQ(l.nodes, ~0ULL);
    EXPECT_EQ(l.wtime, 0.0);
}

TEST(GoCommand, SearchMovesListEndsAtTheNextKeyword) {
    struct Case {
        const char* line;
        const char* moves;
        int depth;
    };
    const Case cases[] = {
        {"go searchmoves e2e4 d2d4 depth 5", "e2e4 d2d4 ", 5},
        {"go depth 3 searchmoves g1f3", "g1f3 ", 3},
        {"go searchmoves e2e4 infinite d2d4", "e2e4 ", 0}, // d2d4 after a keyword ends the reading
        {"go searchmoves", "", 0},
        // A word that is no keyword ends the reading: the later list is not read.
        {"go wtime 1000 banana searchmoves e2e4", "", 0},
    };
    for (const Case& c : cases) {
        SearchLimits l = parseGoLimits(words(c.line));
        EXPECT_EQ(l.searchmoves, c.moves) << c.line;
        EXPECT_EQ(l.depth, c.depth) << c.line;
    }
    EXPECT_EQ(parseGoLimits(words("go wtime 1000 banana searchmoves e2e4")).wtime, 1.0);
}

TEST(GoCommand, MissingOrBadNumbersNeverSwallowTheNextKeyword) {
    struct Case {
        const char* line;
        double wtime, btime;
        int depth;
        uint64_t nodes;
    };
    const Case cases[] = {
        {"go wtime", 0, 0, 0, ~0ULL},
        {"go wtime btime 5000", 0, 5, 0, ~0ULL},
        {"go depth x btime 5000", 0, 0, 0, ~0ULL}, // "x" ends the reading
        {"go wtime -300 btime 700", -0.3, 0.7, 0, ~0ULL},
        {"go wtime 99999999999999999999999 depth 4", 9223372036854775.807, 0, 4, ~0ULL},
        {"go depth 99999999999", 0, 0, 2147483647, ~0ULL},
        {"go nodes -5", 0, 0, 0, 0},
        {"go nodes 12abc depth 2", 0, 0, 0, ~0ULL},
        {"go", 0, 0, 0, ~0ULL},
    };
    for (const Case& c : cases) {
        SearchLimits l = parseGoLimits(words(c.line));
        EXPECT_DOUBLE_EQ(l.wtime, c.wtime) << c.line;
        EXPECT_DOUBLE_EQ(l.btime, c.btime) << c.line;
        EXPECT_EQ(l.depth, c.depth) << c.line;
        EXPECT_EQ(l.nodes, c.nodes) << c.line;
    }
}

TEST(GoCommand, LimitsChosenByPrecedence) {
    optOverheadMs = 30;
    optTimeUsage = 0;
    ponderBonusCount = 0;
    struct Case {
        const char* line;
        bool white;
        int depth;
        double target, hard;
    };
    const Case cases[] = {
        {"go infinite depth 5 movetime 100", true, 99, NO_TIME_LIMIT, NO_TIME_LIMIT},
        {"go depth 5 wtime 1000 movetime 100", true, 5, NO_TIME_LIMIT, NO_TIME_LIMIT},
        {"go movetime 500 nodes 1000 wtime 1000", true, 99, 0.5, NO_TIME_LIMIT},
        {"go movetime -20", true, 99, 0.001, NO_TIME_LIMIT},
        {"go nodes 1000 wtime 1000", true, 99, NO_TIME_LIMIT, NO_TIME_LIMIT},
        {"go depth 0 wtime 60000 btime 1000", true, 99, 2.027 - 0.035, 54},
        {"go wtime 1000 btime 60000", false, 99, 2.027 - 0.035, 54},
        {"go wtime 60000 btime 60000 winc 5000 binc 0", false, 99, 2.027 - 0.035, 54},
        {"go wtime 10000 movestogo 1", true, 99, 10.0 / 3 * std::pow(2.0, std::pow(1 / 40.0, 3.75)) - 0.033, NO_TIME_LIMIT},
        {"go wtime 10000 movestogo -4", true, 99, 0.337 - 0.035, 9}, // not a moves-to-go clock
    };
    for (const Case& c : cases) {
        SearchTimes t = chooseSearchTimes(parseGoLimits(words(c.line)), c.white, c.white ? 0 : 1);
        EXPECT_EQ(t.depthLimit, c.depth) << c.line;
        EXPECT_NEAR(t.targetSeconds, c.target, 1e-6) << c.line;
        EXPECT_NEAR(t.hardSeconds, c.hard, 1e-6) << c.line;
    }
}

} // namespace
