// Searches on several threads, run inside the test program so that a ThreadSanitizer build sees
// every thread: their results, node counts summed over the threads, the pool's sizes, and the
// root copies linked to the per-thread tables that exist when the search starts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "eval/caches.h"
#include "search/search_thread.h"
#include "search/thread_data.h"
#include "search/thread_pool.h"
#include "tablebase/tablebase.h"
#include "search_fixtures.h"

namespace {

class ParallelSearch : public ::testing::Test {
  protected:
    void TearDown() override {
        optTableMemory = 64;
        setThreads(1);
    }
    static void setThreads(int count) {
        optThreads = count;
        resizePool();
    }
};

const char* const START_FEN = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

// Whether the score of a search is believable for the root: mate scores must be true mates of the
// stated length, and the move must start one.
void expectTruthfulMate(const Position& root, const SearchOutcome& result) {
    const int plies = matePlies(result.score);
    ASSERT_GT(plies, 0) << "score " << result.score;
    const int moves = (plies + 1) / 2;
    EXPECT_LE(moves, 3) << "score " << result.score;
    Position child;
    ASSERT_TRUE(makeLegal(root, child, result.best));
    EXPECT_TRUE(defenderLoses(child, moves - 1)) << moveToString(result.best) << " does not mate in " << moves;
}

TEST_F(ParallelSearch, SeveralThreadsGiveLegalMovesAndSaneScores) {
    enum Expect { BALANCED, WINS_QUEEN, MATES, MATED };
    struct Case {
        const char* fen;
        int depth;
        Expect expect;
    };
    const Case cases[] = {
        {START_FEN, 10, BALANCED},
        {"r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3", 9, BALANCED},
        {"4k3/8/8/3q4/8/8/8/3RK3 w - - 0 1", 8, WINS_QUEEN},
        {"k7/8/2K5/8/8/8/8/7R w - - 0 1", 12, MATES},
        {"rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 1 3", 6, MATED}, // no move at all
    };
    for (int threads : {2, 4}) {
        setThreads(threads);
        ASSERT_EQ(activeThreadCount.load(), threads);
        for (const Case& c : cases) {
            SCOPED_TRACE(std::to_string(threads) + " threads, " + c.fen);
            const Position root = positionFromFen(c.fen);
            const SearchOutcome result = searchToDepth(root, c.depth);
            if (c.expect == MATED) {
                EXPECT_EQ(result.best, 0u);
                EXPECT_EQ(result.score, -MATE_SCORE);
                continue;
            }
            const std::vector<Move> legal = legalMoves(root);
            ASSERT_NE(std::find(legal.begin(), legal.end(), result.best), legal.end()) << result.best;
            switch (c.expect) {
            case BALANCED:
                EXPECT_LT(std::abs(result.score), 150);
                break;
            case WINS_QUEEN:
                EXPECT_EQ(moveToString(result.best), "d1d5");
                EXPECT_GT(result.score, 500);
                EXPECT_LT(result.score, MATE_RANGE);
                break;
            case MATES:
                expectTruthfulMate(root, result);
                break;
            case MATED:
                break;
            }
            // The reported nodes are those of every thread, and the opening searches are long
            // enough for every worker to have taken part.
            uint64_t sum = 0;
            for (int i = 0; i < threads; ++i) sum += nodeCounters[i].nodes.load();
            EXPECT_EQ(totalNodes(), sum);
            if (c.fen == START_FEN) {
                for (int i = 1; i < threads; ++i) EXPECT_GT(nodeCounters[i].nodes.load(), 0u) << "thread " << i;
            }
        }
    }
}

// "go nodes" counts the nodes of all threads: thread 0 alone would overshoot the limit by the
// workers' share.
TEST_F(ParallelSearch, NodeLimitCountsEveryThread) {
    setThreads(4);
    constexpr uint64_t LIMIT = 200000;
    const SearchOutcome result = searchToDepth(positionFromFen(START_FEN), 99, "", LIMIT);
    const std::vector<Move> legal = legalMoves(positionFromFen(START_FEN));
    EXPECT_NE(std::find(legal.begin(), legal.end(), result.best), legal.end());
    const uint64_t total = totalNodes();
    EXPECT_GE(total, LIMIT);
    EXPECT_LT(total, LIMIT + 100000) << "thread 0 made " << nodeCounters[0].nodes.load();
    EXPECT_LT(nodeCounters[0].nodes.load(), total);
}

// A position of the game record keeps links to the tables that existed when it was set up. After
// the pool re-creates them (other thread count, other table memory) each thread's root copy must
// point at the new ones; the old ones are gone (an AddressSanitizer build sees any use of them).
TEST_F(ParallelSearch, RootCopiesUseTheTablesOfTheRunningPool) {
    const Position stale = positionFromFen("r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3");
    ASSERT_EQ(stale.evalCache, threadLinks[0].evalCache);
    for (int threads : {3, 2, 1}) {
        optTableMemory = 8 * threads;
        setThreads(threads);
        SCOPED_TRACE(threads);
        EXPECT_EQ(poolThreadSetting(), threads);
        const CacheSizes sizes = evaluationCacheSizes(8 * threads, threads);
        EXPECT_EQ(evalCacheMask + 1, sizes.eval);
        EXPECT_EQ(pawnCacheMask + 1, sizes.pawn);
        EXPECT_EQ(materialCacheMask + 1, sizes.material);

        const SearchOutcome result = searchToDepth(stale, 7);
        EXPECT_NE(result.best, 0u);
        for (int i = 0; i < threads; ++i) {
            const Position& root = searchThreads[i].rootPosition;
            EXPECT_EQ(root.threadIndex, i);
            EXPECT_EQ(root.evalCache, threadLinks[i].evalCache) << "thread " << i;
            EXPECT_EQ(root.pawnCache, threadLinks[i].pawnCache) << "thread " << i;
            EXPECT_EQ(root.materialCache, threadLinks[i].materialCache) << "thread " << i;
            EXPECT_EQ(root.historyTable, &searchThreads[i].history[0][0][0]) << "thread " << i;
        }
    }
}

// Six pieces at the root, five after taking the knight: every thread probes the tables below the
// root, and the first probes of a table map it while the other threads probe too.
TEST_F(ParallelSearch, WorkersProbeTheTablebases) {
    REQUIRE_DATA("syzygy/KRvK.rtbw");
    setSyzygyPath(dataPath("syzygy"));
    setThreads(3);
    const Position root = positionFromFen("4k3/8/8/3r4/8/8/R2n4/3RK3 w - - 0 1");
    const SearchOutcome result = searchToDepth(root, 9);
    setSyzygyPath("");
    const std::vector<Move> legal = legalMoves(root);
    EXPECT_NE(std::find(legal.begin(), legal.end(), result.best), legal.end());
    EXPECT_GT(tbHits.load(), 0u);
    EXPECT_GT(result.score, 0) << "White is a rook up after taking the knight";
}

// The search's own start applies a changed "Threads" value, and a search with workers may follow
// and precede searches on one thread.
TEST_F(ParallelSearch, SearchStartAppliesTheThreadCount) {
    for (int threads : {4, 1, 2, 1}) {
        optThreads = threads;
        testing::internal::CaptureStdout();
        const SearchOutcome result = searchToDepth(positionFromFen(START_FEN), 6);
        const std::string out = testing::internal::GetCapturedStdout();
        EXPECT_NE(out.find("info string Threads now set to " + std::to_string(threads) + "\n"), std::string::npos)
            << out;
        EXPECT_EQ(activeThreadCount.load(), threads);
        EXPECT_NE(result.best, 0u);
    }
}

} // namespace
