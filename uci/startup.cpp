#include "uci/startup.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "board/attacks.h"
#include "board/bitboard.h"
#include "book/book.h"
#include "eval/evaluate.h"
#include "search/search_state.h"
#include "search/thread_data.h"
#include "search/thread_pool.h"
#include "tablebase/tablebase.h"
#include "tt/tt.h"
#include "uci/bench.h"
#include "uci/clock.h"
#include "uci/input.h"
#include "uci/options.h"
#include "uci/settings.h"
#include "uci/timeman.h"

double startTime = 0;

namespace {

constexpr const char* ENGINE_VERSION = "9";
constexpr int START_HARD_PERCENT = 500;
constexpr int START_DRAW_SCORE = -7;

#if defined(TARVOLO_HW_POPCNT)
constexpr bool builtForPopcount = true;
#else
constexpr bool builtForPopcount = false;
#endif

// A build that counts bits with the POPCNT instruction would die on the first count on a
// processor without it; say why and stop before that.
void requirePopcountIfBuiltForIt(bool cpuHasIt) {
    if (!builtForPopcount || cpuHasIt) return;
    fprintf(stderr, "This build of Tarvolo uses the POPCNT instruction, which this processor lacks.\n"
                    "Rebuild it with: cmake -S . -B build -DTARVOLO_HW_POPCNT=OFF\n");
    exit(1);
}

// The start-up steps in their order; the banner only for the real program.
void startEngine(bool printBanner) {
    bool cpuPopcount = cpuHasPopcount();
    requirePopcountIfBuiltForIt(cpuPopcount);

    setvbuf(stdout, nullptr, _IONBF, 0);
    fflush(nullptr);
    srand(unsigned(time(nullptr)));

    startTime = nowSeconds();

    for (int i = 0; i < MAX_THREADS; ++i) {
        stopFlags[i].value = 0;
        nodeCounters[i].nodes = 0;
    }
    optThreads = 1;
    resizePool();
    appliedTableMemory = optTableMemory;

    hardwarePopcount = cpuPopcount;

    if (printBanner) {
        printf("Tarvolo %s 64-bit by Quelbrin\n", ENGINE_VERSION);
        // Only when the counts really use the instruction: a portable build never does.
        if (hardwarePopcount && builtForPopcount) printf("using hardware POPCNT\n");
        fflush(stdout);
    }

    maxPercent = START_HARD_PERCENT;
    ponderBonusCount = 0;
    drawScore = START_DRAW_SCORE;

    initAttackTables();
    openBook();
    buildOptionTable();
    initEvaluation();
    buildEvaluationTables();
    tbLoadAll("");
    if (optHash != 0) ttAllocate(optHash);
}

} // namespace

void initializeEngine() { startEngine(false); }

int runEngine(int argc, char** argv) {
    startEngine(true);
    if (argc > 1 && strcmp(argv[1], "bench") == 0) {
        runBenchmark(argc - 2, argv + 2);
        quitRequested = true;
        stopPool();
        return 0;
    }
    runInputLoop();
}
