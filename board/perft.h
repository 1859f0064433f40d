// Perft: the number of leaves of the legal-move tree, to check move generation and measure its speed.
#pragma once

#include <cstdint>

struct Position;

uint64_t perft(const Position& pos, int depth);
// Prints "<move>: <count>" for every legal move, an empty line, then "Nodes searched: <total>".
void perftDivide(const Position& pos, int depth);
// The number of legal moves, found from pins and attacks on the king without making the moves.
int countLegalMoves(const Position& pos);
