#include <gtest/gtest.h>

#include <cstring>

#include "board/attacks.h"
#include "board/movegen.h"
#include "board/zobrist.h"
#include "perft_data.h"
#include "test_support.h"

namespace {

Square sq(const char* name) { return makeSquare(name[0] - 'a', name[1] - '1'); }

Bitboard squares(std::initializer_list<const char*> names) {
    Bitboard b = 0;
    for (const char* n : names) b |= 1ULL << sq(n);
    return b;
}

TEST(Fen, EmptyTextIsTheStartPosition) {
    Position pos = positionFromFen("");
    EXPECT_EQ(pos.castleLost, 0);
    EXPECT_EQ(pos.ply, 0);
    EXPECT_EQ(pos.epSquare, 0u);
    EXPECT_EQ(pos.pieceCount, 32u);
    EXPECT_EQ(pos.phase, 96);
    EXPECT_EQ(pos.parent, nullptr);
    EXPECT_EQ(pos.lastMove, 0u);
    EXPECT_EQ(pos.board[sq("e1")], pieceCode(WHITE, KING));
    EXPECT_EQ(pos.board[sq("d8")], pieceCode(BLACK, QUEEN));
    EXPECT_EQ(pos.pieces[WHITE][PAWN], 0xff00ULL);
    EXPECT_EQ(pos.occupied, 0xffff00000000ffffULL);
    EXPECT_EQ(toFen(pos), "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -");
    EXPECT_EQ(pos.key, positionFromFen(startFen).key);
}

TEST(Fen, RoundTripsWithoutMoveCounters) {
    const char* fens[] = {
        "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -",
        "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - -",
        "r2q1rk1/pP1p2pp/Q4n2/bbp1p3/Np6/1B3NBn/pPPP1PPP/R3K2R b KQ -",
        "rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6",
        "rnbqkbnr/pppp1ppp/8/8/3Pp3/8/PPP1PPPP/RNBQKBNR b Kq d3",
        "4k3/8/8/8/8/8/8/R3K3 w Q -",
        "r3k2r/8/8/8/8/8/8/4K3 b kq -",
    };
    for (const char* fen : fens) {
        EXPECT_EQ(toFen(positionFromFen(std::string(fen) + " 0 1")), fen);
        EXPECT_EQ(toFen(positionFromFen(fen)), fen) << "without counters";
    }
}

TEST(Fen, EnPassantSquareOnlyWhenACaptureIsPossible) {
    const std::string afterE4 = "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1";
    Position plain = positionFromFen(afterE4);
    EXPECT_EQ(plain.epSquare, 0u);
    EXPECT_EQ(plain.key, computeKey(plain));
    EXPECT_EQ(plain.lastMove, encodeMove(sq("e2"), sq("e4")));
    EXPECT_EQ(toFen(plain), "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq -");

    Position capturable = positionFromFen("rnbqkbnr/ppp1pppp/8/8/3pP3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1");
    EXPECT_EQ(capturable.epSquare, squareBit[sq("e3")]);
    EXPECT_EQ(capturable.key, computeKey(capturable) ^ zobrist.enPassant[sq("e3")]);
    EXPECT_EQ(capturable.lastMove, encodeMove(sq("e2"), sq("e4")));

    // A target that no double push can explain is ignored: wrong side to move, no pushed pawn,
    // an occupied target or origin, a square off the third and sixth ranks, junk.
    const char* inconsistent[] = {
        "rnbqkbnr/ppp1pppp/8/8/3pP3/8/PPPP1PPP/RNBQKBNR w KQkq e3 0 1",
        "rnbqkbnr/ppp1pppp/8/8/3p4/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1",
        "rnbqkbnr/ppp1pppp/8/8/3pP3/4N3/PPPP1PPP/RNBQKB1R b KQkq e3 0 1",
        "rnbqkbnr/ppp1pppp/8/8/3pP3/8/PPPPNPPP/RNBQKB1R b KQkq e3 0 1",
        "rnbqkbnr/ppp1pppp/8/8/3pP3/8/PPPP1PPP/RNBQKBNR b KQkq e4 0 1",
        "rnbqkbnr/ppp1pppp/8/8/3pP3/8/PPPP1PPP/RNBQKBNR b KQkq z9 0 1",
    };
    for (const char* fen : inconsistent) {
        Position pos = positionFromFen(fen);
        EXPECT_EQ(pos.epSquare, 0u) << fen;
        EXPECT_EQ(pos.lastMove, 0u) << fen;
        EXPECT_EQ(pos.key, computeKey(pos)) << fen;
    }
}

TEST(Fen, ShortRankIsPaddedBySlash) {
    Position pos = positionFromFen("4k3/8/8/8/4/8/8/4K3 w - - 0 1");
    EXPECT_EQ(pos.pieceCount, 2u);
    EXPECT_EQ(pos.pieces[WHITE][KING], squareBit[sq("e1")]);
    Position padded = positionFromFen("4k3/pppp/8/8/8/8/8/4K3 w - - 0 1");
    EXPECT_EQ(padded.pieces[BLACK][PAWN], squares({"a7", "b7", "c7", "d7"}));
    EXPECT_EQ(padded.pieces[WHITE][KING], squareBit[sq("e1")]);
}

TEST(Fen, FullRecomputationsOfTheStartPosition) {
    Position pos = positionFromFen(startFen);
    EXPECT_EQ(computePhase(pos), 96);
    // Both sides have the same material: the count signature is a sum of matching entries.
    uint64_t whiteMaterial = 8 * zobrist.material[WHITE][PAWN][0] + 2 * zobrist.material[WHITE][KNIGHT][0] +
                             2 * zobrist.material[WHITE][BISHOP][0] + 2 * zobrist.material[WHITE][ROOK][0] +
                             zobrist.material[WHITE][QUEEN][0];
    uint64_t blackMaterial = 8 * zobrist.material[BLACK][PAWN][0] + 2 * zobrist.material[BLACK][KNIGHT][0] +
                             2 * zobrist.material[BLACK][BISHOP][0] + 2 * zobrist.material[BLACK][ROOK][0] +
                             zobrist.material[BLACK][QUEEN][0];
    EXPECT_EQ(pos.materialCountKey, whiteMaterial + blackMaterial);
    // Bishops on both shades: one light and one dark entry per side.
    EXPECT_EQ(pos.materialKey, pos.materialCountKey - zobrist.material[WHITE][BISHOP][0] +
                                   zobrist.material[WHITE][BISHOP][1] - zobrist.material[BLACK][BISHOP][0] +
                                   zobrist.material[BLACK][BISHOP][1]);
    EXPECT_EQ(pos.key, computeKey(pos));
    Position blackToMove = positionFromFen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQkq - 0 1");
    EXPECT_EQ(pos.key ^ blackToMove.key, sideToggleKey());
    EXPECT_EQ(pos.pawnKingKey, blackToMove.pawnKingKey);
}

// The castling field, under Chess960 rules: KQkq name the outermost rooks, file letters name the
// rook itself (X-FEN and Shredder-FEN).
TEST(Fen, Chess960CastlingRights) {
    Chess960Setting rules(true);
    Position kqkq = positionFromFen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
    CastlingGeometry standard = castling;
    Position haha = positionFromFen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w HAha - 0 1");
    EXPECT_EQ(haha.castleLost, kqkq.castleLost);
    EXPECT_EQ(haha.key, kqkq.key);
    EXPECT_EQ(std::memcmp(&standard, &castling, sizeof castling), 0);

    // King b1 with rooks a1 and h1.
    Position b1 = positionFromFen("1r4kr/8/8/8/8/8/8/RK5R w Q - 0 1");
    EXPECT_EQ(b1.castleLost, 15 & ~(1 << WHITE_QUEENSIDE));
    EXPECT_EQ(castling.kingOrigin[WHITE], sq("b1"));
    EXPECT_EQ(castling.rookOrigin[WHITE_QUEENSIDE], sq("a1"));
    EXPECT_EQ(castling.emptyMask[WHITE_QUEENSIDE], squares({"c1", "d1"}));
    EXPECT_EQ(castling.safeMask[WHITE_QUEENSIDE], squares({"b1", "c1"}));
    EXPECT_EQ(castling.castleMaskBySquare[sq("a1")], 1 << WHITE_QUEENSIDE);
    EXPECT_EQ(castling.castleMaskBySquare[sq("b1")], 3);

    // King g1 with the kingside rook on h1: the king stays, only the rook moves.
    Position g1 = positionFromFen("4k3/8/8/8/8/8/8/R5KR w K - 0 1");
    EXPECT_EQ(g1.castleLost, 15 & ~(1 << WHITE_KINGSIDE));
    EXPECT_EQ(castling.emptyMask[WHITE_KINGSIDE], squares({"f1"}));
    EXPECT_EQ(castling.safeMask[WHITE_KINGSIDE], squares({"g1"}));

    // A rook that is not the outermost one is named by its file; writing gives the file back.
    Position inner = positionFromFen("1r2k1rr/pppppppp/8/8/8/8/PPPPPPPP/1R2K1RR w GBgb - 0 1");
    EXPECT_EQ(inner.castleLost, 0);
    EXPECT_EQ(castling.rookOrigin[WHITE_KINGSIDE], sq("g1"));
    EXPECT_EQ(castling.rookOrigin[BLACK_QUEENSIDE], sq("b8"));
    EXPECT_EQ(castling.castleMaskBySquare[sq("g1")], 1 << WHITE_KINGSIDE);
    EXPECT_EQ(castling.castleMaskBySquare[sq("h1")], 0);
    EXPECT_EQ(toFen(inner), "1r2k1rr/pppppppp/8/8/8/8/PPPPPPPP/1R2K1RR w GQgq -");
    Position xfen = positionFromFen("1r2k1rr/pppppppp/8/8/8/8/PPPPPPPP/1R2K1RR w GQgq - 0 1");
    EXPECT_EQ(xfen.key, inner.key);
    EXPECT_EQ(castling.rookOrigin[WHITE_KINGSIDE], sq("g1"));
}

// A right whose king or rook is not where the castling needs it is dropped, so make-move never
// moves a piece that is not there.
TEST(Fen, UnusableCastlingRightsAreDropped) {
    struct Case {
        bool chess960;
        const char* fen;
        int castleLost;
    } cases[] = {
        {false, "4k3/8/8/8/8/8/8/4K3 w KQkq - 0 1", 15},          // no rooks at all
        {false, "r3k3/8/8/8/8/8/8/4K2R w KQkq - 0 1", 2 | 4},     // only h1 and a8 rooks
        {false, "4k3/8/8/8/8/8/8/4K2n w K - 0 1", 15},            // a knight in the corner
        {false, "4k3/8/8/8/8/8/8/4K2r w K - 0 1", 15},            // a rook of the wrong colour
        {false, "4k3/8/8/8/8/8/4K3/7R w K - 0 1", 15},            // king off the first rank
        {false, "4k3/8/8/8/8/8/8/3K3R w K - 0 1", 15},            // standard chess: king off e1
        {false, "4k3/8/8/8/8/8/8/4K1R1 w K - 0 1", 15},           // standard chess: rook off h1
        {true, "4k3/8/8/8/8/8/8/3K2R1 w K - 0 1", 14},            // Chess960: both fine
        {true, "4k3/8/8/8/8/8/8/R6K w KQ - 0 1", 13},             // Chess960: no rook right of h1
        {true, "4k3/8/8/8/8/8/8/K6R w Q - 0 1", 15},              // Chess960: no rook left of a1
        {true, "4k3/8/8/8/8/8/8/4K2R w A - 0 1", 15},             // named file holds no rook
        {true, "r2r3k/p7/3p4/8/8/P6P/8/R3K2R b KQq - 0 1", 4},    // king h8, rook a8
        {false, "r2r3k/p7/3p4/8/8/P6P/8/R3K2R b KQq - 0 1", 12},  // the same in standard chess
    };
    for (const Case& c : cases) {
        Chess960Setting rules(c.chess960);
        Position pos = positionFromFen(c.fen);
        EXPECT_EQ(pos.castleLost, c.castleLost) << c.fen;
        EXPECT_EQ(pos.key, computeKey(pos)) << c.fen;
        Move list[MAX_MOVES];
        int n = generateCastling(pos, sideToMove(pos), list);
        for (int i = 0; i < n; ++i)
            EXPECT_EQ(pos.board[moveTo(list[i])], pieceCode(sideToMove(pos), ROOK)) << c.fen;
    }
}

TEST(Fen, CastlingFieldAfterBothWhiteRightsAreLost) {
    Position pos = positionFromFen("r3k2r/8/8/8/8/8/8/R3K2R w kq - 0 1");
    EXPECT_EQ(toFen(pos), "r3k2r/8/8/8/8/8/8/R3K2R w kq -");
}

// Refused text leaves the position and the castling geometry as they were.
TEST(Fen, UnsafeTextIsRefusedAndChangesNothing) {
    struct Case {
        std::string fen;
        const char* reason;
    } cases[] = {
        {"8/8/8/8/8/8/8/8 w - - 0 1", "white king"},
        {"4k3/8/8/8/8/8/8/8 w - - 0 1", "white king"},
        {"4k3/8/8/8/8/8/8/K6K w - - 0 1", "two white kings"},
        {"4k2k/8/8/8/8/8/8/4K3 w - - 0 1", "two black kings"},
        {"4k2P/8/8/8/8/8/8/4K3 w - - 0 1", "pawn"},
        {"4k3/8/8/8/8/8/8/p3K3 w - - 0 1", "pawn"},
        {"4k3/8/8/8/8/8/8/4K2r b - - 0 1", "check"},
        {"4k3/ppppppppp/8/8/8/8/8/4K3 w - - 0 1", "too many squares"},
        {"4k3/8/8/8/8/8/8/4K4 w - - 0 1", "too many squares"},
        {"4k3/9/8/8/8/8/8/4K3 w - - 0 1", "too many squares"},
        {"4k3/8/8/8/8/8/8/4K3/p7 w - - 0 1", "too many squares"},
        {"nnnnknnn/nnnnnnnn/n7/8/8/8/8/4K3 w - - 0 1", "16 pieces"},
        {"4k3/8/8/8/8/8/8/4K3", "side to move"},
        {"4k3/8/8/8/8/8/8/4K3 w - - 0 1" + std::string(240, ' '), "255"},
    };
    Chess960Setting rules(true);
    Position pos = positionFromFen("1r2k1rr/pppppppp/8/8/8/8/PPPPPPPP/1R2K1RR w GBgb - 0 1");
    const Position before = pos;
    const CastlingGeometry geometryBefore = castling;
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(setFromFen(pos, c.fen, &error)) << c.fen;
        EXPECT_NE(error.find(c.reason), std::string::npos) << c.fen << ": " << error;
        EXPECT_EQ(std::memcmp(&pos, &before, sizeof pos), 0) << c.fen;
        EXPECT_EQ(std::memcmp(&castling, &geometryBefore, sizeof castling), 0) << c.fen;
    }
    // 255 characters are still read.
    std::string longest = "4k3/8/8/8/8/8/8/4K3 w - - 0 1";
    longest += std::string(255 - longest.size(), ' ');
    EXPECT_TRUE(setFromFen(pos, longest));
}

