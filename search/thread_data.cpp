#include "search/thread_data.h"

StopFlag stopFlags[MAX_THREADS];
NodeCounter nodeCounters[MAX_THREADS];
ThreadLinks threadLinks[MAX_THREADS];
std::atomic<int> activeThreadCount{1};
