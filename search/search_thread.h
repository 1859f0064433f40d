// The per-thread record of the search: the thread's own root, its move-ordering tables and its
// results per iteration. Each search thread reads and writes only its own record while it
// searches; the driver fills the records between searches.
#pragma once

#include <atomic>
#include <cstdint>

#include "board/position.h"
#include "board/types.h"
#include "search/root_moves.h"

// Deepest ply the search tables hold; a node this far from the root is scored by the static
// evaluation instead of being searched (only pathological lines get there).
constexpr int MAX_PLY = 200;
// Iterative deepening stops after this many iterations even without any other limit.
constexpr int ITERATION_CEILING = 1000;
// A principal variation holds at most this many moves plus its terminating 0.
constexpr int MAX_PV = 64;

struct PlyMoves {
    Move killer1;
    Move killer2;
    Move evasion; // best move found at this ply while in check
};

struct SearchThread {
    Position rootPosition;
    RootMove rootMoves[MAX_ROOT_MOVES + 1]; // terminated by a zero move
    int rootMoveCount;

    // Killers and evasion moves, indexed by ply; two spare plies for the ply + 2 clearing.
    PlyMoves plyMoves[MAX_PLY + 4];
    // Quiet replies that refuted a move: [slot][side][moved piece type][from-to of that move].
    uint16_t counterMoves[2][2][8][4096];
    // Quiet-move success counters, 0 .. 32640: [side][piece type][destination].
    int32_t history[2][8][64];

    // Result of each iteration: its score and principal variation (0-terminated).
    int iterationScores[ITERATION_CEILING + 2];
    Move iterationLines[ITERATION_CEILING + 2][MAX_PV];

    // Worker hand-over: the iteration to search (0 = idle) and the go flag (guarded by the pool's
    // wake mutex). The driver and the worker both write the iteration. The thread objects are
    // kept by the pool (search/thread_pool.cpp).
    std::atomic<int> iterationToSearch;
    bool goFlag;
};

extern SearchThread searchThreads[MAX_THREADS];

// Clears the killers, evasion moves and counter moves of one thread (every search start).
void clearMoveOrderingTables(SearchThread& thread);
// Sets every history counter of one thread to the same value.
void fillHistory(SearchThread& thread, int32_t value);
// Links a position to the thread's history table and evaluation caches, and records the index.
void linkPositionToThread(Position& pos, int threadIndex);
