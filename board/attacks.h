// Attack tables: fixed piece tables, magic-bitboard slider lookups and geometric masks.
#pragma once

#include "board/bitboard.h"
#include "board/types.h"

struct Position;

// Fills the tables computed at start-up (single-bit table, three-file and adjacent-file masks,
// and any table not embedded as data). Must run before any position is set.
void initAttackTables();

extern Bitboard squareBit[64];                 // 1 << n
extern Bitboard knightAttacks[64];
extern Bitboard kingAttacks[64];
extern Bitboard rookRays[64];                  // empty-board rook attacks plus the square itself
extern Bitboard bishopRays[64];                // empty-board bishop attacks plus the square itself
extern Bitboard queenLines[64];                // rook rays | bishop rays
extern Bitboard between[64][64];               // strictly between two aligned squares, else 0
extern Bitboard forwardAdjacentSpan[2][64];    // neighbouring files strictly ahead, per side
extern Bitboard threeFileMask[64];             // own file and both neighbours (always three files)
extern Bitboard rearAdjacentMask[64];          // neighbouring files, rank 1 up to the square's rank
extern Bitboard frontAdjacentMask[64];         // neighbouring files, the square's rank up to rank 8
extern const uint8_t squareShade[64];          // 1 dark, 0 light

// Relative rank masks [White, Black].
constexpr Bitboard relativeRank5[2] = {0xff00000000ULL, 0xff000000ULL};
constexpr Bitboard relativeRank6[2] = {0xff0000000000ULL, 0xff0000ULL};
constexpr Bitboard relativeRank7[2] = {0xff000000000000ULL, 0xff00ULL};
constexpr Bitboard pawnStartRank[2] = {0xff00ULL, 0xff000000000000ULL};

// Magic records as shipped: a multiplier and an offset into the shared slider table.
struct MagicRecord {
    uint64_t multiplier;
    uint32_t offset;
};
extern const MagicRecord rookMagics[64];
extern const MagicRecord bishopMagics[64];

constexpr int ROOK_INDEX_SHIFT = 52;   // 12-bit index on every square
constexpr int BISHOP_INDEX_SHIFT = 55; // 9-bit index on every square
constexpr int SLIDER_TABLE_SIZE = 120509;

extern Bitboard rookMask[64];   // relevant occupancy: the rays without their last square
extern Bitboard bishopMask[64];
extern Bitboard sliderTable[SLIDER_TABLE_SIZE];

// What one lookup reads, gathered into one record per square and piece kind.
struct SliderLookup {
    Bitboard mask;
    uint64_t multiplier;
    const Bitboard* attacks; // the square's region of sliderTable
    uint64_t padding; // keeps each record at 32 bytes
};
extern SliderLookup rookLookup[64];
extern SliderLookup bishopLookup[64];

// The full line through two aligned squares (both included), else 0.
extern Bitboard lineThrough[64][64];

inline Bitboard rookAttacks(Square s, Bitboard occupancy) {
    const SliderLookup& m = rookLookup[s];
    return m.attacks[((occupancy & m.mask) * m.multiplier) >> ROOK_INDEX_SHIFT];
}
inline Bitboard bishopAttacks(Square s, Bitboard occupancy) {
    const SliderLookup& m = bishopLookup[s];
    return m.attacks[((occupancy & m.mask) * m.multiplier) >> BISHOP_INDEX_SHIFT];
}
inline Bitboard queenAttacks(Square s, Bitboard occupancy) {
    return rookAttacks(s, occupancy) | bishopAttacks(s, occupancy);
}

constexpr Bitboard pawnAttacks(Color side, Bitboard pawns) {
    return side == WHITE ? (((pawns << 9) & NOT_FILE_A) | ((pawns << 7) & NOT_FILE_H))
                         : (((pawns >> 7) & NOT_FILE_A) | ((pawns >> 9) & NOT_FILE_H));
}

// Every square `side` attacks, sliders seen through the current occupancy.
Bitboard attackedBy(const Position& pos, Color side);
// Whether `side`'s king is attacked by the other side.
bool kingAttacked(const Position& pos, Color side);
