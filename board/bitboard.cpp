#include "board/bitboard.h"

#include <cpuid.h>

bool hardwarePopcount = false;

// CPUID leaf 1 reports the population-count instruction in bit 23 of ECX.
bool cpuHasPopcount() {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
    return (ecx >> 23) & 1;
}
