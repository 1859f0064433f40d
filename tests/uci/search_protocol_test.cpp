// The search commands: reading "go", choosing the search's limits, and (through the built
// program) go, stop, ponderhit, isready and quit while a search runs.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>

#include "board/makemove.h"
#include "board/movegen.h"
#include "board/movetext.h"
#include "search/search_state.h"
#include "test_support.h"
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
        {"go depth 0 wtime 60000 btime 1000", true, 99, 2.027 - 0.035, 53.97},
        {"go wtime 1000 btime 60000", false, 99, 2.027 - 0.035, 53.97},
        {"go wtime 60000 btime 60000 winc 5000 binc 0", false, 99, 2.027 - 0.035, 53.97},
        {"go wtime 10000 movestogo 1", true, 99, 10.0 / 3 * std::pow(2.0, std::pow(1 / 40.0, 3.75)) - 0.033, NO_TIME_LIMIT},
        {"go wtime 10000 movestogo -4", true, 99, 0.337 - 0.035, 8.97}, // not a moves-to-go clock
    };
    for (const Case& c : cases) {
        SearchTimes t = chooseSearchTimes(parseGoLimits(words(c.line)), c.white, c.white ? 0 : 1);
        EXPECT_EQ(t.depthLimit, c.depth) << c.line;
        EXPECT_NEAR(t.targetSeconds, c.target, 1e-6) << c.line;
        EXPECT_NEAR(t.hardSeconds, c.hard, 1e-6) << c.line;
    }
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Through the built program.

