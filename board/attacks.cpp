#include "board/attacks.h"

#include "board/position.h"

Bitboard squareBit[64];
Bitboard knightAttacks[64];
Bitboard kingAttacks[64];
Bitboard rookRays[64];
Bitboard bishopRays[64];
Bitboard queenLines[64];
Bitboard between[64][64];
Bitboard lineThrough[64][64];
Bitboard forwardAdjacentSpan[2][64];
Bitboard threeFileMask[64];
Bitboard rearAdjacentMask[64];
Bitboard frontAdjacentMask[64];
Bitboard rookMask[64];
Bitboard bishopMask[64];
Bitboard sliderTable[SLIDER_TABLE_SIZE];
SliderLookup rookLookup[64];
SliderLookup bishopLookup[64];

// 1 for a dark square (a1, c1, ..., b2, ...), 0 for a light one; rank 1 first.
const uint8_t squareShade[64] = {
    1, 0, 1, 0, 1, 0, 1, 0, //
    0, 1, 0, 1, 0, 1, 0, 1, //
    1, 0, 1, 0, 1, 0, 1, 0, //
    0, 1, 0, 1, 0, 1, 0, 1, //
    1, 0, 1, 0, 1, 0, 1, 0, //
    0, 1, 0, 1, 0, 1, 0, 1, //
    1, 0, 1, 0, 1, 0, 1, 0, //
    0, 1, 0, 1, 0, 1, 0, 1, //
};

