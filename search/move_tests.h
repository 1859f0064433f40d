// Cheap tests on one move or one position that the searches use to order, prune and extend.
#pragma once

#include "board/position.h"
#include "board/types.h"

// Whether the move, once made, attacks the opponent's king: directly from its destination (the
// promoted piece for a promotion, the rook for castling) or by uncovering one of the mover's
// sliders (the en-passant capture included).
bool givesCheck(const Position& pos, Move move);

// Whether the moving piece of `side` is pinned to its own king by an enemy slider of the line's
// kind, with nothing else shielding the king, and the move leaves that line (an illegal move).
bool movesPinnedPiece(const Position& pos, Color side, Move move);

// 1 when the capture is not sure to gain material: a move to an empty square, or an exchange on
// the destination in which the opponent can leave the capturing side not ahead.
int captureMayNotGain(const Position& pos, Move move);

// Squares on the side to move's 6th to 8th ranks that no enemy pawn attacks now or after
// advancing.
Bitboard pawnSafeZone(const Position& pos);

// A capture (of an enemy piece), an en-passant capture or a promotion.
inline bool isTactical(const Position& pos, Move move) {
    int flag = moveFlag(move);
    if (flag == EN_PASSANT || flag >= PROMO_QUEEN) return true;
    return flag != CASTLING && pos.board[moveTo(move)] != 0;
}

// A plain move (flag NORMAL or DOUBLE_PUSH) to an empty square.
inline bool isPlainQuiet(const Position& pos, Move move) {
    int flag = moveFlag(move);
    return (flag == NORMAL || flag == DOUBLE_PUSH) && pos.board[moveTo(move)] == 0;
}

inline bool isUnderPromotion(Move move) {
    int flag = moveFlag(move);
    return flag == PROMO_KNIGHT || flag == PROMO_ROOK || flag == PROMO_BISHOP;
}

// Whether the position equals one 4, 6, 8, ... plies earlier, looking back no further than its
// halfmove clock allows.
inline bool isRepetition(const Position& pos) {
    int clock = pos.halfmoveClock;
    if (clock < 4) return false;
    const Position* back = pos.parent ? pos.parent->parent : nullptr;
    for (int distance = 4; distance <= clock && back; distance += 2) {
        back = back->parent ? back->parent->parent : nullptr;
        if (back && back->key == pos.key) return true;
    }
    return false;
}

// The fifty-move rule or a repetition makes the position a draw.
inline bool isDrawnByRule(const Position& pos) { return pos.halfmoveClock > 99 || isRepetition(pos); }
