// Piece-square values [colour][PieceType][square], signed so that White's entries are positive
// contributions and Black's are the negated mirror. Built by the evaluation's table rebuild;
// make-move keeps their sum in Position::pstScore. They hold no material.
#pragma once

#include "eval/packed_score.h"

extern PackedScore pieceSquareTable[2][8][64];

// Fills pieceSquareTable from the base tables.
void buildPieceSquareTables();
