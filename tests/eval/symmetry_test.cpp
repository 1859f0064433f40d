#include "symmetry_harness.h"

namespace {
TEST(ColourSymmetry, FlippedTwinsScoreAlikeWithAndWithoutCaches) {
    std::vector<Position> positions = symmetryPositions(8000, 12345);
    ASSERT_EQ(positions.size(), 8000u);
    SymmetryRun run = checkColourSymmetry(positions);
    RecordProperty("summary", run.summary());
    // The blocked-structure flag also holds when Black has no pawn at all, so endings where only
    // White has pawns (common after random play) are left out with their twins; the rest must
    // still be most of the positions, or the check would prove little.
    EXPECT_GT(run.compared, 5000) << run.summary();
    EXPECT_LT(run.leftOut[int(AsymmetricRule::WHITE_LEADS_ON_EXACT_BALANCE)] +
                  run.leftOut[int(AsymmetricRule::LOWEST_NUMBERED_BISHOP)],
              80)
        << run.summary();
}
} // namespace
