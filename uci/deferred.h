// Work that must not run while a search is in progress: it would rewrite the game record the
// search refers to, or release and replace memory the search threads use. Such work is queued
// here and run, in arrival order, once the search has ended (runDeferredCommands, uci/input.h).
#pragma once

#include <functional>

void deferUntilSearchEnds(std::function<void()> work);

// The table rebuild and thread-pool re-sizing that follow an option change; queued at most once
// and run after the other deferred work.
void deferOptionEffects();

bool deferredWorkPending();
