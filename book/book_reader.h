// Looking a position up in an open book stream. The engine's book file goes through probeBook
// (book/book.h); these entries take any stream, so a probe can also run on a stream whose reads
// and seeks are observed or made to fail.
#pragma once

#include <cstdio>

#include "board/types.h"

struct Position;

struct BookCandidate {
    Move move;  // the legal move as the move generator wrote it (with its flags)
    int weight; // never 0
};

// Most candidates one position may have: more records than that for one key can only come from a
// broken book, and the position then has no book move.
constexpr int MAX_BOOK_CANDIDATES = MAX_MOVES;

// Fills `candidates` with the playable records of the position in file order and returns their
// number; 0 when the position is not in the book, when all its records weigh 0, or when any of its
// weighted records names no legal move. Prints the probe's progress lines on standard output. A
// null stream gives 0. A seek or read that fails on the stream prints its message to standard error
// and ends the program with status 1.
int readBookCandidates(FILE* file, const Position& pos, BookCandidate* candidates);

// Draws one candidate in proportion to the weights; with `heaviestOnly` only among those of the
// greatest weight. `candidates` is reordered in that case. count must be at least 1.
Move chooseBookMove(BookCandidate* candidates, int count, bool heaviestOnly);

// readBookCandidates followed by chooseBookMove ("Best Book Line" decides), or 0.
Move probeBookStream(FILE* file, const Position& pos);
