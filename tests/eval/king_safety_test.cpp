// King-attack units, the king-attack curve and the "King Safety" option, and the uncastled king
// that shuts in its rook.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "board/threat.h"
#include "eval/caches.h"
#include "eval/king_safety.h"
#include "eval/mobility.h"
#include "eval/pawns.h"
#include "eval/pieces.h"
#include "eval/term_tables.h"
#include "test_support.h"
#include "uci/settings.h"

namespace {

using Pair = std::pair<int, int>;

Pair pairOf(PackedScore s) { return {mgOf(s), egOf(s)}; }

class KingSafetyTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        initTermTables();
        buildTermTables();
    }
    static void setKingSafety(int value) {
        optKingSafety = value;
        buildTermTables();
    }
    void TearDown() override { setKingSafety(65); }

    // White's king-attack index against the Black king.
    static int whiteAttackIndex(const std::string& fen) {
        Position pos = positionFromFen(fen);
        pos.pawnCache = nullptr;
        const PawnEntry* entry = nullptr;
        evaluatePawns(pos, entry);
        const PawnEntry copy = *entry;
        EvalAttacks at;
        computeAttacks(pos, at);
        return kingAttackIndex(pos, at, copy, WHITE);
    }
    static PieceTerms termsOf(const std::string& fen) {
        Position pos = positionFromFen(fen);
        pos.pawnCache = nullptr;
        const PawnEntry* entry = nullptr;
        evaluatePawns(pos, entry);
        const PawnEntry copy = *entry;
        PackedScore white = 0, black = 0;
        PieceTerms terms{};
        evaluatePieces(pos, copy, white, black, &terms);
        return terms;
    }
    // The exchange evaluation decides between 10 and 1 units for a queen contact check.
    static bool exchangeEvaluationAvailable() {
        // Queen takes a pawn defended by a pawn: loses material.
        const Position pos = positionFromFen("4k3/8/2p5/3p4/8/8/8/3QK3 w - - 0 1");
        return exchangeValue(pos, encodeMove(makeSquare(3, 0), makeSquare(3, 4))) < 0;
    }
};

// Black's king on g8 behind f7 g7 h7 has cover (972 + 48 open files at White's king) / 220 = 4,
// so White starts from 3 - 4 = -1 units.
TEST_F(KingSafetyTest, AttackUnits) {
    const std::pair<const char*, int> cases[] = {
        // no attackers and no queen: -1 - 3, negative totals give index 0
        {"6k1/5ppp/8/8/8/8/8/1K6 w - - 0 1", 0},
        // Bd3 reaches the zone (1) and the check square h7 (3); no queen (-3); h7 is a weak square (2)
        {"6k1/5ppp/8/8/8/3B4/PP6/1K6 w - - 0 1", -1 + 1 + 3 - 3 + 2},
        // the same with a queen that reaches nothing: the -3 is gone
        {"6k1/5ppp/8/8/8/3B4/PP6/QK6 w - - 0 1", -1 + 1 + 3 + 2},
        // Qh4 and Qa4 against a bare king on e8 (no cover): zone 1 + 1, queen checks capped at 25,
        // two weak squares d7 f7
        {"4k3/8/8/7Q/Q7/8/8/1K6 b - - 0 1", 3 + 1 + 1 + 25 + 4},
        // Without g7 the cover is (486 + 48) / 220 = 2. Nf5 reaches the zone at g7 (3) and the
        // safe check squares e7 and h6 (4 each); no queen (-3); g7 is weak (2)
        {"6k1/5p1p/8/5N2/8/8/8/1K6 w - - 0 1", 3 - 2 + 3 + 8 - 3 + 2},
        // Re1 against a bare king: zone (1), on the king's file with no own pawn between (2),
        // line check squares e2..e7 (4 each); no queen (-3); e7 is weak (2)
        {"4k3/8/8/8/8/8/8/1K2R3 b - - 0 1", 3 + 1 + 2 + 24 - 3 + 2},
    };
    for (const auto& [fen, index] : cases) EXPECT_EQ(whiteAttackIndex(fen), index) << fen;
}

TEST_F(KingSafetyTest, IndexStaysOnTheCurve) {
    // A damaged cover value far below anything the pawn pass produces must not lead outside
    // the 256-entry curve.
    const Position pos = positionFromFen("6k1/5ppp/8/8/8/3B4/PP6/1K6 w - - 0 1");
    EvalAttacks at;
    computeAttacks(pos, at);
    PawnEntry entry{};
    entry.cover[BLACK] = -1000;
    EXPECT_EQ(kingAttackIndex(pos, at, entry, WHITE), 255);
    entry.cover[BLACK] = 1000;
    EXPECT_EQ(kingAttackIndex(pos, at, entry, WHITE), 0);
}

