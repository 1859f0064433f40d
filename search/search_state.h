// Search-wide state shared by the driver, the root search, the main search, the reports and the
// protocol. Written by the main thread (search thread 0); flags that other threads write are atomic.
#pragma once

#include <atomic>
#include <cstdint>

// Score units of the search (centipawns; mate is 32000 minus the distance in plies).
constexpr int MATE_SCORE = 32000;
constexpr int NO_SCORE = 32001;
constexpr int MATE_RANGE = 31799;   // |score| above this is a mate or tablebase score
constexpr int TB_WIN_SCORE = 31799;
constexpr double NO_TIME_LIMIT = 31622400.0; // 366 days, stands for "no limit"

extern std::atomic<bool> searching;     // a search is running (set by think)
extern std::atomic<bool> pondering;     // a ponder search has not been confirmed
extern bool benchMode;                  // the benchmark runs: no bestmove and no reports
extern int drawScore;                   // copied from Drawscore at every go (0 during infinite)
extern int contempt;                    // drawScore * phase / 48 at the root
extern bool infiniteSearch;             // the running search came from "go infinite"
extern uint64_t nodeLimit;              // "go nodes": stop once this many nodes are searched

// Clock of the running search (seconds, nowSeconds()).
extern double searchStart;
extern double hardDeadline;
extern double extendedDeadline;
extern double softDeadline;
extern double mateStopTime;
extern bool fixedMoveTime;
extern bool timeUp;

// Root progress, published by thread 0's root search and read by the periodic check.
extern int rootMoveCount;
extern int rootMoveNumber;          // the root move being searched in the current pass
extern int rootMovesAtBestChange;   // root moves finished when the best score last changed
extern int rootBestScore;

// Tablebases.
extern int tbProbeLimit;            // largest piece count probed inside the search
extern int tbRootScore;             // 2147483647 when no root probe fixed the score
extern std::atomic<uint64_t> tbHits;

// Total thinking time accumulated by the benchmark and the current game position.
extern double accumulatedThinkTime;
