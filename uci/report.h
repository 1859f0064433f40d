// The "info" lines that report a search.
#pragma once

#include <string>

#include "board/types.h"

// Bound kinds: 0 exact, 1 lower bound, 2 upper bound.
// Score text ("cp 31", "mate 3", with " lowerbound"/" upperbound"); `used` receives the score it
// printed (after the tablebase root score rule).
std::string scoreText(int score, int bound, int* used = nullptr);
// Principal variation as move texts, each followed by one blank (at most 64 moves).
std::string variationText(const Move* pv);

void reportIterationStart(int depth);
void reportFinal();
void reportPv(int depth, int score, int bound, const Move* pv);
void reportMultiPv(int line, int depth, int score, const Move* pv);
void reportCurrMove(Move move, int number);

// Elapsed seconds of the running search, at least 0.001.
double elapsedSeconds();

// The variation as the log copy of a report shows it: cut to 31 characters, then at the last
// blank no later than the second-to-last character.
std::string logVariationText(const std::string& variation);
