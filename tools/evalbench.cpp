// Evaluation speed: evaluates a fixed set of positions from random games, once with the
// evaluation caches disabled and once through them, and prints evaluations per second.
//
//   evalbench [positions] [repetitions]      (defaults 300000 and 3)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "eval/evaluate.h"
#include "search/thread_data.h"
#include "tools/playouts.h"
#include "uci/settings.h"
#include "uci/startup.h"

namespace {
double seconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// Evaluates every position `repetitions` times with a full window; returns evaluations per
// second and adds the scores to `checksum` so that the work cannot be skipped.
double measure(std::vector<Position>& positions, int repetitions, long long& checksum) {
    double start = seconds();
    for (int r = 0; r < repetitions; ++r)
        for (Position& pos : positions) checksum += evaluate(pos, -35000, 35000);
    double elapsed = seconds() - start;
    return double(positions.size()) * repetitions / elapsed;
}
} // namespace

int main(int argc, char** argv) {
    size_t count = argc > 1 ? size_t(std::atol(argv[1])) : 300000;
    int repetitions = argc > 2 ? std::atoi(argv[2]) : 3;
    if (count == 0 || repetitions <= 0) {
        fprintf(stderr, "usage: evalbench [positions] [repetitions]\n");
        return 1;
    }
    initializeEngine();
    allocateEvaluationCaches(1, optTableMemory.load());
    std::vector<Position> positions = randomPlayoutPositions(benchmarkFens(), count, 20240601);
    printf("%zu positions from random games, %d repetitions\n", positions.size(), repetitions);

    long long checksum = 0;
    for (Position& pos : positions) pos.evalCache = nullptr, pos.pawnCache = nullptr, pos.materialCache = nullptr;
    double uncached = measure(positions, repetitions, checksum);
    printf("without caches: %12.0f evaluations/s  (%.1f ns each)\n", uncached, 1e9 / uncached);

    for (Position& pos : positions) {
        pos.evalCache = threadLinks[0].evalCache;
        pos.pawnCache = threadLinks[0].pawnCache;
        pos.materialCache = threadLinks[0].materialCache;
    }
    double cached = measure(positions, repetitions, checksum);
    printf("through caches: %12.0f evaluations/s  (%.1f ns each)\n", cached, 1e9 / cached);
    printf("checksum %lld\n", checksum);
    return 0;
}
