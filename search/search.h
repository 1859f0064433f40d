// The search: driver, iterative deepening, root search, main search and quiescence search.
#pragma once

#include <string>

#include "board/position.h"
#include "board/types.h"

// Runs one search from `root` and prints "bestmove" (unless in bench mode). depthLimit is in
// plies (99 = none); times are seconds (NO_TIME_LIMIT = none). Returns the last iteration's score.
int think(Position& root, int depthLimit, const std::string& searchMovesText, double targetSeconds,
          double hardSeconds);

// One iteration (aspiration loop) for the thread owning `root`; depth 2 * iteration half-plies.
void iterate(Position& root, int iteration);
int rootSearch(Position& root, int depth, int alpha, int beta, Move* pv);

// Depth in half-plies; pv receives the principal variation (0-terminated).
int searchNonPV(Position& pos, int beta, int depth, int ply, Move* pv, Move excluded, int noNull, int cutNode);
int searchPV(Position& pos, int alpha, int beta, int depth, int ply, Move* pv);
int qsearch(Position& pos, int alpha, int beta, int qdepth, int ply, Move* pv);
