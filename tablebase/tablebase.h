// Syzygy endgame tablebases: registry and probes.
#pragma once

#include <string>

#include "board/position.h"
#include "search/root_moves.h"

// (Re)builds the registry from a ":"-separated list of directories.
void tbLoadAll(const std::string& path);
// Largest piece count among the registered tables (0 when none).
int tbLargestPieceCount();
// Action of "SyzygyPath": stores the path, reloads, then runs the probe-limit action.
void setSyzygyPath(const std::string& path);
// Action of "Syzygy Probe Limit".
void setSyzygyProbeLimit(int limit);

// success: 0 failed, 1 read from a table, 2 decided by a capture.
int tbWdlProbe(const Position& pos, int* success);
int tbDtzProbe(const Position& pos, int* success);
// Inside the search: true and a score when the WDL probe succeeds.
bool tbSearchScore(const Position& pos, int ply, int* score);
// Root filters: keep moves in place (front of the list), return how many were kept (0 = failure)
// and the root score. `moves` holds the `count` legal root moves; with count 0 the filter lists
// the legal moves itself, and `moves` must then have room for MAX_ROOT_MOVES entries.
int tbRootFilterDtz(const Position& root, RootMove* moves, int count, int* score);
int tbRootFilterWdl(const Position& root, RootMove* moves, int count, int* score);
