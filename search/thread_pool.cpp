// The pool of search threads. Only thread 0 (the main thread) searches for now: the pool keeps
// its records, caches and stop flags, and hands each iteration to the workers 1 .. n-1, of which
// there are none yet.
#include "search/thread_pool.h"

#include <algorithm>

#include "eval/evaluate.h"
#include "search/search_thread.h"
#include "search/thread_data.h"
#include "uci/settings.h"

namespace {
int threadSetting = 1; // "Threads" when the pool was last sized
int workerCount = 0;   // threads 1 .. workerCount search beside thread 0
} // namespace

int poolThreadSetting() { return threadSetting; }

void stopPool() {
    for (int i = 1; i <= workerCount; ++i) {
        searchThreads[i].iterationToSearch = 0;
        searchThreads[i].goFlag = true;
        stopFlags[i].value.store(1, std::memory_order_relaxed);
        if (searchThreads[i].handle.joinable()) searchThreads[i].handle.join();
    }
    workerCount = 0;
}

void resizePool() {
    stopPool();
    threadSetting = std::clamp(optThreads.load(std::memory_order_relaxed), 1, MAX_THREADS);
    activeThreadCount.store(1 + workerCount, std::memory_order_relaxed);
    allocateEvaluationCaches(1 + workerCount, optTableMemory.load(std::memory_order_relaxed));
    for (int i = 0; i < MAX_THREADS; ++i) threadLinks[i].history = &searchThreads[i].history[0][0][0];
}

void startIteration(int iteration) {
    for (int i = 1; i <= workerCount; ++i) {
        searchThreads[i].iterationToSearch = iteration;
        searchThreads[i].goFlag = true;
        stopFlags[i].value.store(0, std::memory_order_relaxed);
    }
}

void finishIteration() {
    for (int i = 1; i <= workerCount; ++i) stopFlags[i].value.store(1, std::memory_order_relaxed);
    for (int i = 1; i <= workerCount; ++i) stopFlags[i].value.store(0, std::memory_order_relaxed);
}
