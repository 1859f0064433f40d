// Pieces shared by the quiescence search, the main search and the root search.
#pragma once

#include <cstdint>

#include "board/position.h"
#include "board/types.h"
#include "board/zobrist.h"
#include "search/search_state.h"
#include "search/search_thread.h"
#include "search/thread_data.h"
#include "tt/tt.h"

constexpr int FULL_WINDOW = 35000;    // evaluation window that disables the lazy exit
constexpr int MATE_BOUND = 31800;     // |score| at or above this is a mate or tablebase score
constexpr int EVAL_NOT_COMPUTED = 999999;

// The draw value of a node from its side to move's view: the contempt is the root side's.
inline int drawValueAt(int ply) { return (ply & 1) ? -contempt : contempt; }

inline SearchThread& threadOf(const Position& pos) { return searchThreads[pos.threadIndex]; }
inline bool stopped(const Position& pos) { return stopRequested(pos.threadIndex); }

// What a table probe found, the score already made relative to this node.
struct TableHit {
    bool found = false;
    int score = NO_SCORE;
    Move move = 0;
    int depth = 0;
    int flags = 0;
    int bound() const { return flags & 3; }
    bool terminal() const { return (flags & BOUND_TERMINAL) != 0; }
};

inline TableHit probeTable(uint64_t key, int ply) {
    TableHit hit;
    TTEntry entry;
    if (ttProbe(key, entry)) {
        hit.found = true;
        hit.score = scoreFromTT(entry.score, ply);
        hit.move = entry.move;
        hit.depth = entry.depth;
        hit.flags = entry.flags & 15;
    }
    return hit;
}

inline void storeTable(uint64_t key, int depth, int score, int flags, Move move, int keepBias, int ply) {
    ttStore(key, depth, scoreToTT(score, ply), flags, moveOnly(move), keepBias);
}

// A singular test searches the node without its hash move under a key of its own, so that it
// never meets the node's own entry.
inline uint64_t exclusionKey(Move excluded) {
    return zobrist.piece[WHITE][KING][moveTo(excluded)] ^ zobrist.piece[BLACK][KING][moveFrom(excluded)];
}

// Refines a static value with a table bound that does not hold a mate score.
inline int refineWithTable(int value, const TableHit& hit) {
    if (!hit.found || hit.score >= MATE_BOUND || hit.score <= -MATE_BOUND) return value;
    if (hit.bound() == BOUND_EXACT) return hit.score;
    if (hit.bound() == BOUND_LOWER) return hit.score > value ? hit.score : value;
    if (hit.bound() == BOUND_UPPER) return hit.score < value ? hit.score : value;
    return value;
}

// Writes `move` followed by the child's variation (ended by a zero move) into `pv`, cut so that
// the line and its terminating zero fit in MAX_PV entries.
inline void copyLine(Move* pv, Move move, const Move* childPv) {
    pv[0] = move;
    int i = 0;
    while (i < MAX_PV - 2 && childPv[i]) {
        pv[i + 1] = childPv[i];
        ++i;
    }
    pv[i + 1] = 0;
}

// Makes the child and records whether its side to move is in check.
bool makeChild(const Position& pos, Position& child, Move move);
