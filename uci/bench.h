// The benchmark: "tarvolo bench [threads] [depth] [repetitions]".
#pragma once

#include <cstdint>

// argv holds the words after "bench" (argc of them): thread count (used when 1..64), maximum
// depth (default 12, the first depth is always 5) and repetitions (default 1).
void runBenchmark(int argc, char** argv);

// Searches every benchmark position to `depth` in bench mode, without clearing the table in
// between; returns the nodes of all searches. Prints a dot per position when asked.
uint64_t runBenchmarkDepth(int depth, bool printProgress);
int benchPositionCount();

// The benchmark position `index` (placement, side to move, castling, en passant); null when
// `index` is outside 0..benchPositionCount()-1.
const char* benchPosition(int index);
