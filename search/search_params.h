// Margins and history tables of the main search that do not depend on any option. Built once,
// before the first search.
#pragma once

// History threshold by moves seen (1 .. 399): a quiet move whose history is below the threshold
// for its place in the move order gets one more ply of reduction.
extern int historyThreshold[400];
// History step by k = (index in the node's quiet list) / 12 + depth, 0 .. 199.
extern int historyStep[200];
// Static null-move margin [cut node][depth 0 .. 13].
extern int staticNullMargin[2][14];
// Futility margin [depth 0 .. 15][cut node], from the futility base of the evaluation tables.
extern int futilityMargin[16][2];
// Razoring margin [depth 0 .. 7].
extern const int razorMargin[8];
// Shallow threat margin [depth 0 .. 5] and the bonus added to it by threat measure 0 .. 19.
extern const int shallowThreatMargin[6];
extern const int threatBonus[20];

// History counters move between 0 and this value.
constexpr int HISTORY_MAX = 32640;

void buildSearchParameters();
