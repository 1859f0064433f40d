// Attack sets of the piece pass and the mobility and placement terms of knights, bishops, rooks
// and queens. The attack sets are computed once per evaluation and reused by king safety, the
// passed pawns and the threats.
#pragma once

#include "board/position.h"
#include "eval/packed_score.h"

// The pieces of one colour with their attack sets, knights first, then bishops, rooks, queens.
// Pieces of kind k are entries first[k] .. first[k + 1] − 1 (first[KING] is the end).
struct PieceAttackList {
    int first[7];
    Square square[64];
    Bitboard attacks[64]; // through the full occupancy
};

struct EvalAttacks {
    PieceAttackList pieces[2];
    Bitboard byKind[2][7];  // [colour][PieceType]: union of the attacks of that kind; [0] all kinds
    Bitboard pawnSpan[2];   // squares the colour's pawns attack now or after advancing
    Bitboard pinned[2];     // the colour's pieces alone between its king and an enemy slider
    Bitboard kingZone[2];   // squares adjacent to the colour's king
    Square king[2];
};

// Fills every field of `at` for the position.
void computeAttacks(const Position& pos, EvalAttacks& at);

// Pieces of either colour that stand alone between the king on `king` and a slider of `enemy`
// aiming at it along an empty-board line.
Bitboard sliderBlockers(const Position& pos, Square king, Color enemy);

// Mobility and placement of the knights, bishops, rooks and queens of colour s.
PackedScore pieceMobility(const Position& pos, const EvalAttacks& at, Color s);
