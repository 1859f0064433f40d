// Helpers of the search tests: legal moves, an independent brute-force mate finder, and a quiet
// fixed-depth search through the driver.
#pragma once

#include <string>
#include <vector>

#include "board/attacks.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/movetext.h"
#include "board/position.h"
#include "search/root_search.h"
#include "search/search.h"
#include "search/search_state.h"
#include "test_support.h"
#include "tt/tt.h"
#include "uci/settings.h"

inline bool makeLegal(const Position& pos, Position& child, Move move) {
    if (!makeMove(pos, child, move)) return false;
    child.inCheck = kingAttacked(child, sideToMove(child)) ? 1 : 0;
    return true;
}

inline std::vector<Move> legalMoves(const Position& pos) {
    Move list[MAX_MOVES];
    int count = generateAll(pos, list);
    std::vector<Move> moves;
    Position child;
    for (int i = 0; i < count; ++i)
        if (makeLegal(pos, child, moveOnly(list[i]))) moves.push_back(moveOnly(list[i]));
    return moves;
}

// Brute force over legal moves only, no evaluation and no pruning beyond the rules of the game:
// whether the side to move mates within `moves` of its own moves.
inline bool forcesMate(const Position& pos, int moves);

// Whether the side to move, facing an attacker with `moves` moves left, is mated whatever it does.
inline bool defenderLoses(const Position& pos, int moves) {
    std::vector<Move> replies = legalMoves(pos);
    if (replies.empty()) return pos.inCheck != 0;
    if (moves == 0) return false;
    Position child;
    for (Move reply : replies) {
        makeLegal(pos, child, reply);
        if (!forcesMate(child, moves)) return false;
    }
    return true;
}

inline bool forcesMate(const Position& pos, int moves) {
    if (moves <= 0) return false;
    Position child;
    for (Move move : legalMoves(pos)) {
        makeLegal(pos, child, move);
        if (moves == 1 && !child.inCheck) continue; // only a check can mate at once
        if (defenderLoses(child, moves - 1)) return true;
    }
    return false;
}

struct SearchOutcome {
    int score;
    Move best;
};

// A search through the driver without time limit, with reports and "bestmove" switched off and
// draw score 0: to a fixed depth, or (depth 99) until the node limit.
inline SearchOutcome searchToDepth(Position pos, int depth, const std::string& searchMoves = "",
                                   uint64_t nodes = ~0ULL) {
    ttClear();
    benchMode = true;
    fixedMoveTime = false;
    pondering = false;
    infiniteSearch = false;
    nodeLimit = nodes;
    drawScore = 0;
    int score = think(pos, depth, searchMoves, NO_TIME_LIMIT, NO_TIME_LIMIT);
    benchMode = false;
    nodeLimit = ~0ULL;
    return {score, lastSearchBestMove};
}

// A found mate ends a depth-limited search at once, even when a shorter one exists; without a
// depth limit the iterations go on, and a node limit keeps the search deterministic.
inline SearchOutcome searchNodes(const std::string& fen, uint64_t nodes) {
    return searchToDepth(positionFromFen(fen), 99, "", nodes);
}

inline SearchOutcome searchToDepth(const std::string& fen, int depth, const std::string& searchMoves = "") {
    return searchToDepth(positionFromFen(fen), depth, searchMoves);
}

// Plies to mate of a mate score (positive when the side to move mates).
inline int matePlies(int score) { return score > 0 ? MATE_SCORE - score : -(MATE_SCORE + score); }
