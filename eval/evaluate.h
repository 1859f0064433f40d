// The static evaluation.
#pragma once

#include "board/position.h"

// Centipawns from the side to move's point of view. alpha and beta only enable the lazy exit.
int evaluate(Position& pos, int alpha, int beta);

// One-time tables that depend on no option (start-up, before the first rebuild), including the
// special-endgame table.
void initEvaluation();

// Rebuilds every derived evaluation and search table from the base values and the options
// "King Safety", "Selectivity" and "Reduction"; empties the pawn caches and, after a search, the
// transposition table. Never called while a search runs.
void buildEvaluationTables();

// Allocates every thread's three caches from "Table Memory" and the thread count, zero-filled, and
// links them in threadLinks.
void allocateEvaluationCaches(int threadCount, int tableMemoryMb);

// Text report for the "eval" command.
void printEvaluationReport(Position& pos);
