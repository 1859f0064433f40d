// Placeholder until the search lands: one thread.
#include "search/thread_pool.h"

#include "eval/evaluate.h"
#include "search/thread_data.h"
#include "uci/settings.h"

void resizePool() {
    activeThreadCount = 1;
    allocateEvaluationCaches(1, optTableMemory);
}
void stopPool() {}
