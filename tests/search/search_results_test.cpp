#include <string>
#include <vector>

#include "eval/evaluate.h"
#include "search/search_thread.h"
#include "search_fixtures.h"

namespace {

struct MateCase {
    const char* fen;
    int mateIn; // moves of the side to move
};

// Short mates; the brute-force finder confirms each length and each move the search plays.
const MateCase kShortMates[] = {
    {"6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1", 1},    // back-rank mate
    {"k7/8/1K6/8/8/8/8/7R w - - 0 1", 1},
    {"k7/8/2K5/8/8/8/8/7R w - - 0 1", 2},
    {"7k/5ppp/8/8/8/8/1r3PPP/6K1 b - - 0 1", 1}, // Black mates on the first rank
    {"k7/8/8/3K4/8/8/8/7R w - - 0 1", 3},
    {"8/2k5/8/8/8/8/1Q6/R5K1 w - - 0 1", 3},
};

std::string runAndCapture(const std::string& fen, int depth) {
    Position pos = positionFromFen(fen);
    ttClear();
    benchMode = false;
    pondering = false;
    infiniteSearch = false;
    fixedMoveTime = false;
    nodeLimit = ~0ULL;
    drawScore = 0;
    testing::internal::CaptureStdout();
    think(pos, depth, "", NO_TIME_LIMIT, NO_TIME_LIMIT);
    return testing::internal::GetCapturedStdout();
}

} // namespace

TEST(SearchResults, ShortMatesHaveTheExactScoreAndAMatingMove) {
    for (const MateCase& c : kShortMates) {
        SCOPED_TRACE(c.fen);
        Position pos = positionFromFen(c.fen);
        ASSERT_TRUE(forcesMate(pos, c.mateIn));
        ASSERT_FALSE(forcesMate(pos, c.mateIn - 1));
        SearchOutcome result = c.mateIn < 3 ? searchToDepth(pos, 20) : searchNodes(c.fen, 400000);
        EXPECT_EQ(result.score, MATE_SCORE - (2 * c.mateIn - 1));
        ASSERT_NE(result.best, 0u);
        Position child;
        ASSERT_TRUE(makeLegal(pos, child, result.best));
        EXPECT_TRUE(defenderLoses(child, c.mateIn - 1)) << moveToString(result.best);
    }
}

// A side that is mated or stalemated has no move to play.
TEST(SearchResults, MatedAndStalematedRootsAnswerTheNullMove) {
    const char* const fens[] = {
        "rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 1 3", // checkmated
        "7k/5Q2/6K1/8/8/8/8/8 b - - 0 1",                                 // stalemated
    };
    for (const char* fen : fens) {
        std::string output = runAndCapture(fen, 5);
        EXPECT_NE(output.find("bestmove 0000\n"), std::string::npos) << fen << "\n" << output;
        EXPECT_EQ(output.find("ponder"), std::string::npos) << output;
    }
    EXPECT_EQ(searchToDepth(fens[0], 3).score, -MATE_SCORE);
    EXPECT_EQ(searchToDepth(fens[1], 3).score, 0);
}

// White is a queen and two rooks down but checks for ever: Qe8+ Kh7 Qh5+ Kg8 repeats.
TEST(SearchResults, ForcedRepetitionScoresAsADraw) {
    const char* const fen = "6k1/6p1/8/7Q/8/7K/rr6/q7 w - - 0 1";
    Position pos = positionFromFen(fen);
    ASSERT_LT(evaluate(pos, -35000, 35000), -500);
    SearchOutcome result = searchToDepth(pos, 9);
    EXPECT_EQ(result.score, 0);
    EXPECT_EQ(moveToString(result.best), "h5e8");
}

