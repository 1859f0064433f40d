#include "search/poll.h"

#include "search/search_state.h"
#include "search/thread_data.h"
#include "uci/clock.h"
#include "uci/input.h"

uint32_t pollCounter = 0;

namespace {
void stopSearch() { stopFlags[0].value.store(1, std::memory_order_relaxed); }

// Past the extended deadline the search still stops, but only while the root is on the first
// move of its pass and no move of that pass has settled for a score of zero or less.
bool extendedTimeAllows() {
    if (rootMoveNumber > 1) return false;
    return !(rootMovesAtBestChange > 0 && rootBestScore <= 0);
}
} // namespace

bool periodicCheckDue() {
    if (inputPending()) processCommand();
    bool ponder = pondering.load(std::memory_order_relaxed);
    if (stopRequested(0) && !ponder) return true;
    if (ponder) return false;
    double now = nowSeconds();
    if (now >= hardDeadline || (now >= extendedDeadline && extendedTimeAllows()) || totalNodes() >= nodeLimit) {
        stopSearch();
        return true;
    }
    return false;
}
