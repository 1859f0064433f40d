// Placeholder until the search lands.
#include "uci/go.h"

#include <cstdio>

void handleGo(const std::vector<std::string>&, Position&, int) {
    printf("bestmove 0000\n");
    fflush(stdout);
}
void handleStop() {}
void handlePonderhit() {}
