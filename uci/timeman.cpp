// Clock allocation: turns the side to move's remaining time, increment and moves to go into a
// target time and a hard time for the search.
#include "uci/timeman.h"

#include <algorithm>
#include <cmath>

#include "search/search_state.h"
#include "uci/settings.h"

int maxPercent = 500;
int ponderBonusCount = 0;

namespace {

// Moves-to-go allocation.
constexpr double MOVESTOGO_BASE = 2;
constexpr double MOVESTOGO_EXPONENT = 3.75;
constexpr int MOVESTOGO_CURVE_END = 40;
constexpr double MOVESTOGO_PONDER_STRETCH = 1.33;
constexpr double MOVESTOGO_LIMIT_FACTOR = 5.0;  // hard limit at most 5 targets ...
constexpr double MOVESTOGO_LIMIT_SHARE = 0.5;   // ... and at most half the remaining time
constexpr double LAST_MOVE_LIMIT_SHARE = 0.9;   // with one move to go, up to 90 %
constexpr double MOVESTOGO_MIN_TARGET = 0.005;
constexpr double MOVESTOGO_EXTRA_OVERHEAD_MS = 3;

// Sudden-death allocation.
constexpr double EARLY_DIVISOR = 30;
constexpr double LATE_DIVISOR = 18;
constexpr double DIVISOR_SPAN = 30; // game moves from the early to the late divisor
constexpr double INCREMENT_SHARE = 1.3;
constexpr double SUDDEN_DEATH_PONDER_STRETCH = 1.3;
constexpr double MAX_SHARE_OF_CLOCK = 1 / 3.3;
constexpr int SUDDEN_DEATH_MAX_PERCENT = 600;
constexpr double SUDDEN_DEATH_HARD_SHARE = 0.9;
constexpr double SUDDEN_DEATH_MIN_TARGET = 0.002;
constexpr double SUDDEN_DEATH_EXTRA_OVERHEAD_MS = 5;

// Clock values the interface sends are trusted only within [0, one year]: a negative or missing
// time means nothing is left, and anything longer is as good as no limit.
double saneSeconds(double seconds) {
    if (!(seconds > 0)) return 0; // also NaN
    return std::min(seconds, NO_TIME_LIMIT);
}

double overheadSeconds(double extraMs) {
    return (optOverheadMs.load(std::memory_order_relaxed) + extraMs) / 1000.0;
}

} // namespace

double suddenDeathDivisor(int gamePly) {
    const int moveNumber = gamePly / 2 + 1;
    const double late = LATE_DIVISOR - optTimeUsage.load(std::memory_order_relaxed);
    if (moveNumber >= DIVISOR_SPAN) return late;
    // Before move 30 the divisor moves in a straight line from the early value at the start of
    // the game to the late one at move 30, so the share of the clock per move grows steadily
    // as the game goes on, without a jump at move 30.
    return EARLY_DIVISOR + (late - EARLY_DIVISOR) * moveNumber / DIVISOR_SPAN;
}

TimeBudget allocateMovesToGo(double timeLeft, int movesToGo) {
    const double t = saneSeconds(timeLeft);
    const double m = std::max(movesToGo, 1);
    const double base = t / (m + MOVESTOGO_BASE);
    double target = m <= MOVESTOGO_CURVE_END
                        ? base * std::pow(2.0, std::pow(m / MOVESTOGO_CURVE_END, MOVESTOGO_EXPONENT))
                        : 2 * base;
    if (ponderBonusCount > 0) target *= MOVESTOGO_PONDER_STRETCH;
    double limit = std::min(MOVESTOGO_LIMIT_FACTOR * target, MOVESTOGO_LIMIT_SHARE * t);
    if (m == 1) limit = LAST_MOVE_LIMIT_SHARE * t;
    // With no time at all the target is the minimum below and the hard limit equals it.
    maxPercent = target > 0 ? int(std::trunc(limit / target * 100)) : 100;
    target = std::max(MOVESTOGO_MIN_TARGET, target - overheadSeconds(MOVESTOGO_EXTRA_OVERHEAD_MS));
    return {target, NO_TIME_LIMIT};
}

TimeBudget allocateSuddenDeath(double timeLeft, double increment, int gamePly) {
    const double t = saneSeconds(timeLeft);
    const double inc = saneSeconds(increment);
    double target = (t - inc) / suddenDeathDivisor(gamePly) + INCREMENT_SHARE * inc;
    if (ponderBonusCount > 0) target *= SUDDEN_DEATH_PONDER_STRETCH;
    target = std::min(t * MAX_SHARE_OF_CLOCK, target);
    maxPercent = SUDDEN_DEATH_MAX_PERCENT;
    // The hard limit keeps the communication allowance on the clock too: when the increment is
    // most of the budget, six targets exceed 90 % of the clock and this limit is the one that
    // binds, so without the allowance a low clock would be played down to a few milliseconds.
    const double hard = SUDDEN_DEATH_HARD_SHARE * t - overheadSeconds(0);
    target = std::max(SUDDEN_DEATH_MIN_TARGET,
                      std::trunc(target * 1000) / 1000 - overheadSeconds(SUDDEN_DEATH_EXTRA_OVERHEAD_MS));
    return {target, std::max(hard, SUDDEN_DEATH_MIN_TARGET)};
}
