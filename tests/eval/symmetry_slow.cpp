#include "symmetry_harness.h"

namespace {
TEST(ColourSymmetrySlow, TwoHundredThousandPlayoutPositions) {
    std::vector<Position> positions = symmetryPositions(200000, 777);
    SymmetryRun run = checkColourSymmetry(positions);
    RecordProperty("summary", run.summary());
    std::printf("%s\n", run.summary().c_str());
    EXPECT_GT(run.compared, 120000) << run.summary();
}
} // namespace
