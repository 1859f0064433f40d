#include <gtest/gtest.h>

#include <random>

#include "board/attacks.h"
#include "board/bitboard.h"
#include "test_support.h"

namespace {

Square sq(const char* name) { return makeSquare(name[0] - 'a', name[1] - '1'); }

Bitboard squares(std::initializer_list<const char*> names) {
    Bitboard b = 0;
    for (const char* n : names) b |= 1ULL << sq(n);
    return b;
}

Bitboard fileBB(char file) { return FILE_A_BB << (file - 'a'); }

// Slider attacks traced one step at a time, independently of the tables.
Bitboard traced(Square s, Bitboard occupancy, bool rook) {
    static const int rookSteps[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
    static const int bishopSteps[4][2] = {{1, 1}, {1, -1}, {-1, 1}, {-1, -1}};
    const int (*steps)[2] = rook ? rookSteps : bishopSteps;
    Bitboard result = 0;
    for (int d = 0; d < 4; ++d) {
        for (int f = fileOf(s) + steps[d][0], r = rankOf(s) + steps[d][1]; f >= 0 && f < 8 && r >= 0 && r < 8;
             f += steps[d][0], r += steps[d][1]) {
            result |= 1ULL << makeSquare(f, r);
            if (occupancy & (1ULL << makeSquare(f, r))) break;
        }
    }
    return result;
}

// Every occupancy of every square's relevant squares, plus the squares the lookup must ignore.
TEST(Attacks, SliderLookupsMatchTracedAttacksForEveryOccupancy) {
    std::mt19937_64 random(7);
    for (bool rook : {true, false}) {
        for (Square s = 0; s < 64; ++s) {
            Bitboard mask = rook ? rookMask[s] : bishopMask[s];
            Bitboard subset = 0;
            do {
                Bitboard noise = random() & ~mask;
                Bitboard expected = traced(s, subset, rook);
                Bitboard got = rook ? rookAttacks(s, subset | noise) : bishopAttacks(s, subset | noise);
                ASSERT_EQ(got, expected) << (rook ? "rook " : "bishop ") << s << " occupancy " << subset;
                subset = (subset - mask) & mask;
            } while (subset);
        }
    }
}

TEST(Attacks, SliderEdgeCases) {
    EXPECT_EQ(rookMask[sq("a1")], squares({"b1", "c1", "d1", "e1", "f1", "g1", "a2", "a3", "a4", "a5", "a6", "a7"}));
    EXPECT_EQ(popcount(rookMask[sq("d4")]), 10);
    EXPECT_EQ(bishopMask[sq("a1")], squares({"b2", "c3", "d4", "e5", "f6", "g7"}));
    EXPECT_EQ(popcount(bishopMask[sq("d4")]), 9);
    EXPECT_EQ(rookAttacks(sq("a1"), 0), (fileBB('a') | RANK_1_BB) & ~squareBit[sq("a1")]);
    EXPECT_EQ(rookAttacks(sq("a1"), squareBit[sq("a4")]),
              squares({"a2", "a3", "a4"}) | (RANK_1_BB & ~squareBit[sq("a1")]));
    Bitboard withF6 = bishopAttacks(sq("d4"), squareBit[sq("f6")]);
    EXPECT_TRUE(withF6 & squareBit[sq("f6")]);
    EXPECT_FALSE(withF6 & squares({"g7", "h8"}));
    EXPECT_EQ(bishopAttacks(sq("d4"), squares({"f6", "h8"})), withF6);
    EXPECT_EQ(queenAttacks(sq("d4"), 0), rookAttacks(sq("d4"), 0) | bishopAttacks(sq("d4"), 0));
}

TEST(Attacks, BetweenAndLines) {
    EXPECT_EQ(between[sq("e1")][sq("h1")], squares({"f1", "g1"}));
    EXPECT_EQ(between[sq("a1")][sq("h8")], squares({"b2", "c3", "d4", "e5", "f6", "g7"}));
    EXPECT_EQ(between[sq("a1")][sq("b3")], 0u);
    EXPECT_EQ(between[sq("e1")][sq("e2")], 0u);
    EXPECT_EQ(lineThrough[sq("c3")][sq("e5")], squares({"a1", "b2", "c3", "d4", "e5", "f6", "g7", "h8"}));
    EXPECT_EQ(lineThrough[sq("b1")][sq("e1")], RANK_1_BB);
    EXPECT_EQ(lineThrough[sq("a1")][sq("b3")], 0u);
    for (Square a = 0; a < 64; ++a)
        for (Square b = 0; b < 64; ++b) {
            ASSERT_EQ(between[a][b], between[b][a]);
            ASSERT_EQ(lineThrough[a][b], lineThrough[b][a]);
            if (lineThrough[a][b]) {
                ASSERT_EQ(between[a][b] & ~lineThrough[a][b], 0u);
            }
        }
}

TEST(Attacks, RaysAndLinesContainTheirSquare) {
    for (Square s = 0; s < 64; ++s) {
        EXPECT_TRUE(rookRays[s] & squareBit[s]);
        EXPECT_TRUE(bishopRays[s] & squareBit[s]);
        EXPECT_EQ(queenLines[s], rookRays[s] | bishopRays[s]);
        EXPECT_EQ(popcount(rookRays[s]), 15);
    }
    EXPECT_EQ(knightAttacks[sq("a1")], squares({"b3", "c2"}));
    EXPECT_EQ(kingAttacks[sq("h8")], squares({"g8", "g7", "h7"}));
}

TEST(Attacks, FileMasks) {
    EXPECT_EQ(threeFileMask[sq("a1")], fileBB('a') | fileBB('b') | fileBB('c'));
    EXPECT_EQ(threeFileMask[sq("h5")], fileBB('f') | fileBB('g') | fileBB('h'));
    EXPECT_EQ(threeFileMask[sq("d4")], fileBB('c') | fileBB('d') | fileBB('e'));
    EXPECT_EQ(forwardAdjacentSpan[WHITE][sq("d4")], squares({"c5", "c6", "c7", "c8", "e5", "e6", "e7", "e8"}));
    EXPECT_EQ(forwardAdjacentSpan[BLACK][sq("d4")], squares({"c3", "c2", "c1", "e3", "e2", "e1"}));
    EXPECT_EQ(rearAdjacentMask[sq("d4")], squares({"c1", "c2", "c3", "c4", "e1", "e2", "e3", "e4"}));
    EXPECT_EQ(frontAdjacentMask[sq("d4")], squares({"c4", "c5", "c6", "c7", "c8", "e4", "e5", "e6", "e7", "e8"}));
    EXPECT_EQ(forwardAdjacentSpan[WHITE][sq("a8")], 0u);
}

TEST(Attacks, SquareShades) {
    for (const char* dark : {"a1", "c1", "e1", "g1", "b2", "h8", "d4"}) EXPECT_EQ(squareShade[sq(dark)], 1) << dark;
    for (const char* light : {"b1", "h1", "a2", "a8", "e4"}) EXPECT_EQ(squareShade[sq(light)], 0) << light;
}

TEST(Attacks, PortableBitCountAgreesWithTheInstruction) {
    std::mt19937_64 random(3);
    for (Bitboard b : {0ULL, ~0ULL, 1ULL << 63, 0x8000000000000001ULL}) EXPECT_EQ(popcountPortable(b), popcount(b));
    for (int i = 0; i < 10000; ++i) {
        Bitboard b = random() & random();
        ASSERT_EQ(popcountPortable(b), __builtin_popcountll(b));
        ASSERT_EQ(popcount(b), __builtin_popcountll(b));
    }
}

// Each kind of attacker, on its own, seen by both queries; pawns only in their capture direction.
TEST(Attacks, AttackedByAndKingAttacked) {
    struct Case {
        const char* fen;
        bool whiteKingAttacked;
    } cases[] = {
        {"4k3/8/8/8/8/5n2/8/4K3 w - - 0 1", true},   // knight
        {"4k3/8/8/8/8/8/3p4/4K3 w - - 0 1", true},   // pawn from the front-left
        {"4k3/8/8/8/8/8/4p3/4K3 w - - 0 1", false},  // pawn straight in front
        {"4k3/8/8/8/8/8/8/4K2r w - - 0 1", true},    // rook along the rank
        {"4k3/8/8/8/8/8/8/4KN1r w - - 0 1", false},  // ... blocked
        {"4k3/8/8/b7/8/8/8/4K3 w - - 0 1", true},    // bishop from a5
        {"4k3/8/8/b7/8/2P5/8/4K3 w - - 0 1", false}, // ... blocked on c3
        {"4k3/4q3/8/8/8/8/8/4K3 w - - 0 1", true},   // queen on the file
    };
    for (const Case& c : cases) {
        Position pos = positionFromFen(c.fen);
        Square king = lsb(pos.pieces[WHITE][KING]);
        EXPECT_EQ(kingAttacked(pos, WHITE), c.whiteKingAttacked) << c.fen;
        EXPECT_EQ(bool(attackedBy(pos, BLACK) & squareBit[king]), c.whiteKingAttacked) << c.fen;
        EXPECT_EQ(bool(pos.inCheck), c.whiteKingAttacked) << c.fen;
    }
    // Kings side by side never come out of a FEN; place the black king by hand.
    Position kings = positionFromFen("4k3/8/8/8/8/8/8/4K3 w - - 0 1");
    kings.pieces[BLACK][KING] = kings.pieces[BLACK][0] = squareBit[sq("d2")];
    kings.occupied = kings.pieces[WHITE][0] | kings.pieces[BLACK][0];
    EXPECT_TRUE(kingAttacked(kings, WHITE));
    EXPECT_TRUE(kingAttacked(kings, BLACK));
    Position start = positionFromFen(startFen);
    EXPECT_EQ(attackedBy(start, WHITE), 0xffffffULL & ~squareBit[sq("a1")] & ~squareBit[sq("h1")]);
}

} // namespace
