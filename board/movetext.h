// Moves as UCI coordinate text.
#pragma once

#include <string>

#include "board/types.h"

struct Position;

// "e2e4", "e7e8q", "0000" for the null move; castling as the king's destination, or as
// king-takes-rook when UCI_Chess960 is on. `text` must hold at least 6 bytes.
void moveToText(Move move, char* text);
std::string moveToString(Move move);

// Makes the legal move named by `text` from `pos` into `child` (setting the child's inCheck).
// Returns false, changing nothing, when the text names no legal move.
bool executeMoveText(const Position& pos, Position& child, const std::string& text);
