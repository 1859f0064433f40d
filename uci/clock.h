// The engine's wall clock, in seconds.
#pragma once

#include <sys/time.h>

// Time of day at millisecond resolution.
inline double nowSeconds() {
    timeval tv;
    gettimeofday(&tv, nullptr);
    long long ms = (long long)tv.tv_sec * 1000 + tv.tv_usec / 1000;
    return double(ms) / 1000.0;
}

// Seconds at start-up; log time stamps are relative to it.
extern double startTime;