TEST(FenDeathTest, BadSideToMoveEndsTheProgram) {
    Position pos;
    EXPECT_EXIT(setFromFen(pos, "4k3/8/8/8/8/8/8/4K3 x - - 0 1"), ::testing::ExitedWithCode(1),
                "Error in ctm for fen \"4k3/8/8/8/8/8/8/4K3 x - - 0 1\"");
}

// The evaluation's table of special endings is indexed by the low 16 bits of materialKey; every
// listed material (and its colour-exchanged twin) must get a slot of its own.
TEST(Fen, SpecialEndingMaterialsHaveDistinctSignatureSlots) {
    const char* names[] = {"",     "B",    "C",    "N",    "BCb",  "BCc",  "BC",   "BCn", "BN",  "CN",  "BNb", "CNb",
                           "BNc",  "CNc",  "BNn",  "CNn",  "NP",   "Bb",   "Cb",   "Bc",  "Cc",  "Bn",  "Cn",  "Bp",
                           "Cp",   "Bpp",  "Cpp",  "Bppp", "Cppp", "NN",   "NNb",  "NNc", "NNn", "NNp", "Nn",  "Np",
                           "Npp",  "P",    "Q",    "Qb",   "Qc",   "Qn",   "Qq",   "Qr",  "R",   "RPr", "RNr", "RNrp",
                           "RBr",  "RCr",  "RBrp", "RCrp", "Rbp",  "Rcp",  "Rnp",  "Rb",  "Rc",  "Rn",  "Rr"};
    auto signature = [](const char* name, bool swapColours) {
        uint64_t key = 0;
        for (const char* p = name; *p; ++p) {
            bool upper = *p >= 'A' && *p <= 'Z';
            Color side = (upper != swapColours) ? WHITE : BLACK;
            char letter = upper ? *p : char(*p - 'a' + 'A');
            int type = letter == 'P' ? PAWN : letter == 'N' ? KNIGHT : letter == 'R' ? ROOK : letter == 'Q' ? QUEEN : BISHOP;
            key += zobrist.material[side][type][letter == 'C' ? 1 : 0];
        }
        return key;
    };
    std::vector<std::pair<uint16_t, uint64_t>> slots;
    for (const char* name : names)
        for (bool swap : {false, true}) {
            uint64_t key = signature(name, swap);
            for (auto [slot, other] : slots) EXPECT_TRUE(slot != uint16_t(key) || other == key) << name;
            slots.push_back({uint16_t(key), key});
        }
}

} // namespace
