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
extern bool ttDirty; // a search has run since the table was last cleared

constexpr int BOUND_UPPER = 1;
constexpr int BOUND_LOWER = 2;
constexpr int BOUND_EXACT = 3;
constexpr int BOUND_TERMINAL = 4; // stored as 7

// Start-up allocation: reserves the table without a message and without counting as a value
// applied by the option, so that a first "Hash" setting always reallocates.
void ttAllocate(int megabytes);
// Action of the "Hash" option (megabytes, unclamped). Values outside 1..65536 leave a minimal
// table of four buckets in place, so the engine stays usable.
void ttResize(int megabytes);
// Buckets allocated for a "Hash" of `megabytes` (1..65536): the power of two nearest above
// 0.51 times the buckets that fit, so a power-of-two size is met exactly.
uint64_t ttBucketCountFor(int megabytes);
void ttClear();
void ttNewSearch();
// Copies the entry of `key` into `out`; false when the key is not in the table.
bool ttProbe(uint64_t key, TTEntry& out);
void ttStore(uint64_t key, int depth, int score, int flags, Move move, int keepBias);
int scoreToTT(int score, int ply);
int scoreFromTT(int score, int ply);
int hashfull();
uint64_t ttSizeBytes();

inline void ttPrefetch(uint64_t key) {
    if (tt.buckets) __builtin_prefetch(&tt.buckets[key & tt.mask]);
}
