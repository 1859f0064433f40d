// Weights of the evaluation driver and of the material evaluation, and the tables derived from
// them. Values are millipawns; a pair is (middlegame, endgame).
#pragma once

#include <cstdint>

#include "eval/packed_score.h"

// Material values of the pieces, by PieceType (the king has none).
constexpr PackedScore PAWN_VALUE = pack(620, 950);
constexpr PackedScore KNIGHT_VALUE = pack(3300, 3300);
constexpr PackedScore BISHOP_VALUE = pack(3425, 3425);
constexpr PackedScore ROOK_VALUE = pack(4600, 5750);
constexpr PackedScore QUEEN_VALUE = pack(9550, 10150);
constexpr PackedScore pieceValue[7] = {0, PAWN_VALUE, KNIGHT_VALUE, BISHOP_VALUE, ROOK_VALUE, QUEEN_VALUE, 0};

// Bonus of the side to move by phase 0..96: 50 at phase 0 rising linearly to 116 at phase 96.
extern int tempoBonus[97];
// Late-endgame bonus by pawn span (files from the outermost pawn to the other), endgame half only.
extern PackedScore spanBonus[9];
// Pawn span of an 8-bit file mask: highest set file - lowest set file + 1, 0 for no file.
extern uint8_t pawnSpanTable[256];
// Phase as the material evaluation sees it (stretches the middlegame end), by phase 0..96.
extern int materialPhaseCurve[97];
// Drawishness scale of the material evaluation by material phase: 0.95 + 0.2 * p / 96.
extern double scaleByPhase[97];

// Tables that depend on no option: pawn span, material phase curve, scale by phase.
void initDriverTables();
// Tables rebuilt with every parameter rebuild: tempo and span bonus.
void buildDriverTables();
