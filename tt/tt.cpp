// Placeholder until the table lands.
#include "tt/tt.h"

TranspositionTable tt;
bool ttDirty = false;

void ttResize(int) {}
void ttClear() {}
void ttNewSearch() {}
bool ttProbe(uint64_t, TTEntry&) { return false; }
void ttStore(uint64_t, int, int, int, Move, int) {}
int scoreToTT(int score, int) { return score; }
int scoreFromTT(int score, int) { return score; }
int hashfull() { return 0; }
uint64_t ttSizeBytes() { return tt.bucketCount * 64; }
