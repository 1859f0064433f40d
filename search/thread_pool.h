// The pool of search threads.
#pragma once

// Stops and joins every worker, takes "Threads" as the thread count, re-creates the per-thread
// caches and starts workers 1 .. n-1.
void resizePool();
// Stops and joins every worker.
void stopPool();
