// Pawn structure, passed and candidate pawns, king pawn cover and the pawn cache, on small
// positions whose values are worked out by hand from the weights.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "board/attacks.h"
#include "eval/caches.h"
#include "eval/pawns.h"
#include "eval/pieces.h"
#include "test_support.h"

namespace {

using Pair = std::pair<int, int>;

Pair pairOf(PackedScore s) { return {mgOf(s), egOf(s)}; }

Square squareOf(const std::string& name) { return makeSquare(name[0] - 'a', name[1] - '1'); }

// "d2 d3" -> bitboard; flipped = mirrored vertically, for the same case seen from Black.
Bitboard squares(const std::string& names, bool flipped = false) {
    std::istringstream in(names);
    Bitboard b = 0;
    for (std::string name; in >> name;) b |= 1ULL << (flipped ? flipRank(squareOf(name)) : squareOf(name));
    return b;
}

class PawnTermsTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        initTermTables();
        buildTermTables();
    }
    static PackedScore pawnScore(const std::string& fen, const PawnEntry** entryOut = nullptr) {
        Position pos = positionFromFen(fen);
        pos.pawnCache = nullptr;
        const PawnEntry* entry = nullptr;
        PackedScore score = evaluatePawns(pos, entry);
        if (entryOut) *entryOut = entry;
        return score;
    }
};

// ---- Structure weights -----------------------------------------------------------------------

struct StructureCase {
    const char* name;
    const char* own;   // White's pawns
    const char* enemy; // Black's pawns
    Pair expected;     // White's structure value
};

TEST_F(PawnTermsTest, StructureWeightsOnSmallFixturesForBothColours) {
    const StructureCase cases[] = {
        // doubled (-37,-58), front undefended (-36,-44), doubled isolated unopposed (-25,-48),
        // 4 controlled squares (24,32), two isolated unopposed (-236,-270)
        {"doubled and isolated, unopposed", "d2 d3", "", {-310, -388}},
        // the same with an enemy pawn on the file: doubled isolated opposed (-14,-7), two
        // isolated opposed (-62,-64)
        {"doubled and isolated, opposed", "d2 d3", "d6", {-125, -141}},
        {"isolated, unopposed", "d4", "", {12 - 118, 16 - 135}},
        {"isolated, opposed", "d4", "d6", {12 - 31, 16 - 32}},
        // two phalanx pawns (44,44), 4 controlled squares
        {"phalanx", "c3 d3", "", {68, 76}},
        // d4: defended and in a phalanx; c3 is backward but its stop square is neither attacked
        // nor occupied, so it costs nothing
        {"defended phalanx", "c3 d4 e4", "", {36 + 44 + 34 + 1, 48 + 44 + 29 - 8}},
        // d3 backward, stop square d4 attacked by c5 with the file ahead empty: covered
        // (-35,-31) and half-open (-53,-94); e4 defended (34,29)
        {"backward on a half-open file", "d3 e4", "c5", {24 + 34 - 35 - 53, 32 + 29 - 31 - 94}},
        {"backward, enemy pawn ahead on the file", "d3 e4", "c5 d6", {24 + 34 - 35, 32 + 29 - 31}},
        // stop square occupied by an enemy pawn counts as covered even when not attacked
        {"backward, stop square occupied", "d3 e4", "d4", {24 + 34 - 35, 32 + 29 - 31}},
        // e5 attacked by d6: lever (60,60); isolated unopposed
        {"lever", "e5", "d6", {60 + 12 - 118, 60 + 16 - 135}},
        {"no lever below the fifth rank", "e4", "d5", {12 - 118, 16 - 135}},
        // c2's push square c3 is attacked by d4: (-10,-10)
        {"push square attacked", "c2 d2", "d4", {24 + 44 - 10, 32 + 44 - 10}},
        // a3 beside b3 on a file without enemy pawns: (0,-40); faced by b5: (0,-20)
        {"rook-file pawn with a neighbour", "a3 b3", "", {18 + 44, 24 + 44 - 40}},
        {"rook-file pawn faced two ranks ahead", "a3 b3", "b5", {18 + 44, 24 + 44 - 20}},
        {"rook-file pawn on an enemy file", "a3 b3", "a6", {18 + 44, 24 + 44}},
    };
    for (const StructureCase& c : cases) {
        EXPECT_EQ(pairOf(pawnStructure(WHITE, squares(c.own), squares(c.enemy))), c.expected) << c.name;
        EXPECT_EQ(pairOf(pawnStructure(BLACK, squares(c.own, true), squares(c.enemy, true))), c.expected)
            << c.name << " (as Black)";
    }
}

