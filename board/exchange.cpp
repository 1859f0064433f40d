// Placeholder until the exchange tests land.
#include "board/exchange.h"

int isLosingCapture(const Position&, Move) { return 0; }
int originIsSafe(const Position&, Move) { return 1; }
