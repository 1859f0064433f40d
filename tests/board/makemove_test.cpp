#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <random>

#include "board/psqt.h"
#include "board/zobrist.h"
#include "board_test_util.h"
#include "perft_data.h"
#include "search/search_state.h"
#include "search/thread_data.h"
#include "test_support.h"
#include "uci/clock.h"

namespace {

Square sq(const char* name) { return makeSquare(name[0] - 'a', name[1] - '1'); }

Move mv(const char* text, int flag = NORMAL) { return encodeMove(sq(text), sq(text + 2), flag); }

Position made(const Position& parent, Move move) {
    Position child;
    EXPECT_TRUE(makeMove(parent, child, move)) << moveToString(move);
    return child;
}

TEST(MakeMove, NullMoveTogglesOnlyTheSideAndDropsEnPassant) {
    Position pos = positionFromFen("rnbqkbnr/ppp1pppp/8/8/3pP3/8/PPPP1PPP/RNBQKBNR b KQkq e3 4 1");
    ASSERT_TRUE(pos.epSquare);
    Position child;
    ASSERT_TRUE(makeMove(pos, child, NO_MOVE));
    EXPECT_EQ(child.key, pos.key ^ zobrist.enPassant[sq("e3")] ^ sideToggleKey());
    EXPECT_EQ(child.key, computeKey(child));
    EXPECT_EQ(child.epSquare, 0u);
    EXPECT_EQ(child.ply, pos.ply + 1);
    EXPECT_EQ(child.halfmoveClock, pos.halfmoveClock + 1);
    EXPECT_EQ(child.inCheck, 0);
    EXPECT_EQ(child.movedType, 0);
    EXPECT_EQ(child.lastMove, 0u);
    EXPECT_EQ(child.parent, &pos);
    EXPECT_EQ(child.staticEval, 999999);
    EXPECT_EQ(std::memcmp(child.board, pos.board, sizeof pos.board), 0);
    EXPECT_EQ(child.pawnKingKey, pos.pawnKingKey);
}

TEST(MakeMove, DoublePushSetsEnPassantOnlyBesideAnEnemyPawn) {
    struct Case {
        const char* fen;
        Move move;
        const char* target; // nullptr: no en-passant square
    } cases[] = {
        {"rnbqkbnr/ppp1pppp/8/8/3p4/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", mv("e2e4", DOUBLE_PUSH), "e3"},
        {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", mv("e2e4", DOUBLE_PUSH), nullptr},
        {"rnbqkbnr/ppppppp1/8/8/7p/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", mv("a2a4", DOUBLE_PUSH), nullptr},
        {"rnbqkbnr/1ppppppp/8/8/p7/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", mv("h2h4", DOUBLE_PUSH), nullptr},
        {"rnbqkbnr/pppppppp/8/P7/8/8/1PPPPPPP/RNBQKBNR b KQkq - 0 1", mv("b7b5", DOUBLE_PUSH), "b6"},
        {"rnbqkbnr/pppppppp/8/8/3P4/8/PPP1PPPP/RNBQKBNR b KQkq - 0 1", mv("e7e5", DOUBLE_PUSH), nullptr},
    };
    for (const Case& c : cases) {
        Position pos = positionFromFen(c.fen);
        Position child = made(pos, c.move);
        Bitboard expected = c.target ? squareBit[sq(c.target)] : 0;
        EXPECT_EQ(child.epSquare, expected) << c.fen;
        EXPECT_EQ(child.key, computeKey(child) ^ (c.target ? zobrist.enPassant[sq(c.target)] : 0)) << c.fen;
        EXPECT_EQ(child.halfmoveClock, 0) << c.fen;
    }
}

TEST(MakeMove, EnPassantCapture) {
    Position pos = positionFromFen("4k3/8/8/3pP3/8/8/8/4K3 w - d6 7 1");
    Position child = made(pos, mv("e5d6", EN_PASSANT));
    EXPECT_EQ(child.capturedType, 0);
    EXPECT_EQ(child.movedType, PAWN);
    EXPECT_EQ(child.pieceCount, pos.pieceCount - 1);
    EXPECT_EQ(child.halfmoveClock, 0);
    EXPECT_EQ(child.board[sq("d5")], 0);
    EXPECT_EQ(child.board[sq("d6")], pieceCode(WHITE, PAWN));
    EXPECT_EQ(child.pieces[BLACK][0], squareBit[sq("e8")]);
    EXPECT_EQ(child.key, computeKey(child));
}

TEST(MakeMove, CapturingPromotion) {
    Position pos = positionFromFen("r3k3/1P6/8/8/8/8/8/4K3 w - - 5 1");
    struct Case {
        int flag;
        PieceType promoted;
    } cases[] = {{PROMO_QUEEN, QUEEN}, {PROMO_KNIGHT, KNIGHT}, {PROMO_ROOK, ROOK}, {PROMO_BISHOP, BISHOP}};
    for (const Case& c : cases) {
        Position child = made(pos, mv("b7a8", c.flag));
        EXPECT_EQ(child.phase, pos.phase + PHASE_WEIGHT[c.promoted] - PHASE_WEIGHT[ROOK]);
        EXPECT_EQ(child.pieceCount, pos.pieceCount - 1);
        EXPECT_EQ(child.capturedType, ROOK);
        EXPECT_EQ(child.movedType, PAWN);
        EXPECT_EQ(child.board[sq("a8")], pieceCode(WHITE, c.promoted));
        EXPECT_EQ(child.pieces[WHITE][c.promoted], squareBit[sq("a8")]);
        EXPECT_EQ(child.pieces[WHITE][PAWN], 0u);
        EXPECT_EQ(child.materialKey, computeMaterialKey(child));
        EXPECT_EQ(child.castleLost, 15);
    }
    Position push = made(pos, mv("b7b8", PROMO_QUEEN));
    EXPECT_EQ(push.pieceCount, pos.pieceCount);
    EXPECT_EQ(push.phase, pos.phase + PHASE_WEIGHT[QUEEN]);
    EXPECT_EQ(push.capturedType, 0);
}

TEST(MakeMove, CastlingRightsFollowKingsAndRooks) {
    const char* fen = "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1";
    struct Case {
        Move move;
        int castleLost;
    } cases[] = {
        {mv("e1e2"), 1 | 2},
        {mv("h1h5"), 1},
        {mv("a1a5"), 2},
        {mv("a1a8"), 2 | 8}, // capturing on the rook's square takes the opponent's right too
        {mv("h1h8"), 1 | 4},
        {mv("e1h1", CASTLING), 1 | 2},
        {mv("e1a1", CASTLING), 1 | 2},
    };
    Position pos = positionFromFen(fen);
    for (const Case& c : cases) {
        Position child = made(pos, c.move);
        EXPECT_EQ(child.castleLost, c.castleLost) << moveToString(c.move);
        EXPECT_EQ(child.key, computeKey(child)) << moveToString(c.move);
    }
    Position kingside = made(pos, mv("e1h1", CASTLING));
    EXPECT_EQ(kingside.board[sq("g1")], pieceCode(WHITE, KING));
    EXPECT_EQ(kingside.board[sq("f1")], pieceCode(WHITE, ROOK));
    EXPECT_EQ(kingside.board[sq("e1")], 0);
    EXPECT_EQ(kingside.board[sq("h1")], 0);
    EXPECT_EQ(kingside.movedType, KING);
    EXPECT_EQ(kingside.halfmoveClock, 1);
}

// Chess960 castling: either piece may already stand on its destination, the king may land where
// the rook stood, and the rook where the king stood.
TEST(MakeMove, Chess960CastlingPlacements) {
    Chess960Setting rules(true);
    struct Case {
        const char* fen;
        Move move;
        const char* king;
        const char* rook;
    } cases[] = {
        {"4k3/8/8/8/8/8/8/R5KR w K - 0 1", mv("g1h1", CASTLING), "g1", "f1"}, // king stays
        {"4k3/8/8/8/8/8/8/R4K1R w K - 0 1", mv("f1h1", CASTLING), "g1", "f1"}, // rook onto the king's square
        {"4k3/8/8/8/8/8/8/R4KR1 w K - 0 1", mv("f1g1", CASTLING), "g1", "f1"}, // the two swap
        {"4k3/8/8/8/8/8/8/1RK4R w Q - 0 1", mv("c1b1", CASTLING), "c1", "d1"},
        {"4k3/8/8/8/8/8/8/2RK3R w Q - 0 1", mv("d1c1", CASTLING), "c1", "d1"}, // king onto the rook's square
        {"4k3/8/8/8/8/8/8/R2K3R w Q - 0 1", mv("d1a1", CASTLING), "c1", "d1"}, // rook onto the king's square
    };
    for (const Case& c : cases) {
        Position pos = positionFromFen(c.fen);
        Move list[MAX_MOVES];
        ASSERT_EQ(generateCastling(pos, WHITE, list), 1) << c.fen;
        ASSERT_EQ(moveOnly(list[0]), c.move) << c.fen;
        Position child = made(pos, c.move);
        EXPECT_EQ(child.pieces[WHITE][KING], squareBit[sq(c.king)]) << c.fen;
        EXPECT_EQ(child.board[sq(c.king)], pieceCode(WHITE, KING)) << c.fen;
        EXPECT_EQ(child.board[sq(c.rook)], pieceCode(WHITE, ROOK)) << c.fen;
        EXPECT_EQ(child.pieces[WHITE][ROOK], (pos.pieces[WHITE][ROOK] & ~squareBit[moveTo(c.move)]) | squareBit[sq(c.rook)])
            << c.fen;
        EXPECT_EQ(popcount(child.pieces[WHITE][0]), popcount(pos.pieces[WHITE][0])) << c.fen;
        int onBoard = 0;
        for (Square s = 0; s < 64; ++s) onBoard += child.board[s] != 0;
        EXPECT_EQ(onBoard, popcount(child.occupied)) << c.fen;
        EXPECT_EQ(child.key, computeKey(child)) << c.fen;
        EXPECT_EQ(child.castleLost & 3, 3) << c.fen;
    }
    // The castling rook shielded the king's destination: legal only if no rook then sees it.
    Position shielded = positionFromFen("4k3/8/8/8/8/8/8/rR2K3 w Q - 0 1");
    Position child;
    EXPECT_FALSE(makeMove(shielded, child, mv("e1b1", CASTLING)));
}

TEST(MakeMove, IllegalMovesAreRejectedAndTheParentIsUntouched) {
    Position pos = positionFromFen("4k3/4r3/8/8/8/8/4N3/4K3 w - - 0 1");
    const Position before = pos;
    Position child;
    EXPECT_FALSE(makeMove(pos, child, mv("e2c3")));  // pinned knight
    EXPECT_FALSE(makeMove(pos, child, mv("e2g3")));
    EXPECT_EQ(std::memcmp(&pos, &before, sizeof pos), 0);
    EXPECT_TRUE(makeMove(pos, child, mv("e1f1")));
    EXPECT_EQ(std::memcmp(&pos, &before, sizeof pos), 0);
}

TEST(MakeMove, CountsNodesUnlessStopped) {
    Position pos = positionFromFen(startFen);
    pos.threadIndex = 3;
    Position child;
    uint64_t start = nodeCounters[3].nodes.load();
    makeMove(pos, child, mv("e2e3"));
    makeMove(pos, child, NO_MOVE);
    EXPECT_EQ(nodeCounters[3].nodes.load(), start + 2);
    stopFlags[3].value = 1;
    makeMove(pos, child, mv("e2e3"));
    stopFlags[3].value = 0;
    EXPECT_EQ(nodeCounters[3].nodes.load(), start + 2);
}

TEST(MakeMove, NodeRateLimitSlowsTheSearchDown) {
    Position pos = positionFromFen(startFen);
    Position child;
    searchStart = nowSeconds();
    nodeRateLimit = 100;
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 40; ++i) makeMove(pos, child, mv("e2e4", DOUBLE_PUSH));
    nodeRateLimit = 0;
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(seconds, 0.02);
}

// Every field make-move keeps incrementally equals a recomputation from scratch, after every move
// of random games (null moves mixed in), with random piece-square values.
TEST(MakeMove, IncrementalFieldsMatchRecomputation) {
    static PackedScore saved[2][8][64];
    std::memcpy(saved, pieceSquareTable, sizeof saved);
    std::mt19937 random(17);
    for (auto& side : pieceSquareTable)
        for (auto& type : side)
            for (PackedScore& v : type) v = pack(int(random() % 4001) - 2000, int(random() % 4001) - 2000);

    auto check = [](const Position& pos, const char* what) {
        SCOPED_TRACE(toFen(pos) + " after " + what);
        uint64_t ep = pos.epSquare ? zobrist.enPassant[lsb(pos.epSquare)] : 0;
        ASSERT_EQ(pos.key, computeKey(pos) ^ ep);
        ASSERT_EQ(pos.pawnKingKey, computePawnKingKey(pos));
        ASSERT_EQ(pos.materialKey, computeMaterialKey(pos));
        ASSERT_EQ(pos.materialCountKey, computeMaterialCountKey(pos));
        ASSERT_EQ(pos.pstScore, computePstScore(pos));
        ASSERT_EQ(pos.phase, computePhase(pos));
        ASSERT_EQ(pos.pieceCount, uint32_t(popcount(pos.occupied)));
        for (Color c : {WHITE, BLACK}) {
            Bitboard all = 0;
            for (int t = PAWN; t <= KING; ++t) {
                ASSERT_EQ(all & pos.pieces[c][t], 0u);
                all |= pos.pieces[c][t];
                for (Bitboard b = pos.pieces[c][t]; b;) ASSERT_EQ(pos.board[popLsb(b)], pieceCode(c, PieceType(t)));
            }
            ASSERT_EQ(pos.pieces[c][0], all);
        }
        ASSERT_EQ(pos.occupied, pos.pieces[WHITE][0] | pos.pieces[BLACK][0]);
        for (Square s = 0; s < 64; ++s) ASSERT_EQ(pos.board[s] != 0, bool(pos.occupied & squareBit[s]));
    };

    std::vector<std::pair<std::string, bool>> starts;
    for (const std::string& fen : variedStartFens()) starts.push_back({fen, false});
    for (const char* fen : {"bqnb1rkr/pp3ppp/3ppn2/2p5/5P2/P2P4/NPP1P1PP/BQ1BNRKR w HFhf - 0 1",
                            "1r2k1rr/pppppppp/8/8/8/8/PPPPPPPP/1R2K1RR w GBgb - 0 1",
                            "r1k1r2q/p1ppp1pp/8/8/8/8/P1PPP1PP/R1K1R2Q w KQkq - 0 1"})
        starts.push_back({fen, true});
    int moves = 0;
    for (const auto& [fen, chess960] : starts) {
        Chess960Setting rules(chess960);
        Position start = positionFromFen(fen);
        check(start, "reading");
        for (int game = 0; game < 20; ++game) {
            Position pos = start;
            for (int ply = 0; ply < 120; ++ply) {
                std::vector<Move> legal = legalMoves(pos);
                if (legal.empty()) break;
                bool null = !pos.inCheck && random() % 10 == 0;
                Move move = null ? NO_MOVE : legal[random() % legal.size()];
                Position child;
                ASSERT_TRUE(makeMove(pos, child, move));
                setInCheck(child);
                check(child, moveToString(move).c_str());
                if (HasFatalFailure()) break;
                child.parent = nullptr;
                pos = child;
                ++moves;
            }
            if (HasFatalFailure()) break;
        }
    }
    std::memcpy(pieceSquareTable, saved, sizeof saved);
    EXPECT_GT(moves, 10000);
}

} // namespace
