#include "board/threat.h"

#include <algorithm>

#include "board/swap.h"

namespace {
// Values of the full threat measure: what losing a piece costs (targetValue) and what the
// pieces that capture in the exchange are worth (captureValue).
constexpr int targetValue[7] = {0, 2, 6, 7, 10, 19, 999};
constexpr int captureValue[7] = {0, 1, 3, 3, 5, 10, 999};
// Values of the numeric exchange value.
constexpr int exchangePieceValue[7] = {0, 1, 3, 3, 5, 9, 999};

constexpr int PAWN_ON_SEVENTH_THREAT = 15;

// A swap-off on `target`: `side` is to capture next, `onTarget` is the value of the piece that
// stands there, `gain` holds the gains of the captures already made (`depth` of them). Each side
// captures with its least valuable attacker and may stop instead; a king captures only when the
// other side has nothing left to recapture with. Returns the net gain of the first capturer.
int swapOff(const Position& pos, Square target, Bitboard occupancy, Color side, int onTarget, int* gain, int depth,
            const int* values) {
    while (true) {
        Square from;
        PieceType attacker = leastValuableAttacker(pos, side, target, occupancy, from);
        if (attacker == NO_PIECE_TYPE) break;
        if (attacker == KING) {
            Square unused;
            if (leastValuableAttacker(pos, ~side, target, occupancy & ~squareBit[from], unused) != NO_PIECE_TYPE)
                break;
        }
        gain[depth] = onTarget - (depth ? gain[depth - 1] : 0);
        ++depth;
        onTarget = values[attacker];
        occupancy &= ~squareBit[from];
        side = ~side;
    }
    if (depth == 0) return 0;
    for (int i = depth - 1; i > 0; --i) gain[i - 1] = -std::max(-gain[i - 1], gain[i]);
    return gain[0];
}

// What the opponent wins by starting an exchange on the piece at `square` (0 when nothing).
int lossOfPiece(const Position& pos, Square square, PieceType type, Color opponent) {
    int gain[40];
    int result = swapOff(pos, square, pos.occupied, opponent, targetValue[type], gain, 0, captureValue);
    return std::max(result, 0);
}

// Largest loss among the pieces of one kind.
int largestLoss(const Position& pos, Color side, PieceType type, int best) {
    for (Bitboard b = pos.pieces[side][type]; b;) {
        Square s = popLsb(b);
        best = std::max(best, lossOfPiece(pos, s, type, ~side));
    }
    return best;
}

bool anyCaptureWins(const Position& pos, Square from, Bitboard targets) {
    for (Bitboard b = targets; b;) {
        Square to = popLsb(b);
        if (exchangeValue(pos, encodeMove(from, to)) > 0) return true;
    }
    return false;
}
} // namespace

int exchangeValue(const Position& pos, Move move) {
    Square from = moveFrom(move), to = moveTo(move);
    PieceType mover = typeOfCode(pos.board[from]);
    if (mover == NO_PIECE_TYPE) return 0;
    Color side = colorOfCode(pos.board[from]);
    int gain[40];
    gain[0] = exchangePieceValue[typeOfCode(pos.board[to])];
    Bitboard occupancy = pos.occupied & ~squareBit[from];
    return swapOff(pos, to, occupancy, ~side, exchangePieceValue[mover], gain, 1, exchangePieceValue);
}

int fullThreat(const Position& pos) {
    Color us = sideToMove(pos), them = ~us;
    if (pos.pieces[them][PAWN] & relativeRank7[them]) return PAWN_ON_SEVENTH_THREAT;
    // Kinds in falling value; a cheaper kind cannot beat a loss already above its own value.
    int loss = largestLoss(pos, us, QUEEN, 0);
    if (loss > 4) return loss;
    loss = largestLoss(pos, us, ROOK, loss);
    if (loss > 3) return loss;
    loss = largestLoss(pos, us, BISHOP, loss);
    if (loss > 2) return loss;
    loss = largestLoss(pos, us, KNIGHT, loss);
    if (loss > 1) return loss;
    return largestLoss(pos, us, PAWN, loss);
}

int lastMoveThreat(const Position& pos) {
    if (pos.lastMove == NO_MOVE || pos.ply == 0) return 0;
    Color us = sideToMove(pos), them = ~us;
    Square t = moveTo(pos.lastMove);
    uint8_t code = pos.board[t];
    // After castling the destination (the rook's origin) may be empty: nothing to measure.
    if (!code || colorOfCode(code) != them) return 0;
    const Bitboard* ours = pos.pieces[us];
    switch (typeOfCode(code)) {
    case PAWN: {
        Bitboard attacked = pawnAttacks(them, squareBit[t]);
        if (attacked & ours[0] & ~ours[PAWN] & ~ours[KING]) return 2;
        if (relativeRank(them, t) == 6) {
            Square front = them == WHITE ? t + 8 : t - 8;
            if (!(pos.occupied & squareBit[front])) return exchangeValue(pos, encodeMove(t, front)) >= 0 ? 2 : 0;
        }
        return 0;
    }
    case KNIGHT: {
        Bitboard attacked = knightAttacks[t];
        if (attacked & (ours[QUEEN] | ours[ROOK])) return 2;
        return anyCaptureWins(pos, t, attacked & (ours[BISHOP] | ours[PAWN])) ? 1 : 0;
    }
    case BISHOP: {
        Bitboard attacked = bishopAttacks(t, pos.occupied);
        if (attacked & (ours[QUEEN] | ours[ROOK])) return 2;
        return anyCaptureWins(pos, t, attacked & (ours[KNIGHT] | ours[PAWN])) ? 1 : 0;
    }
    case ROOK: {
        Bitboard attacked = rookAttacks(t, pos.occupied);
        if (attacked & ours[QUEEN]) return 2;
        return anyCaptureWins(pos, t, attacked & (ours[KNIGHT] | ours[PAWN] | ours[BISHOP])) ? 1 : 0;
    }
    case QUEEN: {
        Bitboard attacked = queenAttacks(t, pos.occupied);
        return anyCaptureWins(pos, t, attacked & ours[0] & ~ours[KING] & ~ours[QUEEN]) ? 1 : 0;
    }
    case KING:
        return anyCaptureWins(pos, t, kingAttacks[t] & ours[0] & ~ours[KING]) ? 1 : 0;
    default: return 0;
    }
}
