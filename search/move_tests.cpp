#include "search/move_tests.h"

#include <algorithm>

#include "board/attacks.h"
#include "board/bitboard.h"

namespace {

Bitboard lineSliders(const Position& pos, Color side, bool straight) {
    return pos.pieces[side][QUEEN] | pos.pieces[side][straight ? ROOK : BISHOP];
}

// Every piece of either side that attacks `square` through the occupancy `occ`.
Bitboard attackersTo(const Position& pos, Square square, Bitboard occ) {
    Bitboard target = squareBit[square];
    return (pawnAttacks(BLACK, target) & pos.pieces[WHITE][PAWN]) |
           (pawnAttacks(WHITE, target) & pos.pieces[BLACK][PAWN]) |
           (knightAttacks[square] & (pos.pieces[WHITE][KNIGHT] | pos.pieces[BLACK][KNIGHT])) |
           (kingAttacks[square] & (pos.pieces[WHITE][KING] | pos.pieces[BLACK][KING])) |
           (bishopAttacks(square, occ) & (lineSliders(pos, WHITE, false) | lineSliders(pos, BLACK, false))) |
           (rookAttacks(square, occ) & (lineSliders(pos, WHITE, true) | lineSliders(pos, BLACK, true)));
}

// Exchange values of the quick gain test.
constexpr int gainValue[7] = {0, 1, 4, 4, 6, 12, 999};

} // namespace

bool givesCheck(const Position& pos, Move move) {
    Color us = sideToMove(pos);
    Bitboard enemyKing = pos.pieces[~us][KING];
    if (!enemyKing) return false;
    Square king = lsb(enemyKing);
    Square from = moveFrom(move), to = moveTo(move);
    int flag = moveFlag(move);
    Bitboard occ = pos.occupied;
    Bitboard diagonal = lineSliders(pos, us, false);
    Bitboard straight = lineSliders(pos, us, true);

    if (flag == CASTLING) {
        // Stored as king takes own rook; the king lands on the g- or c-file, the rook beside it.
        int rank = rankOf(from);
        Square kingTo = makeSquare(from < to ? 6 : 2, rank);
        Square rookTo = makeSquare(from < to ? 5 : 3, rank);
        occ = (occ & ~squareBit[from] & ~squareBit[to]) | squareBit[kingTo] | squareBit[rookTo];
        straight = (straight & ~squareBit[to]) | squareBit[rookTo];
        return (rookAttacks(king, occ) & straight) || (bishopAttacks(king, occ) & diagonal);
    }

    PieceType mover = typeOfCode(pos.board[from]);
    PieceType arriving = flag >= PROMO_QUEEN ? promotedType(move) : mover;
    occ = (occ & ~squareBit[from]) | squareBit[to];
    if (flag == EN_PASSANT) occ &= ~squareBit[makeSquare(fileOf(to), rankOf(from))];

    diagonal &= ~squareBit[from];
    straight &= ~squareBit[from];
    if (arriving == BISHOP || arriving == QUEEN) diagonal |= squareBit[to];
    if (arriving == ROOK || arriving == QUEEN) straight |= squareBit[to];
    if ((rookAttacks(king, occ) & straight) || (bishopAttacks(king, occ) & diagonal)) return true;
    if (arriving == KNIGHT) return (knightAttacks[to] & enemyKing) != 0;
    if (arriving == PAWN) return (pawnAttacks(us, squareBit[to]) & enemyKing) != 0;
    return false;
}

bool movesPinnedPiece(const Position& pos, Color side, Move move) {
    Bitboard ownKing = pos.pieces[side][KING];
    if (!ownKing) return false;
    Square king = lsb(ownKing);
    Square from = moveFrom(move), to = moveTo(move);
    Bitboard fromBit = squareBit[from];
    if (from == king || !(queenLines[king] & fromBit)) return false;
    bool straight = (rookRays[king] & fromBit) != 0;
    Bitboard without = pos.occupied & ~fromBit;
    Bitboard pinners = (straight ? rookAttacks(king, without) : bishopAttacks(king, without)) &
                       lineSliders(pos, ~side, straight);
    while (pinners) {
        Square pinner = popLsb(pinners);
        Bitboard line = between[king][pinner];
        if (line & fromBit) return !((line | squareBit[pinner]) & squareBit[to]);
    }
    return false;
}

int captureMayNotGain(const Position& pos, Move move) {
    Square from = moveFrom(move), to = moveTo(move);
    if (moveFlag(move) == EN_PASSANT) return 0;
    if (pos.board[to] == 0) return 1;
    PieceType mover = typeOfCode(pos.board[from]);
    PieceType victim = typeOfCode(pos.board[to]);
    if (mover == KING || gainValue[victim] > gainValue[mover]) return 0;

    // Swap-off on the destination, least valuable attacker first, each side free to stop.
    int gain[40];
    int depth = 0;
    gain[0] = gainValue[victim];
    Bitboard occ = pos.occupied & ~squareBit[from];
    Bitboard attackers = attackersTo(pos, to, occ) & occ;
    int onSquare = gainValue[mover];
    Color side = ~sideToMove(pos);
    while (depth < 38) {
        Bitboard mine = attackers & pos.pieces[side][0];
        if (!mine) break;
        int type = PAWN;
        while (!(mine & pos.pieces[side][type])) ++type;
        Bitboard attacker = mine & pos.pieces[side][type];
        attacker &= -attacker;
        ++depth;
        gain[depth] = onSquare - gain[depth - 1];
        if (std::max(-gain[depth - 1], gain[depth]) < 0) break;
        occ &= ~attacker;
        attackers = attackersTo(pos, to, occ) & occ;
        onSquare = gainValue[type];
        side = ~side;
    }
    for (; depth > 0; --depth) gain[depth - 1] = -std::max(-gain[depth - 1], gain[depth]);
    return gain[0] <= 0 ? 1 : 0;
}

Bitboard pawnSafeZone(const Position& pos) {
    Color us = sideToMove(pos);
    Color them = ~us;
    Bitboard covered = 0;
    Bitboard pawns = pos.pieces[them][PAWN];
    while (pawns) covered |= forwardAdjacentSpan[them][popLsb(pawns)];
    Bitboard rank8 = us == WHITE ? 0xff00000000000000ULL : 0xffULL;
    return ~covered & (relativeRank6[us] | relativeRank7[us] | rank8);
}
