// The evaluation's derived tables and the search tables built with them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "board/psqt.h"
#include "eval/caches.h"
#include "eval/eval_tables.h"
#include "eval/evaluate.h"
#include "search/search_tables.h"
#include "search/thread_data.h"
#include "tt/tt.h"
#include "uci/settings.h"

namespace {
// Restores the options the rebuild reads, and the tables, after a test changed them.
class OptionGuard {
  public:
    OptionGuard() : kingSafety(optKingSafety), selectivity(optSelectivity), reduction(optReduction) {}
    ~OptionGuard() {
        optKingSafety = kingSafety;
        optSelectivity = selectivity;
        optReduction = reduction;
        buildEvaluationTables();
    }

  private:
    int kingSafety, selectivity, reduction;
};

TEST(DriverTables, TempoSpanAndPhaseCurves) {
    EXPECT_EQ(tempoBonus[0], 50);
    EXPECT_EQ(tempoBonus[96], 116);
    EXPECT_EQ(tempoBonus[48], 83);
    for (int p = 1; p <= 96; ++p) EXPECT_GE(tempoBonus[p], tempoBonus[p - 1]);

    const int spanEg[9] = {-32, -30, -24, -14, 0, 18, 36, 54, 72};
    for (int i = 0; i <= 8; ++i) EXPECT_EQ(spanBonus[i], pack(0, spanEg[i])) << "span " << i;

    EXPECT_EQ(pawnSpanTable[0], 0);
    EXPECT_EQ(pawnSpanTable[0x01], 1);
    EXPECT_EQ(pawnSpanTable[0x81], 8);
    EXPECT_EQ(pawnSpanTable[0x18], 2);
    EXPECT_EQ(pawnSpanTable[0x24], 4);

    struct Point {
        int p, curve;
    };
    for (Point pt : {Point{0, 0}, Point{1, 1}, Point{5, 6}, Point{16, 19}, Point{32, 38}, Point{33, 39},
                     Point{64, 67}, Point{96, 96}})
        EXPECT_EQ(materialPhaseCurve[pt.p], pt.curve) << "phase " << pt.p;
    EXPECT_DOUBLE_EQ(scaleByPhase[0], 0.95);
    EXPECT_DOUBLE_EQ(scaleByPhase[96], 1.15);
}

TEST(PieceSquareTables, HandValuesAndColourMirror) {
    // Knight on a8: scale (20, 11) x base (-55, -40); Black's knight on a1 is its negation.
    EXPECT_EQ(pieceSquareTable[WHITE][KNIGHT][56], pack(-1100, -440));
    EXPECT_EQ(pieceSquareTable[BLACK][KNIGHT][0], pack(1100, 440));
    // King on g1: (10, 12) x (0, -80); queen in the centre (6, 8) x 9; rook on d7 (11, 14) x (7, 2).
    EXPECT_EQ(pieceSquareTable[WHITE][KING][6], pack(0, -960));
    EXPECT_EQ(pieceSquareTable[WHITE][QUEEN][27], pack(54, 72));
    EXPECT_EQ(pieceSquareTable[WHITE][QUEEN][0], pack(-36, -48));
    EXPECT_EQ(pieceSquareTable[WHITE][QUEEN][18], pack(30, 40));
    EXPECT_EQ(pieceSquareTable[WHITE][ROOK][51], pack(77, 28));
    EXPECT_EQ(pieceSquareTable[WHITE][ROOK][52], pack(66, 28)); // e7 differs from d7 in the base
    // Pawns: e4 = (8 x (7 + 2) + 8 x 2, 8 x (-5 + 2) / 2); a6 = (8 x (-13 + 6) - 4 x 6, 8 x (1 + 6) / 2).
    EXPECT_EQ(pieceSquareTable[WHITE][PAWN][28], pack(88, -12));
    EXPECT_EQ(pieceSquareTable[WHITE][PAWN][40], pack(-80, 28));
    EXPECT_EQ(pieceSquareTable[WHITE][PAWN][18], pack(16, -12)); // c3: 8 x 2 + 4 x 0
    for (Square s = 0; s < 8; ++s) {
        EXPECT_EQ(pieceSquareTable[WHITE][PAWN][s], 0u);
        EXPECT_EQ(pieceSquareTable[WHITE][PAWN][s + 56], 0u);
        EXPECT_EQ(pieceSquareTable[BLACK][PAWN][s], 0u);
        EXPECT_EQ(pieceSquareTable[BLACK][PAWN][s + 56], 0u);
    }
    for (int t = PAWN; t <= KING; ++t)
        for (Square s = 0; s < 64; ++s)
            EXPECT_EQ(pieceSquareTable[BLACK][t][s ^ 56], packedNeg(pieceSquareTable[WHITE][t][s]))
                << "type " << t << " square " << s;
}

TEST(SearchTables, FormulasAtTheirEdges) {
    for (int d = 0; d < 64; ++d)
        for (int i = 0; i < 2; ++i) {
            EXPECT_EQ(lmrNonPV[i][d][0], 0);
            EXPECT_EQ(lmrNonPV[i][0][d], 0);
            EXPECT_EQ(lmrPV[i][d][0], 0);
            EXPECT_EQ(lmrPV[i][0][d], 0);
        }
    // Depth 63, move 63 with Reduction 0: 2 x (ln 63 x ln 63 / 2.25 + 0.2) = 15.28...
    EXPECT_EQ(lmrNonPV[0][63][63], int(2 * (std::log(63.0) * std::log(63.0) / 2.25 + 0.2)));
    EXPECT_EQ(lmrNonPV[1][63][63], int(2 * (std::log(63.0) * std::log(63.0) / 2.5)));
    EXPECT_EQ(lmrPV[0][63][63], int(2 * (std::log(63.0) * std::log(63.0) / 3.5 + 0.2)));
    EXPECT_EQ(lmrPV[1][63][63], int(2 * (std::log(63.0) * std::log(63.0) / 3.75)));
    // Small products fall below 2 half-plies and are stored as 0, never as 1.
    for (int i = 0; i < 2; ++i)
        for (int d = 1; d < 64; ++d)
            for (int n = 1; n < 64; ++n) {
                EXPECT_NE(lmrNonPV[i][d][n], 1);
                EXPECT_NE(lmrPV[i][d][n], 1);
            }
    EXPECT_EQ(lmrNonPV[0][2][2], 0);

    EXPECT_EQ(lateMoveCount[0], 0);
    EXPECT_EQ(lateMoveCount[5], 5);    // 250 / 80 = 3 < 5
    EXPECT_EQ(lateMoveCount[25], 78);  // 6250 / 80
    EXPECT_EQ(futilityBase[0], 60);
    EXPECT_EQ(futilityBase[1], 60);
    EXPECT_EQ(futilityBase[2], 62);
    EXPECT_EQ(futilityBase[23], 60 + 2 * 22 * 22);

    struct Value {
        int phase, type, centipawns;
    };
    for (Value v : {Value{0, PAWN, 95}, Value{96, PAWN, 62}, Value{0, KNIGHT, 330}, Value{96, KNIGHT, 330},
                    Value{0, BISHOP, 357}, Value{96, BISHOP, 367}, Value{0, ROOK, 575}, Value{96, ROOK, 460},
                    Value{0, QUEEN, 1015}, Value{96, QUEEN, 955}, Value{50, KING, 10000}, Value{50, 0, 0}})
        EXPECT_EQ(quiescencePieceValue[v.phase][v.type], v.centipawns) << "phase " << v.phase << " type " << v.type;
}

TEST(Rebuild, SelectivityAndReductionChangeOnlyTheirTables) {
    OptionGuard guard;
    auto snapshotEval = [] {
        const PackedScore* pst = &pieceSquareTable[0][0][0];
        std::vector<PackedScore> out(pst, pst + sizeof(pieceSquareTable) / sizeof(PackedScore));
        out.insert(out.end(), std::begin(spanBonus), std::end(spanBonus));
        for (int t : tempoBonus) out.push_back(PackedScore(t));
        return out;
    };
    std::vector<PackedScore> evalBefore = snapshotEval();
    int lmrBefore = lmrNonPV[0][20][20], lateBefore = lateMoveCount[20];

    optReduction = 100;
    buildEvaluationTables();
    EXPECT_GT(lmrNonPV[0][20][20], lmrBefore);
    EXPECT_EQ(lmrNonPV[0][20][20], int(2 * (std::log(20.0) * std::log(20.0) / 1.25 + 0.2)));
    EXPECT_EQ(lateMoveCount[20], lateBefore);
    EXPECT_EQ(snapshotEval(), evalBefore);

    optSelectivity = 10;
    buildEvaluationTables();
    EXPECT_EQ(lateMoveCount[20], 400);
    EXPECT_EQ(snapshotEval(), evalBefore);
}

TEST(Rebuild, EmptiesPawnCachesAndClearsAUsedTranspositionTable) {
    OptionGuard guard;
    PawnEntry* pawns = threadLinks[0].pawnCache;
    MaterialEntry* material = threadLinks[0].materialCache;
    ASSERT_NE(pawns, nullptr);
    pawns[0].key = 0x1234;
    pawns[pawnCacheMask].key = 0x5678;
    material[0].key = 0x9abc;
    ttDirty = true;
    buildEvaluationTables();
    EXPECT_EQ(pawns[0].key, 0u);
    EXPECT_EQ(pawns[pawnCacheMask].key, 0u);
    EXPECT_EQ(material[0].key, 0x9abcu) << "the material cache is kept";
    EXPECT_FALSE(ttDirty);
    material[0].key = 0;
}

TEST(Caches, SizesFollowTableMemoryAndThreads) {
    struct Case {
        int megabytes, threads;
        uint64_t material, pawn, eval;
    };
    const Case cases[] = {
        {64, 1, 65536, 524288, 2097152},
        {1, 1, 1024, 8192, 32768},
        {1, 64, 16, 128, 512},
        {256, 3, 65536, 524288, 4194304},
    };
    for (const Case& c : cases) {
        CacheSizes s = evaluationCacheSizes(c.megabytes, c.threads);
        EXPECT_EQ(s.material, c.material) << c.megabytes << " MB, " << c.threads << " threads";
        EXPECT_EQ(s.pawn, c.pawn) << c.megabytes << " MB, " << c.threads << " threads";
        EXPECT_EQ(s.eval, c.eval) << c.megabytes << " MB, " << c.threads << " threads";
    }
    // Degenerate requests still give every cache at least one entry.
    CacheSizes tiny = evaluationCacheSizes(0, 1000);
    EXPECT_GE(tiny.material, 1u);
    EXPECT_GE(tiny.pawn, 1u);
    EXPECT_GE(tiny.eval, 1u);
}

TEST(Caches, AllocationLinksEveryThreadAndSetsTheMasks) {
    allocateEvaluationCaches(3, 4);
    CacheSizes s = evaluationCacheSizes(4, 3);
    EXPECT_EQ(evalCacheMask, s.eval - 1);
    EXPECT_EQ(pawnCacheMask, s.pawn - 1);
    EXPECT_EQ(materialCacheMask, s.material - 1);
    for (int i = 0; i < 3; ++i) {
        ASSERT_NE(threadLinks[i].evalCache, nullptr);
        ASSERT_NE(threadLinks[i].pawnCache, nullptr);
        ASSERT_NE(threadLinks[i].materialCache, nullptr);
        EXPECT_EQ(threadLinks[i].evalCache[evalCacheMask].key, 0u);
        EXPECT_EQ(threadLinks[i].pawnCache[pawnCacheMask].key, 0u);
    }
    EXPECT_NE(threadLinks[0].pawnCache, threadLinks[1].pawnCache);
    allocateEvaluationCaches(1, optTableMemory);
    EXPECT_EQ(threadLinks[1].evalCache, nullptr);
    EXPECT_EQ(threadLinks[2].pawnCache, nullptr);
    EXPECT_NE(threadLinks[0].evalCache, nullptr);
}
} // namespace
