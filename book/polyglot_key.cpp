// The book key of a position, computed from the Polyglot random numbers. It is independent of the
// engine's own Zobrist key, which uses different numbers and a different en-passant rule.
#include <bit>

#include "book/book.h"
#include "book/polyglot_random.h"

uint64_t polyglotKey(const Position& pos) {
    uint64_t key = 0;
    for (Square s = 0; s < 64; ++s) {
        uint8_t code = pos.board[s];
        PieceType type = typeOfCode(code);
        if (type < PAWN || type > KING) continue;
        int kind = 2 * (type - 1) + (colorOfCode(code) == WHITE ? 1 : 0);
        key ^= polyglotRandom[64 * kind + s];
    }
    // castleLost bits 0-3 are White kingside, White queenside, Black kingside, Black queenside,
    // the order of the book's four castling numbers.
    for (int right = 0; right < 4; ++right)
        if (!(pos.castleLost & (1 << right))) key ^= polyglotRandom[POLYGLOT_CASTLE_INDEX + right];
    // epSquare is set only when a pawn of the side to move stands beside the pawn that has just
    // advanced two squares, which is exactly when book keys include the en-passant file.
    if (pos.epSquare)
        key ^= polyglotRandom[POLYGLOT_EN_PASSANT_INDEX + fileOf(std::countr_zero(pos.epSquare))];
    if (sideToMove(pos) == WHITE) key ^= polyglotRandom[POLYGLOT_TURN_INDEX];
    return key;
}
