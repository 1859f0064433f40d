// Pawn structure, passed pawns and the kings' pawn cover. Depends only on pawns and kings, so the
// result is kept in the thread's pawn cache under pawnKingKey.
#pragma once

#include "board/position.h"
#include "eval/caches.h"

// White-minus-Black packed score of the pawn structure; `entry` points at the filled cache entry.
PackedScore evaluatePawns(const Position& pos, const PawnEntry*& entry);
