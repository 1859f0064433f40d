// Mobility, placement, passed-pawn and threat terms of the piece pass on small positions. The
// expected values are written as the table entries and weights that apply, worked out by hand
// (which squares count, which rule fires); the curve entries themselves are pinned first.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "eval/caches.h"
#include "eval/pawns.h"
#include "eval/pieces.h"
#include "eval/term_tables.h"
#include "test_support.h"

namespace {

using Pair = std::pair<int, int>;

Pair pairOf(PackedScore s) { return {mgOf(s), egOf(s)}; }

PackedScore sum(std::initializer_list<PackedScore> parts) {
    PackedScore total = 0;
    for (PackedScore p : parts) total = packedAdd(total, p);
    return total;
}

class PieceTermsTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        initTermTables();
        buildTermTables();
    }
    // The piece-pass terms of a position, computed without caches. With withPhase the phase is
    // set as the search driver would set it (a position read from FEN has phase 0).
    static PieceTerms termsOf(const std::string& fen, bool withPhase = false) {
        Position pos = positionFromFen(fen);
        pos.pawnCache = nullptr;
        if (withPhase) pos.phase = int16_t(computePhase(pos));
        const PawnEntry* entry = nullptr;
        evaluatePawns(pos, entry);
        const PawnEntry copy = *entry;
        PackedScore white = 0, black = 0;
        PieceTerms terms{};
        evaluatePieces(pos, copy, white, black, &terms);
        return terms;
    }
};

TEST_F(PieceTermsTest, CurvesMatchTheirDefinitions) {
    // Each mobility curve passes through 0 at its centre count.
    EXPECT_EQ(pairOf(knightMobility[9]), Pair(0, 0));
    EXPECT_EQ(pairOf(bishopMobility[7]), Pair(0, 0));
    EXPECT_EQ(pairOf(rookMobility[6]), Pair(0, 0));
    EXPECT_EQ(queenMobility[10] >> 32, 0u); // middlegame centre 10, endgame centre 14
    EXPECT_EQ(egOf(queenMobility[14]), 0);
    // Values of F(x) - F(N) with F(x, N, s) = trunc(s (sqrt(x + 1.5) - sqrt 1.5) / (sqrt(N + 2) - sqrt(N + 1))).
    EXPECT_EQ(pairOf(knightMobility[0]), Pair(-496, -378));
    EXPECT_EQ(pairOf(knightMobility[12]), Pair(107, 82));
    EXPECT_EQ(pairOf(bishopMobility[0]), Pair(-335, -315));
    EXPECT_EQ(pairOf(bishopMobility[13]), Pair(176, 166));
    EXPECT_EQ(pairOf(bishopPawnMobility[0]), Pair(-206, -297));
    EXPECT_EQ(pairOf(rookMobility[13]), Pair(105, 199));
    EXPECT_EQ(pairOf(queenMobility[27]), Pair(396, 331));

    EXPECT_EQ(pairOf(threatCount[1]), Pair(100, 110));
    EXPECT_EQ(pairOf(threatCount[2]), Pair(400, 440));
    EXPECT_EQ(pairOf(threatCount[3]), Pair(500, 550));
    EXPECT_EQ(pairOf(passerBase[5]), Pair(800, 884));
    EXPECT_EQ(pairOf(candidatePasser[WHITE][makeSquare(3, 6)]), Pair(640, 1009)); // (931, 1468) x 11/16
    EXPECT_EQ(pairOf(supportedPasser[BLACK][makeSquare(3, 1)]), Pair(232, 367));  // (931, 1468) x 4/16
    EXPECT_EQ(pairOf(passerOwnKingGrid[5][7]), Pair(0, -1535));
    EXPECT_EQ(pairOf(passerEnemyKingGrid[5][6]), Pair(0, 2633));
    EXPECT_EQ(sqrtGrid[3][6], 51);
    EXPECT_EQ(pairOf(knightKingDistance[1]), Pair(32, 16));
    EXPECT_EQ(pairOf(passerKingCloseness[0]), Pair(0, 351));
}

// ---- Mobility and placement --------------------------------------------------------------------

