// Shared steps of the exchange evaluations: the attackers of one square through a working
// occupancy, picked least valuable first.
#pragma once

#include "board/attacks.h"
#include "board/position.h"

// Pieces of `side` of the given type that attack `target` through `occupancy` (only pieces still
// in the occupancy count, so captured and moved pieces drop out and x-ray pieces join).
inline Bitboard attackersOfType(const Position& pos, Color side, PieceType type, Square target, Bitboard occupancy) {
    Bitboard pieces = pos.pieces[side][type] & occupancy;
    if (!pieces) return 0;
    switch (type) {
    case PAWN: return pieces & pawnAttacks(~side, squareBit[target]);
    case KNIGHT: return pieces & knightAttacks[target];
    case BISHOP: return pieces & bishopAttacks(target, occupancy);
    case ROOK: return pieces & rookAttacks(target, occupancy);
    case QUEEN: return pieces & queenAttacks(target, occupancy);
    case KING: return pieces & kingAttacks[target];
    default: return 0;
    }
}

// The least valuable attacker of `target` for `side`, pawns first and the king last, skipping
// the squares in `excluded`. Returns its type, or NO_PIECE_TYPE; `from` receives its square.
inline PieceType leastValuableAttacker(const Position& pos, Color side, Square target, Bitboard occupancy,
                                       Square& from, Bitboard excluded = 0) {
    for (int t = PAWN; t <= KING; ++t) {
        Bitboard b = attackersOfType(pos, side, PieceType(t), target, occupancy) & ~excluded;
        if (b) {
            from = lsb(b);
            return PieceType(t);
        }
    }
    return NO_PIECE_TYPE;
}
