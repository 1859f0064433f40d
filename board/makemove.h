// Copy-make: writes a complete child position from a parent and a move.
#pragma once

#include "board/types.h"

struct Position;

// Returns true when the move is legal; the child is garbage otherwise. Move 0 is the null move.
// The parent is never modified. The move must be pseudo-legal in the parent.
bool makeMove(const Position& parent, Position& child, Move move);

// Optional node-rate limit (nodes per second, 0 = none).
extern uint64_t nodeRateLimit;
