// Pawn-related piece terms (outposts, blockades, blocked pawns, minor pieces behind pawns, bishop
// placement) and threats against enemy pieces and pawns.
#pragma once

#include "board/position.h"
#include "eval/mobility.h"

// Adds colour s's pawn-related piece terms to `pieces` and its threats to `threats`.
void pawnAndThreatTerms(const Position& pos, const EvalAttacks& at, Color s, PackedScore& pieces,
                        PackedScore& threats);
