// A middlegame and an endgame value packed into one 64-bit word, both in millipawns.
//
//   bits 32..62  middlegame value, 31-bit two's complement (bit 62 is its sign)
//   bit  63      always 0
//   bits  0..30  endgame value, 31-bit two's complement (bit 30 is its sign)
//   bit  31      always 0
//
// Each half stays below 2^31, so adding two words never carries from the endgame half into the
// middlegame half; masking removes the carries into bits 31 and 63, so each half wraps as a
// 31-bit number.
#pragma once

#include <cstdint>

using PackedScore = uint64_t;

constexpr uint64_t PACKED_MASK = 0x7fffffff7fffffffULL;

constexpr PackedScore pack(int32_t mg, int32_t eg) {
    return ((uint64_t(uint32_t(mg) & 0x7fffffffU)) << 32) | (uint64_t(uint32_t(eg) & 0x7fffffffU));
}

// Sign-extend a 31-bit value held in the low bits of v.
constexpr int32_t signExtend31(uint64_t v) {
    uint32_t x = uint32_t(v & 0x7fffffffU);
    return int32_t(x << 1) >> 1;
}

constexpr int32_t mgOf(PackedScore s) { return signExtend31(s >> 32); }
constexpr int32_t egOf(PackedScore s) { return signExtend31(s); }

constexpr PackedScore packedAdd(PackedScore a, PackedScore b) { return (a + b) & PACKED_MASK; }
constexpr PackedScore packedNeg(PackedScore a) { return (0x8000000080000000ULL - a) & PACKED_MASK; }
constexpr PackedScore packedSub(PackedScore a, PackedScore b) { return packedAdd(a, packedNeg(b)); }

// Half-by-half product, each half masked to 31 bits.
constexpr PackedScore packedMul(PackedScore a, PackedScore b) {
    return pack(int32_t(uint32_t(mgOf(a)) * uint32_t(mgOf(b))), int32_t(uint32_t(egOf(a)) * uint32_t(egOf(b))));
}
constexpr PackedScore packedMulCount(PackedScore a, int n) { return packedMul(a, pack(n, n)); }

// Phase blend: mg * p + eg * (96 - p), in 1/96 millipawn units.
constexpr int32_t blend(PackedScore s, int phase) { return mgOf(s) * phase + egOf(s) * (96 - phase); }

static_assert(mgOf(pack(-5, 7)) == -5 && egOf(pack(-5, 7)) == 7);
static_assert(packedAdd(pack(3, -4), pack(-5, 9)) == pack(-2, 5));
static_assert(packedNeg(pack(3, -4)) == pack(-3, 4));
static_assert(packedSub(pack(0, 0), pack(1, 1)) == pack(-1, -1));
static_assert(packedMulCount(pack(-37, -58), 3) == pack(-111, -174));
