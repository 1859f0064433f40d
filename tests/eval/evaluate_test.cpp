// The evaluation driver: the cheap exits, the cache, the final conversion and the report.
#include <gtest/gtest.h>

#include <string>

#include "eval/caches.h"
#include "eval/eval_tables.h"
#include "eval/evaluate.h"
#include "eval/material.h"
#include "eval/pawns.h"
#include "eval/pieces.h"
#include "eval/score_conversion.h"
#include "eval_fixtures.h"
#include "tools/playouts.h"
#include "uci/settings.h"

namespace {
constexpr int FULL = 35000;

int fullEval(const std::string& fen, int halfmoveClock = 0) {
    Position pos = evalPosition(fen, false, halfmoveClock);
    return evaluate(pos, -FULL, FULL);
}

TEST(Evaluate, SymmetricStartIsWorthTheTempoToEitherSide) {
    EXPECT_EQ(fullEval(startFen), 12); // 116 millipawns of tempo at phase 96
    EXPECT_EQ(fullEval("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQkq - 0 1"), 12);
}

TEST(Evaluate, CompleteConfigurationsSkipTempoAndFade) {
    struct Case {
        const char* fen;
        int clock, expected;
    };
    const Case cases[] = {
        // Rook pawn with the defender in the corner: the table's draw value 30 millipawns, for
        // White, turned to the side to move and nothing else: 30 x 96 / 960 = 3.
        {"7k/8/8/8/8/8/7P/7K w - - 0 1", 0, 3},
        {"7k/8/8/8/8/8/7P/7K b - - 0 1", 0, -3},
        // A won king and pawn: 6500 + 160 x 4 = 7140 -> 714, stretched at phase 0 by 614 x 96 / 384.
        {"4k3/8/4K3/4P3/8/8/8/8 w - - 0 1", 0, 714 + 153},
        {"4k3/8/4K3/4P3/8/8/8/8 b - - 0 1", 0, -(714 + 153)},
        {"4k3/8/4K3/4P3/8/8/8/8 w - - 0 1", 100, 714 + 153},  // no fifty-move fade here
        {"8/2b5/4k3/8/8/3K4/4B3/8 w - - 0 1", 120, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(fullEval(c.fen, c.clock), c.expected) << c.fen;
}

TEST(Evaluate, FiftyMoveFadeLeavesOnlyTheTempo) {
    // White is a queen up in a middlegame: clear of every special rule.
    const std::string fen = "r1b1kb1r/pppp1ppp/2n2n2/4p3/4P3/2N2N2/PPPP1PPP/R1BQKB1R w KQkq - 0 1";
    Position probe = evalPosition(fen);
    int tempo = tempoBonus[std::min<int>(probe.phase, 96)];
    int start = fullEval(fen, 0);
    EXPECT_GT(start, 500);
    EXPECT_EQ(fullEval(fen, 85), start);
    EXPECT_EQ(fullEval(fen, 86), start);
    int previous = start;
    for (int clock = 87; clock <= 100; ++clock) {
        int v = fullEval(fen, clock);
        EXPECT_LT(v, previous) << "clock " << clock;
        EXPECT_GT(v, roundHalfAway(tempo, 10)) << "clock " << clock;
        previous = v;
    }
    for (int clock : {101, 102, 150, 1000})
        EXPECT_EQ(fullEval(fen, clock), roundHalfAway(tempo, 10)) << "clock " << clock;

    // The cache key does not hold the clock: a value stored early must not stand in for a faded one.
    for (int clock : {0, 90, 100, 120, 0, 95}) {
        Position pos = evalPosition(fen, true, clock);
        EXPECT_EQ(evaluate(pos, -FULL, FULL), fullEval(fen, clock)) << "through the cache, clock " << clock;
    }
}

TEST(Evaluate, WrongBishopWithRookPawnsIsCappedAtThirtyMillipawns) {
    // tempo[3] = 52 millipawns: a capped +30 for the side to move gives 82 -> 8, a capped -30 gives
    // 22 -> 2 (the tempo goes to the side to move either way).
    struct Case {
        const char* fen;
        int expected; // 0: not capped, large
    };
    const Case cases[] = {
        {"k7/8/8/8/8/8/P7/2B1K3 w - - 0 1", 8},    // dark bishop, a-pawn, king on a8
        {"k7/8/8/8/8/8/P7/2B1K3 b - - 0 1", 2},
        {"8/1k6/8/8/8/8/P7/2B1K3 w - - 0 1", 8},   // b7 is also in the corner
        {"2b1k3/p7/8/8/8/8/8/K7 b - - 0 1", 8},    // Black's light bishop, a-pawn, White's king on a1
        {"2b1k3/p7/8/8/8/8/8/K7 w - - 0 1", 2},
        {"4k3/7p/8/8/8/8/5b2/7K w - - 0 1", 2},    // Black's dark bishop with an h-pawn
        {"k7/8/8/8/8/8/P7/3BK3 w - - 0 1", 0},     // the right bishop
        {"8/8/4k3/8/8/8/P7/2B1K3 w - - 0 1", 0},   // the king is not in the corner
        {"k7/8/8/8/8/8/PP6/2B1K3 w - - 0 1", 0},   // a pawn off the rook file
        {"k7/8/8/8/8/8/P7/2BNK3 w - - 0 1", 0},    // a knight as well
    };
    for (const Case& c : cases) {
        int v = fullEval(c.fen);
        if (c.expected) EXPECT_EQ(v, c.expected) << c.fen;
        else EXPECT_GT(v, 100) << c.fen;
    }
}

// A position whose lazy value is known: the positional estimate is forced, the material and its
// scale come from the material evaluation.
int lazyValue(const Position& pos, int estimate) {
    double f;
    Position copy = pos;
    int m = evaluateMaterial(copy, f);
    int q = roundHalfAway(int(estimate * f) + m, 960);
    return sideToMove(pos) == WHITE ? q : -q;
}

TEST(Evaluate, LazyExitConditions) {
    const int estimate = 96 * 10 * 3000; // 30 pawns for White
    struct Case {
        const char* fen;
        bool lazy;
    };
    const Case cases[] = {
        {"r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 0 1", true},
        {"r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R b KQkq - 0 1", true},
        {"r1bqkbn1/pppp1ppP/2n5/4p3/8/5N2/PPPP1PPP/RNBQKB1R w KQq - 0 1", false},   // White pawn on h7
        {"r1bqkbnr/pppp1p1p/2n5/4p3/4P3/5N2/PPPP1PpP/RNBQKB1R w KQkq - 0 1", false}, // Black pawn on g2
        {"4k3/8/2n1n3/4p3/4P3/2N1N3/8/4K3 w - - 0 1", true},                         // phase 8
        {"4k3/8/4n3/4p3/4P3/4N3/8/4K3 w - - 0 1", false},                            // phase 4: never lazy
        {"4k3/8/4b3/4p3/4P3/4N3/8/4K3 w - - 0 1", true},                             // phase 5
    };
    for (const Case& c : cases) {
        Position pos = evalPosition(c.fen);
        Position reference = pos;
        int full = evaluate(reference, -FULL, FULL);
        pos.positionalEstimate = estimate;
        int expectedLazy = lazyValue(pos, estimate);
        ASSERT_GT(std::abs(expectedLazy), 200) << c.fen;
        int got = evaluate(pos, -100, 100);
        if (c.lazy) {
            EXPECT_EQ(got, expectedLazy) << c.fen;
            EXPECT_EQ(pos.positionalEstimate, estimate) << "a lazy return writes nothing";
        } else {
            EXPECT_EQ(got, full) << c.fen;
        }
        // Inside the window the estimate is not enough: the full value.
        pos.positionalEstimate = 0;
        EXPECT_EQ(evaluate(pos, -FULL, FULL), full) << c.fen;
    }
}

TEST(Evaluate, CacheHoldsFullValuesOnly) {
    const std::string fen = "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 0 1";
    Position uncached = evalPosition(fen);
    int full = evaluate(uncached, -FULL, FULL);

    Position pos = evalPosition(fen, true);
    EvalCacheEntry& slot = threadLinks[0].evalCache[pos.key & evalCacheMask];
    slot = EvalCacheEntry{};
    pos.positionalEstimate = 96 * 10 * 3000;
    int lazy = evaluate(pos, -100, 100);
    EXPECT_NE(lazy, full);
    EXPECT_NE(slot.key, pos.key) << "a lazy value must not be stored";
    EXPECT_EQ(evaluate(pos, -FULL, FULL), full);
    EXPECT_EQ(slot.key, pos.key);
    EXPECT_EQ(slot.score, full);

    // A stored value is returned as it stands, whatever the window and the estimate.
    slot.score = full + 777;
    pos.positionalEstimate = -123456;
    EXPECT_EQ(evaluate(pos, -100, 100), full + 777);
    EXPECT_EQ(evaluate(pos, -FULL, FULL), full + 777);
    slot = EvalCacheEntry{};
}

TEST(Evaluate, KingSafetyOptionOnlyMovesTheKingAttackTerms) {
    int saved = optKingSafety;
    std::vector<Position> positions = randomPlayoutPositions(benchmarkFens(), 400, 99);
    auto termsOf = [](const Position& pos) {
        PawnEntry entry{};
        const PawnEntry* e = &entry;
        Position copy = pos;
        unlinkCaches(copy);
        evaluatePawns(copy, e);
        PackedScore w = 0, b = 0;
        PieceTerms terms{};
        evaluatePieces(copy, *e, w, b, &terms);
        return terms;
    };
    std::vector<PieceTerms> before;
    for (const Position& pos : positions) before.push_back(termsOf(pos));
    optKingSafety = 0;
    buildEvaluationTables();
    for (size_t i = 0; i < positions.size(); ++i) {
        PieceTerms after = termsOf(positions[i]);
        for (int c = 0; c < 2; ++c) {
            EXPECT_EQ(after.pieces[c], before[i].pieces[c]);
            EXPECT_EQ(after.threats[c], before[i].threats[c]);
            EXPECT_EQ(after.passedPawns[c], before[i].passedPawns[c]);
            EXPECT_EQ(egOf(after.kingSafety[c]), egOf(before[i].kingSafety[c]));
            EXPECT_LE(mgOf(after.kingSafety[c]), mgOf(before[i].kingSafety[c]));
        }
    }
    optKingSafety = saved;
    buildEvaluationTables();
}

TEST(EvaluationReport, EndsWithTheFullWindowValueAndIgnoresTheCache) {
    const char* fens[] = {startFen, "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R b KQkq - 0 1",
                          "8/8/4k3/8/8/3K4/4B3/8 w - - 0 1", "4k3/8/4K3/4P3/8/8/8/8 b - - 0 1"};
    for (const char* fen : fens) {
        Position pos = positionFromFen(fen); // as the game record holds it: no pstScore, no phase
        int expected = fullEval(fen);
        // Poison the evaluation cache: the report must compute.
        EvalCacheEntry& slot = threadLinks[0].evalCache[pos.key & evalCacheMask];
        slot = EvalCacheEntry{pos.key, expected + 1000};
        testing::internal::CaptureStdout();
        printEvaluationReport(pos);
        std::string out = testing::internal::GetCapturedStdout();
        slot = EvalCacheEntry{};
        ASSERT_FALSE(out.empty());
        std::string last = out.substr(out.rfind('\n', out.size() - 2) + 1);
        EXPECT_EQ(last, "Final evaluation: " + std::to_string(expected) + " (side to move)\n") << fen << "\n" << out;
        EXPECT_NE(out.find("Phase:"), std::string::npos);
        EXPECT_NE(out.find("Material:"), std::string::npos);
    }
}
} // namespace
