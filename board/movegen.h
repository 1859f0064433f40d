// Pseudo-legal move generation. Every generator appends to a caller-supplied list and returns the
// number of words written; the high 16 bits of a word carry the generator's ordering score.
#pragma once

#include "board/types.h"

struct Position;

int generateCaptures(const Position& pos, Move* list);    // captures, en passant, all promotions
int generateQuiets(const Position& pos, Move* list);      // castling and quiet moves, history scored
int generateEvasions(const Position& pos, Move* list);    // replies to a check, unscored
int generateQuietChecks(const Position& pos, Move* list); // quiet moves that give check
int generateCastling(const Position& pos, Color side, Move* list);
int generateAll(const Position& pos, Move* list);
bool isPseudoLegal(const Position& pos, Move move);