TEST_F(PawnTermsTest, CandidatePassedPawns) {
    const PackedScore rank4 = pack(83, 130);  // (121, 190) x 11/16
    const PackedScore rank6 = pack(392, 618); // (571, 900) x 11/16
    const std::pair<StructureCase, PackedScore> cases[] = {
        {{"helper level with it", "b4 c4", "b6", {}}, rank4},
        {{"helper behind it", "b3 c4", "d6", {}}, rank4}, // b3 itself is passed
        {{"more sentries than helpers", "b4 c4", "b6 d5", {}}, 0},
        {{"helper file blocked by an enemy pawn beside it", "c4 d3", "b6 d4", {}}, 0},
        {{"no own pawn beside or defending", "c4", "b6", {}}, 0},
        {{"enemy pawn ahead on its file", "b4 c4", "c6", {}}, rank4}, // only b4 is a candidate
        {{"sixth rank", "c6 d5", "b7", {}}, rank6},
    };
    for (const auto& [c, expected] : cases) {
        EXPECT_EQ(pairOf(candidatePassers(WHITE, squares(c.own), squares(c.enemy))), pairOf(expected)) << c.name;
        EXPECT_EQ(pairOf(candidatePassers(BLACK, squares(c.own, true), squares(c.enemy, true))), pairOf(expected))
            << c.name << " (as Black)";
    }
}

TEST_F(PawnTermsTest, CountsBeyondATableReadItsLastEntry) {
    // Fifteen isolated, unopposed pawns on the files a, c, e, g (ranks 2..5, without g5): the
    // doubled count 11 and the isolated count 15 read entry 8 of their 9-entry tables.
    const char* fen = "7k/8/8/P1P1P3/P1P1P1P1/P1P1P1P1/P1P1P1P1/7K w - - 0 1";
    const Bitboard own = squares("a2 a3 a4 a5 c2 c3 c4 c5 e2 e3 e4 e5 g2 g3 g4");
    // doubled 8 x (-37,-58); 4 undefended front pawns (-36,-44) each, doubled isolated
    // unopposed (-25,-48) each; 15 controlled squares (90,120); isolated 8 x (-118,-135)
    EXPECT_EQ(pairOf(pawnStructure(WHITE, own, 0)),
              Pair(-296 - 144 - 100 + 90 - 944, -464 - 176 - 192 + 120 - 1080));
    // Fifteen passed pawns: the list keeps the first eight in square order.
    const PawnEntry* entry = nullptr;
    pawnScore(fen, &entry);
    const uint8_t expected[8] = {8, 10, 12, 14, 16, 18, 20, 22};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(entry->passed[WHITE][i], expected[i]) << i;
}

// ---- King pawn cover -------------------------------------------------------------------------

struct CoverCase {
    const char* name;
    const char* own;
    const char* enemy;
    const char* king;
    const char* enemyKing;
    int expected;
};

TEST_F(PawnTermsTest, KingPawnCoverShelterStormAndOpenFiles) {
    // The enemy king on a8 sees no White pawn on files a..c: 48 for the open files.
    const CoverCase cases[] = {
        // 243 + 2 x 243 + 243
        {"castled king behind three pawns", "f2 g2 h2", "", "g1", "a8", 972 + 48},
        {"king on e1 counts the short-castled shelter", "f2 g2 h2", "", "e1", "a8", 972 + 48},
        {"king on e1 keeps its own shelter when better", "d3 e2 f2", "", "e1", "a8", 198 + 486 + 243 + 48},
        {"king on d1 has no castled alternative", "f2 g2 h2", "", "d1", "a8", 48},
        {"pawns behind the king do not shelter it", "f2 g2 h2", "", "g3", "a8", 48},
        {"corner king, pawn on its own file counts twice", "g2 h3", "", "h1", "a8", 243 + 2 * 198 + 48},
        // g5 opposed by g7: 104; h6 unopposed: 400; one file of f..h without a White pawn: 16
        {"pawn storm against the enemy king", "g5 h6", "g7", "a1", "g8", 104 + 400 + 16},
    };
    for (const CoverCase& c : cases) {
        EXPECT_EQ(kingPawnCover(WHITE, squares(c.own), squares(c.enemy), squareOf(c.king), squareOf(c.enemyKing)),
                  c.expected)
            << c.name;
        EXPECT_EQ(kingPawnCover(BLACK, squares(c.own, true), squares(c.enemy, true), flipRank(squareOf(c.king)),
                                flipRank(squareOf(c.enemyKing))),
                  c.expected)
            << c.name << " (as Black)";
    }
}

