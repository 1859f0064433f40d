// The Polyglot opening book.
#pragma once

#include <cstdint>
#include <string>

#include "board/position.h"

// Opens the file named by "Book File" when "OwnBook" is on (closing any open one).
void openBook();
void closeBook();
// Action of the "Book File" option.
void setBookFile(const std::string& name);

uint64_t polyglotKey(const Position& pos);
// A book move for the position, or 0.
Move probeBook(const Position& pos);
int randomBelow(int n);
