// Turns the clock of a "go" command into a target and a hard time for the search.
#pragma once

// Hard limit as a percentage of the target: 500 at start-up, 600 after a sudden-death allocation,
// computed by every movestogo allocation.
extern int maxPercent;
constexpr int softPercent = 75;

// Positive after a recent "go ponder": the next targets are stretched.
extern int ponderBonusCount;

struct TimeBudget {
    double target; // seconds
    double hard;   // seconds
};

// timeLeft and increment in seconds; negative or missing (0) values count as no time left, and the
// target never falls below a small minimum, so a search always has a moment to find a move.
// Both set maxPercent.
TimeBudget allocateMovesToGo(double timeLeft, int movesToGo);
// gamePly is the position's ply counter (moves since the FEN plus the side-to-move bit).
TimeBudget allocateSuddenDeath(double timeLeft, double increment, int gamePly);
// The sudden-death divisor of the clock: 18 - "Time Usage" from game move 30 on; before that it
// runs in a straight line from 30 at the first move towards that value.
double suddenDeathDivisor(int gamePly);
