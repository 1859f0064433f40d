// Packed middlegame/endgame arithmetic and the integer steps of the final score conversion.
#include <gtest/gtest.h>

#include "eval/packed_score.h"
#include "eval/score_conversion.h"

namespace {
constexpr int32_t HALF_MAX = (1 << 30) - 1; // largest 31-bit value
constexpr int32_t HALF_MIN = -(1 << 30);

TEST(PackedScore, HalvesStayApartAndWrapAs31BitNumbers) {
    struct Case {
        PackedScore a, b;
        int32_t mg, eg;
    };
    const Case cases[] = {
        {pack(3, -4), pack(-5, 9), -2, 5},
        {pack(0, -1), pack(0, -1), 0, -2},           // a borrow in the endgame half stays there
        {pack(-1, 0), pack(-1, 0), -2, 0},
        {pack(HALF_MAX, 0), pack(1, 0), HALF_MIN, 0}, // middlegame overflow wraps, endgame untouched
        {pack(0, HALF_MAX), pack(0, 1), 0, HALF_MIN}, // no carry into the middlegame half
        {pack(HALF_MIN, HALF_MIN), pack(-1, -1), HALF_MAX, HALF_MAX},
    };
    for (const Case& c : cases) {
        PackedScore sum = packedAdd(c.a, c.b);
        EXPECT_EQ(mgOf(sum), c.mg);
        EXPECT_EQ(egOf(sum), c.eg);
        EXPECT_EQ(sum & ~PACKED_MASK, 0u) << "bits 31 and 63 must stay clear";
    }
}

TEST(PackedScore, NegationAndSubtraction) {
    const int32_t values[][2] = {{0, 0}, {1, -1}, {-37, 58}, {HALF_MAX, -HALF_MAX}, {12345, 0}};
    for (const auto& v : values) {
        PackedScore s = pack(v[0], v[1]);
        EXPECT_EQ(mgOf(packedNeg(s)), -v[0]);
        EXPECT_EQ(egOf(packedNeg(s)), -v[1]);
        EXPECT_EQ(packedAdd(s, packedNeg(s)), 0u);
        EXPECT_EQ(packedSub(pack(100, 200), s), pack(100 - v[0], 200 - v[1]));
    }
}

TEST(PackedScore, MultiplyAndBlend) {
    EXPECT_EQ(packedMul(pack(20, 11), pack(-55, -40)), pack(-1100, -440));
    EXPECT_EQ(packedMulCount(pack(16, 20), -2), pack(-32, -40));
    EXPECT_EQ(packedMulCount(pack(-37, -58), 0), 0u);
    // The blend weighs the middlegame by the phase and the endgame by what is left of 96.
    EXPECT_EQ(blend(pack(100, 200), 96), 9600);
    EXPECT_EQ(blend(pack(100, 200), 0), 19200);
    EXPECT_EQ(blend(pack(100, -200), 48), 100 * 48 - 200 * 48);
}

TEST(ScoreConversion, RoundsHalfAwayFromZero) {
    struct Case {
        int x, d, expected;
    };
    const Case cases[] = {
        {48, 96, 1}, {-48, 96, -1}, {47, 96, 0}, {-47, 96, 0}, {0, 96, 0},     {144, 96, 2},
        {-144, 96, -2}, {5, 10, 1}, {-5, 10, -1}, {4, 10, 0}, {-15, 10, -2},   {480, 960, 1},
        {-479, 960, 0}, {959, 960, 1}, {-1440, 960, -2},
    };
    for (const Case& c : cases) EXPECT_EQ(roundHalfAway(c.x, c.d), c.expected) << c.x << " / " << c.d;
}

TEST(ScoreConversion, StretchGrowsOnlyThePartBeyondOnePawn) {
    struct Case {
        int c, endgameWeight, expected;
    };
    const Case cases[] = {
        {100, 96, 100},   {-100, 96, -100}, {101, 96, 101},  {500, 0, 500},    {500, 96, 600},
        {-500, 96, -600}, {500, 48, 550},   {104, 96, 105},  {-104, 96, -105}, {103, 96, 103},
        {-103, 96, -103}, {0, 96, 0},       {1000, 95, 1222},
    };
    for (const Case& c : cases) EXPECT_EQ(stretchScore(c.c, c.endgameWeight), c.expected) << c.c << " at " << c.endgameWeight;
}

TEST(ScoreConversion, FiftyMoveFade) {
    struct Case {
        int clock, expected;
    };
    // 1500 millipawns for the side to move.
    const Case cases[] = {{0, 1500}, {85, 1500}, {86, 1500}, {87, 1400}, {94, 700},
                          {100, 100}, {101, 0},  {102, 0},   {150, 0},   {65535, 0}};
    for (const Case& c : cases) {
        EXPECT_EQ(fiftyMoveFade(1500, c.clock), c.expected) << "clock " << c.clock;
        EXPECT_EQ(fiftyMoveFade(-1500, c.clock), -c.expected) << "clock " << c.clock;
    }
    EXPECT_EQ(fiftyMoveFade(29, 100), 1); // truncates toward zero
    EXPECT_EQ(fiftyMoveFade(-29, 100), -1);
}

TEST(ScoreConversion, FinishScoreTurnsToTheSideToMoveBeforeTempo) {
    struct Case {
        int whiteMp;
        bool blackToMove;
        int clock, tempo, phase, expected;
    };
    const Case cases[] = {
        {0, false, 0, 116, 96, 12},        // tempo alone: 116 mp rounds to 12 cp
        {0, true, 0, 116, 96, 12},         // and goes to whichever side moves
        {1000, false, 0, 116, 96, 112},
        {1000, true, 0, 116, 96, -88},     // sign flipped before the tempo is added
        {1000, false, 101, 50, 0, 5},      // faded to nothing, tempo remains
        {1000, false, 100, 50, 0, 12},     // one fifteenth: 66 + 50 = 116 mp
        {-1000, true, 0, 50, 0, 105 + 1},  // 1050 mp = 105 cp, stretched at phase 0: +1
        {5000, false, 0, 50, 0, 505 + 101},
        {-5000, false, 0, 50, 0, -495 - 98},
        {-44, false, 0, 50, 96, 1},        // 6 mp rounds to 1 cp
        {-55, false, 0, 50, 96, -1},       // -5 mp rounds away from zero
    };
    for (const Case& c : cases)
        EXPECT_EQ(finishScore(c.whiteMp, c.blackToMove, c.clock, c.tempo, c.phase), c.expected)
            << c.whiteMp << (c.blackToMove ? " b" : " w") << " clock " << c.clock << " phase " << c.phase;
}
} // namespace