// Queen against a bare king: won, unless the fifty-move count is already at 99 plies, when every
// move completes it (even the mates).
TEST(SearchResults, FiftyMoveRuleScoresAsADraw) {
    const char* const fen = "7k/8/5K2/8/8/8/8/6Q1 w - - 0 1";
    Position fresh = positionFromFen(fen);
    EXPECT_GT(searchToDepth(fresh, 4).score, 500);
    Position late = fresh;
    late.halfmoveClock = 99;
    EXPECT_EQ(searchToDepth(late, 4).score, 0);
}

TEST(SearchResults, SearchMovesRestrictTheRoot) {
    struct Case {
        const char* fen;
        const char* moves;
        std::vector<std::string> allowed;
    };
    const Case cases[] = {
        {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", "a2a3 h2h3 ", {"a2a3", "h2h3"}},
        // The mate a1a8 is not listed, so it must not be played.
        {"6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1", "a1a2 g1f1 ", {"a1a2", "g1f1"}},
        // A listed text that is only part of a word does not count.
        {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", "xe2e4 g1f3 ", {"g1f3"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.moves);
        SearchOutcome result = searchToDepth(c.fen, 4, c.moves);
        EXPECT_EQ(rootMoveCount, int(c.allowed.size()));
        std::string best = moveToString(result.best);
        EXPECT_NE(std::find(c.allowed.begin(), c.allowed.end(), best), c.allowed.end()) << best;
        EXPECT_LT(result.score, MATE_RANGE);
    }
}

// With MultiPV 3 the root keeps three full lines of the last iteration, best first.
TEST(SearchResults, MultiPvKeepsSeveralLines) {
    optMultiPV = 3;
    Position root = positionFromFen("r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3");
    SearchOutcome result = searchToDepth(root, 6);
    optMultiPV = 1;
    ASSERT_GE(multiPvRecordCount, 3);
    std::vector<Move> firsts;
    for (int k = 0; k < 3; ++k) {
        const MultiPvRecord& record = multiPvRecords[k];
        EXPECT_EQ(record.iteration, 6);
        EXPECT_GT(record.score, -MATE_SCORE);
        if (k > 0) {
            EXPECT_LE(record.score, multiPvRecords[k - 1].score);
        }
        EXPECT_EQ(record.line[0], record.move);
        EXPECT_EQ(std::find(firsts.begin(), firsts.end(), record.move), firsts.end());
        firsts.push_back(record.move);
        // The line is playable from the root.
        Position line[MAX_PV + 1];
        line[0] = root;
        for (int i = 0; record.line[i]; ++i)
            ASSERT_TRUE(makeLegal(line[i], line[i + 1], record.line[i])) << i;
    }
    // The move played is a best line (several may share the top score).
    const MultiPvRecord* played = nullptr;
    for (int k = 0; k < multiPvRecordCount; ++k)
        if (multiPvRecords[k].move == result.best) played = &multiPvRecords[k];
    ASSERT_NE(played, nullptr);
    EXPECT_EQ(played->score, multiPvRecords[0].score);
    EXPECT_EQ(result.score, multiPvRecords[0].score);
}

TEST(SearchResults, QuiescenceScoresMateAndStopsAtItsFloor) {
    Position mated = positionFromFen("rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 1 3");
    Move pv[MAX_PV];
    EXPECT_EQ(qsearch(mated, -NO_SCORE, NO_SCORE, 0, 3, pv), 3 - MATE_SCORE);
    EXPECT_EQ(qsearch(mated, -NO_SCORE, NO_SCORE, -8, 5, pv), 5 - MATE_SCORE);
    // A hanging queen is ignored below the floor: the stand-pat value comes back.
    Position hanging = positionFromFen("4k3/8/8/3q4/8/8/8/3RK3 w - - 0 1");
    int standPat = evaluate(hanging, -35000, 35000);
    EXPECT_EQ(qsearch(hanging, -NO_SCORE, NO_SCORE, -60, 1, pv), standPat);
    EXPECT_GT(qsearch(hanging, -NO_SCORE, NO_SCORE, 0, 1, pv), standPat + 500);
}
