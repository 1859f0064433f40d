#include "book/book_format.h"

#include <cstring>

#include "board/position.h"
#include "uci/settings.h"

namespace {
uint64_t bigEndian(const unsigned char* bytes, int count) {
    uint64_t value = 0;
    for (int i = 0; i < count; ++i) value = (value << 8) | bytes[i];
    return value;
}

constexpr Square E1 = makeSquare(4, 0);
constexpr Square E8 = makeSquare(4, 7);
} // namespace

BookEntry decodeBookEntry(const unsigned char (&bytes)[BOOK_ENTRY_BYTES]) {
    BookEntry entry;
    entry.key = bigEndian(bytes, 8);
    entry.move = uint16_t(bigEndian(bytes + 8, 2));
    entry.weight = uint16_t(bigEndian(bytes + 10, 2));
    entry.learn = uint32_t(bigEndian(bytes + 12, 4));
    return entry;
}

bool bookMoveText(uint16_t move, const Position& pos, char* text) {
    int promotion = (move >> 12) & 7;
    if ((move & 0x8000) || promotion > 4) return false;
    Square to = move & 63;
    Square from = (move >> 6) & 63;
    text[0] = char('a' + fileOf(from));
    text[1] = char('1' + rankOf(from));
    text[2] = char('a' + fileOf(to));
    text[3] = char('1' + rankOf(to));
    text[4] = " nbrq"[promotion];
    text[5] = '\0';
    if (promotion == 0) text[4] = '\0';

    // Books store castling as the king taking its own rook. The legal moves are written with the
    // king's destination in the standard game, and as the king taking its rook (the book's own
    // form) when Chess960 is on.
    if (optChess960.load(std::memory_order_relaxed)) return true;
    if (pos.board[E1] == pieceCode(WHITE, KING)) {
        if (!std::strcmp(text, "e1h1"))
            std::memcpy(text, "e1g1", 5);
        else if (!std::strcmp(text, "e1a1"))
            std::memcpy(text, "e1c1", 5);
    }
    if (pos.board[E8] == pieceCode(BLACK, KING)) {
        if (!std::strcmp(text, "e8h8"))
            std::memcpy(text, "e8g8", 5);
        else if (!std::strcmp(text, "e8a8"))
            std::memcpy(text, "e8c8", 5);
    }
    return true;
}
