// The piece pass: mobility and placement of knights, bishops, rooks and queens, threats, king
// safety and the passed-pawn terms that depend on pieces.
#pragma once

#include "board/position.h"
#include "eval/caches.h"

// Per-colour sums of the piece pass, split by term for the "eval" command.
struct PieceTerms {
    PackedScore pieces[2];     // placement and mobility
    PackedScore threats[2];
    PackedScore kingSafety[2];
    PackedScore passedPawns[2];
};

// Adds the piece-pass terms of each colour to white and black. `terms`, when given, receives
// the same values split by term.
void evaluatePieces(const Position& pos, const PawnEntry& entry, PackedScore& white, PackedScore& black,
                    PieceTerms* terms = nullptr);

// Tables of the pawn and piece terms: one-time curves, and the tables rebuilt with the options.
void initTermTables();
void buildTermTables();
