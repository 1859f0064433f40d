// Pawn structure, passed pawns and the kings' pawn cover. Depends only on pawns and kings, so the
// result is kept in the thread's pawn cache under pawnKingKey.
#pragma once

#include "board/bitboard.h"
#include "board/position.h"
#include "eval/caches.h"

// White-minus-Black packed score of the pawn structure; `entry` points at the filled cache entry.
// Without a pawn cache (pos.pawnCache null) the entry is computed into a per-thread scratch
// entry, valid until the next such call on the same thread.
PackedScore evaluatePawns(const Position& pos, const PawnEntry*& entry);

// Computes every field of `entry` (key included) from scratch and returns its score.
PackedScore computePawnEntry(const Position& pos, PawnEntry& entry);

// Structure weights of colour s's pawns against the enemy pawns: doubled, isolated, backward,
// phalanx, defended, levers, pawn control and rook-file pawns (no passed pawns, no king cover).
PackedScore pawnStructure(Color s, Bitboard own, Bitboard enemy);

// Pawns of s that no enemy pawn ahead on their own or a neighbouring file can ever stop.
Bitboard passedPawns(Color s, Bitboard own, Bitboard enemy);

// Candidate passed pawns of s: front pawns, not passed, with no enemy pawn ahead on their file,
// beside or defended by an own pawn, with no more sentries than helpers.
PackedScore candidatePassers(Color s, Bitboard own, Bitboard enemy);

// KP(c) in middlegame millipawns: shelter in front of c's king, c's pawn storm against the enemy
// king and the enemy king's files without a pawn of c.
int kingPawnCover(Color c, Bitboard own, Bitboard enemy, Square king, Square enemyKing);

// ---- Set helpers shared by the pawn and piece terms ---------------------------------------------

constexpr Bitboard northFill(Bitboard b) {
    b |= b << 8;
    b |= b << 16;
    return b | (b << 32);
}
constexpr Bitboard southFill(Bitboard b) {
    b |= b >> 8;
    b |= b >> 16;
    return b | (b >> 32);
}
// Whole files of every square in b.
constexpr Bitboard fileFill(Bitboard b) { return northFill(b) | southFill(b); }
// One rank toward the enemy (forward) or toward the own first rank (backward).
constexpr Bitboard pushForward(Color c, Bitboard b) { return c == WHITE ? b << 8 : b >> 8; }
constexpr Bitboard pushBackward(Color c, Bitboard b) { return c == WHITE ? b >> 8 : b << 8; }
// b and every square ahead of it (behind it) on its file, from c's point of view.
constexpr Bitboard forwardFill(Color c, Bitboard b) { return c == WHITE ? northFill(b) : southFill(b); }
constexpr Bitboard backwardFill(Color c, Bitboard b) { return c == WHITE ? southFill(b) : northFill(b); }
// Squares strictly ahead of (behind) some square of b on its file.
constexpr Bitboard aheadOf(Color c, Bitboard b) { return forwardFill(c, pushForward(c, b)); }
constexpr Bitboard behindOf(Color c, Bitboard b) { return backwardFill(c, pushBackward(c, b)); }
// The squares directly left and right of each square of b.
constexpr Bitboard besideOf(Bitboard b) { return ((b << 1) & NOT_FILE_A) | ((b >> 1) & NOT_FILE_H); }
// Squares that c's pawns attack now or could attack after advancing.
constexpr Bitboard pawnAttackSpan(Color c, Bitboard pawns) {
    return forwardFill(c, c == WHITE ? (((pawns << 9) & NOT_FILE_A) | ((pawns << 7) & NOT_FILE_H))
                                     : (((pawns >> 7) & NOT_FILE_A) | ((pawns >> 9) & NOT_FILE_H)));
}
// The 8-bit mask of files that hold a square of b.
constexpr int fileMask(Bitboard b) { return int(southFill(b) & 0xff); }

// The king of colour c. A position without that king (only a malformed FEN can describe one)
// reads as a king on its usual square, so no table is indexed out of range.
inline Square kingSquare(const Position& pos, Color c) {
    Bitboard k = pos.pieces[c][KING];
    return k ? lsb(k) : (c == WHITE ? 4 : 60);
}

constexpr Bitboard DARK_SQUARES = 0xaa55aa55aa55aa55ULL;
constexpr Bitboard FILE_H_BB = FILE_A_BB << 7;
constexpr Bitboard rankBB(int rank) { return RANK_1_BB << (8 * rank); }
constexpr Bitboard fileBB(int file) { return FILE_A_BB << file; }

static_assert(fileMask(0x0000000010000200ULL) == 0x12);
static_assert(besideOf(1ULL << 0) == (1ULL << 1) && besideOf(1ULL << 7) == (1ULL << 6));
static_assert((DARK_SQUARES & 1) && !(DARK_SQUARES & 2) && (DARK_SQUARES & (1ULL << 9)));
