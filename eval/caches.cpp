#include "eval/caches.h"

#include <cstdlib>

#include "eval/evaluate.h"
#include "search/thread_data.h"

uint64_t evalCacheMask = 0;
uint64_t pawnCacheMask = 0;
uint64_t materialCacheMask = 0;

namespace {
constexpr double MATERIAL_SHARE = 0.03;
constexpr double PAWN_SHARE = 0.45;

int allocatedThreads = 0;

// Smallest power of two not below n / 2; at least one entry, so that a mask always exists.
uint64_t fit(uint64_t n) {
    uint64_t half = n / 2;
    uint64_t size = 1;
    while (size < half) size <<= 1;
    return size;
}

template <typename Entry>
Entry* allocateZeroed(uint64_t& entries) {
    // Halve the request until the system grants it; a smaller cache only costs speed.
    while (true) {
        if (void* p = std::calloc(entries, sizeof(Entry))) return static_cast<Entry*>(p);
        if (entries == 1) std::abort();
        entries /= 2;
    }
}
} // namespace

CacheSizes evaluationCacheSizes(int tableMemoryMb, int threads) {
    if (threads < 1) threads = 1;
    if (tableMemoryMb < 1) tableMemoryMb = 1;
    uint64_t total = uint64_t(tableMemoryMb) * 1048576;
    CacheSizes sizes;
    sizes.material = fit(uint64_t(total * MATERIAL_SHARE / threads) / sizeof(MaterialEntry));
    uint64_t rest = total - sizes.material * sizeof(MaterialEntry);
    sizes.pawn = fit(uint64_t(rest * PAWN_SHARE / threads) / sizeof(PawnEntry));
    uint64_t rest2 = rest - sizes.pawn * sizeof(PawnEntry);
    sizes.eval = fit(rest2 / threads / sizeof(EvalCacheEntry));
    return sizes;
}

void allocateEvaluationCaches(int threadCount, int tableMemoryMb) {
    if (threadCount < 1) threadCount = 1;
    if (threadCount > MAX_THREADS) threadCount = MAX_THREADS;
    for (int i = 0; i < allocatedThreads; ++i) {
        std::free(threadLinks[i].evalCache);
        std::free(threadLinks[i].pawnCache);
        std::free(threadLinks[i].materialCache);
        threadLinks[i].evalCache = nullptr;
        threadLinks[i].pawnCache = nullptr;
        threadLinks[i].materialCache = nullptr;
    }
    CacheSizes sizes = evaluationCacheSizes(tableMemoryMb, threadCount);
    for (int i = 0; i < threadCount; ++i) {
        threadLinks[i].materialCache = allocateZeroed<MaterialEntry>(sizes.material);
        threadLinks[i].pawnCache = allocateZeroed<PawnEntry>(sizes.pawn);
        threadLinks[i].evalCache = allocateZeroed<EvalCacheEntry>(sizes.eval);
    }
    materialCacheMask = sizes.material - 1;
    pawnCacheMask = sizes.pawn - 1;
    evalCacheMask = sizes.eval - 1;
    allocatedThreads = threadCount;
}

void clearPawnCaches() {
    for (int i = 0; i < allocatedThreads; ++i)
        for (uint64_t k = 0; k <= pawnCacheMask; ++k) threadLinks[i].pawnCache[k].key = 0;
}
