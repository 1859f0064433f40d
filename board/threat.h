// Threat measures for the search's pruning margins, and a numeric exchange value.
#pragma once

#include "board/types.h"

struct Position;

int fullThreat(const Position& pos);     // 0 .. 19
int lastMoveThreat(const Position& pos); // 0, 1 or 2
// Material the side making the capture gains by the exchange on the destination (pawn 1,
// knight 3, bishop 3, rook 5, queen 9, king 999); negative when it loses.
int exchangeValue(const Position& pos, Move move);
