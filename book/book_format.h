// The record layout of a Polyglot book file and the reading of its move field.
#pragma once

#include <cstdint>

struct Position;

// One book record, 16 bytes, every field big-endian:
//   0  8  key of the position (polyglotKey)
//   8  2  move: bits 0-5 destination, bits 6-11 origin (square = rank * 8 + file),
//         bits 12-14 promotion (0 none, 1 knight, 2 bishop, 3 rook, 4 queen), bit 15 unused
//  10  2  weight
//  12  4  learn value (not used)
// Records are sorted by key ascending; the records of one position are contiguous.
struct BookEntry {
    uint64_t key;
    uint16_t move;
    uint16_t weight;
    uint32_t learn;
};

constexpr int BOOK_ENTRY_BYTES = 16;

BookEntry decodeBookEntry(const unsigned char (&bytes)[BOOK_ENTRY_BYTES]);

// Writes the coordinate text of a book move as the position's legal moves are written: origin,
// destination and promotion letter, with castling (stored as the king taking its own rook) turned
// into the king's two-square move when that king stands on e1 or e8 and Chess960 is off. Returns
// false when the field cannot name a move at all (bit 15 set or a promotion code above 4). `text`
// holds 6 bytes.
bool bookMoveText(uint16_t move, const Position& pos, char* text);
