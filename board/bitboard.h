// Bit counting and scanning on bitboards.
#pragma once

#include "board/types.h"

// Set at start-up from CPUID (leaf 1, ECX bit 23).
extern bool hardwarePopcount;

bool cpuHasPopcount();

// The engine is compiled either for the POPCNT instruction or with the portable count; both give
// the same results. The portable count is the classic parallel bit count.
constexpr int popcountPortable(Bitboard b) {
    b = b - ((b >> 1) & 0x5555555555555555ULL);
    b = (b & 0x3333333333333333ULL) + ((b >> 2) & 0x3333333333333333ULL);
    b = (b + (b >> 4)) & 0x0f0f0f0f0f0f0f0fULL;
    return int((b * 0x0101010101010101ULL) >> 56);
}

inline int popcount(Bitboard b) {
#if defined(TARVOLO_HW_POPCNT)
    return __builtin_popcountll(b);
#else
    return popcountPortable(b);
#endif
}

inline Square lsb(Bitboard b) { return Square(__builtin_ctzll(b)); }
inline Square msb(Bitboard b) { return Square(63 ^ __builtin_clzll(b)); }
inline Square popLsb(Bitboard& b) {
    Square s = lsb(b);
    b &= b - 1;
    return s;
}
constexpr bool moreThanOne(Bitboard b) { return (b & (b - 1)) != 0; }
