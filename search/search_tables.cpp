#include "search/search_tables.h"

#include <algorithm>
#include <cmath>

#include "eval/eval_tables.h"
#include "uci/settings.h"

int lmrNonPV[2][64][64];
int lmrPV[2][64][64];
int lateMoveCount[26];
int futilityBase[24];
int quiescencePieceValue[97][7];

namespace {
// Reduction options are clamped to their option ranges so that no divisor reaches 0.
constexpr int REDUCTION_MIN = -1000, REDUCTION_MAX = 150;
constexpr int SELECTIVITY_MIN = 10, SELECTIVITY_MAX = 200;
constexpr int QS_BISHOP_BONUS = 150;      // millipawns at phase 0
constexpr int QS_BISHOP_PHASE_STEP = 100; // more with every phase unit
constexpr int QS_KING_VALUE = 10000;

// Reduction in half-plies for depth d and move number n: grows with ln d x ln n; the divisor
// (in hundredths) sets how fast. Values below 2 (one ply) are not worth a re-search: 0.
int reduction(int d, int n, int divisor, double offset) {
    double q = std::log(double(n)) * std::log(double(d)) / (divisor / 100.0);
    int r = int(2 * (q + offset));
    return r < 2 ? 0 : r;
}

void fillReductions(int table[2][64][64], int divisorNotImproving, int divisorImproving) {
    for (int d = 0; d < 64; ++d)
        for (int n = 0; n < 64; ++n) {
            bool edge = d == 0 || n == 0;
            table[0][d][n] = edge ? 0 : reduction(d, n, divisorNotImproving, 0.2);
            table[1][d][n] = edge ? 0 : reduction(d, n, divisorImproving, 0.0);
        }
}
} // namespace

void buildSearchTables() {
    int r = std::clamp(optReduction.load(), REDUCTION_MIN, REDUCTION_MAX);
    fillReductions(lmrNonPV, 225 - r, 250 - r);
    fillReductions(lmrPV, 350 - r, 375 - r);

    int selectivity = std::clamp(optSelectivity.load(), SELECTIVITY_MIN, SELECTIVITY_MAX);
    for (int i = 0; i < 26; ++i) lateMoveCount[i] = std::max(10 * i * i / selectivity, i);

    for (int i = 0; i < 24; ++i) futilityBase[i] = i <= 1 ? 60 : 60 + 2 * (i - 1) * (i - 1);

    // Piece values of the quiescence search in centipawns, blended by phase; the bishop carries
    // a small bonus over its material value.
    for (int p = 0; p <= 96; ++p) {
        quiescencePieceValue[p][0] = 0;
        for (int t : {1, 2, 4, 5}) {
            int mg = mgOf(pieceValue[t]), eg = egOf(pieceValue[t]);
            quiescencePieceValue[p][t] = (eg * 96 + p * (mg - eg)) / 960;
        }
        quiescencePieceValue[p][3] = ((mgOf(BISHOP_VALUE) + QS_BISHOP_BONUS) * 96 + p * QS_BISHOP_PHASE_STEP) / 960;
        quiescencePieceValue[p][6] = QS_KING_VALUE;
    }
}
