// Material: piece values with imbalance corrections and drawishness scaling, and the table of
// special material configurations (known draws and endings with their own evaluators).
#pragma once

#include <cstdint>

#include "board/position.h"

// Material score in blended units (millipawns x 96, already scaled), White's point of view, and
// the scale factor for the positional part. Uses and fills the thread's material cache when the
// position links one; results of special evaluators are never cached.
int evaluateMaterial(const Position& pos, double& scale);

// The material evaluation without the cache and without the special table: counts, imbalance,
// phase blend and scaling.
int evaluatePlainMaterial(const Position& pos, double& scale);
// The material balance before scaling (blended units, White's point of view): piece values with
// the imbalance corrections, blended by the material phase curve.
int materialBalance(const Position& pos);

enum class EndgameKind : uint8_t { NONE, BISHOP_KNIGHT_MATE, KNIGHT_PAWN, KING_PAWN, ROOK_PAWN_ROOK };

// One configuration of the special table: score in millipawns (White's point of view), the
// scale for the positional part, and the evaluator that replaces both when there is one.
struct SpecialEntry {
    uint64_t key;  // materialKey of the configuration
    int32_t score;
    double scale;
    EndgameKind evaluator;
};

// Fills the special table from the configuration list (once, at start-up).
void initSpecialEndgames();
// Enters one configuration (score in millipawns for White; the scale follows from it). An
// entry with the same key replaces the earlier one.
void addSpecialEntry(uint64_t key, int score, EndgameKind evaluator);
// The configuration with this material key, or null.
const SpecialEntry* findSpecialEntry(uint64_t materialKey);
// Listed configurations that share the low 16 bits of their material key with a different one
// (they are kept side by side, so lookups stay exact).
int specialSlotCollisions();

// Special evaluators: score in millipawns, White's point of view; they set the scale.
int evaluateBishopKnightMate(const Position& pos, double& scale);
int evaluateKnightPawn(const Position& pos, double& scale);
int evaluateKingPawn(const Position& pos, double& scale);
int evaluateRookPawnRook(const Position& pos, double& scale);
