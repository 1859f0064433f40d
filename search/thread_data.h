// Per-thread counters and links that the board and evaluation code touch on the hot path.
// Kept apart from the rest of the search-thread record so that each thread writes its own cache
// lines only.
#pragma once

#include <atomic>
#include <cstdint>

#include "board/types.h"

struct EvalCacheEntry;
struct PawnEntry;
struct MaterialEntry;

// One byte per thread on its own 64-byte line; thread 0's flag is the search-wide stop flag.
struct alignas(64) StopFlag {
    std::atomic<uint8_t> value{0};
};

// Counted by the owning thread only; read by thread 0 for reports.
struct alignas(64) NodeCounter {
    std::atomic<uint64_t> nodes{0};
    void add() { nodes.store(nodes.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed); }
};

// The tables a position made on this thread links to.
struct ThreadLinks {
    int32_t* history = nullptr; // [side][PieceType 0..7][square]
    EvalCacheEntry* evalCache = nullptr;
    PawnEntry* pawnCache = nullptr;
    MaterialEntry* materialCache = nullptr;
};

extern StopFlag stopFlags[MAX_THREADS];
extern NodeCounter nodeCounters[MAX_THREADS];
extern ThreadLinks threadLinks[MAX_THREADS];

inline bool stopRequested(int thread) { return stopFlags[thread].value.load(std::memory_order_relaxed) != 0; }

// Number of search threads running (thread 0 included).
extern std::atomic<int> activeThreadCount;

// Nodes of all running search threads.
inline uint64_t totalNodes() {
    uint64_t sum = 0;
    int n = activeThreadCount.load(std::memory_order_relaxed);
    for (int i = 0; i < n; ++i) sum += nodeCounters[i].nodes.load(std::memory_order_relaxed);
    return sum;
}
