#include <cstdint>
#include <string>
#include <vector>

#include "board/attacks.h"
#include "search/move_tests.h"
#include "search_fixtures.h"

namespace {

// Positions with castling, en passant, promotions, pins and discovered checks.
const std::vector<std::string> kPositions = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
    "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8",
    "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
    "8/8/8/2k5/3Pp3/8/8/4K2R b K d3 0 1",
    "4k3/8/8/8/1b6/8/3P4/4K3 w - - 0 1",
    "3k4/8/3p4/8/8/8/3R4/3K3r w - - 0 1",
};

// Positions reached by a fixed pseudo-random playout from each start position.
std::vector<Position> playoutPositions() {
    std::vector<Position> out;
    uint64_t seed = 0x9e3779b97f4a7c15ULL;
    static std::vector<Position> chain; // keeps parents alive for the parent links
    chain.clear();
    chain.reserve(kPositions.size() * 80);
    for (const std::string& fen : kPositions) {
        chain.push_back(positionFromFen(fen));
        out.push_back(chain.back());
        for (int ply = 0; ply < 60; ++ply) {
            std::vector<Move> moves = legalMoves(chain.back());
            if (moves.empty()) break;
            seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
            Position next;
            makeLegal(chain.back(), next, moves[(seed >> 33) % moves.size()]);
            chain.push_back(next);
            out.push_back(next);
        }
    }
    return out;
}

} // namespace

// givesCheck agrees with making the move and testing the opponent's king, for every pseudo-legal
// move of many positions (direct, discovered, castling, en-passant and promotion checks).
TEST(MoveTests, GivesCheckMatchesTheMadeMove) {
    int checks = 0;
    for (const Position& pos : playoutPositions()) {
        Move list[MAX_MOVES];
        int count = generateAll(pos, list);
        for (int i = 0; i < count; ++i) {
            Move move = moveOnly(list[i]);
            Position child;
            if (!makeLegal(pos, child, move)) continue;
            EXPECT_EQ(givesCheck(pos, move), child.inCheck != 0) << toFen(pos) << " " << moveToString(move);
            checks += child.inCheck;
        }
    }
    EXPECT_GT(checks, 50);
}

// movesPinnedPiece only ever flags moves that make-move rejects, and flags the plain pins.
TEST(MoveTests, MovesPinnedPieceFlagsOnlyIllegalMoves) {
    for (const Position& pos : playoutPositions()) {
        Move list[MAX_MOVES];
        int count = generateAll(pos, list);
        for (int i = 0; i < count; ++i) {
            Move move = moveOnly(list[i]);
            Position child;
            if (movesPinnedPiece(pos, sideToMove(pos), move)) {
                EXPECT_FALSE(makeLegal(pos, child, move)) << toFen(pos) << " " << moveToString(move);
            }
        }
    }
    struct Case {
        const char* fen;
        const char* move;
        bool pinned;
    };
    const Case cases[] = {
        {"4k3/8/8/8/1b6/8/3P4/4K3 w - - 0 1", "d2d3", true},        // pawn pinned on the diagonal
        {"4k3/8/8/8/1b6/8/2P5/4K3 w - - 0 1", "c2c3", false},       // not on the line to the king
        {"4k3/4r3/8/8/8/8/4R3/4K3 w - - 0 1", "e2e5", false},       // stays on the file
        {"4k3/4r3/8/8/8/8/4R3/4K3 w - - 0 1", "e2e7", false},       // takes the pinner
        {"4k3/4r3/8/8/8/8/4R3/4K3 w - - 0 1", "e2d2", true},        // leaves the file
        {"4k3/4r3/8/8/8/4N3/4R3/4K3 w - - 0 1", "e2d2", false},     // a second piece shields
    };
    for (const Case& c : cases) {
        Position pos = positionFromFen(c.fen);
        Move move = 0;
        Move list[MAX_MOVES];
        int count = generateAll(pos, list);
        for (int i = 0; i < count; ++i)
            if (moveToString(moveOnly(list[i])) == c.move) move = moveOnly(list[i]);
        ASSERT_NE(move, 0u) << c.fen << " " << c.move;
        EXPECT_EQ(movesPinnedPiece(pos, sideToMove(pos), move), c.pinned) << c.fen << " " << c.move;
    }
}

