// Clock allocation: sudden death, moves to go, the ponder stretch, minimum targets and the
// handling of missing or absurd clock values.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "search/search_state.h"
#include "uci/settings.h"
#include "uci/timeman.h"

namespace {

class TimeManagement : public ::testing::Test {
  protected:
    void SetUp() override {
        optOverheadMs = 30;
        optTimeUsage = 0;
        ponderBonusCount = 0;
        maxPercent = 500;
    }
    void TearDown() override { SetUp(); }
};

// Game ply of the position at the given full move (White to move).
int plyAtMove(int move) { return 2 * (move - 1); }

TEST_F(TimeManagement, SuddenDeathTargetsAndHardLimit) {
    struct Case {
        const char* what;
        double time, increment;
        int move;
        double target, hard;
    };
    const Case cases[] = {
        // 60 / 18 = 3.333..., cut to whole milliseconds, minus 35 ms overhead.
        // The hard limit is 90 % of the clock less the 30 ms overhead.
        {"60 s at move 40", 60, 0, 40, 3.298, 53.97},
        {"increment counts 130 %", 10, 0.1, 40, 0.645, 8.97},
        {"never above a 3.3rd of the clock", 1, 2, 40, 0.268, 0.87},
        {"first move uses the early divisor", 60, 0, 1, 2.027 - 0.035, 53.97},
        // 0.3 / 3.3 = 0.0909 -> 0.090 - 0.035; six targets (0.33 s) exceed the hard limit.
        {"low clock with increment", 0.3, 0.1, 60, 0.055, 0.24},
        {"clock below the overhead", 0.02, 0.1, 60, 0.002, 0.002},
    };
    for (const Case& c : cases) {
        maxPercent = 500;
        TimeBudget b = allocateSuddenDeath(c.time, c.increment, plyAtMove(c.move));
        EXPECT_NEAR(b.target, c.target, 1e-9) << c.what;
        EXPECT_NEAR(b.hard, c.hard, 1e-9) << c.what;
        EXPECT_EQ(maxPercent, 600) << c.what;
    }
    // The hard deadline of the 60 s case: min(53.97, 6 * 3.298) after the start.
    TimeBudget b = allocateSuddenDeath(60, 0, plyAtMove(40));
    EXPECT_NEAR(std::min(b.hard, b.target * maxPercent / 100), 19.788, 1e-9);
    // With a low clock the hard limit binds and leaves the overhead plus a tenth on the clock.
    b = allocateSuddenDeath(0.3, 0.1, plyAtMove(60));
    EXPECT_NEAR(std::min(b.hard, b.target * maxPercent / 100), 0.24, 1e-9);
}

TEST_F(TimeManagement, SuddenDeathDivisorByMoveAndTimeUsage) {
    struct Case {
        int move, timeUsage;
        double divisor;
    };
    const Case cases[] = {
        {1, 0, 29.6},  {15, 0, 24.0}, {29, 0, 18.4}, {30, 0, 18}, {80, 0, 18},
        {30, 9, 9},    {100, 9, 9},   {30, -9, 27},  {1, 9, 29.3},
    };
    for (const Case& c : cases) {
        optTimeUsage = c.timeUsage;
        EXPECT_NEAR(suddenDeathDivisor(plyAtMove(c.move)), c.divisor, 1e-9)
            << "move " << c.move << ", Time Usage " << c.timeUsage;
        // Black's ply of the same move gives the same divisor.
        EXPECT_NEAR(suddenDeathDivisor(plyAtMove(c.move) + 1), c.divisor, 1e-9);
    }
    // Without a jump anywhere: the share of the clock grows from move to move.
    for (int tu : {-9, 0, 9}) {
        optTimeUsage = tu;
        for (int move = 2; move <= 40; ++move)
            EXPECT_LE(suddenDeathDivisor(plyAtMove(move)), suddenDeathDivisor(plyAtMove(move - 1)))
                << "move " << move << ", Time Usage " << tu;
    }
    // Time Usage 9 doubles the time per move from move 30 on.
    optTimeUsage = 9;
    double doubled = allocateSuddenDeath(90, 0, plyAtMove(35)).target;
    optTimeUsage = 0;
    EXPECT_NEAR(doubled, 10 - 0.035, 1e-9);
    EXPECT_NEAR(allocateSuddenDeath(90, 0, plyAtMove(35)).target, 5 - 0.035, 1e-9);
}

TEST_F(TimeManagement, MovesToGoTargetsAndMaxPercent) {
    struct Case {
        double time;
        int movesToGo;
        double target; // before the overhead
        int maxPercent;
    };
    const double t1 = 10.0 / 3 * std::pow(2.0, std::pow(1 / 40.0, 3.75));
    const double t20 = 44.0 / 22 * std::pow(2.0, std::pow(0.5, 3.75));
    const Case cases[] = {
        {10, 1, t1, int(std::trunc(9 / t1 * 100))}, // last move before the control: up to 90 %
        {44, 20, t20, 500},
        {42, 40, 2.0, 500},
        {10.2, 100, 0.2, 500},                      // beyond 40 moves: twice the even share
        {4, 40, 4.0 / 21, 500},
        {100, 2, 100.0 / 4 * std::pow(2.0, std::pow(2 / 40.0, 3.75)), 199}, // half the clock
    };
    for (const Case& c : cases) {
        TimeBudget b = allocateMovesToGo(c.time, c.movesToGo);
        EXPECT_NEAR(b.target, c.target - 0.033, 1e-9) << c.movesToGo << " to go";
        EXPECT_EQ(b.hard, NO_TIME_LIMIT);
        EXPECT_EQ(maxPercent, c.maxPercent) << c.movesToGo << " to go";
    }
}

TEST_F(TimeManagement, PonderBonusStretchesTargets) {
    const double plainSd = allocateSuddenDeath(60, 0, plyAtMove(40)).target;
    const double plainMtg = allocateMovesToGo(60, 30).target;
    ponderBonusCount = 1;
    EXPECT_NEAR(allocateSuddenDeath(60, 0, plyAtMove(40)).target, std::trunc(60 / 18.0 * 1.3 * 1000) / 1000 - 0.035,
                1e-9);
    EXPECT_NEAR(allocateMovesToGo(60, 30).target, (plainMtg + 0.033) * 1.33 - 0.033, 1e-9);
    // The stretch still respects the cap of a 3.3rd of the clock.
    EXPECT_NEAR(allocateSuddenDeath(1, 2, plyAtMove(40)).target, 0.268, 1e-9);
    ponderBonusCount = 0;
    EXPECT_NEAR(allocateSuddenDeath(60, 0, plyAtMove(40)).target, plainSd, 1e-9);
}

TEST_F(TimeManagement, TinyMissingAndAbsurdClocksGiveShortSoundBudgets) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        const char* what;
        double time, increment;
        int movesToGo;
    };
    const Case cases[] = {
        {"tiny", 0.001, 0, 0}, {"zero", 0, 0, 0},          {"negative", -5, -1, 0},
        {"not a number", nan, nan, 0}, {"zero, moves to go", 0, 0, 10}, {"negative moves to go", 5, 0, -3},
        {"zero moves to go", 5, 0, 0},
    };
    for (const Case& c : cases) {
        TimeBudget b = c.movesToGo != 0 ? allocateMovesToGo(c.time, c.movesToGo)
                                        : allocateSuddenDeath(c.time, c.increment, plyAtMove(20));
        if (c.movesToGo == 0 && c.time <= 0.001) {
            EXPECT_EQ(b.target, 0.002) << c.what;
        }
        EXPECT_TRUE(std::isfinite(b.target)) << c.what;
        EXPECT_GT(b.target, 0) << c.what;
        EXPECT_LE(b.target, 5) << c.what;
        EXPECT_GT(b.hard, 0) << c.what;
        EXPECT_GE(maxPercent, 100) << c.what;
        EXPECT_LE(maxPercent, 600) << c.what;
        // The hard deadline the search derives from them is short.
        EXPECT_LE(std::min(b.hard, b.target * maxPercent / 100), 5) << c.what;
    }
    EXPECT_EQ(allocateMovesToGo(0.001, 5).target, 0.005);
    EXPECT_EQ(allocateMovesToGo(0, 5).target, 0.005);

    // A clock of centuries is treated as no limit, not as an overflow.
    TimeBudget huge = allocateSuddenDeath(1e300, 1e300, 0);
    EXPECT_TRUE(std::isfinite(huge.target));
    EXPECT_LE(huge.hard, NO_TIME_LIMIT);
    EXPECT_TRUE(std::isfinite(allocateMovesToGo(1e300, 1).target));
}

} // namespace
