// The driver's use of the endgame tables: the root filter fixes the score and keeps only the
// moves that hold the result; inside the search, positions with few pieces are probed.
#include "search_fixtures.h"
#include "tablebase/tablebase.h"

namespace {
class TablebaseSearch : public ::testing::Test {
  protected:
    void SetUp() override {
        REQUIRE_DATA("syzygy/KRvK.rtbw");
        setSyzygyPath(dataPath("syzygy"));
    }
    void TearDown() override {
        optUseSyzygy = 1;
        setSyzygyPath("");
    }
};

// White's rook on c2 is attacked by the Black king: moves that leave it hanging throw the win away.
const char* const kRookAttacked = "8/8/8/8/8/3k4/2R5/4K3 w - - 0 1";
} // namespace

TEST_F(TablebaseSearch, RootFilterKeepsTheWinningMoves) {
    Position pos = positionFromFen(kRookAttacked);
    const size_t legal = legalMoves(pos).size();
    SearchOutcome result = searchToDepth(pos, 3);
    EXPECT_EQ(tbRootScore, TB_WIN_SCORE);
    EXPECT_GT(rootMoveCount, 0);
    EXPECT_LT(size_t(rootMoveCount), legal);
    EXPECT_EQ(tbProbeLimit, 0); // the root result stands; nothing below is probed
    Position child;
    ASSERT_TRUE(makeLegal(pos, child, result.best));
    int success = 0;
    EXPECT_EQ(tbWdlProbe(child, &success), -2) << moveToString(result.best); // the opponent still loses
    EXPECT_NE(success, 0);
}

TEST_F(TablebaseSearch, NoProbeWhenSwitchedOffOrShortOfTime) {
    Position pos = positionFromFen(kRookAttacked);
    const int legal = int(legalMoves(pos).size());
    optUseSyzygy = 0;
    searchToDepth(pos, 3);
    EXPECT_EQ(tbRootScore, 2147483647);
    EXPECT_EQ(rootMoveCount, legal);
    EXPECT_EQ(tbHits.load(), 0u);

    optUseSyzygy = 1;
    benchMode = true;
    drawScore = 0;
    think(pos, 3, "", 0.1, NO_TIME_LIMIT); // a target of 0.1 s or less never probes
    benchMode = false;
    EXPECT_EQ(tbRootScore, 2147483647);
    EXPECT_EQ(rootMoveCount, legal);
}

// Six pieces at the root, five after taking the knight: the search probes below the root.
TEST_F(TablebaseSearch, SearchProbesPositionsWithFewPieces) {
    SearchOutcome result = searchToDepth("4k3/8/8/3r4/8/8/R2n4/3RK3 w - - 0 1", 4);
    EXPECT_EQ(tbRootScore, 2147483647);
    EXPECT_GT(tbHits.load(), 0u);
    EXPECT_NE(result.best, 0u);
}
