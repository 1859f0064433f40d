// The game record: the position of the last "position" command and the positions after each of
// its moves. The search starts from the last entry and looks back through the earlier ones for
// repetitions.
#pragma once

#include <string>
#include <vector>

#include "board/position.h"

constexpr int GAME_RECORD_SIZE = 2048;

// Entry 0 is the position set from FEN; entry i + 1 is entry i after the i-th move.
extern Position positionStack[GAME_RECORD_SIZE];
// Index of the current entry.
extern int gamePly;

inline Position& currentPosition() { return positionStack[gamePly]; }

// The standard start position, no moves.
void setStartPosition();

// The "position" command, tokens[0] being "position". A FEN the board refuses leaves the game
// record as it was; the moves list ends at the first move that cannot be played.
void handlePosition(const std::vector<std::string>& tokens);