struct PieceCase {
    const char* name;
    const char* fen;
    PackedScore expected; // White's placement and mobility
};

TEST_F(PieceTermsTest, PinnedPiecesInMobility) {
    const PackedScore safe = pieceSafeFromPawns[1];
    // A bishop without own pawns: (-34, -24) x (0 - 2) on its shade and (16, 20) x (0 - 2) on the other.
    const PackedScore noPawnShades = pack(68 - 32, 48 - 40);
    const PieceCase cases[] = {
        // Nd2 pinned by Bb4 against Ke1: curve[0] whatever it attacks; one step from its king.
        {"pinned knight", "7k/8/8/8/1b6/8/3N4/4K3 w - - 0 1",
         sum({knightMobility[0], knightKingDistance[1], safe})},
        // Unpinned it reaches b1 b3 c4 e4 f1 f3, the four on higher ranks twice: 10.
        {"free knight", "7k/8/8/1b6/8/8/3N4/4K3 w - - 0 1",
         sum({knightMobility[10], knightKingDistance[1], safe})},
        // Bc3 pinned by Bf6 against Ka1: only b2 counts. Seen through pawns only it has 11 squares.
        {"bishop pinned on its diagonal", "7k/8/5b2/8/8/2B5/8/K7 w - - 0 1",
         sum({bishopPawnMobility[11], bishopMobility[1], noPawnShades, safe})},
        // Bd1 pinned by Ra1 against Ke1: no square lies between it and the king.
        {"bishop pinned on a rank", "7k/8/8/8/8/8/8/r2BK3 w - - 0 1",
         sum({bishopPawnMobility[7], bishopMobility[0], noPawnShades, safe})},
    };
    for (const PieceCase& c : cases) EXPECT_EQ(pairOf(termsOf(c.fen).pieces[WHITE]), pairOf(c.expected)) << c.name;
}

TEST_F(PieceTermsTest, RookFileAndRankTerms) {
    const PackedScore rook = pack(23, 7), safe = pieceSafeFromPawns[1];
    const PieceCase cases[] = {
        // Rd1 with Kh1: d2..d8 and a1..g1, 13 squares; no pawn on the file.
        {"open file", "k7/8/8/8/8/8/8/3R3K w - - 0 1", sum({rook, pack(172, 160), rookMobility[13], safe})},
        // d6 defended by c7: half-open against a defended pawn; d6 itself is guarded by a pawn,
        // so d2..d5 and the rank count (10), and d1 lies in the pawns' reach.
        {"half-open, enemy pawn defended", "k7/2p5/3p4/8/8/8/8/3R3K w - - 0 1",
         sum({rook, pack(30, 59), rookMobility[10]})},
        {"half-open, enemy pawn weak", "k7/8/3p4/8/8/8/8/3R3K w - - 0 1",
         sum({rook, pack(110, 96), rookMobility[11], safe})},
        // Own pawn on the file: no file term; d2 is not a square to count.
        {"own pawn on the file", "k7/8/8/8/8/8/3P4/3R3K w - - 0 1", sum({rook, rookMobility[6], safe})},
        // Seventh rank with the enemy king on the eighth, on an open file, 14 squares.
        {"seventh rank", "k7/3R4/8/8/8/8/8/7K w - - 0 1",
         sum({rook, pack(61, 167), pack(172, 160), rookMobility[14], safe})},
    };
    for (const PieceCase& c : cases) EXPECT_EQ(pairOf(termsOf(c.fen).pieces[WHITE]), pairOf(c.expected)) << c.name;
}

