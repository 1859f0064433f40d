// Material: special configurations and their evaluators, imbalance, and drawishness scaling.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "eval/eval_tables.h"
#include "eval/evaluate.h"
#include "eval/material.h"
#include "eval/score_conversion.h"
#include "eval_fixtures.h"

namespace {
double materialScale(const std::string& fen) {
    Position pos = evalPosition(fen);
    double scale = -1;
    evaluatePlainMaterial(pos, scale);
    return scale;
}

double phaseScale(const std::string& fen) {
    Position pos = evalPosition(fen);
    return scaleByPhase[materialPhaseCurve[std::min<int>(pos.phase, 96)]];
}

TEST(SpecialEndgames, DrawnConfigurationsAreExactlyZeroWherePiecesStand) {
    const char* fens[] = {
        "8/8/4k3/8/8/3K4/8/8 w - - 0 1",           // kings alone
        "8/8/4k3/8/8/3K4/8/8 b - - 0 1",
        "8/2b5/4k3/8/8/3K4/4B3/8 w - - 0 1",       // bishops of different shades
        "8/3b4/4k3/8/8/3K4/4B3/8 b - - 0 1",       // of the same shade
        "7b/8/8/8/8/8/B7/k1K5 w - - 57 1",
        "8/8/1n2k3/8/8/3K4/4N3/8 w - - 0 1",       // knight against knight
        "8/8/1n2k3/8/8/3K4/4B3/8 b - - 0 1",       // bishop against knight
        "1q6/8/4k3/8/8/3K4/8/6Q1 w - - 0 1",       // queen against queen
        "8/1r2k3/8/8/8/3K4/8/6R1 b - - 0 1",       // rook against rook
    };
    for (const char* fen : fens) {
        Position pos = evalPosition(fen);
        EXPECT_EQ(evaluate(pos, -35000, 35000), 0) << fen;
        linkCaches(pos);
        EXPECT_EQ(evaluate(pos, -35000, 35000), 0) << fen << " through the caches";
        EXPECT_EQ(evaluate(pos, -35000, 35000), 0) << fen << " from the caches";
    }
}

TEST(SpecialEndgames, EveryListedConfigurationIsFoundByItsFullKey) {
    struct Case {
        const char* fen;
        int score;
        EndgameKind evaluator;
    };
    const Case cases[] = {
        {"8/8/4k3/8/8/3K4/8/8 w - - 0 1", 0, EndgameKind::NONE},
        {"8/8/4k3/8/8/3K4/2N5/8 w - - 0 1", 10, EndgameKind::NONE},
        {"8/8/4k3/8/8/3K4/2n5/8 w - - 0 1", -10, EndgameKind::NONE},
        {"8/8/4k3/8/8/3K4/2NN4/8 w - - 0 1", 25, EndgameKind::NONE},
        {"8/8/4k3/8/8/3K4/2BB4/8 w - - 0 1", 6000, EndgameKind::NONE},   // c2 light, d2 dark
        {"8/8/4k3/8/8/3K4/2B1B3/8 w - - 0 1", 0, EndgameKind::NONE},     // bishops on one shade: not listed
        {"8/5n2/4k3/8/8/3K4/2BB4/8 w - - 0 1", 1000, EndgameKind::NONE},
        {"8/8/4k3/8/8/3K4/2BN4/8 w - - 0 1", 5000, EndgameKind::BISHOP_KNIGHT_MATE},
        {"8/8/4k3/8/8/3K4/2bn4/8 w - - 0 1", -5000, EndgameKind::BISHOP_KNIGHT_MATE},
        {"8/8/4k3/8/8/3K4/2NP4/8 w - - 0 1", 2000, EndgameKind::KNIGHT_PAWN},
        {"8/8/4k3/8/8/3K4/3P4/8 w - - 0 1", 0, EndgameKind::KING_PAWN},
        {"8/3p4/4k3/8/8/3K4/8/8 w - - 0 1", 0, EndgameKind::KING_PAWN},
        {"8/3pp3/4k3/8/8/3K4/2B5/8 w - - 0 1", -125, EndgameKind::NONE},
        {"8/1pp5/4k3/8/8/3K4/2N5/8 w - - 0 1", -700, EndgameKind::NONE},
        {"8/8/4k3/r7/8/3K4/2RP4/8 w - - 0 1", 500, EndgameKind::ROOK_PAWN_ROOK},
        {"8/2p5/4k3/r7/8/3K4/2RN4/8 b - - 0 1", 200, EndgameKind::NONE},
        {"8/2p5/4k3/3b4/8/3K4/2R5/8 w - - 0 1", 150, EndgameKind::NONE},
        {"8/2P5/4k3/8/8/3K4/2r5/7B w - - 0 1", -150, EndgameKind::NONE},
        {"8/8/4k3/r7/8/3K4/2Q5/8 w - - 0 1", 3000, EndgameKind::NONE},
        {"8/8/4k3/q7/8/3K4/8/8 w - - 0 1", -8000, EndgameKind::NONE},
    };
    for (const Case& c : cases) {
        Position pos = evalPosition(c.fen);
        const SpecialEntry* entry = findSpecialEntry(pos.materialKey);
        if (c.score == 0 && c.evaluator == EndgameKind::NONE && pos.pieceCount > 2) {
            EXPECT_EQ(entry, nullptr) << c.fen;
            continue;
        }
        ASSERT_NE(entry, nullptr) << c.fen;
        EXPECT_EQ(entry->score, c.score) << c.fen;
        EXPECT_EQ(entry->evaluator, c.evaluator) << c.fen;
        double expectedScale = std::abs(c.score) < 2000 ? std::sqrt(std::abs(c.score) / 2000.0) : 1.0;
        EXPECT_DOUBLE_EQ(entry->scale, expectedScale) << c.fen;
    }
    EXPECT_EQ(findSpecialEntry(evalPosition(startFen).materialKey), nullptr);
    // Whether the board's material signatures put two different configurations on one slot of
    // the low 16 bits; they are kept apart either way, so this only documents the signatures.
    RecordProperty("specialSlotCollisions", specialSlotCollisions());
}

TEST(SpecialEndgames, ConfigurationsSharingASlotStayApart) {
    // Keys whose low 16 bits meet each other and a listed configuration's.
    const uint64_t listed = evalPosition("8/8/4k3/8/8/3K4/2NN4/8 w - - 0 1").materialKey;
    const uint64_t first = listed + 0x10000, second = listed + 0x20000, absent = listed + 0x30000;
    addSpecialEntry(first, 300, EndgameKind::NONE);
    addSpecialEntry(second, -700, EndgameKind::KNIGHT_PAWN);
    addSpecialEntry(first, 400, EndgameKind::NONE); // the same key again replaces its entry
    ASSERT_NE(findSpecialEntry(listed), nullptr);
    EXPECT_EQ(findSpecialEntry(listed)->score, 25);
    ASSERT_NE(findSpecialEntry(first), nullptr);
    EXPECT_EQ(findSpecialEntry(first)->score, 400);
    ASSERT_NE(findSpecialEntry(second), nullptr);
    EXPECT_EQ(findSpecialEntry(second)->score, -700);
    EXPECT_EQ(findSpecialEntry(second)->evaluator, EndgameKind::KNIGHT_PAWN);
    EXPECT_EQ(findSpecialEntry(absent), nullptr);
    initSpecialEndgames();
    EXPECT_EQ(findSpecialEntry(first), nullptr);
}

TEST(SpecialEndgames, TwoKnightsScaleThePositionalPart) {
    Position pos = evalPosition("8/8/4k3/8/8/3K4/2NN4/8 w - - 0 1");
    double scale = 0;
    EXPECT_EQ(evaluateMaterial(pos, scale), 25 * 96);
    EXPECT_DOUBLE_EQ(scale, std::sqrt(25.0 / 2000.0));
}

int completeScore(int millipawns, int phase) { return stretchScore(roundHalfAway(millipawns * 96, 960), 96 - phase); }

TEST(SpecialEndgames, BishopAndKnightMateDrivesTheKingToTheBishopsCorner) {
    // A light-square bishop (c2 is light): the mating corners are a8 and h1. The value (White's
    // view below) comes straight from the evaluator, without tempo:
    // 5000 - 200 x Manhattan distance to the nearer such corner - 80 x king distance - 40 x knight distance.
    struct Case {
        const char* fen;
        int millipawns;
    };
    const Case cases[] = {
        {"k7/8/1K6/8/8/8/2BN4/8 w - - 0 1", 5000 - 0 - 80 * 2 - 40 * 6},
        {"8/k7/2K5/8/8/8/2BN4/8 w - - 0 1", 5000 - 200 * 1 - 80 * 2 - 40 * 5},
        {"8/8/1K6/8/8/8/k1BN4/8 w - - 0 1", 5000 - 200 * 6 - 80 * 4 - 40 * 3},
        {"8/8/1K6/8/8/8/2BN4/k7 b - - 0 1", 5000 - 200 * 7 - 80 * 5 - 40 * 3},
        {"8/8/8/4k3/8/2K5/2BN4/8 w - - 0 1", 5000 - 200 * 7 - 80 * 2 - 40 * 3},
        // Black's dark-square bishop (e5 is dark) mates on a1 or h8.
        {"8/8/8/4bn2/8/8/8/K1k5 w - - 0 1", -(5000 - 0 - 80 * 2 - 40 * 5)},
    };
    for (const Case& c : cases) {
        Position pos = evalPosition(c.fen);
        int expected = completeScore(sideToMove(pos) == WHITE ? c.millipawns : -c.millipawns, pos.phase);
        EXPECT_EQ(evaluate(pos, -35000, 35000), expected) << c.fen;
    }
    // The bishop's corner beats the other corner, all else equal.
    Position right = evalPosition("k7/8/1K6/8/8/8/2BN4/8 w - - 0 1");
    Position wrong = evalPosition("8/8/8/8/8/1K6/2BN4/k7 w - - 0 1");
    EXPECT_GT(evaluate(right, -35000, 35000), evaluate(wrong, -35000, 35000));
}

TEST(SpecialEndgames, KnightAndPawnAndRookEndings) {
    double scale = -1;
    // Rook pawn on the seventh with the defending king at the corner: 5 x (10 - king distance).
    Position corner = evalPosition("7k/7P/8/8/8/3N4/8/K7 w - - 0 1");
    EXPECT_EQ(evaluateKnightPawn(corner, scale), 5 * (10 - 7));
    EXPECT_EQ(scale, 0.0);
    // Otherwise, seen from Black's side (pawn e4, three ranks to go; kings at distance 1 and 3,
    // knight at 1): 4200 + 10 x (-5 x 1 - 10 x 3 + 5 x 3 - 3 x 1), negated for Black.
    Position general = evalPosition("8/8/8/8/4p3/4kn2/8/4K3 w - - 0 1");
    EXPECT_EQ(evaluateKnightPawn(general, scale), -(4200 + 10 * (-5 * 1 - 10 * 3 + 5 * 3 - 3 * 1)));

    struct RookCase {
        const char* fen;
        double scale;
        int score;
    };
    const RookCase rookCases[] = {
        {"8/8/8/4k3/8/2P5/1R6/K6r w - - 0 1", 0.5, 500},     // defending king off the pawn's file
        {"2k5/8/7r/2P5/8/8/1R6/K7 w - - 0 1", 0.158, 50},     // king in front, pawn on c5, rook on the sixth
        {"2k5/8/8/2P5/8/7r/1R6/K7 w - - 0 1", 0.387, 300},
        {"2k5/8/2P5/8/8/8/1R5r/K7 w - - 0 1", 0.158, 50},     // pawn on c6, rook on the second rank
        {"2k5/8/2P5/8/8/7r/1R6/K7 w - - 0 1", 0.387, 300},
        {"k7/1r6/8/8/2p5/6R1/8/2K5 w - - 0 1", 0.158, -50},   // Black strong, seen from its side
    };
    for (const RookCase& c : rookCases) {
        Position pos = evalPosition(c.fen);
        EXPECT_EQ(evaluateRookPawnRook(pos, scale), c.score) << c.fen;
        EXPECT_DOUBLE_EQ(scale, c.scale) << c.fen;
    }
}

TEST(MaterialScaling, DrawishnessFactors) {
    struct Case {
        const char* fen;
        double factor; // beyond the scale by phase, or absolute when `absolute`
        bool absolute;
    };
    const Case cases[] = {
        // Queen against bishop and knight: piece weights 9 and 6 (in pawns) differ by 3.
        {"4k3/8/8/3bn3/8/8/8/3QK3 w - - 0 1", 0.2, false},
        // Queen against two rooks: 9 against 10.
        {"r3k2r/8/8/8/8/8/8/3QK3 w - - 0 1", 0.1, false},
        // Two rooks and a knight against a rook: 13 against 5, no pawns: unchanged.
        {"4k3/8/8/3r4/8/8/8/2NRK2R w - - 0 1", 1.0, false},
        // Queen against rook and bishop: 9 against 68 / 8 = 8.
        {"4k3/8/8/3rb3/8/8/8/3QK3 w - - 0 1", 0.1, false},
        // Rook and bishop against a bishop of the other shade: x 0.95, and 8 - 3 = 5 leaves it.
        {"4k3/8/8/3b4/8/8/8/2BRK3 w - - 0 1", 0.95, false},
        // A leading side without pawns against pawns: 0.4.
        {"4k3/pp6/8/8/8/8/8/3RK3 w - - 0 1", 0.4, false},
        // Pawns only: 1.3, then the leader's pawn count (White, 2 pawns): 0.7.
        {"4k3/p7/8/8/8/8/PP6/4K3 w - - 0 1", 1.3 * 0.7, true},
        // Opposite bishops alone with pawns: 0.6, then White leads with 3 pawns: 0.8.
        {"4k3/pp1b4/8/8/8/8/PPP5/2B1K3 w - - 0 1", 0.6 * 0.8, true},
        // Opposite bishops with more pieces: x 0.95, and 5+ pawns leave it there.
        {"3rk3/pppppb2/8/8/8/8/PPPPPP2/2BRK3 w - - 0 1", 0.95, false},
        // Balanced material: White counts as leading, with 4 pawns: 0.9.
        {"4k3/pppp4/8/8/8/8/PPPP4/4K3 w - - 0 1", 1.3 * 0.9, true},
    };
    for (const Case& c : cases) {
        double expected = c.absolute ? c.factor : phaseScale(c.fen) * c.factor;
        EXPECT_NEAR(materialScale(c.fen), expected, 1e-12) << c.fen;
    }
}

TEST(MaterialScaling, ImbalanceTermsAndThePhaseBlend) {
    // Two rooks and five pawns against five pawns, phase 16 -> material phase 19.
    //   White: 5 x (620, 950) + 2 x (4600, 5750) - (210, 120) once for the pair = (12090, 16130)
    //          + (620, 250) for a piece majority of two;   Black: 5 x (620, 950) = (3100, 4750)
    //   D = (9610, 11630); M0 = 11630 x 77 + 9610 x 19.
    Position rooks = evalPosition("4k3/ppppp3/8/8/8/8/PPPPP3/R3K2R w - - 0 1");
    EXPECT_EQ(materialBalance(rooks), 11630 * 77 + 9610 * 19);
    // Knights gain and rooks lose with every own pawn above five; a bishop beats a knight as the
    // extra minor piece: N + 7 pawns against 6 pawns, then B + 7 against 6.
    Position knight = evalPosition("4k3/pppppp2/8/8/8/8/PPPPPPP1/1N2K3 w - - 0 1");
    Position bishop = evalPosition("4k3/pppppp2/8/8/8/8/PPPPPPP1/2B1K3 w - - 0 1");
    int p = materialPhaseCurve[2], q = materialPhaseCurve[3];
    EXPECT_EQ(materialBalance(knight), (950 + 3300 + 2 * 22 - 50) * (96 - p) + (620 + 3300 + 2 * 22 - 25) * p);
    EXPECT_EQ(materialBalance(bishop), (950 + 3425 + 50) * (96 - q) + (620 + 3425 + 25) * q);
}
} // namespace
