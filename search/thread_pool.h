// The pool of search threads.
#pragma once

// Stops and joins every worker, takes "Threads" as the thread count, re-creates the per-thread
// caches and starts workers 1 .. n-1.
void resizePool();
// Stops and joins every worker.
void stopPool();

// The "Threads" value the pool was last sized for.
int poolThreadSetting();

// Around thread 0's own iteration: hand iteration i to every worker, then stop the workers and
// wait until each has left the iteration.
void startIteration(int iteration);
void finishIteration();
