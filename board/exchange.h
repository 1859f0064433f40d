// Static exchange tests: does a move lose material on its destination, is a piece safe where it
// stands.
#pragma once

#include "board/types.h"

struct Position;

// 1 if the move is judged to lose material on its destination square (quiet moves too).
int isLosingCapture(const Position& pos, Move move);
// 1 if the piece on the move's origin would not lose material by staying there.
int originIsSafe(const Position& pos, Move move);
