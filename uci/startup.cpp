#include "uci/startup.h"

#include "uci/clock.h"

double startTime = 0;

void initializeEngine() { startTime = nowSeconds(); }

int runEngine(int, char**) {
    initializeEngine();
    return 0;
}
