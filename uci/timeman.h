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

// timeLeft and increment in seconds.
TimeBudget allocateMovesToGo(double timeLeft, int movesToGo);
TimeBudget allocateSuddenDeath(double timeLeft, double increment, int gamePly);
