#include "uci/startup.h"

#include "board/attacks.h"
#include "uci/clock.h"

double startTime = 0;

void initializeEngine() {
    startTime = nowSeconds();
    initAttackTables();
}

int runEngine(int, char**) {
    initializeEngine();
    return 0;
}