namespace {

constexpr int ROOK_STEPS[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
constexpr int BISHOP_STEPS[4][2] = {{1, 1}, {1, -1}, {-1, 1}, {-1, -1}};

bool onBoard(int file, int rank) { return file >= 0 && file < 8 && rank >= 0 && rank < 8; }

// Attacks traced square by square along the rays, stopping at (and including) the first piece.
// Only used to build the tables.
Bitboard traceAttacks(Square s, Bitboard occupancy, const int (*steps)[2]) {
    Bitboard attacks = 0;
    for (int d = 0; d < 4; ++d) {
        int f = fileOf(s) + steps[d][0], r = rankOf(s) + steps[d][1];
        while (onBoard(f, r)) {
            Bitboard b = 1ULL << makeSquare(f, r);
            attacks |= b;
            if (occupancy & b) break;
            f += steps[d][0];
            r += steps[d][1];
        }
    }
    return attacks;
}

// The rays without their last square: the occupancy that can change the attacks.
Bitboard relevantMask(Square s, const int (*steps)[2]) {
    Bitboard mask = 0;
    for (int d = 0; d < 4; ++d) {
        int f = fileOf(s) + steps[d][0], r = rankOf(s) + steps[d][1];
        while (onBoard(f + steps[d][0], r + steps[d][1])) {
            mask |= 1ULL << makeSquare(f, r);
            f += steps[d][0];
            r += steps[d][1];
        }
    }
    return mask;
}

Bitboard stepTargets(Square s, const int (*steps)[2], int count) {
    Bitboard b = 0;
    for (int i = 0; i < count; ++i) {
        int f = fileOf(s) + steps[i][0], r = rankOf(s) + steps[i][1];
        if (onBoard(f, r)) b |= 1ULL << makeSquare(f, r);
    }
    return b;
}

// Fills one square's region of the shared slider table with every occupancy of its mask.
void fillSliderRegion(SliderLookup& lookup, Square s, Bitboard mask, const MagicRecord& record, int shift,
                      const int (*steps)[2]) {
    lookup.mask = mask;
    lookup.multiplier = record.multiplier;
    lookup.attacks = sliderTable + record.offset;
    lookup.padding = 0;
    Bitboard subset = 0;
    do {
        sliderTable[record.offset + ((subset * record.multiplier) >> shift)] = traceAttacks(s, subset, steps);
        subset = (subset - mask) & mask;
    } while (subset);
}

Bitboard fileMask(int file) { return FILE_A_BB << file; }

} // namespace

void initAttackTables() {
    constexpr int KNIGHT_STEPS[8][2] = {{1, 2}, {2, 1}, {2, -1}, {1, -2}, {-1, -2}, {-2, -1}, {-2, 1}, {-1, 2}};
    constexpr int KING_STEPS[8][2] = {{1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}, {-1, -1}, {0, -1}, {1, -1}};

    for (Square s = 0; s < 64; ++s) {
        squareBit[s] = 1ULL << s;
        knightAttacks[s] = stepTargets(s, KNIGHT_STEPS, 8);
        kingAttacks[s] = stepTargets(s, KING_STEPS, 8);
        rookRays[s] = traceAttacks(s, 0, ROOK_STEPS) | squareBit[s];
        bishopRays[s] = traceAttacks(s, 0, BISHOP_STEPS) | squareBit[s];
        queenLines[s] = rookRays[s] | bishopRays[s];
        rookMask[s] = relevantMask(s, ROOK_STEPS);
        bishopMask[s] = relevantMask(s, BISHOP_STEPS);
    }
    for (Square s = 0; s < 64; ++s) {
        fillSliderRegion(rookLookup[s], s, rookMask[s], rookMagics[s], ROOK_INDEX_SHIFT, ROOK_STEPS);
        fillSliderRegion(bishopLookup[s], s, bishopMask[s], bishopMagics[s], BISHOP_INDEX_SHIFT, BISHOP_STEPS);
    }

    // Two squares on a common rook line share exactly that line in their rook rays (the crossing
    // lines meet only in the squares themselves); the same holds for bishop lines.
    for (Square a = 0; a < 64; ++a)
        for (Square b = 0; b < 64; ++b) {
            between[a][b] = 0;
            lineThrough[a][b] = 0;
            if (a == b) continue;
            if (rookRays[a] & squareBit[b]) {
                lineThrough[a][b] = rookRays[a] & rookRays[b];
                between[a][b] = traceAttacks(a, squareBit[b], ROOK_STEPS) & traceAttacks(b, squareBit[a], ROOK_STEPS);
            } else if (bishopRays[a] & squareBit[b]) {
                lineThrough[a][b] = bishopRays[a] & bishopRays[b];
                between[a][b] =
                    traceAttacks(a, squareBit[b], BISHOP_STEPS) & traceAttacks(b, squareBit[a], BISHOP_STEPS);
            }
        }

    for (Square s = 0; s < 64; ++s) {
        int file = fileOf(s), rank = rankOf(s);
        Bitboard neighbours = (file > 0 ? fileMask(file - 1) : 0) | (file < 7 ? fileMask(file + 1) : 0);
        Bitboard above = rank < 7 ? ~0ULL << (8 * (rank + 1)) : 0;
        Bitboard below = rank > 0 ? ~0ULL >> (8 * (8 - rank)) : 0;
        forwardAdjacentSpan[WHITE][s] = neighbours & above;
        forwardAdjacentSpan[BLACK][s] = neighbours & below;
        int first = file == 0 ? 0 : file == 7 ? 5 : file - 1;
        threeFileMask[s] = fileMask(first) | fileMask(first + 1) | fileMask(first + 2);
        rearAdjacentMask[s] = forwardAdjacentSpan[BLACK][s] | (forwardAdjacentSpan[BLACK][s] << 8);
        frontAdjacentMask[s] = forwardAdjacentSpan[WHITE][s] | (forwardAdjacentSpan[WHITE][s] >> 8);
    }
}

Bitboard attackedBy(const Position& pos, Color side) {
    const Bitboard* own = pos.pieces[side];
    Bitboard occ = pos.occupied;
    Bitboard attacks = pawnAttacks(side, own[PAWN]);
    for (Bitboard b = own[KNIGHT]; b;) attacks |= knightAttacks[popLsb(b)];
    for (Bitboard b = own[BISHOP] | own[QUEEN]; b;) attacks |= bishopAttacks(popLsb(b), occ);
    for (Bitboard b = own[ROOK] | own[QUEEN]; b;) attacks |= rookAttacks(popLsb(b), occ);
    if (own[KING]) attacks |= kingAttacks[lsb(own[KING])];
    return attacks;
}

bool kingAttacked(const Position& pos, Color side) {
    const Bitboard* enemy = pos.pieces[~side];
    Square k = lsb(pos.pieces[side][KING]);
    if (knightAttacks[k] & enemy[KNIGHT]) return true;
    if (kingAttacks[k] & enemy[KING]) return true;
    if (bishopAttacks(k, pos.occupied) & (enemy[BISHOP] | enemy[QUEEN])) return true;
    if (rookAttacks(k, pos.occupied) & (enemy[ROOK] | enemy[QUEEN])) return true;
    return pawnAttacks(side, squareBit[k]) & enemy[PAWN];
}
