// The book through the engine program: "go" from a book position answers with a book move at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "board/movetext.h"
#include "book/book.h"
#include "book_fixtures.h"
#include "test_support.h"

namespace {
struct GoResult {
    std::vector<std::string> lines;
    std::string bestmove; // the move of the bestmove line
};

// Sends the commands, then "go ..." and collects the output up to "bestmove".
GoResult runGo(const std::vector<std::string>& commands, const std::string& go, double timeout = 20) {
    EngineProcess engine;
    for (const std::string& command : commands) engine.send(command);
    engine.send(go);
    GoResult result;
    std::string line;
    EXPECT_TRUE(engine.waitFor("bestmove", &line, timeout, &result.lines)) << "no bestmove";
    if (line.size() > 9) result.bestmove = line.substr(9, line.find(' ', 9) - 9);
    engine.send("quit");
    EXPECT_EQ(engine.wait(), 0);
    return result;
}

bool hasLine(const GoResult& result, const std::string& text) {
    return std::find(result.lines.begin(), result.lines.end(), text) != result.lines.end();
}

// A principal-variation report: only a search prints one (a book move comes without).
bool searched(const GoResult& result) {
    return std::any_of(result.lines.begin(), result.lines.end(), [](const std::string& l) {
        return l.rfind("info ", 0) == 0 && l.find(" pv ") != std::string::npos;
    });
}

// Fifty records of one position with random move fields and weights.
std::string randomRecords(uint64_t key) {
    std::mt19937 random(11);
    std::vector<RawRecord> records;
    for (int i = 0; i < 50; ++i) records.push_back({key, uint16_t(random()), uint16_t(random() % 4)});
    return bookBytes(records);
}

bool isLegal(const std::string& fen, const std::string& move) {
    Position pos = positionFromFen(fen), child;
    return executeMoveText(pos, child, move);
}
} // namespace

TEST(BookProtocol, BookPositionIsAnsweredWithABookMove) {
    REQUIRE_DATA("book/two-moves.bin");
    const std::string book = dataPath("book/two-moves.bin");
    // A long clock: only a book move can come back quickly.
    GoResult result = runGo({"setoption name Book File value " + book,
                             "setoption name Best Book Line value true", "position startpos"},
                            "go wtime 600000 btime 600000", 5);
    EXPECT_EQ(result.bestmove, "e2e4");
    EXPECT_TRUE(hasLine(result, "info string Book file is " + book));
    for (const char* diagnostic : {"Checking book", "Still Checking book", "Found entry or entries"})
        EXPECT_TRUE(hasLine(result, diagnostic)) << diagnostic;
    EXPECT_FALSE(searched(result));
}

TEST(BookProtocol, CastlingFromTheBook) {
    REQUIRE_DATA("book/castle.bin");
    REQUIRE_DATA("book/castle.fen");
    std::string line = readLines(dataPath("book/castle.fen")).at(0);
    std::string fen = line.substr(0, line.find('\t'));
    GoResult result =
        runGo({"setoption name Book File value " + dataPath("book/castle.bin"), "position fen " + fen},
              "go wtime 600000 btime 600000", 5);
    EXPECT_EQ(result.bestmove, line.substr(line.find('\t') + 1));
}

TEST(BookProtocol, OwnBookOffSearches) {
    REQUIRE_DATA("book/two-moves.bin");
    GoResult result = runGo({"setoption name Book File value " + dataPath("book/two-moves.bin"),
                             "setoption name OwnBook value false", "position startpos"},
                            "go depth 4");
    EXPECT_FALSE(hasLine(result, "Checking book"));
    EXPECT_TRUE(searched(result));
    EXPECT_TRUE(isLegal(startFen, result.bestmove)) << result.bestmove;
}

// Positions the book does not hold, books with garbage or with an unplayable record: the engine
// searches and plays a legal move.
TEST(BookProtocol, UnusableBookRecordsLeadToASearch) {
    const std::string afterE4 = "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1";
    const uint64_t startKey = polyglotKey(positionFromFen(startFen));
    struct Case {
        const char* name;
        std::string bytes;
        std::string fen;
    } cases[] = {
        {"position not in the book", bookBytes({{startKey, bookMove("e2e4"), 1}}), afterE4},
        {"illegal record", bookBytes({{startKey, bookMove("e2e4"), 1}, {startKey, bookMove("e2e5"), 1}}),
         startFen},
        {"records with random moves", randomRecords(startKey), startFen},
    };
    for (const Case& c : cases) {
        std::string path = writeTempFile("protocol-book.bin", c.bytes);
        GoResult result =
            runGo({"setoption name Book File value " + path, "position fen " + c.fen}, "go depth 3");
        EXPECT_TRUE(searched(result)) << c.name;
        EXPECT_TRUE(isLegal(c.fen, result.bestmove)) << c.name << ": " << result.bestmove;
    }
}