TEST(MoveTests, CaptureMayNotGain) {
    struct Case {
        const char* fen;
        const char* move;
        int expected;
    };
    const Case cases[] = {
        {"4k3/8/8/3p4/8/8/8/3QK3 w - - 0 1", "d1d5", 0},             // undefended pawn
        {"4k3/8/4p3/3p4/8/8/8/3QK3 w - - 0 1", "d1d5", 1},           // pawn defended by a pawn
        {"4k3/8/4p3/3n4/8/8/8/3RK3 w - - 0 1", "d1d5", 1},           // rook for a defended knight
        {"4k3/8/8/3q4/4P3/8/8/4K3 w - - 0 1", "e4d5", 0},            // victim worth more
        {"4k3/8/8/8/8/8/3q4/4K3 w - - 0 1", "e1d2", 0},              // king captures
        {"4k3/8/8/8/8/8/8/R3K3 w - - 0 1", "a1a5", 1},               // empty destination
        {"4k3/8/4p3/3p4/8/8/3R4/3RK3 w - - 0 1", "d2d5", 1},         // rook, pawn recaptures
        {"3rk3/8/2b5/3p4/8/8/3R4/3QK3 w - - 0 1", "d2d5", 1},        // two defenders
        {"4k3/8/8/2Pp4/8/8/8/4K3 w - d6 0 1", "c5d6", 0},            // en passant
    };
    for (const Case& c : cases) {
        Position pos = positionFromFen(c.fen);
        Move move = 0;
        for (Move m : legalMoves(pos))
            if (moveToString(m) == c.move) move = m;
        ASSERT_NE(move, 0u) << c.fen << " " << c.move;
        EXPECT_EQ(captureMayNotGain(pos, move), c.expected) << c.fen << " " << c.move;
    }
}

TEST(MoveTests, PawnSafeZoneAvoidsEnemyPawnSpans) {
    // Black pawns on b7 and g5 cover a6, c6, a7... ahead of them (towards rank 1) on their
    // neighbouring files: from White's 6th rank up, a6, c6 (b7's span) are not safe; g5's span
    // lies below rank 6.
    Position pos = positionFromFen("4k3/1p6/8/6p1/8/8/8/4K3 w - - 0 1");
    Bitboard zone = pawnSafeZone(pos);
    EXPECT_FALSE(zone & squareBit[makeSquare(0, 5)]);  // a6
    EXPECT_FALSE(zone & squareBit[makeSquare(2, 5)]);  // c6
    EXPECT_TRUE(zone & squareBit[makeSquare(1, 5)]);   // b6
    EXPECT_TRUE(zone & squareBit[makeSquare(5, 5)]);   // f6
    EXPECT_TRUE(zone & squareBit[makeSquare(0, 7)]);   // a8
    EXPECT_FALSE(zone & squareBit[makeSquare(4, 4)]);  // e5: below the 6th rank
    // For Black the zone lies on ranks 3 to 1.
    Position black = positionFromFen("4k3/8/8/8/8/8/6P1/4K3 b - - 0 1");
    Bitboard blackZone = pawnSafeZone(black);
    EXPECT_FALSE(blackZone & squareBit[makeSquare(5, 2)]); // f3, covered by g2
    EXPECT_TRUE(blackZone & squareBit[makeSquare(0, 2)]);  // a3
    EXPECT_FALSE(blackZone & squareBit[makeSquare(0, 5)]); // a6
}

TEST(MoveTests, RepetitionLooksBackWithinTheHalfmoveClock) {
    std::vector<Position> game;
    game.reserve(16);
    game.push_back(positionFromFen("4k3/8/8/8/8/8/8/4K2R w - - 0 1"));
    for (const char* text : {"h1h2", "e8d8", "h2h1", "d8e8", "h1h2"}) {
        Position next;
        ASSERT_TRUE(executeMoveText(game.back(), next, text));
        game.push_back(next);
    }
    // After h1h2 e8d8 h2h1 d8e8 the start position is back; the final h1h2 repeats ply 1.
    EXPECT_TRUE(isRepetition(game[4]));
    EXPECT_TRUE(isRepetition(game[5]));
    EXPECT_FALSE(isRepetition(game[3]));
    Position reset = game[5];
    reset.halfmoveClock = 3; // a pawn move or capture in between hides the earlier positions
    EXPECT_FALSE(isRepetition(reset));
    Position fifty = game[1];
    fifty.halfmoveClock = 100;
    EXPECT_TRUE(isDrawnByRule(fifty));
}
