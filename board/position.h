// The Position record, the process-wide castling geometry and FEN reading and writing.
#pragma once

#include <string>

#include "board/types.h"
#include "eval/packed_score.h"

struct EvalCacheEntry;
struct PawnEntry;
struct MaterialEntry;

// One position. A plain record, copied whole by make-move; links are non-owning.
struct Position {
    Bitboard pieces[2][7];       // [colour][0 = all pieces of that side, 1..6 = PieceType]
    Bitboard occupied;           // all pieces of both sides
    uint8_t board[64];           // pieceCode per square, 0 when empty
    Bitboard epSquare;           // en-passant target as a one-bit set, only when a capture is possible
    uint64_t key;                // Zobrist key
    uint64_t pawnKingKey;        // Zobrist key over pawns and kings only
    uint64_t materialKey;        // additive material signature, bishops told by shade
    uint64_t materialCountKey;   // the same without shades
    PackedScore pstScore;        // sum of the piece-square values of all pieces
    const Position* parent;      // the position this one was made from; null for a FEN root
    int32_t* historyTable;       // owning thread's history counters [side][PieceType 0..7][square]
    EvalCacheEntry* evalCache;   // owning thread's evaluation caches
    PawnEntry* pawnCache;
    MaterialEntry* materialCache;
    Move lastMove;               // the move that produced this position
    int32_t staticEval;          // search slot; 999999 = not yet computed
    uint16_t movedType;          // PieceType moved by lastMove
    uint16_t capturedType;       // PieceType captured by lastMove (0 for en passant)
    uint16_t ply;                // bit 0 is the side to move
    uint16_t inCheck;            // 1 if the side to move is in check
    int16_t phase;               // knight 2, bishop 3, rook 8, queen 22
    uint16_t halfmoveClock;      // plies since the last capture, pawn move or promotion
    uint8_t searchPly;           // distance from the search root
    uint8_t childReduction;      // reduction applied to the child being searched, else 0
    uint8_t frontierExtended;    // set when the search raised this node from depth 1 to 2
    int16_t extensionSum;        // sum of extensions on the path to this node
    uint16_t threadIndex;        // owning search thread
    int32_t positionalEstimate;  // positional part of the last full evaluation of this record
    uint32_t pieceCount;         // pieces on the board, kings and pawns included
    uint8_t castleLost;          // bit 0 WK, 1 WQ, 2 BK, 3 BQ; a set bit means the right is gone
};

inline Color sideToMove(const Position& p) { return Color(p.ply & 1); }

// Phase weight of each PieceType: knight 2, bishop 3, rook 8, queen 22 (96 in the start position).
constexpr int PHASE_WEIGHT[8] = {0, 0, 2, 3, 8, 22, 0, 0};
inline int32_t& historyEntry(int32_t* table, Color side, int type, Square to) {
    return table[(int(side) * 8 + type) * 64 + to];
}

// Castling indices: White kingside, White queenside, Black kingside, Black queenside.
enum CastlingIndex : int { WHITE_KINGSIDE = 0, WHITE_QUEENSIDE = 1, BLACK_KINGSIDE = 2, BLACK_QUEENSIDE = 3 };

// Castling tables shared by every position of one game; rewritten by every FEN reading. They make
// Chess960 and standard castling one code path.
struct CastlingGeometry {
    Square kingOrigin[2];          // per colour
    Square rookOrigin[4];          // per castling
    Square kingDestination[4];     // g1, c1, g8, c8
    Square rookDestination[4];     // f1, d1, f8, d8
    Bitboard emptyMask[4];         // squares that must be empty (once both origins are removed)
    Bitboard notOrigins[4];        // complement of king origin and rook origin
    Bitboard safeMask[4];          // king origin to destination inclusive; none may be attacked
    uint8_t castleMaskBySquare[64];
};

extern CastlingGeometry castling;

extern const char* const startFen;

// Sets the position from FEN text (empty text: the start position) and rewrites the castling
// geometry. Returns true when the position was set. A FEN the engine cannot handle safely is
// refused with a reason and leaves `pos` and the castling geometry unchanged.
bool setFromFen(Position& pos, const std::string& fen, std::string* error = nullptr);

// Four fields: placement, side, castling, en passant; no move counters.
std::string toFen(const Position& pos);

// Full recomputations.
uint64_t computeKey(const Position& pos);          // without the en-passant part
uint64_t computePawnKingKey(const Position& pos);
uint64_t computeMaterialKey(const Position& pos);  // bishops told by shade
uint64_t computeMaterialCountKey(const Position& pos);
PackedScore computePstScore(const Position& pos);
int computePhase(const Position& pos);
