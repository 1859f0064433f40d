// Placeholder until time management lands.
#include "uci/timeman.h"

int maxPercent = 500;
int ponderBonusCount = 0;

TimeBudget allocateMovesToGo(double timeLeft, int movesToGo) { return {timeLeft / (movesToGo + 2), timeLeft}; }
TimeBudget allocateSuddenDeath(double timeLeft, double, int) { return {timeLeft / 30, timeLeft}; }
