#include "uci/deferred.h"

#include <vector>

#include "search/search_state.h"
#include "uci/input.h"
#include "uci/options.h"

namespace {
// Touched only by the main thread: the command processor queues, the go handler runs.
std::vector<std::function<void()>> pendingWork;
bool optionEffectsPending = false;
} // namespace

void deferUntilSearchEnds(std::function<void()> work) { pendingWork.push_back(std::move(work)); }

void deferOptionEffects() { optionEffectsPending = true; }

bool deferredWorkPending() { return optionEffectsPending || !pendingWork.empty(); }

void runDeferredCommands() {
    if (searching) return;
    // Work may queue more work (a deferred "position" never does, but stay safe): take the list
    // whole each round.
    while (!pendingWork.empty()) {
        std::vector<std::function<void()>> work;
        work.swap(pendingWork);
        for (auto& item : work) item();
    }
    if (optionEffectsPending) {
        optionEffectsPending = false;
        applyOptionEffectsAfterSearch();
    }
}