TEST_F(PieceTermsTest, BishopPawnShades) {
    // Bc1 (dark) with Ke1; its diagonals stay empty (7 squares either way).
    const PackedScore bishop = sum({bishopPawnMobility[7], bishopMobility[7], pieceSafeFromPawns[1]});
    const PieceCase cases[] = {
        // three own pawns on dark squares: (-34,-24) x 1; none on light: (16,20) x (-2)
        {"three on its shade", "4k3/8/8/8/7P/6P1/7P/2B1K3 w - - 0 1", packedAdd(bishop, pack(-34 - 32, -24 - 40))},
        {"two on its shade", "4k3/8/8/8/8/6P1/7P/2B1K3 w - - 0 1", packedAdd(bishop, pack(-32, -40))},
        {"one on its shade", "4k3/8/8/8/8/8/7P/2B1K3 w - - 0 1", packedAdd(bishop, pack(34 - 32, 24 - 40))},
        {"three on the other shade", "4k3/8/8/8/6P1/7P/6P1/2B1K3 w - - 0 1", packedAdd(bishop, pack(68 + 16, 48 + 20))},
        // The pair against no enemy bishop: each bishop's own-shade term counts twice.
        {"bishop pair", "4k3/8/8/8/7P/6P1/7P/2B1KB2 w - - 0 1",
         sum({bishop, bishop, pack(-34 - 32 - 34, -24 - 40 - 24), pack(68 + 16 + 68, 48 + 20 + 48)})},
    };
    for (const PieceCase& c : cases) EXPECT_EQ(pairOf(termsOf(c.fen).pieces[WHITE]), pairOf(c.expected)) << c.name;
}

TEST_F(PieceTermsTest, KnightOutpostUnchallengeableOnlyWithoutMatchingMinor) {
    // Nd5 guarded by e4, no enemy pawn to chase it: outpost, pawn-defended, safe from pawns;
    // 8 squares, 4 of them ahead (12); distance 4 to Kb1.
    const PackedScore outpost = sum({knightMobility[12], knightKingDistance[4], knightOutpost[1],
                                     pieceSafeFromPawns[1], pawnDefendedPiece[1]});
    EXPECT_EQ(pairOf(termsOf("7k/8/b7/3N4/4P3/8/8/1K6 w - - 0 1").pieces[WHITE]), pairOf(outpost))
        << "enemy bishop on the knight's (light) shade";
    EXPECT_EQ(pairOf(termsOf("7k/b7/8/3N4/4P3/8/8/1K6 w - - 0 1").pieces[WHITE]),
              pairOf(packedAdd(outpost, pack(210, 120))))
        << "enemy bishop on the other shade";
}

// ---- Passed pawns ------------------------------------------------------------------------------

struct PassedCase {
    const char* name;
    const char* fen;
    bool withPhase;
    Pair white, black;
};

TEST_F(PieceTermsTest, PassedPawnTerms) {
    const PassedCase cases[] = {
        // d7, Kb1 7 from d8, Kh2 6 from it; d8 free and unguarded by White; nothing of White on it:
        // base (800,884), own king (0,-1535), enemy king (0,2633), free (200,1200), no blocker (20,60)
        {"seventh rank, free path", "8/3P4/8/8/8/8/7k/1K6 w - - 0 1", false, {1020, 3242}, {0, 0}},
        // Rd1 behind the pawn (60,300); Ke8 next to d8 earns (0,125) for Black and guards the path
        // (no path bonus); enemy king at distance 1 (0,663)
        {"rook behind, king at the promotion square", "4k3/3P4/8/8/8/8/8/1K1R4 b - - 0 1", false,
         {800 + 60 + 20, 884 - 1535 + 300 + 663 + 60}, {0, 125}},
        // Ke7 guards d8 and stands next to it: defended free path (240,1280), (0,125), own king
        // at distance 1 (0,-347); Kh1 7 away (0,2925)
        {"path guarded by the own king", "8/3PK3/8/8/8/8/8/7k w - - 0 1", false,
         {800 + 240 + 20, 884 - 347 + 125 + 2925 + 1280 + 60}, {0, 0}},
        // d6 (i = 4): d7 hit by Bf5 and covered by Ra7: contested (120,456), no blocker (12,36);
        // base (480,578), own king 6 away (0,-828), enemy king 4 away (0,1187)
        {"contested path", "8/R7/3P4/5b2/8/7k/8/K7 w - - 0 1", false,
         {480 + 120 + 12, 578 - 828 + 1187 + 456 + 36}, {0, 0}},
        // fourth rank (i = 2): base (80,170), own king 4 away (0,-103), enemy king 4 away (0,198),
        // free path (20,120), no blocker (2,6)
        {"fourth rank, free path", "7k/8/8/8/3P4/8/8/1K6 w - - 0 1", false, {102, 391}, {0, 0}},
        // the enemy rook behind the pawn sees through it: every path square is unsafe
        {"enemy rook behind the pawn", "7k/8/8/8/3P4/8/3r4/1K6 w - - 0 1", false, {82, 271}, {0, 0}},
        // third rank: the base value alone
        {"third rank", "7k/8/8/8/8/3P4/8/1K6 w - - 0 1", false, {0, 68}, {0, 0}},
        {"third rank, queen ending", "3qk3/8/8/8/8/3P4/8/3QK3 w - - 0 1", true, {0, 82}, {0, 0}},
    };
    for (const PassedCase& c : cases) {
        const PieceTerms t = termsOf(c.fen, c.withPhase);
        EXPECT_EQ(pairOf(t.passedPawns[WHITE]), c.white) << c.name;
        EXPECT_EQ(pairOf(t.passedPawns[BLACK]), c.black) << c.name;
    }
}

