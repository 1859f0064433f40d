// The periodic check of search thread 0: every 4096 node entries it serves waiting input, reads
// the clock and enforces the node limit.
#pragma once

#include <cstdint>

extern uint32_t pollCounter;

// Runs the full check; true when the search must unwind now.
bool periodicCheckDue();

// Called at the entry of every node of thread 0; true when the search must unwind now.
inline bool periodicCheck(int threadIndex) {
    if (threadIndex != 0) return false;
    if ((++pollCounter & 4095) != 0) return false;
    return periodicCheckDue();
}