namespace {

const char* const START_FEN = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
// White mates with Ra8; the iterations of a search reach their end almost at once.
const char* const MATE_IN_ONE_FEN = "6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1";
// Black has one legal move (Ka7).
const char* const ONE_MOVE_FEN = "k7/2K5/8/8/8/8/8/1R6 b - - 0 1";

double seconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

std::set<std::string> legalMoves(const std::string& fen) {
    Position pos = positionFromFen(fen);
    Move list[MAX_MOVES];
    int n = generateAll(pos, list);
    std::set<std::string> legal;
    for (int i = 0; i < n; ++i) {
        Position child;
        if (makeMove(pos, child, moveOnly(list[i]))) legal.insert(moveToString(moveOnly(list[i])));
    }
    return legal;
}

// The move of a "bestmove" line.
std::string bestMoveOf(const std::string& line) {
    std::istringstream in(line);
    std::string word, move;
    in >> word >> move;
    return move;
}

// An engine that has answered "readyok" to its first "isready", on the given position.
struct Engine {
    EngineProcess process;
    explicit Engine(const std::string& fen = START_FEN) {
        process.send("position fen " + fen);
        ready();
    }
    void send(const std::string& line) { process.send(line); }
    void ready() {
        process.send("isready");
        EXPECT_TRUE(process.waitFor("readyok", nullptr, 30));
    }
    // Reads lines for `seconds`; true when one of them starts with `prefix`.
    bool seesWithin(const std::string& prefix, double seconds, std::string* found = nullptr) {
        return process.waitFor(prefix, found, seconds);
    }
};

TEST(SearchProtocol, MoveTimeIsKept) {
    Engine engine;
    const double start = seconds();
    engine.send("go movetime 500");
    std::string line;
    ASSERT_TRUE(engine.seesWithin("bestmove", 5, &line));
    const double took = seconds() - start;
    EXPECT_GE(took, 0.3) << "the search should use its move time";
    EXPECT_LT(took, 0.5 + 0.2);
    EXPECT_EQ(legalMoves(START_FEN).count(bestMoveOf(line)), 1u) << line;
}

TEST(SearchProtocol, ClockSearchesAnswerWithinTheClock) {
    // Each answer is a legal move, quickly, and the engine stays usable after every one of them.
    struct Case {
        const char* go;
        double within;
    };
    const Case cases[] = {
        {"go wtime 1000 btime 1000", 0.3},
        {"go wtime 1000 btime 1000 winc 100 binc 100 movestogo 1", 0.95},
        {"go wtime 0 btime 0", 0.3},
        {"go", 0.3},
        {"go wtime -500 btime -500", 0.3},
        {"go wtime banana", 0.3},
        {"go movetime -5", 0.3},
        {"go movetime 1", 0.3},
        {"go wtime 99999999999999999999 movestogo -1 movetime 100", 0.3},
    };
    Engine engine;
    const std::set<std::string> legal = legalMoves(START_FEN);
    for (const Case& c : cases) {
        const double start = seconds();
        engine.send(c.go);
        std::string line;
        ASSERT_TRUE(engine.seesWithin("bestmove", 10, &line)) << c.go;
        EXPECT_LT(seconds() - start, c.within) << c.go;
        EXPECT_EQ(legal.count(bestMoveOf(line)), 1u) << c.go << ": " << line;
        engine.ready();
    }
}

// A search ended before its first iteration is complete still answers with a legal move.
TEST(SearchProtocol, SearchEndedAtOnceStillAnswersALegalMove) {
    struct Case {
        const char* go;
        const char* then; // sent right after the go, or nothing
    };
    const Case cases[] = {{"go nodes 0", ""}, {"go nodes 1", ""}, {"go infinite", "stop"},
                          {"go ponder wtime 100 btime 100", "stop"}};
    Engine engine;
    const std::set<std::string> legal = legalMoves(START_FEN);
    for (int round = 0; round < 5; ++round) {
        for (const Case& c : cases) {
            engine.send(c.go);
            if (*c.then) engine.send(c.then);
            std::string line;
            ASSERT_TRUE(engine.seesWithin("bestmove", 5, &line)) << c.go;
            EXPECT_EQ(legal.count(bestMoveOf(line)), 1u) << c.go << ", " << c.then << ": " << line;
            engine.ready();
        }
    }
}

TEST(SearchProtocol, SearchMovesOutrankTheBookAndTheTablebases) {
    // The book and the tablebase verdict speak for the whole position; a restricted root is
    // searched as given. Without the restriction they decide (d2d3 is not in the book's start
    // moves; Qd5+ throws the won ending away: Kxd5).
    REQUIRE_DATA("book/small.bin");
    REQUIRE_DATA("syzygy/KQvK.rtbw");
    struct Case {
        const char* setup;
        const char* fen;
        const char* go;
        const char* expected;
    };
    const Case cases[] = {
        {"setoption name Book File value " , START_FEN, "go movetime 300 searchmoves a2a3", "a2a3"},
        {"setoption name SyzygyPath value ", "8/8/4k3/8/3Q4/8/8/4K3 w - - 0 1", "go movetime 300 searchmoves d4d5",
         "d4d5"},
    };
    const std::string files[] = {dataPath("book/small.bin"), dataPath("syzygy")};
    for (int i = 0; i < 2; ++i) {
        const Case& c = cases[i];
        Engine engine(c.fen);
        engine.send(c.setup + files[i]);
        engine.ready();
        engine.send(c.go);
        std::string line;
        ASSERT_TRUE(engine.seesWithin("bestmove", 10, &line)) << c.go;
        EXPECT_EQ(bestMoveOf(line), c.expected) << line;
    }
}

TEST(SearchProtocol, InfiniteAndPonderAnswerOnlyWhenReleased) {
    ASSERT_EQ(legalMoves(ONE_MOVE_FEN).size(), 1u);
    struct Case {
        const char* fen;
        const char* go;
        const char* release;
    };
    const Case cases[] = {
        {START_FEN, "go infinite", "stop"},
        {MATE_IN_ONE_FEN, "go infinite", "stop"},
        {ONE_MOVE_FEN, "go infinite", "stop"},
        {START_FEN, "go ponder wtime 1000 btime 1000", "ponderhit"},
        {MATE_IN_ONE_FEN, "go ponder wtime 1000 btime 1000", "ponderhit"},
        {ONE_MOVE_FEN, "go ponder movetime 100", "ponderhit"},
        {START_FEN, "go ponder wtime 1000 btime 1000", "stop"},
        {MATE_IN_ONE_FEN, "go infinite depth 3", "stop"},
    };
    for (const Case& c : cases) {
        Engine engine(c.fen);
        engine.send(c.go);
        EXPECT_FALSE(engine.seesWithin("bestmove", 1.5)) << c.fen << ": " << c.go;
        const double start = seconds();
        engine.send(c.release);
        std::string line;
        ASSERT_TRUE(engine.seesWithin("bestmove", 5, &line)) << c.fen << ": " << c.go;
        EXPECT_LT(seconds() - start, 1.0) << c.go << " then " << c.release;
        EXPECT_EQ(legalMoves(c.fen).count(bestMoveOf(line)), 1u) << line;
        if (c.fen == MATE_IN_ONE_FEN) {
            EXPECT_EQ(bestMoveOf(line), "a1a8");
        }
    }
}

TEST(SearchProtocol, CommandsDuringASearch) {
    Engine engine;
    engine.send("go infinite");
    EXPECT_FALSE(engine.seesWithin("bestmove", 0.5));
    // Answered while the search goes on.
    const double start = seconds();
    engine.send("isready");
    ASSERT_TRUE(engine.seesWithin("readyok", 2));
    EXPECT_LT(seconds() - start, 0.3);
    // A second go is ignored: it neither answers nor ends the search.
    engine.send("go depth 1");
    EXPECT_FALSE(engine.seesWithin("bestmove", 0.5));
    engine.send("stop");
    std::string line;
    std::vector<std::string> seen;
    ASSERT_TRUE(engine.process.waitFor("bestmove", &line, 5, &seen));
    EXPECT_EQ(legalMoves(START_FEN).count(bestMoveOf(line)), 1u) << line;
    // The final statistics come just before the answer.
    ASSERT_GE(seen.size(), 2u);
    EXPECT_EQ(seen[seen.size() - 2].rfind("info time ", 0), 0u) << seen[seen.size() - 2];
    engine.send("isready");
    seen.clear();
    ASSERT_TRUE(engine.process.waitFor("readyok", nullptr, 5, &seen));
    for (const std::string& l : seen) EXPECT_NE(l.rfind("bestmove", 0), 0u) << "one search, one answer";
}

TEST(SearchProtocol, QuitDuringASearchEndsWithoutAnAnswer) {
    Engine engine;
    engine.send("go infinite");
    EXPECT_FALSE(engine.seesWithin("bestmove", 0.3));
    engine.send("quit");
    std::vector<std::string> seen;
    engine.process.waitFor("bestmove", nullptr, 3, &seen);
    EXPECT_EQ(engine.process.wait(5), 0);
    for (const std::string& l : seen) EXPECT_NE(l.rfind("bestmove", 0), 0u) << l;
}

TEST(SearchProtocol, NodeLimitEndsTheSearch) {
    Engine engine;
    engine.send("go nodes 30000");
    std::string line;
    std::vector<std::string> seen;
    ASSERT_TRUE(engine.process.waitFor("bestmove", &line, 10, &seen));
    EXPECT_EQ(legalMoves(START_FEN).count(bestMoveOf(line)), 1u) << line;
    unsigned long long t = 0, nodes = 0;
    ASSERT_GE(seen.size(), 2u);
    ASSERT_EQ(sscanf(seen[seen.size() - 2].c_str(), "info time %llu nodes %llu", &t, &nodes), 2);
    EXPECT_GE(nodes, 30000u);
    EXPECT_LT(nodes, 30000u + 20000u) << "stopped at the next poll after the limit";
}

TEST(SearchProtocol, HashOutOfRangeKeepsTheEngineUsable) {
    Engine engine;
    for (const char* value : {"0", "-20", "70000", "1"}) {
        engine.send(std::string("setoption name Hash value ") + value);
        engine.send("go depth 6");
        std::string line;
        ASSERT_TRUE(engine.seesWithin("bestmove", 20, &line)) << "Hash " << value;
        EXPECT_EQ(legalMoves(START_FEN).count(bestMoveOf(line)), 1u) << line;
        engine.ready();
    }
}

TEST(SearchProtocol, PonderStretchesThisAndTheNextClockSearch) {
    char path[] = "/tmp/tarvolo_ponder_logXXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    {
        Engine engine;
        engine.send(std::string("setoption name Log File value ") + path);
        engine.send("position startpos");
        engine.send("go ponder wtime 3000 btime 3000");
        engine.send("ponderhit");
        ASSERT_TRUE(engine.seesWithin("bestmove", 10));
        for (int i = 0; i < 2; ++i) {
            engine.send("go wtime 3000 btime 3000");
            ASSERT_TRUE(engine.seesWithin("bestmove", 10));
        }
        engine.send("quit");
        engine.process.wait(5);
    }
    std::ifstream in(path);
    std::vector<double> targets;
    for (std::string line; std::getline(in, line);) {
        size_t at = line.find("target: ");
        if (at != std::string::npos) targets.push_back(std::stod(line.substr(at + 8)));
    }
    unlink(path);
    // 3 s at the first move: 3 / 29.6 in whole milliseconds less 35 ms, or 1.3 times as much.
    ASSERT_EQ(targets.size(), 3u);
    EXPECT_NEAR(targets[0], 0.096, 1e-9);
    EXPECT_NEAR(targets[1], 0.096, 1e-9);
    EXPECT_NEAR(targets[2], 0.066, 1e-9);
}

} // namespace
