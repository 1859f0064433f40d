// Search tables that depend on the options "Selectivity" and "Reduction" and on the piece
// values, rebuilt together with the evaluation tables.
#pragma once

// Late-move reductions in half-plies, [improving 0/1][depth 0..63][move number 0..63].
extern int lmrNonPV[2][64][64];
extern int lmrPV[2][64][64];
// Late-move count by remaining depth, 0..25.
extern int lateMoveCount[26];
// Futility base by depth, 0..23.
extern int futilityBase[24];
// Piece values of the quiescence search in centipawns, [phase 0..96][PieceType].
extern int quiescencePieceValue[97][7];

void buildSearchTables();
