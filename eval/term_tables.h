// Weights and lookup tables of the pawn, piece, threat and king-safety terms.
//
// Weights are (middlegame, endgame) pairs in millipawns. Tables indexed by a count hold
// base × multiplier(count), so a term costs one load and one packed addition. The curves that
// depend on no option are filled once by initTermTables(); the rest, including the king-attack
// curve scaled by "King Safety", by buildTermTables() (both declared in eval/pieces.h).
#pragma once

#include <cstdint>

#include "board/types.h"
#include "eval/packed_score.h"

// ---- Single weights -------------------------------------------------------------------------

// Pawn structure.
constexpr PackedScore DOUBLED_FRONT_UNDEFENDED = pack(-36, -44);
constexpr PackedScore ROOK_FILE_PAWN_NEIGHBOUR = pack(0, -40);
constexpr PackedScore ROOK_FILE_PAWN_NEIGHBOUR_FACED = pack(0, -20); // enemy pawn two ranks ahead beside
constexpr PackedScore TWO_PASSED_PAWNS = pack(33, 122);
constexpr PackedScore BACK_RANK_PAWNS = pack(-93, -185);

// Passed pawns in the piece pass.
constexpr PackedScore PASSER_KING_AT_PROMOTION = pack(0, 125);
constexpr PackedScore PASSER_ROOK_BEHIND = pack(60, 300);

// Pieces.
constexpr PackedScore BISHOP_FACES_KNIGHT = pack(15, 16);
constexpr PackedScore ROOK_BONUS = pack(23, 7);
constexpr PackedScore ROOK_ON_SEVENTH = pack(61, 167);
constexpr PackedScore ROOK_OPEN_FILE = pack(172, 160);
constexpr PackedScore ROOK_HALF_OPEN_DEFENDED_PAWN = pack(30, 59);
constexpr PackedScore ROOK_HALF_OPEN_WEAK_PAWN = pack(110, 96);
constexpr PackedScore UNCHALLENGEABLE_OUTPOST = pack(210, 120);
constexpr PackedScore KNIGHT_BEHIND_PAWN_DIAGONALLY = pack(27, 9);
constexpr PackedScore FIANCHETTO_BISHOP = pack(54, 0);
constexpr PackedScore BOXED_BISHOP = pack(-75, -100);

// King safety.
constexpr PackedScore KING_TRAPS_ROOK = pack(-300, -100);
constexpr int KS_BASE_UNITS = 3;
constexpr int KS_KNIGHT_ZONE = 3, KS_KNIGHT_CHECK = 4;
constexpr int KS_BISHOP_ZONE = 1, KS_BISHOP_CHECK = 3;
constexpr int KS_ROOK_ZONE = 1, KS_ROOK_ON_KING_FILE = 2, KS_ROOK_CHECK = 4;
constexpr int KS_NO_QUEEN = -3;
constexpr int KS_QUEEN_ZONE = 1, KS_QUEEN_DISTANT_CHECK = 3;
constexpr int KS_QUEEN_CONTACT_CHECK = 10, KS_QUEEN_CONTACT_CHECK_LOSING = 1;
constexpr int KS_QUEEN_CHECK_CAP = 25;
constexpr int KS_COVER_DIVISOR = 220; // shelter millipawns per unit of cover

// ---- Tables ---------------------------------------------------------------------------------

// Count tables, entry n = base × n unless noted.
extern PackedScore doubledPawns[9];
extern PackedScore defendedPhalanx[9];
extern PackedScore pushSquareAttacked[9];
extern PackedScore phalanx[9];
extern PackedScore defendedPawns[9];
extern PackedScore knightBlockade[9];
extern PackedScore doubledIsolatedUnopposed[9];
extern PackedScore doubledIsolatedOpposed[9];
extern PackedScore isolatedOpposed[9];
extern PackedScore isolatedUnopposed[9];
extern PackedScore backwardCovered[9];
extern PackedScore backwardHalfOpen[9];
extern PackedScore bishopOwnPawnsSameShade[9]; // base × (n − 2)
extern PackedScore bishopPawnsOtherShade[9];   // base × (n − 2)
extern PackedScore blockedPawn[9];
extern PackedScore blockedCentralPawn[9];
extern PackedScore passerFreeDefended[9];      // base × i(i − 1), i = relative rank − 2
extern PackedScore passerFree[9];
extern PackedScore passerContested[9];
extern PackedScore passerNoOwnBlocker[9];
extern PackedScore passerBase[9];              // (mg × i(i − 1), eg × (i² + 1))
extern PackedScore passerBaseQueens[9];
extern PackedScore minorBehindPawn[18];
extern PackedScore threatCount[18];            // base × n for n ≤ 1, else base × (n + 2)
extern PackedScore attackedDefendedByPieces[18];
extern PackedScore pawnDefendedPiece[18];
extern PackedScore knightOutpost[18];
extern PackedScore pawnLever[18];
extern PackedScore pieceSafeFromPawns[18];
extern PackedScore pawnControl[18];
extern PackedScore undefendedPawns[16];        // (−15n, −30n)

// Distance tables by Chebyshev distance 0..7.
extern PackedScore knightKingDistance[8];
extern PackedScore passerKingCloseness[8];

// Passed and candidate pawns by colour and square (rank vector × 4/16 and × 11/16).
extern PackedScore supportedPasser[2][64];
extern PackedScore candidatePasser[2][64];

// King pawn cover by relative rank 0..7 (middlegame only), and open files at the enemy king by the
// number of its three files that hold an own pawn.
extern PackedScore shelterWeight[8];
extern PackedScore stormOpposed[8];
extern PackedScore stormUnopposed[8];
extern PackedScore openKingFiles[8];

// Middlegame only, index = attack units 0..255, scaled by "King Safety".
extern PackedScore kingAttackCurve[256];
extern const int kingAttackBase[256];

// Mobility curves, index = count of reachable squares.
extern PackedScore knightMobility[16];
extern PackedScore bishopMobility[16];
extern PackedScore bishopPawnMobility[16]; // attacks seen through pawns only
extern PackedScore rookMobility[16];
extern PackedScore queenMobility[32];

// Passed-pawn king-distance grids [i][distance], i = relative rank − 2.
extern PackedScore passerOwnKingGrid[9][9];
extern PackedScore passerEnemyKingGrid[9][9];

// Endgame penalty for a king far from the pawn mass: [pawn count 0..16][file distance 0..14].
extern int32_t sqrtGrid[17][15];

// Reads a count table, clamping counts beyond its end to the last entry (only unreachable
// positions get there, but a FEN can describe them).
template <int N>
inline PackedScore countTerm(const PackedScore (&table)[N], int n) {
    return table[n < N ? n : N - 1];
}

constexpr int chebyshevDistance(Square a, Square b) {
    int df = fileOf(a) - fileOf(b), dr = rankOf(a) - rankOf(b);
    df = df < 0 ? -df : df;
    dr = dr < 0 ? -dr : dr;
    return df > dr ? df : dr;
}
