// Side jobs of a search node: the quiet-move list, killer, counter-move and history updates.
#pragma once

#include <cstdint>

#include "board/position.h"
#include "board/types.h"
#include "search/search_thread.h"

// The quiet moves a node has made, in order, as (moved piece type, destination) pairs.
struct QuietList {
    uint16_t entries[256];
    int count = 0;
    void add(int type, Square to) {
        if (count < 256) entries[count++] = uint16_t(type << 6 | to);
    }
};

// Destination used by the history tables: the king's square for castling (stored as king takes
// rook), the move's destination otherwise.
inline Square historySquare(Move move) {
    if (moveFlag(move) != CASTLING) return moveTo(move);
    Square from = moveFrom(move), to = moveTo(move);
    return makeSquare(from < to ? 6 : 2, rankOf(from));
}

inline int32_t& historyOf(const Position& pos, int type, Move move) {
    return historyEntry(pos.historyTable, sideToMove(pos), type, historySquare(move));
}

// Counter moves of the move that led to `pos`, or none after a null move or at a FEN root.
inline void counterMovesFor(const SearchThread& thread, const Position& pos, Move& cm1, Move& cm2) {
    cm1 = cm2 = 0;
    if (!pos.lastMove || !pos.movedType) return;
    int side = sideToMove(pos), fromTo = pos.lastMove & 0xfff;
    cm1 = thread.counterMoves[0][side][pos.movedType & 7][fromTo];
    cm2 = thread.counterMoves[1][side][pos.movedType & 7][fromTo];
}

// A quiet move refuted the opponent's last move: it becomes the first counter move and the first
// killer of the ply; in check it becomes the ply's evasion move instead.
void recordQuietSuccess(SearchThread& thread, const Position& pos, int ply, Move move);

// History of the node's successful quiet move at `index` of the quiet list: a bonus for it and a
// decrease for the other quiet moves, each scaled by the history step for index / 12 + depth.
// `decreaseLater` also lowers the moves made after it; `decreaseEarlier` those made before it.
void rewardHistory(const Position& pos, const QuietList& quiets, int index, int type, Move move, int depth,
                   bool decreaseEarlier, bool decreaseLater);
