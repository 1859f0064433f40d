#include "search/search_thread.h"

#include <cstring>

#include "search/thread_data.h"

SearchThread searchThreads[MAX_THREADS];

namespace {
// Every thread's history table is reachable through its links from the start, so that a
// position set from FEN before the first search already points at thread 0's table.
const bool historyLinked = [] {
    for (int i = 0; i < MAX_THREADS; ++i) threadLinks[i].history = &searchThreads[i].history[0][0][0];
    return true;
}();
} // namespace

void clearMoveOrderingTables(SearchThread& thread) {
    std::memset(thread.plyMoves, 0, sizeof thread.plyMoves);
    std::memset(thread.counterMoves, 0, sizeof thread.counterMoves);
}

void fillHistory(SearchThread& thread, int32_t value) {
    for (auto& side : thread.history)
        for (auto& type : side)
            for (auto& entry : type) entry = value;
}

void linkPositionToThread(Position& pos, int threadIndex) {
    const ThreadLinks& links = threadLinks[threadIndex];
    pos.threadIndex = uint16_t(threadIndex);
    pos.historyTable = &searchThreads[threadIndex].history[0][0][0];
    pos.evalCache = links.evalCache;
    pos.pawnCache = links.pawnCache;
    pos.materialCache = links.materialCache;
}
