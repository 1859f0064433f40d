// The pool of search threads. Thread 0 is the main thread, which runs the driver; threads
// 1 .. n-1 are workers created when the pool is sized and joined only when it is resized or the
// program ends. Between iterations the workers sleep on the wake condition; the driver hands
// every worker the iteration it is about to search itself, and after its own iteration stops
// them and waits on the active counter until each has left the iteration. The threads share
// nothing but the transposition table: each searches its own copy of the root.
#include "search/thread_pool.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "eval/evaluate.h"
#include "search/search.h"
#include "search/search_thread.h"
#include "search/thread_data.h"
#include "uci/settings.h"

namespace {

int threadSetting = 1; // "Threads" when the pool was last sized
int workerCount = 0;   // threads 1 .. workerCount search beside thread 0

// Workers return from their loop once this is set (only while the pool is being stopped).
std::atomic<bool> poolQuit{false};

// The locks, signals and thread objects of the pool. They are never destroyed: the program may
// end through exit() on a fatal error while workers sleep, and neither a joinable thread object
// nor a condition variable with waiters may be destroyed under them.
struct PoolSync {
    // Wakes the workers: each waits until its go flag is set, and the flags are written under it.
    std::mutex wakeMutex;
    std::condition_variable wakeCondition;
    // Workers still inside the current iteration; the driver waits on `completion` until it is 0.
    std::mutex counterMutex;
    std::condition_variable completion;
    int activeCounter = 0;
    std::thread handles[MAX_THREADS];
};
PoolSync& pool = *new PoolSync;

void setStop(int thread, uint8_t value) { stopFlags[thread].value.store(value, std::memory_order_release); }

// A worker leaves its iteration: the last one to leave wakes the driver.
void countDone() {
    std::lock_guard<std::mutex> lock(pool.counterMutex);
    if (--pool.activeCounter == 0) pool.completion.notify_all();
}

void waitForWorkers() {
    std::unique_lock<std::mutex> lock(pool.counterMutex);
    pool.completion.wait(lock, [] { return pool.activeCounter <= 0; });
}

void workerMain(int index) {
    SearchThread& thread = searchThreads[index];
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(pool.wakeMutex);
            pool.wakeCondition.wait(lock, [&thread] { return thread.goFlag; });
            thread.goFlag = false;
        }
        // Search the handed iteration again and again until thread 0 has finished it: the table,
        // filled meanwhile, makes each repetition cheap and lets this thread reach further along
        // the same depth.
        while (int iteration = thread.iterationToSearch.load()) {
            iterate(thread.rootPosition, iteration);
            if (poolQuit.load()) {
                thread.iterationToSearch = 0;
                countDone();
                return;
            }
            if (stopFlags[index].value.load(std::memory_order_acquire)) {
                thread.iterationToSearch = 0;
                countDone();
                break;
            }
        }
        if (poolQuit.load()) return;
    }
}

} // namespace

int poolThreadSetting() { return threadSetting; }

void stopPool() {
    poolQuit = true;
    {
        std::lock_guard<std::mutex> lock(pool.wakeMutex);
        // The iteration numbers are left alone: an idle worker holds 0 already, and a worker that
        // has been handed an iteration but not yet woken must still enter it, find its stop flag
        // set and count itself done, or the wait below would never end.
        for (int i = 1; i <= workerCount; ++i) {
            searchThreads[i].goFlag = true;
            setStop(i, 1);
        }
    }
    pool.wakeCondition.notify_all();
    // Workers inside an iteration (a quit served from thread 0's poll) leave it first.
    waitForWorkers();
    for (int i = 1; i <= workerCount; ++i)
        if (pool.handles[i].joinable()) pool.handles[i].join();
    workerCount = 0;
    activeThreadCount.store(1);
    poolQuit = false;
}

void resizePool() {
    stopPool();
    threadSetting = std::clamp(optThreads.load(std::memory_order_relaxed), 1, MAX_THREADS);
    allocateEvaluationCaches(threadSetting, optTableMemory.load(std::memory_order_relaxed));
    for (int i = 0; i < MAX_THREADS; ++i) threadLinks[i].history = &searchThreads[i].history[0][0][0];
    for (int i = 1; i < threadSetting; ++i) {
        SearchThread& worker = searchThreads[i];
        worker.iterationToSearch = 0;
        worker.goFlag = false;
        pool.handles[i] = std::thread(workerMain, i);
    }
    workerCount = threadSetting - 1;
    activeThreadCount.store(threadSetting);
}

void startIteration(int iteration) {
    {
        // Thread 0 counts itself done at once: only the workers are waited for.
        std::lock_guard<std::mutex> lock(pool.counterMutex);
        pool.activeCounter = workerCount;
    }
    const SearchThread& main = searchThreads[0];
    {
        std::lock_guard<std::mutex> lock(pool.wakeMutex);
        for (int i = 1; i <= workerCount; ++i) {
            SearchThread& worker = searchThreads[i];
            // The aspiration window of an iteration is centred on the thread's previous score. A
            // worker's own pass of the previous iteration was cut off when thread 0 finished it,
            // so it takes thread 0's completed score instead.
            if (iteration >= 2) worker.iterationScores[iteration - 1] = main.iterationScores[iteration - 1];
            worker.iterationToSearch = iteration;
            worker.goFlag = true;
            setStop(i, 0);
        }
    }
    pool.wakeCondition.notify_all();
}

void finishIteration() {
    for (int i = 1; i <= workerCount; ++i) setStop(i, 1);
    waitForWorkers();
    for (int i = 1; i <= workerCount; ++i) setStop(i, 0);
}
