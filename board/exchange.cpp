#include "board/exchange.h"

#include "board/swap.h"

namespace {
// Piece values of the destination test, by PieceType. The king's value marks "the king would be
// taken" in the balance.
constexpr int destinationValue[7] = {0, 2, 7, 7, 11, 21, 999};
// Piece values of the origin test.
constexpr int originValue[7] = {0, 1, 3, 3, 5, 9, 999};

// Balances beyond these can only come from a king standing on the square.
constexpr int DESTINATION_KING_BALANCE = 100;
constexpr int ORIGIN_KING_BALANCE = 50;

// Whether `attacker` may not recapture on `target` because, lifted off the board (the target square
// counted as occupied), it would leave `them`'s king attacked by one of `us`'s sliders: it is
// pinned, or the king is already in check from a line it does not block.
bool exposesKing(const Position& pos, Color them, Square attacker, Square target, Bitboard occupancy) {
    Bitboard kingBit = pos.pieces[them][KING];
    if (!kingBit) return false;
    Square king = lsb(kingBit);
    Color us = ~them;
    Bitboard ours = occupancy & ~squareBit[target];
    // Only sliders on an empty-board line through the king can reach it.
    Bitboard diagonal = (pos.pieces[us][BISHOP] | pos.pieces[us][QUEEN]) & ours & bishopRays[king];
    Bitboard straight = (pos.pieces[us][ROOK] | pos.pieces[us][QUEEN]) & ours & rookRays[king];
    if (!(diagonal | straight)) return false;
    Bitboard after = (occupancy | squareBit[target]) & ~squareBit[attacker];
    return (diagonal && (bishopAttacks(king, after) & diagonal)) ||
           (straight && (rookAttacks(king, after) & straight));
}
} // namespace

int isLosingCapture(const Position& pos, Move move) {
    Square from = moveFrom(move), to = moveTo(move);
    if (moveFlag(move) == EN_PASSANT) return 0;
    PieceType mover = typeOfCode(pos.board[from]);
    if (mover == KING || mover == NO_PIECE_TYPE) return 0;
    PieceType victim = typeOfCode(pos.board[to]);
    if (destinationValue[victim] >= destinationValue[mover]) return 0;

    Color us = colorOfCode(pos.board[from]), them = ~us;
    Bitboard occupancy = pos.occupied & ~squareBit[from] & ~squareBit[to];
    Bitboard excluded = 0;
    int onTarget = destinationValue[mover];
    int balance = destinationValue[victim];
    while (true) {
        // The opponent recaptures with its least valuable piece that is not pinned to its king.
        Square attackerSquare;
        PieceType attacker;
        while (true) {
            attacker = leastValuableAttacker(pos, them, to, occupancy, attackerSquare, excluded);
            if (attacker == NO_PIECE_TYPE || attacker == KING) break;
            if (!exposesKing(pos, them, attackerSquare, to, occupancy)) break;
            excluded |= squareBit[attackerSquare];
        }
        if (attacker == NO_PIECE_TYPE) return 0;
        int afterTheirCapture = balance - onTarget;
        if (afterTheirCapture < -DESTINATION_KING_BALANCE) return 1;
        int afterOurs = afterTheirCapture + destinationValue[attacker];
        if (afterOurs < 0) return 1;
        occupancy &= ~squareBit[attackerSquare];
        if (afterTheirCapture >= 0) return 0;

        // Our recapture.
        Square ourSquare;
        PieceType ours = leastValuableAttacker(pos, us, to, occupancy, ourSquare);
        if (ours == NO_PIECE_TYPE) return 1;
        if (afterOurs > DESTINATION_KING_BALANCE) return 0; // their king cannot have taken
        onTarget = destinationValue[ours];
        balance = afterOurs;
        occupancy &= ~squareBit[ourSquare];
    }
}

int originIsSafe(const Position& pos, Move move) {
    Square origin = moveFrom(move);
    PieceType piece = typeOfCode(pos.board[origin]);
    if (piece == NO_PIECE_TYPE) return 1;
    Color side = colorOfCode(pos.board[origin]), enemy = ~side;
    Bitboard occupancy = pos.occupied & ~squareBit[origin];
    int onSquare = originValue[piece];
    int balance = 0;
    while (balance >= 0) {
        Square attackerSquare;
        PieceType attacker = leastValuableAttacker(pos, enemy, origin, occupancy, attackerSquare);
        if (attacker == NO_PIECE_TYPE) return 1;
        int afterCapture = balance - onSquare;
        if (afterCapture < -ORIGIN_KING_BALANCE) return 0;
        occupancy &= ~squareBit[attackerSquare];
        if (afterCapture >= 0) return 1;

        Square defenderSquare;
        PieceType defender = leastValuableAttacker(pos, side, origin, occupancy, defenderSquare);
        if (defender == NO_PIECE_TYPE) return 0;
        balance = afterCapture + originValue[attacker];
        if (balance > ORIGIN_KING_BALANCE) return 1; // their king cannot take a defended piece
        occupancy &= ~squareBit[defenderSquare];
        onSquare = originValue[defender];
    }
    return 0;
}
