// Fixed index tables of the Syzygy encoding, computed at compile time.
//
// Squares are 0..63 with a1 = 0. The tables number piece placements after the board has been
// brought into a canonical orientation (see tb_format.cpp): the leading piece of a pawnless table
// into the a1-d1-d4 triangle, the leading pawn of a pawnful table onto the a-d files.
#pragma once

#include <array>
#include <cstdint>

#include "board/types.h"

namespace tbconst {

constexpr int edgeDistance(int file) { return file < 7 - file ? file : 7 - file; }
constexpr int flipDiagonal(int sq) { return ((sq >> 3) | (sq << 3)) & 63; }
// Positive above the a1-h8 diagonal, 0 on it, negative below it.
constexpr int offDiagonal(int sq) { return rankOf(sq) - fileOf(sq); }

// Binomial coefficients C(n, k) for n < 64 and k <= 6 (the most like pieces any index uses).
constexpr int MAX_BINOMIAL_K = 7;
constexpr std::array<std::array<uint64_t, 64>, MAX_BINOMIAL_K> makeBinomial() {
    std::array<std::array<uint64_t, 64>, MAX_BINOMIAL_K> c{};
    for (int n = 0; n < 64; n++) {
        for (int k = 0; k < MAX_BINOMIAL_K; k++) {
            if (k == 0) c[k][n] = 1;
            else if (n == 0) c[k][n] = 0;
            else c[k][n] = c[k - 1][n - 1] + c[k][n - 1];
        }
    }
    return c;
}
inline constexpr auto BINOMIAL = makeBinomial();   // BINOMIAL[k][n] = C(n, k)

// The ten squares of the a1-d1-d4 triangle, in index order: b1 c1 d1 c2 d2 d3 a1 b2 c3 d4.
inline constexpr int INV_TRIANGLE[10] = {1, 2, 3, 10, 11, 19, 0, 9, 18, 27};

// TRIANGLE: every square gets the number of its image inside the triangle.
constexpr std::array<int, 64> makeTriangle() {
    std::array<int, 64> t{};
    for (int sq = 0; sq < 64; sq++) {
        int f = fileOf(sq), r = rankOf(sq);
        if (f > 3) f = 7 - f;
        if (r > 3) r = 7 - r;
        if (r > f) { int x = r; r = f; f = x; }
        for (int i = 0; i < 10; i++)
            if (INV_TRIANGLE[i] == r * 8 + f) t[sq] = i;
    }
    return t;
}
inline constexpr auto TRIANGLE = makeTriangle();

// LOWER: squares below the diagonal numbered 0..27 in square order; squares above it take the
// number of their mirror image; diagonal squares get 28..35.
constexpr std::array<int, 64> makeLower() {
    std::array<int, 64> t{};
    int n = 0;
    for (int sq = 0; sq < 64; sq++)
        if (offDiagonal(sq) < 0) t[sq] = n++;
    for (int sq = 0; sq < 64; sq++) {
        if (offDiagonal(sq) > 0) t[sq] = t[flipDiagonal(sq)];
        else if (offDiagonal(sq) == 0) t[sq] = 28 + rankOf(sq);
    }
    return t;
}
inline constexpr auto LOWER = makeLower();

// DIAG: a1..h8 = 0..7 and h1..a8 = 8..15; other squares 0.
constexpr std::array<int, 64> makeDiag() {
    std::array<int, 64> t{};
    for (int i = 0; i < 8; i++) {
        t[i * 9] = i;
        t[7 + i * 7] = 8 + i;
    }
    return t;
}
inline constexpr auto DIAG = makeDiag();

constexpr bool kingsTouchOrEqual(int a, int b) {
    int df = fileOf(a) - fileOf(b), dr = rankOf(a) - rankOf(b);
    return df >= -1 && df <= 1 && dr >= -1 && dr <= 1;
}

// KK_IDX[t][sq]: index of the king pair with the first king on triangle square t and the second
// on sq; -1 for pairs that cannot occur after canonicalisation (touching kings, or a second king
// above the diagonal while the first is on it). 462 pairs in all.
constexpr int KING_PAIRS = 462;
constexpr std::array<std::array<int, 64>, 10> makeKingPairs() {
    std::array<std::array<int, 64>, 10> t{};
    for (auto& row : t)
        for (int& v : row) v = -1;
    int n = 0;
    for (int i = 0; i < 10; i++) {
        int k1 = INV_TRIANGLE[i];
        for (int k2 = 0; k2 < 64; k2++)
            if (!kingsTouchOrEqual(k1, k2) && (i < 6 || offDiagonal(k2) < 0)) t[i][k2] = n++;
    }
    for (int i = 6; i < 10; i++) {
        int k1 = INV_TRIANGLE[i];
        for (int k2 = 0; k2 < 64; k2++)
            if (!kingsTouchOrEqual(k1, k2) && offDiagonal(k2) == 0) t[i][k2] = n++;
    }
    return t;
}
inline constexpr auto KK_IDX = makeKingPairs();

// Placements of three distinct leading pieces after canonicalisation.
constexpr int THREE_UNIQUE_PLACEMENTS = 31332;

// Pawn squares (ranks 2..7). FLAP orders them file class by file class, PTWIST interleaves the
// two halves of the board so that mirror squares are neighbours.
constexpr std::array<int, 64> makeFlap() {
    std::array<int, 64> t{};
    for (int sq = 8; sq < 56; sq++) t[sq] = 6 * edgeDistance(fileOf(sq)) + rankOf(sq) - 1;
    return t;
}
inline constexpr auto FLAP = makeFlap();

constexpr std::array<int, 64> makePtwist() {
    std::array<int, 64> t{};
    for (int sq = 8; sq < 56; sq++)
        t[sq] = 47 - (12 * edgeDistance(fileOf(sq)) + 2 * (rankOf(sq) - 1) + (fileOf(sq) >= 4 ? 1 : 0));
    return t;
}
inline constexpr auto PTWIST = makePtwist();

inline constexpr int FILE_TO_FILE[8] = {0, 1, 2, 3, 3, 2, 1, 0};

constexpr int MAX_LEADING_PAWNS = 5;

struct PawnTables {
    uint64_t index[MAX_LEADING_PAWNS][24];   // [leading pawns - 1][FLAP value]
    uint64_t factor[MAX_LEADING_PAWNS][4];   // [leading pawns - 1][file class]
};
constexpr PawnTables makePawnTables() {
    PawnTables p{};
    for (int t = 0; t < MAX_LEADING_PAWNS; t++) {
        for (int fc = 0; fc < 4; fc++) {
            uint64_t s = 0;
            for (int r = 0; r < 6; r++) {
                int j = 6 * fc + r;
                p.index[t][j] = s;
                int sq = 8 * (r + 1) + fc;
                s += t == 0 ? 1 : BINOMIAL[t][PTWIST[sq]];
            }
            p.factor[t][fc] = s;
        }
    }
    return p;
}
inline constexpr PawnTables PAWN_TABLES = makePawnTables();

static_assert(KK_IDX[0][3] == 0 && KK_IDX[6][18] == 441 && KK_IDX[8][0] == 452 && KK_IDX[9][63] == 461);
static_assert(PAWN_TABLES.factor[1][0] == 252 && PAWN_TABLES.factor[3][3] == 295);
static_assert(PTWIST[8] == 47 && PTWIST[15] == 46 && PTWIST[52] == 0);

} // namespace tbconst
