#include "search/search_params.h"

#include <algorithm>
#include <cmath>

#include "search/search_tables.h"

int historyThreshold[400];
int historyStep[200];
int staticNullMargin[2][14];
int futilityMargin[16][2];

const int razorMargin[8] = {20, 40, 120, 160, 400, 500, 1200, 1300};
const int shallowThreatMargin[6] = {0, 0, 10, 15, 30, 35};
const int threatBonus[20] = {0, 50, 62, 70, 76, 81, 86, 90, 93, 97, 100, 103, 105, 108, 110, 113, 115, 117, 119, 121};

void buildSearchParameters() {
    // Decays by 13 % per move already seen: later moves need less history to escape the
    // extra reduction.
    historyThreshold[0] = 0;
    for (int i = 1; i < 400; ++i) historyThreshold[i] = int(22412.0 * std::pow(0.87, i - 1));
    for (int k = 0; k < 200; ++k) historyStep[k] = std::min(k, 32) * std::min(k, 32);
    for (int depth = 0; depth < 14; ++depth) {
        staticNullMargin[1][depth] = 50 + 25 * depth;
        staticNullMargin[0][depth] = 25 * depth - 20;
    }
    for (int depth = 0; depth < 16; ++depth) {
        futilityMargin[depth][0] = futilityBase[depth] + 5;
        futilityMargin[depth][1] = futilityBase[depth] - 20;
    }
}
