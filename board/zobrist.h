// Fixed random tables behind the position keys and the material signatures. The values are the
// same on every run and every build: saved hash files depend on that.
#pragma once

#include <cstdint>

#include "board/types.h"

struct ZobristTables {
    // [colour][PieceType][square]. Entries [WHITE][0][0] and [WHITE][0][1] are the side-to-move
    // keys (White to move, Black to move): one of them is always in the key, every move XORs both.
    uint64_t piece[2][8][64];
    // Indexed by the whole castleLost value.
    uint64_t castling[16];
    // Indexed by the en-passant target square.
    uint64_t enPassant[64];
    // Like `piece` but zero for knights, bishops, rooks and queens: pawnKingKey covers pawns and
    // kings only.
    uint64_t pawnKing[2][8][64];
    // Additive material signature [colour][PieceType][square shade]; both shades are equal except
    // for bishops. Zero for kings.
    uint64_t material[2][8][2];
};

extern const ZobristTables zobrist;

inline uint64_t sideKey(Color side) { return zobrist.piece[WHITE][0][side]; }
// XOR of both side keys: what every move, the null move included, applies to the key.
inline uint64_t sideToggleKey() { return zobrist.piece[WHITE][0][0] ^ zobrist.piece[WHITE][0][1]; }
