// Positions for measuring and checking the evaluation: the benchmark's fixed positions and the
// positions reached from start positions by random legal play. Header-only, shared by the
// measuring tools and the tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "board/makemove.h"
#include "board/movegen.h"
#include "board/position.h"
#include "uci/bench.h"

// The 50 positions of the benchmark (placement, side to move, castling, en passant).
inline const std::vector<std::string>& benchmarkFens() {
    static const std::vector<std::string> fens = [] {
        std::vector<std::string> list;
        for (int i = 0; i < benchPositionCount(); ++i) list.emplace_back(benchPosition(i));
        return list;
    }();
    return fens;
}

// A small deterministic generator (xorshift64*), so that every run plays the same games.
struct PlayoutRandom {
    uint64_t state;
    uint64_t next() {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        return state * 0x2545F4914F6CDD1DULL;
    }
    int below(int n) { return int(next() % uint64_t(n)); }
};

// Plays one random legal move; false when there is none (mate or stalemate).
inline bool playRandomMove(const Position& pos, Position& child, PlayoutRandom& random) {
    Move moves[MAX_MOVES];
    int n = generateAll(pos, moves);
    while (n > 0) {
        int i = random.below(n);
        if (makeMove(pos, child, moveOnly(moves[i]))) {
            child.parent = nullptr;
            return true;
        }
        moves[i] = moves[--n];
    }
    return false;
}

// Every position reached by random games from the start positions, taken in turn, until `count`
// positions are collected. A game ends at mate, stalemate, bare kings, the fifty-move limit or
// after `maxPlies`. The positions carry their piece-square sum and phase, and no parent link.
inline std::vector<Position> randomPlayoutPositions(const std::vector<std::string>& fens, size_t count, uint64_t seed,
                                                    int maxPlies = 400) {
    std::vector<Position> out;
    out.reserve(count);
    PlayoutRandom random{seed | 1};
    for (size_t game = 0; out.size() < count && !fens.empty(); ++game) {
        Position pos{};
        if (!setFromFen(pos, fens[game % fens.size()])) continue;
        pos.pstScore = computePstScore(pos);
        pos.phase = int16_t(computePhase(pos));
        for (int ply = 0; ply < maxPlies && out.size() < count; ++ply) {
            Position child;
            if (!playRandomMove(pos, child, random)) break;
            pos = child;
            out.push_back(pos);
            if (pos.pieceCount <= 2 || pos.halfmoveClock >= 110) break;
        }
    }
    return out;
}
