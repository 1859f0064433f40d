#include "board/psqt.h"

#include "board/types.h"

PackedScore pieceSquareTable[2][8][64];

namespace {
// Base tables in board-diagram order (first row = eighth rank, a-file first), White's view, as
// (middlegame, endgame) pairs; each is multiplied by its piece's scale pair.
struct Cell {
    int mg, eg;
};

constexpr Cell knightBase[64] = {
    {-55, -40}, {-5, -5},   {-3, -3},   {-2, -2}, {-2, -2}, {-3, -3},   {-5, -5},   {-55, -40},
    {-7, -7},   {-3, -3},   {0, 0},     {1, 1},   {1, 1},   {1, 1},     {-3, -3},   {-7, -7},
    {-4, -4},   {0, 0},     {3, 3},     {5, 5},   {5, 5},   {3, 3},     {0, 0},     {-4, -4},
    {-4, -4},   {0, 0},     {3, 3},     {5, 5},   {5, 5},   {3, 3},     {0, 0},     {-4, -4},
    {-5, -5},   {-1, -1},   {2, 2},     {3, 3},   {3, 3},   {2, 2},     {-1, -1},   {-5, -5},
    {-7, -7},   {-3, -3},   {-1, -1},   {0, 0},   {0, 0},   {-1, -1},   {-3, -3},   {-7, -7},
    {-10, -10}, {-7, -7},   {-5, -5},   {-4, -4}, {-4, -4}, {-5, -5},   {-7, -7},   {-10, -10},
    {-15, -15}, {-12, -12}, {-10, -10}, {-9, -9}, {-9, -9}, {-10, -10}, {-12, -12}, {-15, -15},
};

constexpr Cell bishopBase[64] = {
    {-4, -1}, {-5, -2}, {-5, -2}, {-4, -1}, {-4, -1}, {-5, -2}, {-5, -2}, {-4, -1},
    {-6, -2}, {3, 1},   {5, 2},   {2, 1},   {2, 1},   {5, 2},   {3, 1},   {-6, -2},
    {-7, -2}, {4, 1},   {6, 2},   {5, 2},   {5, 2},   {6, 2},   {4, 1},   {-7, -2},
    {-7, -2}, {0, 0},   {4, 1},   {9, 3},   {9, 3},   {4, 1},   {0, 0},   {-7, -2},
    {-6, -2}, {1, 0},   {5, 2},   {10, 3},  {10, 3},  {5, 2},   {1, 0},   {-6, -2},
    {-6, -2}, {3, 1},   {5, 2},   {4, 1},   {4, 1},   {5, 2},   {3, 1},   {-6, -2},
    {-5, -2}, {2, 1},   {2, 1},   {-1, 0},  {-1, 0},  {2, 1},   {2, 1},   {-5, -2},
    {-3, -1}, {-6, -2}, {-8, -3}, {-9, -3}, {-9, -3}, {-8, -3}, {-6, -2}, {-3, -1},
};

constexpr Cell rookBase[64] = {
    {-2, 0}, {1, 0},  {4, 0}, {7, 0}, {7, 0}, {4, 0}, {1, 0},  {-2, 0},
    {-2, 2}, {1, 2},  {4, 2}, {7, 2}, {6, 2}, {4, 2}, {1, 2},  {-2, 2},
    {-3, 2}, {0, 2},  {3, 2}, {6, 2}, {6, 2}, {3, 2}, {0, 2},  {-3, 2},
    {-4, 1}, {-1, 1}, {2, 1}, {5, 1}, {5, 1}, {2, 1}, {-1, 1}, {-4, 1},
    {-4, 0}, {-1, 0}, {2, 0}, {5, 0}, {5, 0}, {2, 0}, {-1, 0}, {-4, 0},
    {-4, 0}, {-1, 0}, {2, 0}, {5, 0}, {5, 0}, {2, 0}, {-1, 0}, {-4, 0},
    {-4, 0}, {-1, 0}, {2, 0}, {5, 0}, {5, 0}, {2, 0}, {-1, 0}, {-4, 0},
    {-4, 0}, {-1, 0}, {2, 0}, {5, 0}, {5, 0}, {2, 0}, {-1, 0}, {-4, 0},
};

constexpr Cell kingBase[64] = {
    {-71, -72}, {-65, -52}, {-87, -40}, {-99, -36}, {-99, -36}, {-87, -40}, {-65, -52}, {-71, -72},
    {-63, -52}, {-57, -32}, {-80, -20}, {-93, -16}, {-93, -16}, {-80, -20}, {-57, -32}, {-63, -52},
    {-56, -40}, {-50, -20}, {-74, -8},  {-88, -4},  {-88, -4},  {-74, -8},  {-50, -20}, {-56, -40},
    {-48, -36}, {-42, -16}, {-67, -4},  {-82, 0},   {-82, 0},   {-67, -4},  {-42, -16}, {-48, -36},
    {-39, -40}, {-33, -20}, {-59, -8},  {-75, -4},  {-75, -4},  {-59, -8},  {-33, -20}, {-39, -40},
    {-30, -52}, {-24, -32}, {-51, -20}, {-68, -16}, {-68, -16}, {-51, -20}, {-24, -32}, {-30, -52},
    {-12, -72}, {-6, -52},  {-35, -40}, {-54, -36}, {-54, -36}, {-35, -40}, {-6, -52},  {-12, -72},
    {-6, -100}, {0, -80},   {-30, -68}, {-50, -64}, {-50, -64}, {-30, -68}, {0, -80},   {-6, -100},
};

constexpr PackedScore KNIGHT_SCALE = pack(20, 11);
constexpr PackedScore BISHOP_SCALE = pack(8, 10);
constexpr PackedScore ROOK_SCALE = pack(11, 14);
constexpr PackedScore QUEEN_SCALE = pack(6, 8);
constexpr PackedScore KING_SCALE = pack(10, 12);
constexpr PackedScore PAWN_SCALE = pack(8, 8);

// Queen: -6 on the edge, 5 on the ring c3-f3-f6-c6, 9 in the centre, 0 elsewhere (both halves).
constexpr int queenBase(int file, int rank) {
    if (file == 0 || file == 7 || rank == 0 || rank == 7) return -6;
    if (file >= 3 && file <= 4 && rank >= 3 && rank <= 4) return 9;
    if (file >= 2 && file <= 5 && rank >= 2 && rank <= 5) return 5;
    return 0;
}

// Pawn placement from file and rank weights; the centre files get more of the rank weight.
constexpr int pawnFileMg[8] = {-13, -3, 2, 7, 7, 2, -3, -13};
constexpr int pawnFileEg[8] = {1, -1, -3, -5, -5, -3, -1, 1};
constexpr int pawnRankMg[8] = {0, -1, 0, 2, 4, 6, 6, 0};
constexpr int pawnRankEg[8] = {0, -1, 0, 2, 4, 6, 6, 0};

PackedScore pawnValue(int file, int rank) {
    if (rank == 0 || rank == 7) return 0;
    int mg = pawnFileMg[file] + pawnRankMg[rank];
    int eg = pawnFileEg[file] + pawnRankEg[rank];
    PackedScore v = packedMul(PAWN_SCALE, pack(mg, eg));
    int extraMg = 0;
    if (file == 3 || file == 4) extraMg = 8 * pawnRankMg[rank];
    else if (file == 2 || file == 5) extraMg = 4 * pawnRankMg[rank];
    else if (file == 0 || file == 7) extraMg = -4 * pawnRankMg[rank];
    return pack(mgOf(v) + extraMg, egOf(v) / 2);
}

void setPiece(PieceType type, int diagramIndex, PackedScore value) {
    pieceSquareTable[WHITE][type][diagramIndex ^ 56] = value;
    pieceSquareTable[BLACK][type][diagramIndex] = packedNeg(value);
}

void fillFromBase(PieceType type, const Cell* base, PackedScore scale) {
    for (int k = 0; k < 64; ++k) setPiece(type, k, packedMul(scale, pack(base[k].mg, base[k].eg)));
}
} // namespace

void buildPieceSquareTables() {
    for (auto& side : pieceSquareTable)
        for (auto& type : side)
            for (auto& value : type) value = 0;
    fillFromBase(KNIGHT, knightBase, KNIGHT_SCALE);
    fillFromBase(BISHOP, bishopBase, BISHOP_SCALE);
    fillFromBase(ROOK, rookBase, ROOK_SCALE);
    fillFromBase(KING, kingBase, KING_SCALE);
    for (int k = 0; k < 64; ++k) {
        int q = queenBase(fileOf(k), rankOf(k));
        setPiece(QUEEN, k, packedMul(QUEEN_SCALE, pack(q, q)));
    }
    for (Square sq = 0; sq < 64; ++sq) {
        PackedScore v = pawnValue(fileOf(sq), rankOf(sq));
        pieceSquareTable[WHITE][PAWN][sq] = v;
        pieceSquareTable[BLACK][PAWN][sq ^ 56] = packedNeg(v);
    }
}