// ---- The whole pawn pass ---------------------------------------------------------------------

struct EntryCase {
    const char* name;
    const char* fen;
    Pair score;
    std::vector<int> whitePassed, blackPassed;
    int whiteSpan, blackSpan;
    int blocked;
    int whiteCover, blackCover;
};

TEST_F(PawnTermsTest, WholePassMatchesHandComputedEntries) {
    const EntryCase cases[] = {
        // White: king distance to the pawns' mean file d = 3 -> -(0,21); structure (-310,-388);
        // closeness of a1 to d3 and d4 (0,108) x 2; two passers (33,122); KP 48.
        // Black: -(0,28); closeness of h8 to d3 (0,54) and d4 (0,81); KP 48.
        {"two doubled passers", "7k/8/8/8/8/3P4/3P4/K7 w - - 0 1", {-229 - 48, -71 - 107}, {11, 19}, {}, 1, 0, 1,
         0, 0},
        // White: -(0,51); phalanx b4 c4 (68,76); c4 is a candidate (one sentry b6, one helper b4):
        // rank-4 value (121,190) x 11/16 = (83,130); KP 48. Black: -(0,51); b6 isolated, opposed,
        // (-19,-16); KP 48.
        {"candidate passed pawn", "7k/8/1p6/8/1PP5/8/8/7K w - - 0 1", {199 - 29, 155 + 67}, {}, {}, 2, 1, 0, 0, 0},
        // d5 adds a second sentry: no candidate. White (116,16); Black -(0,60), b6 isolated
        // opposed, d5 isolated unopposed, 4 controlled squares, KP 48: (-77,-195).
        {"too many sentries", "7k/8/1p6/3p4/1PP5/8/8/7K w - - 0 1", {116 + 77, 16 + 195}, {}, {}, 2, 3, 0, 0, 0},
        // White: -(0,34); (68,76); d5 e5 supported passers (75,118) each; closeness (0,54) x 2;
        // two passers (33,122); KP 48. Black: -(0,25); h7 isolated unopposed with one controlled
        // square (-112,-127); closeness of h8 to d6, e6, h6: (0,81+108+162); KP 486 + 48.
        {"supported passers and a far passer", "7k/7p/8/3PP3/8/8/8/K7 w - - 0 1", {299 - 422, 508 - 199},
         {35, 36}, {55}, 2, 1, 0, 0, 2},
        // Mirror-symmetric castled structures: the score is 0; each side's cover is
        // (972 + 0 storm + 0 open files) / 220 = 4, and both kings are walled in on the back rank.
        {"castled kings", "6k1/5ppp/8/8/8/8/5PPP/6K1 w - - 0 1", {0, 0}, {}, {}, 3, 3, 0, 4, 4},
    };
    for (const EntryCase& c : cases) {
        const PawnEntry* entry = nullptr;
        EXPECT_EQ(pairOf(pawnScore(c.fen, &entry)), c.score) << c.name;
        ASSERT_NE(entry, nullptr);
        std::vector<int> passed[2];
        for (int side = 0; side < 2; ++side)
            for (int i = 0; i < 8 && entry->passed[side][i]; ++i) passed[side].push_back(entry->passed[side][i]);
        EXPECT_EQ(passed[WHITE], c.whitePassed) << c.name;
        EXPECT_EQ(passed[BLACK], c.blackPassed) << c.name;
        EXPECT_EQ(entry->span[WHITE], c.whiteSpan) << c.name;
        EXPECT_EQ(entry->span[BLACK], c.blackSpan) << c.name;
        EXPECT_EQ(entry->blocked, c.blocked) << c.name;
        EXPECT_EQ(entry->cover[WHITE], c.whiteCover) << c.name;
        EXPECT_EQ(entry->cover[BLACK], c.blackCover) << c.name;
    }
}

