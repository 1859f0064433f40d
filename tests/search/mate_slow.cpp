// Longer mates: the search must report the exact distance and play a move that keeps it, as the
// brute-force finder confirms.
#include "search_fixtures.h"

TEST(SearchMates, MatesInFourAndFive) {
    struct Case {
        const char* fen;
        int mateIn;
    };
    const Case cases[] = {
        {"k7/8/8/8/4K3/8/8/7Q w - - 0 1", 4},
        {"1k6/8/8/4K3/8/8/8/7R w - - 0 1", 5},
        {"8/8/8/3k4/8/8/1Q6/R5K1 w - - 0 1", 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fen);
        Position pos = positionFromFen(c.fen);
        ASSERT_TRUE(forcesMate(pos, c.mateIn));
        ASSERT_FALSE(forcesMate(pos, c.mateIn - 1));
        SearchOutcome result = searchNodes(c.fen, 1500000);
        EXPECT_EQ(result.score, MATE_SCORE - (2 * c.mateIn - 1));
        ASSERT_NE(result.best, 0u);
        Position child;
        ASSERT_TRUE(makeLegal(pos, child, result.best));
        EXPECT_TRUE(defenderLoses(child, c.mateIn - 1)) << moveToString(result.best);
    }
}
