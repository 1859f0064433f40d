// Placeholder until the evaluation tables land.
#include "search/search_tables.h"

int lmrNonPV[2][64][64];
int lmrPV[2][64][64];
int lateMoveCount[26];
int futilityBase[24];
int quiescencePieceValue[97][7];

void buildSearchTables() {}
