// Helpers shared by the board tests: legal move lists and positions from seeded random games.
#pragma once

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "board/attacks.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/movetext.h"
#include "board/position.h"

inline std::vector<Move> movesOf(const Move* list, int n) {
    std::vector<Move> moves;
    for (int i = 0; i < n; ++i) moves.push_back(moveOnly(list[i]));
    return moves;
}

inline std::vector<Move> sorted(std::vector<Move> moves) {
    std::sort(moves.begin(), moves.end());
    return moves;
}

inline std::vector<Move> allMoves(const Position& pos) {
    Move list[MAX_MOVES];
    return movesOf(list, generateAll(pos, list));
}

// The moves of `moves` that make-move accepts.
inline std::vector<Move> legalOnly(const Position& pos, const std::vector<Move>& moves) {
    std::vector<Move> legal;
    for (Move m : moves) {
        Position child;
        if (makeMove(pos, child, m)) legal.push_back(m);
    }
    return legal;
}

inline std::vector<Move> legalMoves(const Position& pos) { return legalOnly(pos, allMoves(pos)); }

inline void setInCheck(Position& pos) { pos.inCheck = kingAttacked(pos, sideToMove(pos)) ? 1 : 0; }

// Positions along seeded random games from each start FEN (the start FENs included). The games
// stop at positions without legal moves or after `plies` moves.
inline std::vector<Position> randomGamePositions(const std::vector<std::string>& fens, int gamesPerFen, int plies,
                                                 unsigned seed) {
    std::mt19937 random(seed);
    std::vector<Position> positions;
    for (const std::string& fen : fens) {
        Position start;
        if (!setFromFen(start, fen)) continue;
        for (int game = 0; game < gamesPerFen; ++game) {
            Position pos = start;
            positions.push_back(pos);
            for (int ply = 0; ply < plies; ++ply) {
                std::vector<Move> legal = legalMoves(pos);
                if (legal.empty()) break;
                Position child;
                makeMove(pos, child, legal[random() % legal.size()]);
                setInCheck(child);
                child.parent = nullptr;
                pos = child;
                positions.push_back(pos);
            }
        }
    }
    return positions;
}

// Calls `visit` on the positions of the random games from each start FEN in turn. The castling
// geometry is process-wide and belongs to the last FEN read, so each FEN's positions are visited
// before the next FEN is read.
template <typename Visit>
void forEachRandomGamePosition(const std::vector<std::string>& fens, int gamesPerFen, int plies, unsigned seed,
                               Visit visit) {
    for (const std::string& fen : fens)
        for (const Position& pos : randomGamePositions({fen}, gamesPerFen, plies, seed)) visit(pos);
}

// Start FENs with a bit of everything: castling both ways, promotions, en passant, checks.
inline const std::vector<std::string>& variedStartFens() {
    static const std::vector<std::string> fens = {
        "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
        "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
        "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
        "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
        "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8",
        "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
        "8/ppp3p1/8/8/3p4/5Q2/1ppp2K1/brk4n w - - 0 1",
        "4k3/1P6/8/8/8/8/6p1/4K3 w - - 0 1",
    };
    return fens;
}
