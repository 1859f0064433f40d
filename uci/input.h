// Standard input: the input thread, the queue of lines and the command processor.
#pragma once

#include <atomic>
#include <string>

// Set when "quit" or end of input was read; the next processCommand exits the program.
extern std::atomic<bool> quitRequested;

// The "quit" command: the next processCommand ends the program, whatever lines still wait.
void requestQuit();

// Whether a line waits in the input queue; cheap and lock-free, for the search's poll.
bool inputPending();

// Executes the front line of the input queue (returns at once when it is empty). Re-entrant:
// the search calls it from its periodic poll.
void processCommand();

// Commands that must wait for the running search to end (a "position", table re-allocations)
// are kept and executed here; the go handler calls it once the search has ended.
void runDeferredCommands();

// Appends a line to the input queue and wakes the main loop (the input thread's job; tests use it
// to feed the command processor).
void queueInputLine(const std::string& line);

// Starts the input thread on standard input, then waits for lines and executes them until the
// program quits. Never returns.
[[noreturn]] void runInputLoop();
