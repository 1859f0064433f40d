// Standard input: the input thread, the queue of lines and the command processor.
#pragma once

#include <atomic>

// Set when "quit" or end of input was read; the next processCommand exits the program.
extern std::atomic<bool> quitRequested;

// Whether a line waits in the input queue; cheap and lock-free, for the search's poll.
bool inputPending();

// Executes the front line of the input queue (returns at once when it is empty). Re-entrant:
// the search calls it from its periodic poll.
void processCommand();

// Commands that must wait for the running search to end (a "position", table re-allocations)
// are kept and executed here; the go handler calls it once the search has ended.
void runDeferredCommands();
