// The passed-pawn terms that depend on pieces and attacks, for the pawns the pawn pass listed.
#pragma once

#include "board/position.h"
#include "eval/caches.h"
#include "eval/mobility.h"

// Adds the terms of both colours' passed pawns to sum[WHITE] and sum[BLACK]; some go to the side
// that is not the pawn's owner (a king near the promotion square, a rook behind the pawn).
void passedPawnTerms(const Position& pos, const EvalAttacks& at, const PawnEntry& entry, PackedScore sum[2]);
