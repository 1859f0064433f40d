#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "board_test_util.h"
#include "perft_data.h"
#include "board/perft.h"
#include "test_support.h"

namespace {

Square sq(const char* name) { return makeSquare(name[0] - 'a', name[1] - '1'); }

Move mv(const char* text, int flag = NORMAL) { return encodeMove(sq(text), sq(text + 2), flag); }

// A generator's list as (move, score) pairs, for comparing whole lists in order.
struct Scored {
    Move move;
    int score;
    bool operator==(const Scored& o) const { return move == o.move && score == o.score; }
};
std::ostream& operator<<(std::ostream& os, const Scored& s) {
    return os << moveToString(s.move) << "/" << moveFlag(s.move) << ":" << s.score;
}

template <typename Generator> std::vector<Scored> listOf(const Position& pos, Generator generate) {
    Move list[MAX_MOVES];
    int n = generate(pos, list);
    std::vector<Scored> out;
    for (int i = 0; i < n; ++i) out.push_back({moveOnly(list[i]), moveScore(list[i])});
    return out;
}

std::vector<Scored> unscored(std::initializer_list<Move> moves) {
    std::vector<Scored> out;
    for (Move m : moves) out.push_back({m, 0});
    return out;
}

// History counters with a distinct value for every (side, piece, square).
struct HistoryFixture {
    int32_t table[2 * 8 * 64];
    HistoryFixture() {
        for (int i = 0; i < 2 * 8 * 64; ++i) table[i] = 1000 + i;
    }
    int at(Color side, int type, const char* square) { return table[(int(side) * 8 + type) * 64 + sq(square)]; }
};

TEST(MoveGeneration, StartPositionHasNoCapturesAndNoCastling) {
    Position pos = positionFromFen(startFen);
    Move list[MAX_MOVES];
    EXPECT_EQ(generateCaptures(pos, list), 0);
    EXPECT_EQ(generateCastling(pos, WHITE, list), 0);
    EXPECT_EQ(generateQuiets(pos, list), 20);
}

TEST(MoveGeneration, CapturesInOrderWithVictimAttackerScores) {
    Position pos = positionFromFen("7k/p7/8/R2n1r1p/4P3/1BN5/8/3Q2K1 w - - 0 1");
    std::vector<Scored> expected = {
        {mv("e4d5"), 32 * 2 - 2}, // pawn towards the a-file
        {mv("e4f5"), 32 * 4 - 2}, // then towards the h-file
        {mv("c3d5"), 32 * 2 - 4}, // knight
        {mv("d1h5"), 32 * 1 - 10}, // diagonal pass, origins ascending: queen d1 ...
        {mv("b3d5"), 32 * 2 - 6},  // ... then bishop b3
        {mv("d1d5"), 32 * 2 - 10}, // straight pass: queen d1 ...
        {mv("a5d5"), 32 * 2 - 8},  // ... then rook a5, destinations ascending
        {mv("a5a7"), 32 * 1 - 8},
    };
    EXPECT_EQ(listOf(pos, generateCaptures), expected);
}

TEST(MoveGeneration, PromotionCapturesBeforePushPromotions) {
    Position pos = positionFromFen("r3k3/1P6/8/8/8/8/8/4K3 w - - 0 1");
    std::vector<Scored> expected = {
        {mv("b7a8", PROMO_QUEEN), 254}, {mv("b7a8", PROMO_KNIGHT), 254}, {mv("b7a8", PROMO_ROOK), 254},
        {mv("b7a8", PROMO_BISHOP), 254}, {mv("b7b8", PROMO_QUEEN), 67},  {mv("b7b8", PROMO_KNIGHT), 66},
        {mv("b7b8", PROMO_ROOK), 65},    {mv("b7b8", PROMO_BISHOP), 65},
    };
    EXPECT_EQ(listOf(pos, generateCaptures), expected);
    Position ep = positionFromFen("4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1");
    EXPECT_EQ(listOf(ep, generateCaptures), (std::vector<Scored>{{mv("e5d6", EN_PASSANT), 31}}));
}

TEST(MoveGeneration, QuietsInOrderWithHistoryScores) {
    Position pos = positionFromFen("4k3/8/8/8/8/8/P7/R3K2N w Q - 0 1");
    HistoryFixture history;
    pos.historyTable = history.table;
    std::vector<Scored> expected = {
        {mv("e1a1", CASTLING), history.at(WHITE, KING, "c1")},
        {mv("a2a3"), history.at(WHITE, PAWN, "a3")},
        {mv("h1f2"), history.at(WHITE, KNIGHT, "f2")},
        {mv("h1g3"), history.at(WHITE, KNIGHT, "g3")},
        {mv("a1b1"), history.at(WHITE, ROOK, "b1")},
        {mv("a1c1"), history.at(WHITE, ROOK, "c1")},
        {mv("a1d1"), history.at(WHITE, ROOK, "d1")},
        {mv("e1d1"), history.at(WHITE, KING, "d1")},
        {mv("e1f1"), history.at(WHITE, KING, "f1")},
        {mv("e1d2"), history.at(WHITE, KING, "d2")},
        {mv("e1e2"), history.at(WHITE, KING, "e2")},
        {mv("e1f2"), history.at(WHITE, KING, "f2")},
        {mv("a2a4", DOUBLE_PUSH), history.at(WHITE, PAWN, "a4")},
    };
    EXPECT_EQ(listOf(pos, generateQuiets), expected);
    pos.historyTable = nullptr;
    EXPECT_EQ(listOf(pos, generateQuiets).size(), expected.size());
}

TEST(MoveGeneration, KnightCheckEvasions) {
    Position pos = positionFromFen("k7/3R4/8/1B6/1N6/3n3Q/2P1P3/4K3 w - - 0 1");
    ASSERT_TRUE(pos.inCheck);
    EXPECT_EQ(listOf(pos, generateEvasions),
              unscored({mv("c2d3"), mv("e2d3"), mv("b4d3"), mv("b5d3"), mv("h3d3"), mv("d7d3"), mv("e1d1"),
                        mv("e1f1"), mv("e1d2"), mv("e1f2")}));
}

TEST(MoveGeneration, InterposingPromotionIsAQueenOnly) {
    Position pos = positionFromFen("K6r/3P4/8/8/8/8/8/4k3 w - - 0 1");
    EXPECT_EQ(listOf(pos, generateEvasions),
              unscored({mv("d7d8", PROMO_QUEEN), mv("a8a7"), mv("a8b7"), mv("a8b8")}));
}

// Set up from text, a check can run through the en-passant square; the capture then blocks it.
TEST(MoveGeneration, EnPassantCaptureBlocksACheckThroughItsSquare) {
    Position pos = positionFromFen("8/8/8/1k6/3Pp3/8/8/4KQ2 b - d3 0 1");
    ASSERT_TRUE(pos.inCheck);
    Move list[MAX_MOVES];
    std::vector<Move> evasions = movesOf(list, generateEvasions(pos, list));
    EXPECT_NE(std::find(evasions.begin(), evasions.end(), mv("e4d3", EN_PASSANT)), evasions.end());
    EXPECT_EQ(sorted(legalOnly(pos, evasions)), sorted(legalMoves(pos)));
    EXPECT_EQ(legalMoves(pos).size(), 6u);
}

TEST(MoveGeneration, Castling) {
    HistoryFixture history;
    struct Case {
        bool chess960;
        const char* fen;
        std::vector<Move> expected;
    } cases[] = {
        {false, "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", {mv("e1h1", CASTLING), mv("e1a1", CASTLING)}},
        {false, "r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1", {mv("e8h8", CASTLING), mv("e8a8", CASTLING)}},
        {false, "4k3/8/b7/8/8/8/8/R3K2R w KQ - 0 1", {mv("e1a1", CASTLING)}},  // f1 attacked
        {false, "4k3/8/8/8/8/8/8/RN2K2R w KQ - 0 1", {mv("e1h1", CASTLING)}},  // b1 occupied
        {false, "4k3/8/8/8/8/8/8/R3K2R w Q - 0 1", {mv("e1a1", CASTLING)}},    // right lost
        {false, "1r2k3/8/8/8/8/8/8/R3K2R w KQ - 0 1", {mv("e1h1", CASTLING), mv("e1a1", CASTLING)}}, // b1 attacked
        {false, "4k3/8/8/8/8/8/8/R3K2r w Q - 0 1", {}},                        // in check
        {true, "4k3/8/8/8/8/8/8/R5KR w K - 0 1", {mv("g1h1", CASTLING)}},     // king already on g1
        {true, "4k3/8/8/8/8/8/8/RK5R w Q - 0 1", {mv("b1a1", CASTLING)}},
        {true, "4k3/8/8/8/8/8/8/1RK4R w Q - 0 1", {mv("c1b1", CASTLING)}},    // rook lands on d1
        {true, "4k3/8/8/8/8/8/8/1RNK3R w Q - 0 1", {}},                       // c1 blocked
    };
    for (const Case& c : cases) {
        Chess960Setting rules(c.chess960);
        Position pos = positionFromFen(c.fen);
        pos.historyTable = history.table;
        Move list[MAX_MOVES];
        std::vector<Move> got = movesOf(list, generateCastling(pos, sideToMove(pos), list));
        EXPECT_EQ(got, c.expected) << c.fen;
        if (!got.empty()) {
            int index = 2 * sideToMove(pos) + (moveTo(got[0]) > moveFrom(got[0]) ? 0 : 1);
            EXPECT_EQ(moveScore(list[0]), history.table[(sideToMove(pos) * 8 + KING) * 64 + castling.kingDestination[index]]);
        }
    }
}

TEST(MoveGeneration, PseudoLegalTest) {
    Position pos = positionFromFen("r3k2r/1P2p3/8/3pP3/8/2N5/P6P/R3K2R w KQkq d6 0 1");
    struct Case {
        Move move;
        bool expected;
    } cases[] = {
        {NO_MOVE, false},
        {mv("a2a3"), true},
        {mv("a2a4", DOUBLE_PUSH), true},
        {mv("a2a4"), false},                 // a double push needs its flag
        {mv("a2a3", DOUBLE_PUSH), false},    // ... and a single push must not carry it
        {mv("h2h4", DOUBLE_PUSH), true},
        {mv("e5e6", DOUBLE_PUSH), false},
        {mv("e5e7", DOUBLE_PUSH), false},    // not from the start rank
        {mv("b7b8"), false},                 // from the seventh rank only as a promotion
        {mv("b7b8", PROMO_KNIGHT), true},
        {mv("b7a8", PROMO_QUEEN), true},
        {mv("a2a3", PROMO_QUEEN), false},    // a promotion only onto the last rank
        {mv("e5d6", EN_PASSANT), true},
        {mv("e5f6", EN_PASSANT), false},
        {mv("e5d6"), false},                 // en passant needs its flag
        {mv("e5e6"), true},
        {mv("e5d5"), false},
        {mv("c3d5"), true},
        {mv("c3e4"), true},
        {mv("c3c4"), false},
        {mv("c3a2"), false},                 // own piece on the destination
        {mv("a1d1"), true},
        {mv("a1a3"), false},                 // through a2
        {mv("e1h1", CASTLING), true},
        {mv("e1a1", CASTLING), true},
        {mv("e1f1"), true},
        {mv("e1g1"), false},
        {mv("e8e7"), false},                 // not the side to move
        {mv("e1h1"), false},                 // own rook, without the castling flag
    };
    for (const Case& c : cases)
        EXPECT_EQ(isPseudoLegal(pos, c.move), c.expected) << moveToString(c.move) << " flag " << moveFlag(c.move);
}

// Positions from seeded random games, standard and Chess960.
template <typename Visit> void forEachSampledPosition(bool chess960, Visit visit) {
    if (chess960)
        forEachRandomGamePosition({"bqnb1rkr/pp3ppp/3ppn2/2p5/5P2/P2P4/NPP1P1PP/BQ1BNRKR w HFhf - 0 1",
                                   "1r2k1rr/pppppppp/8/8/8/8/PPPPPPPP/1R2K1RR w GBgb - 0 1",
                                   "rr2k2r/pppppppp/8/8/8/8/PPPPPPPP/RR2K2R w HBhb - 0 1"},
                                  6, 60, 11, visit);
    else
        forEachRandomGamePosition(variedStartFens(), 6, 80, 5, visit);
}

// Every generator against the complete list: the same moves, none twice, and the fast legal count.
TEST(MoveGeneration, GeneratorsAgreeWithTheCompleteList) {
    for (bool chess960 : {false, true}) {
        Chess960Setting rules(chess960);
        int checked = 0;
        forEachSampledPosition(chess960, [&](const Position& pos) {
            std::vector<Move> all = allMoves(pos);
            std::set<Move> unique(all.begin(), all.end());
            ASSERT_EQ(unique.size(), all.size()) << toFen(pos);
            std::vector<Move> legal = legalOnly(pos, all);
            ASSERT_EQ(countLegalMoves(pos), int(legal.size())) << toFen(pos);
            Move list[MAX_MOVES];
            if (pos.inCheck) {
                std::vector<Move> evasions = movesOf(list, generateEvasions(pos, list));
                std::set<Move> uniqueEvasions(evasions.begin(), evasions.end());
                ASSERT_EQ(uniqueEvasions.size(), evasions.size()) << toFen(pos);
                // Evasions leave out under-promotions that only block.
                std::vector<Move> expected;
                for (Move m : legal)
                    if (!(isPromotion(m) && moveFlag(m) != PROMO_QUEEN && !pos.board[moveTo(m)])) expected.push_back(m);
                ASSERT_EQ(sorted(legalOnly(pos, evasions)), sorted(expected)) << toFen(pos);
            } else {
                int n = generateCaptures(pos, list);
                n += generateQuiets(pos, list + n);
                ASSERT_EQ(sorted(movesOf(list, n)), sorted(all)) << toFen(pos);
            }
            ++checked;
        });
        EXPECT_GT(checked, 500);
    }
}

// isPseudoLegal accepts exactly the moves the complete generator produces, for every move word.
TEST(MoveGeneration, PseudoLegalTestMatchesTheCompleteList) {
    for (bool chess960 : {false, true}) {
        Chess960Setting rules(chess960);
        int index = 0;
        forEachSampledPosition(chess960, [&](const Position& pos) {
            if (index++ % 7) return;
            std::vector<Move> all = allMoves(pos);
            std::set<Move> generated(all.begin(), all.end());
            for (Move m = 1; m < (1u << 15); ++m)
                ASSERT_EQ(isPseudoLegal(pos, m), generated.count(m) == 1)
                    << toFen(pos) << " " << moveToString(m) << " flag " << moveFlag(m);
        });
    }
}

bool givesCheck(const Position& pos, Move m, Position& child) {
    return makeMove(pos, child, m) && kingAttacked(child, ~sideToMove(pos));
}

// Quiet checks: only quiet moves, each legal one gives check, and every checking quiet move is
// there except those the generator does not look for (double pushes that check directly,
// castling, and a piece sliding off a line of its own kind).
TEST(MoveGeneration, QuietChecks) {
    int found = 0;
    auto visit = [&](const Position& pos) {
        if (pos.inCheck) return;
        Move list[MAX_MOVES];
        std::vector<Move> checks = movesOf(list, generateQuietChecks(pos, list));
        std::vector<Move> quiets = movesOf(list, generateQuiets(pos, list));
        std::set<Move> quietSet(quiets.begin(), quiets.end());
        std::set<Move> checkSet(checks.begin(), checks.end());
        ASSERT_EQ(checkSet.size(), checks.size()) << toFen(pos);
        Position child;
        for (Move m : checks) {
            ASSERT_TRUE(quietSet.count(m)) << toFen(pos) << " " << moveToString(m);
            if (makeMove(pos, child, m)) {
                ASSERT_TRUE(kingAttacked(child, ~sideToMove(pos))) << toFen(pos) << " " << moveToString(m);
            }
        }
        const Color us = sideToMove(pos);
        const Square enemyKing = lsb(pos.pieces[~us][KING]);
        for (Move m : quiets) {
            if (moveFlag(m) == CASTLING || !givesCheck(pos, m, child)) continue;
            ++found;
            Square to = moveTo(m);
            int type = typeOfCode(pos.board[moveFrom(m)]);
            // Does the moved piece itself attack the king?
            Position mover = child;
            Bitboard others = child.pieces[us][0] & ~squareBit[to];
            for (int t = PAWN; t <= KING; ++t) mover.pieces[us][t] &= ~others;
            bool direct = kingAttacked(mover, ~us);
            bool discovered = !direct || [&] {
                Position rest = child;
                for (int t = PAWN; t <= KING; ++t) rest.pieces[us][t] &= ~squareBit[to];
                return kingAttacked(rest, ~us);
            }();
            bool slidesOffOwnKindOfLine = false;
            if (discovered && !direct) {
                Bitboard line = lineThrough[enemyKing][moveFrom(m)];
                bool diagonal = line && (bishopRays[enemyKing] & squareBit[moveFrom(m)]);
                slidesOffOwnKindOfLine = type == QUEEN || (diagonal ? type == BISHOP : type == ROOK);
            }
            bool expected = !(moveFlag(m) == DOUBLE_PUSH && !discovered) && !slidesOffOwnKindOfLine;
            if (expected) {
                ASSERT_TRUE(checkSet.count(m)) << toFen(pos) << " misses " << moveToString(m);
            }
        }
    };
    forEachSampledPosition(false, visit);
    forEachRandomGamePosition({"4k3/8/8/8/8/8/8/4K3 w - - 0 1", "3k4/8/8/8/3B4/8/3R4/3K4 w - - 0 1",
                               "k7/8/8/3N4/8/8/8/Q3K3 w - - 0 1", "7k/8/8/8/3P4/8/1B6/K2R4 w - - 0 1",
                               "6k1/8/8/8/2n5/8/8/R3K1B1 b Q - 0 1"},
                              4, 30, 3, visit);
    EXPECT_GT(found, 200);
}

} // namespace
