// Placeholder until the reports land.
#include "uci/report.h"

std::string scoreText(int score, int, int* used) {
    if (used) *used = score;
    return "cp " + std::to_string(score);
}
std::string variationText(const Move*) { return ""; }
void reportIterationStart(int) {}
void reportFinal() {}
void reportPv(int, int, int, const Move*) {}
void reportMultiPv(int, int, int, const Move*) {}
void reportCurrMove(Move, int) {}
double elapsedSeconds() { return 0.001; }
