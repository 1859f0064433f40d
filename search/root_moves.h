// The root move list of a search.
#pragma once

#include <cstdint>

#include "board/types.h"

struct RootMove {
    Move move = 0;
    int orderingKey = 0;
    uint64_t nodes = 0;
};

constexpr int MAX_ROOT_MOVES = 220;