TEST_F(KingSafetyTest, QueenContactCheckCountsTenOnlyWhenTheQueenSurvives) {
    if (!exchangeEvaluationAvailable()) GTEST_SKIP() << "exchange evaluation not available yet";
    // Qh4 reaches h7 (contact, the king takes the queen: 1) and d8 (distant: 3); zone 1; weak h7.
    EXPECT_EQ(whiteAttackIndex("6k1/5ppp/8/8/7Q/8/8/1K6 w - - 0 1"), -1 + 1 + 1 + 3 + 2);
    // Bd3 covers h7: the king cannot take back, so 10; the bishop adds 1 + 3.
    EXPECT_EQ(whiteAttackIndex("6k1/5ppp/8/8/7Q/3B4/8/1K6 w - - 0 1"), -1 + 1 + 10 + 3 + 1 + 3 + 2);
}

TEST_F(KingSafetyTest, CurveFollowsTheOption) {
    EXPECT_EQ(pairOf(kingAttackCurve[255]), Pair(9594, 0)); // 1476 x 65 / 10
    EXPECT_EQ(pairOf(kingAttackCurve[4]), Pair(71, 0));     // 11 x 65 / 10
    setKingSafety(200);
    EXPECT_EQ(pairOf(kingAttackCurve[255]), Pair(29520, 0));
    setKingSafety(0);
    for (int i = 0; i < 256; ++i) EXPECT_EQ(kingAttackCurve[i], 0u) << i;
}

TEST_F(KingSafetyTest, KingSafetyZeroRemovesEveryAttackValueAndNothingElse) {
    const char* fen = "6k1/5ppp/8/8/7Q/3B4/8/1K6 w - - 0 1";
    const PieceTerms normal = termsOf(fen);
    EXPECT_GT(mgOf(normal.kingSafety[WHITE]), 0);
    setKingSafety(0);
    const PieceTerms off = termsOf(fen);
    for (int c = WHITE; c <= BLACK; ++c) {
        EXPECT_EQ(off.kingSafety[c], 0u);
        EXPECT_EQ(off.pieces[c], normal.pieces[c]);
        EXPECT_EQ(off.threats[c], normal.threats[c]);
        EXPECT_EQ(off.passedPawns[c], normal.passedPawns[c]);
    }
}

TEST_F(KingSafetyTest, UncastledKingTrappingItsRook) {
    const PackedScore trapped = pack(-300, -100);
    const std::pair<const char*, std::pair<PackedScore, PackedScore>> cases[] = {
        {"6k1/8/8/8/8/8/8/6KR w - - 0 1", {trapped, 0}},  // Kg1 Rh1
        {"6k1/8/8/8/8/8/8/5KR1 b - - 0 1", {trapped, 0}}, // Kf1 Rg1
        {"6k1/8/8/8/8/8/7R/5K2 w - - 0 1", {trapped, 0}}, // Kf1 Rh2
        {"6k1/8/8/8/8/8/8/4K2R w - - 0 1", {0, 0}},       // the king has not moved
        {"6k1/8/8/8/8/8/8/5RK1 w - - 0 1", {0, 0}},       // castled
        {"6k1/8/8/8/8/8/7R/7K w - - 0 1", {0, 0}},        // king in the corner
        {"1k6/8/8/8/8/8/8/RK6 w - - 0 1", {0, 0}},        // no queenside counterpart
        {"6kr/8/8/8/8/8/8/6K1 w - - 0 1", {0, trapped}},  // Kg8 Rh8
    };
    for (const auto& [fen, expected] : cases) {
        const Position pos = positionFromFen(fen);
        EXPECT_EQ(pairOf(kingTrapsRook(pos, WHITE)), pairOf(expected.first)) << fen;
        EXPECT_EQ(pairOf(kingTrapsRook(pos, BLACK)), pairOf(expected.second)) << fen;
    }
    // It is the starting value of the colour's king-safety sum.
    setKingSafety(0);
    EXPECT_EQ(pairOf(termsOf("6k1/8/8/8/8/8/8/6KR w - - 0 1").kingSafety[WHITE]), pairOf(trapped));
}

} // namespace
