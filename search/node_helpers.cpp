#include "search/node_helpers.h"

#include <algorithm>

#include "search/search_params.h"

void recordQuietSuccess(SearchThread& thread, const Position& pos, int ply, Move move) {
    move = moveOnly(move);
    PlyMoves& slot = thread.plyMoves[ply];
    if (pos.inCheck) {
        slot.evasion = move;
        return;
    }
    if (pos.lastMove && pos.movedType) {
        int side = sideToMove(pos), fromTo = pos.lastMove & 0xfff, type = pos.movedType & 7;
        uint16_t& first = thread.counterMoves[0][side][type][fromTo];
        if (first != move) {
            thread.counterMoves[1][side][type][fromTo] = first;
            first = uint16_t(move);
        }
    }
    if (slot.killer1 != move) {
        slot.killer2 = slot.killer1;
        slot.killer1 = move;
    }
}

void rewardHistory(const Position& pos, const QuietList& quiets, int index, int type, Move move, int depth,
                   bool decreaseEarlier, bool decreaseLater) {
    const int step = historyStep[std::min(index / 12 + depth, 199)];
    const Color side = sideToMove(pos);
    for (int i = 0; i < quiets.count; ++i) {
        if (i == index || (i < index && !decreaseEarlier) || (i > index && !decreaseLater)) continue;
        int32_t& h = historyEntry(pos.historyTable, side, quiets.entries[i] >> 6, quiets.entries[i] & 63);
        h -= (h * step) >> 10;
    }
    int32_t& h = historyOf(pos, type, move);
    h += ((HISTORY_MAX - h) * step) >> 10;
}