// ---- Threats -----------------------------------------------------------------------------------

struct ThreatCase {
    const char* name;
    const char* fen;
    PackedScore white, black;
};

TEST_F(PieceTermsTest, ThreatTerms) {
    const ThreatCase cases[] = {
        // Nd5 hits Rc7: one strong threat, nothing hanging: threatCount[1] + threatCount[1 + 0]
        {"knight attacks a rook", "7k/2r5/8/3N4/8/8/8/1K6 w - - 0 1", packedAdd(threatCount[1], threatCount[1]), 0},
        // The rook is defended by Bd8 and by no pawn: (30,37) more
        {"rook defended by a piece only", "3b3k/2r5/8/3N4/8/8/8/1K6 w - - 0 1",
         sum({threatCount[1], threatCount[1], attackedDefendedByPieces[1]}), 0},
        // Rd1 hits the undefended Nd6: no strong threat, one hanging piece
        {"rook attacks a hanging knight", "7k/8/3n4/8/8/8/8/1K1R4 w - - 0 1", packedAdd(threatCount[0], threatCount[1]),
         0},
        // d4 hits Nc5 (strong threat) and is itself defended by nothing
        {"pawn attacks a knight", "7k/8/8/2n5/3P4/8/8/1K6 w - - 0 1",
         sum({threatCount[1], threatCount[1], undefendedPawns[1]}), 0},
        // a2 is undefended, b3 is defended by a2
        {"undefended pawns", "7k/8/8/8/8/1P6/P7/7K w - - 0 1", undefendedPawns[1], 0},
    };
    for (const ThreatCase& c : cases) {
        const PieceTerms t = termsOf(c.fen);
        EXPECT_EQ(pairOf(t.threats[WHITE]), pairOf(c.white)) << c.name;
        EXPECT_EQ(pairOf(t.threats[BLACK]), pairOf(c.black)) << c.name;
    }
}

TEST_F(PieceTermsTest, SumsAreAddedToTheCallersTotalsAndMatchTheSplit) {
    Position pos = positionFromFen("r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP1B1PPP/R2QKB1R w KQ - 0 8");
    pos.pawnCache = nullptr;
    const PawnEntry* entry = nullptr;
    evaluatePawns(pos, entry);
    const PawnEntry copy = *entry;
    PackedScore white = pack(1000, -1000), black = pack(-7, 7);
    PieceTerms t{};
    evaluatePieces(pos, copy, white, black, &t);
    for (int c = WHITE; c <= BLACK; ++c) {
        const PackedScore start = c == WHITE ? pack(1000, -1000) : pack(-7, 7);
        const PackedScore total = sum({start, t.pieces[c], t.threats[c], t.kingSafety[c], t.passedPawns[c]});
        EXPECT_EQ(pairOf(c == WHITE ? white : black), pairOf(total));
    }
    // Without the split the sums are the same.
    PackedScore white2 = pack(1000, -1000), black2 = pack(-7, 7);
    evaluatePieces(pos, copy, white2, black2);
    EXPECT_EQ(white2, white);
    EXPECT_EQ(black2, black);
}