TEST_F(PawnTermsTest, BackRankPawnsCostOnlyWhenEveryFrontSquareIsFilled) {
    // King a1 behind a2 b2 (on the a-file two squares in front suffice) against king b1, whose
    // c2 is empty. Shelter (729), storm, open files and passed-pawn closeness are equal for the
    // two kings; the b1 king stands one file from the pawns' mean file (sqrt grid [2][1] = 7).
    const Pair walled = pairOf(pawnScore("k7/8/8/8/8/8/PP6/K7 w - - 0 1"));
    const Pair gap = pairOf(pawnScore("k7/8/8/8/8/8/PP6/1K6 w - - 0 1"));
    EXPECT_EQ(walled.first - gap.first, -93);
    EXPECT_EQ(walled.second - gap.second, -185 + 7);
}

TEST_F(PawnTermsTest, BlockedStructureFlag) {
    const std::pair<const char*, int> cases[] = {
        {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", 0}, // no open central file
        {"4k3/8/8/p7/P7/8/8/4K3 w - - 0 1", 1},                         // a5 rammed against a4
        {"4k3/p7/8/8/8/8/P7/4K3 w - - 0 1", 0},                         // a7 far from a2
        {"4k3/8/p7/8/P7/8/8/4K3 w - - 0 1", 0},                         // two ranks apart
        {"4k3/8/P7/p7/8/8/8/4K3 w - - 0 1", 0},                         // the White pawn is beyond it
        {"4k3/2p5/8/8/8/8/8/4K3 w - - 0 1", 0},                         // no White pawn on c
        {"4k3/8/8/2pppp2/2PPPP2/8/8/4K3 w - - 0 1", 0},                 // every central file holds a pawn
        {"4k3/8/8/2p1pp2/2P1PP2/8/8/4K3 w - - 0 1", 1},                 // the d-file is open
        {"4k3/8/8/8/8/8/8/4K3 w - - 0 1", 1},                           // no Black pawn to test
    };
    for (const auto& [fen, blocked] : cases) {
        const PawnEntry* entry = nullptr;
        pawnScore(fen, &entry);
        EXPECT_EQ(entry->blocked, blocked) << fen;
    }
}

// ---- The pawn cache --------------------------------------------------------------------------

TEST_F(PawnTermsTest, CacheStoresUnderThePawnKingKeyAndIgnoresPieces) {
    std::vector<PawnEntry> cache(16);
    const uint64_t savedMask = pawnCacheMask;
    pawnCacheMask = cache.size() - 1;

    Position pos = positionFromFen("r5k1/5ppp/8/3p4/3P4/8/5PPP/6K1 w - - 0 1");
    pos.pawnCache = cache.data();
    const PawnEntry* first = nullptr;
    const PackedScore computed = evaluatePawns(pos, first);
    EXPECT_EQ(first, &cache[pos.pawnKingKey & pawnCacheMask]);
    EXPECT_EQ(first->key, pos.pawnKingKey);

    // A hit returns the stored entry as it stands, without recomputing.
    cache[pos.pawnKingKey & pawnCacheMask].score = pack(1234, -567);
    const PawnEntry* second = nullptr;
    EXPECT_EQ(pairOf(evaluatePawns(pos, second)), Pair(1234, -567));
    EXPECT_EQ(second, first);

    // Different pieces, same pawns and kings: the same entry.
    Position other = positionFromFen("6k1/5ppp/2n5/3p4/3P4/2N5/5PPP/3R2K1 b - - 0 1");
    other.pawnCache = cache.data();
    ASSERT_EQ(other.pawnKingKey, pos.pawnKingKey);
    const PawnEntry* third = nullptr;
    EXPECT_EQ(pairOf(evaluatePawns(other, third)), Pair(1234, -567));

    // Without a cache the entry is computed every time.
    other.pawnCache = nullptr;
    const PawnEntry* scratch = nullptr;
    EXPECT_EQ(evaluatePawns(other, scratch), computed);
    EXPECT_NE(scratch, first);

    pawnCacheMask = savedMask;
}

} // namespace
