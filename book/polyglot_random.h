// The fixed random numbers that key positions in Polyglot book files.
#pragma once

#include <cstdint>

constexpr int POLYGLOT_RANDOM_COUNT = 781;
// + 0 White kingside, 1 White queenside, 2 Black kingside, 3 Black queenside
constexpr int POLYGLOT_CASTLE_INDEX = 768;
constexpr int POLYGLOT_EN_PASSANT_INDEX = 772; // + file of the en-passant square
constexpr int POLYGLOT_TURN_INDEX = 780;       // present when White is to move

extern const uint64_t polyglotRandom[POLYGLOT_RANDOM_COUNT];
