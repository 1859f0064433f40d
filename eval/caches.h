// The three per-thread evaluation caches. Each is a power-of-two array indexed by key & mask,
// always replaced on store and never locked (each thread owns its own). An all-zero key marks an
// empty entry.
#pragma once

#include <cstdint>

#include "eval/packed_score.h"

struct EvalCacheEntry {
    uint64_t key;
    int32_t score; // centipawns, side to move
};
static_assert(sizeof(EvalCacheEntry) == 16);

struct MaterialEntry {
    uint64_t key;   // materialKey
    double scale;
    int32_t score;  // blended units, already scaled
};
static_assert(sizeof(MaterialEntry) == 24);

struct PawnEntry {
    uint64_t key;            // pawnKingKey
    PackedScore score;       // White minus Black
    int16_t cover[2];        // king cover value per colour
    uint8_t passed[2][8];    // passed-pawn squares per colour, ended by 0
    uint8_t blocked;         // blocked-structure flag
    uint8_t span[2];         // pawn span per colour
};
static_assert(sizeof(PawnEntry) == 40);

// Index masks (entries - 1), shared by all threads.
extern uint64_t evalCacheMask;
extern uint64_t pawnCacheMask;
extern uint64_t materialCacheMask;

// Entry counts per thread for "Table Memory" megabytes shared by `threads` threads.
struct CacheSizes {
    uint64_t material, pawn, eval;
};
CacheSizes evaluationCacheSizes(int tableMemoryMb, int threads);

// Sets every pawn-cache key of every thread to 0 (after the weights changed).
void clearPawnCaches();