// The same position with ranks mirrored, colours swapped and the other side to move.
std::string flipFen(const std::string& fen) {
    std::istringstream in(fen);
    std::string placement, side, castling, ep;
    in >> placement >> side >> castling >> ep;
    std::vector<std::string> ranks;
    std::stringstream ps(placement);
    for (std::string rank; std::getline(ps, rank, '/');) ranks.push_back(rank);
    std::reverse(ranks.begin(), ranks.end());
    std::string out;
    for (const std::string& rank : ranks) {
        if (!out.empty()) out += '/';
        for (char ch : rank) out += std::isupper(ch) ? char(std::tolower(ch)) : char(std::toupper(ch));
    }
    std::string flippedCastling;
    for (char ch : castling)
        flippedCastling += ch == '-' ? ch : std::isupper(ch) ? char(std::tolower(ch)) : char(std::toupper(ch));
    if (ep != "-") ep[1] = ep[1] == '3' ? '6' : '3';
    return out + (side == "w" ? " b " : " w ") + flippedCastling + " " + ep + " 0 1";
}

TEST_F(PieceTermsTest, EveryTermIsColourSymmetric) {
    const char* fens[] = {
        "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
        "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
        "r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP1B1PPP/R2QKB1R w KQ - 0 8",
        "2r3k1/1q3pp1/p3p2p/1p1nP3/3P4/P2B1QP1/1P3P1P/2R3K1 b - - 0 25",
        "8/5pk1/6p1/1R6/4P3/5PK1/r7/8 w - - 0 45",
        "6k1/1P3ppp/8/3pP3/2b5/5N2/5PPP/3R2K1 w - d6 0 30",
        "r2q1rk1/1b2bppp/p1n1pn2/1p6/3P4/P1NBBN2/1P3PPP/R2Q1RK1 w - - 0 13",
        "4k3/8/8/7Q/Q7/8/8/1K6 b - - 0 1",
        "3qk3/2P5/8/8/8/8/5p2/3QK3 w - - 0 1",
        "1k6/pp6/8/8/2N5/8/5PPP/3R2K1 w - - 0 1",
    };
    for (const char* fen : fens) {
        const std::string flipped = flipFen(fen);
        for (bool withPhase : {false, true}) {
            const PieceTerms a = termsOf(fen, withPhase), b = termsOf(flipped, withPhase);
            for (int c = WHITE; c <= BLACK; ++c) {
                EXPECT_EQ(pairOf(a.pieces[c]), pairOf(b.pieces[1 - c])) << fen;
                EXPECT_EQ(pairOf(a.threats[c]), pairOf(b.threats[1 - c])) << fen;
                EXPECT_EQ(pairOf(a.kingSafety[c]), pairOf(b.kingSafety[1 - c])) << fen;
                EXPECT_EQ(pairOf(a.passedPawns[c]), pairOf(b.passedPawns[1 - c])) << fen;
            }
        }
        Position pa = positionFromFen(fen), pb = positionFromFen(flipped);
        pa.pawnCache = pb.pawnCache = nullptr;
        const PawnEntry* ea = nullptr;
        const PackedScore sa = evaluatePawns(pa, ea);
        const PawnEntry entryA = *ea;
        const PawnEntry* eb = nullptr;
        const PackedScore sb = evaluatePawns(pb, eb);
        EXPECT_EQ(pairOf(sa), pairOf(packedNeg(sb))) << fen;
        for (int c = WHITE; c <= BLACK; ++c) {
            EXPECT_EQ(entryA.cover[c], eb->cover[1 - c]) << fen;
            EXPECT_EQ(entryA.span[c], eb->span[1 - c]) << fen;
            std::vector<int> mine, mirrored;
            for (int i = 0; i < 8 && entryA.passed[c][i]; ++i) mine.push_back(entryA.passed[c][i]);
            for (int i = 0; i < 8 && eb->passed[1 - c][i]; ++i) mirrored.push_back(flipRank(eb->passed[1 - c][i]));
            std::sort(mine.begin(), mine.end());
            std::sort(mirrored.begin(), mirrored.end());
            EXPECT_EQ(mine, mirrored) << fen;
        }
        // The blocked-structure flag is not symmetric by its own rule (it looks at Black's pawns
        // against White's), so it is not compared.
    }
}

} // namespace
