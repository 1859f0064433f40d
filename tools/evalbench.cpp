// Evaluation speed: evaluates a fixed set of positions from random games, once with the
// evaluation caches disabled and once through them, and prints evaluations per second.
//
//   evalbench [positions] [repetitions]      (defaults 300000 and 3)
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "eval/caches.h"
#include "eval/evaluate.h"
#include "search/thread_data.h"
#include "tools/playouts.h"
#include "uci/settings.h"
#include "uci/startup.h"

namespace {
// Processor time of this thread: the machine may be shared, and waiting for a core is not the
// evaluation's cost.
double seconds() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// Evaluates every position `repetitions` times with a full window; returns evaluations per
// second of processor time and adds the scores to `checksum` so that the work cannot be skipped.
double measure(std::vector<Position>& positions, int repetitions, long long& checksum, bool prefetch = false) {
    constexpr size_t AHEAD = 4;
    double start = seconds();
    for (int r = 0; r < repetitions; ++r)
        for (size_t i = 0; i < positions.size(); ++i) {
            if (prefetch && i + AHEAD < positions.size()) {
                const Position& next = positions[i + AHEAD];
                __builtin_prefetch(&next.evalCache[next.key & evalCacheMask]);
                __builtin_prefetch(&next.pawnCache[next.pawnKingKey & pawnCacheMask]);
                __builtin_prefetch(&next.materialCache[next.materialKey & materialCacheMask]);
            }
            checksum += evaluate(positions[i], -35000, 35000);
        }
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
    // As in the search, where make-move prefetches the cache entries of the next position.
    double cached = measure(positions, repetitions, checksum, true);
    printf("through caches: %12.0f evaluations/s  (%.1f ns each)\n", cached, 1e9 / cached);
    printf("checksum %lld\n", checksum);
    return 0;
}
