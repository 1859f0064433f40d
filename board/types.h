// Basic vocabulary of the board: squares, colours, piece types, bitboards and the packed move word.
#pragma once

#include <cstdint>

using Bitboard = uint64_t;
using Square = int; // 0..63, a1 = 0, h1 = 7, a8 = 56, h8 = 63

enum Color : int { WHITE = 0, BLACK = 1 };

enum PieceType : int { NO_PIECE_TYPE = 0, PAWN = 1, KNIGHT = 2, BISHOP = 3, ROOK = 4, QUEEN = 5, KING = 6 };

constexpr Color operator~(Color c) { return Color(c ^ 1); }

constexpr int fileOf(Square s) { return s & 7; }
constexpr int rankOf(Square s) { return s >> 3; }
constexpr Square makeSquare(int file, int rank) { return rank * 8 + file; }
constexpr Square flipRank(Square s) { return s ^ 56; }
// Rank counted from the given side's first rank (0..7).
constexpr int relativeRank(Color c, Square s) { return c == WHITE ? rankOf(s) : 7 - rankOf(s); }

// Square codes stored in Position::board: 16 + type for White, 8 + type for Black, 0 empty.
constexpr uint8_t pieceCode(Color c, PieceType t) { return uint8_t((16 >> c) | t); }
constexpr PieceType typeOfCode(uint8_t code) { return PieceType(code & 7); }
constexpr Color colorOfCode(uint8_t code) { return (code & 8) ? BLACK : WHITE; }

constexpr Bitboard NOT_FILE_A = 0xfefefefefefefefeULL;
constexpr Bitboard NOT_FILE_H = 0x7f7f7f7f7f7f7f7fULL;
constexpr Bitboard FILE_A_BB = 0x0101010101010101ULL;
constexpr Bitboard RANK_1_BB = 0xffULL;

// The move word.
//   bits 0-5   destination square
//   bits 6-11  origin square
//   bits 12-14 flag (MoveFlag)
//   bit 15     always 0
//   bits 16-31 only inside move lists: the generator's ordering score
// 0 is the null move and also "no move". Castling is stored as the king capturing its own rook.
using Move = uint32_t;

enum MoveFlag : int {
    NORMAL = 0,
    DOUBLE_PUSH = 1,
    EN_PASSANT = 2,
    CASTLING = 3,
    PROMO_QUEEN = 4,
    PROMO_KNIGHT = 5,
    PROMO_ROOK = 6,
    PROMO_BISHOP = 7,
};

constexpr Move NO_MOVE = 0;

constexpr Move encodeMove(Square from, Square to, int flag = NORMAL) {
    return Move(to) | (Move(from) << 6) | (Move(flag) << 12);
}
constexpr Square moveTo(Move m) { return Square(m & 63); }
constexpr Square moveFrom(Move m) { return Square((m >> 6) & 63); }
constexpr int moveFlag(Move m) { return int((m >> 12) & 7); }
constexpr Move moveOnly(Move m) { return m & 0xffff; }
constexpr int moveScore(Move m) { return int(m >> 16); }
constexpr Move withScore(Move m, int score) { return moveOnly(m) | (Move(score & 0xffff) << 16); }
constexpr bool isPromotion(Move m) { return moveFlag(m) >= PROMO_QUEEN; }
// Promotion flags 4, 5, 6, 7 give queen, knight, rook, bishop.
constexpr PieceType promotedType(Move m) {
    constexpr PieceType byFlag[8] = {NO_PIECE_TYPE, NO_PIECE_TYPE, NO_PIECE_TYPE, NO_PIECE_TYPE,
                                     QUEEN,         KNIGHT,        ROOK,          BISHOP};
    return byFlag[moveFlag(m)];
}

// Longest move list any accepted position can produce. The FEN reader allows at most 16 pieces a
// side, so no list is longer than 15 queens' moves (27 each) plus 8 king steps and 2 castlings.
constexpr int MAX_MOVES = 512;
static_assert(15 * 27 + 8 + 2 <= MAX_MOVES);
constexpr int MAX_THREADS = 64;

static_assert(encodeMove(12, 28, DOUBLE_PUSH) == (28 | (12 << 6) | (1 << 12)));
static_assert(promotedType(encodeMove(52, 60, PROMO_KNIGHT)) == KNIGHT);
