// The transposition table shared by all search threads.
#pragma once

#include <cstdint>

#include "board/types.h"

// One entry, 16 bytes, little-endian. The layout is also the hash file format.
//   0  8  key: the full 64-bit key; 0 marks an empty entry
//   8  2  score (node-relative, see scoreToTT)
//  10  2  move
//  12  2  depth (half-plies)
//  14  1  bits 0-3 flags (1 upper, 2 lower, 3 exact, +4 terminal), bits 4-7 keepBias (signed)
//  15  1  generation
struct TTEntry {
    uint64_t key;
    int16_t score;
    uint16_t move;
    int16_t depth;
    uint8_t flags;
    uint8_t generation;
};
static_assert(sizeof(TTEntry) == 16);

struct alignas(64) TTBucket {
    TTEntry entries[4];
};
static_assert(sizeof(TTBucket) == 64);

struct TranspositionTable {
    uint64_t bucketCount = 0;
    uint64_t mask = 0;
    uint64_t generation = 0;
    uint64_t filledCount = 0;
    TTBucket* buckets = nullptr;
};

extern TranspositionTable tt;

inline void ttPrefetch(uint64_t key) {
    if (tt.buckets) __builtin_prefetch(&tt.buckets[key & tt.mask]);
}
