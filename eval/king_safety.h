// King safety: attack units against the enemy king turned into a middlegame bonus for the
// attacker, and the uncastled king that shuts in its own rook.
#pragma once

#include "board/position.h"
#include "eval/caches.h"
#include "eval/mobility.h"

// Index into the king-attack curve for attacker s against the other king: the attack units plus
// twice the weak squares next to that king, clamped to 0..255.
int kingAttackIndex(const Position& pos, const EvalAttacks& at, const PawnEntry& entry, Color s);

// Attacker s's king-attack bonus (middlegame only).
PackedScore kingAttack(const Position& pos, const EvalAttacks& at, const PawnEntry& entry, Color s);

// (−300, −100) when colour c's king on f1/g1 (f8/g8) shuts in a rook on g1, h1, g2 or h2
// (g8, h8, g7, h7); else 0.
PackedScore kingTrapsRook(const Position& pos, Color c);
