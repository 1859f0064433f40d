// Placeholder until the search lands.
#include "search/search.h"

#include <cstdio>



int think(Position&, int, const std::string&, double, double) {
    printf("bestmove 0000\n");
    fflush(stdout);
    return 0;
}
void iterate(Position&, int) {}
int rootSearch(Position&, int, int, int, Move*) { return 0; }
int searchNonPV(Position&, int, int, int, Move*, Move, int, int) { return 0; }
int searchPV(Position&, int, int, int, int, Move*) { return 0; }
int qsearch(Position&, int, int, int, int, Move*) { return 0; }
