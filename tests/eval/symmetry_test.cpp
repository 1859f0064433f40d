#include "symmetry_harness.h"

namespace {
TEST(ColourSymmetry, FlippedTwinsScoreAlikeWithAndWithoutCaches) {
    std::vector<Position> positions = symmetryPositions(6000, 12345);
    ASSERT_EQ(positions.size(), 6000u);
    SymmetryRun run = checkColourSymmetry(positions);
    RecordProperty("summary", run.summary());
    // The left-out positions must stay a small minority, or the check would prove little.
    EXPECT_GT(run.compared, 5700) << run.summary();
}
} // namespace
