// Passed pawns in the light of the pieces: rank value, king distances, rooks behind, and how free
// the way to promotion is.
#include "eval/passed_pawns.h"

#include "board/attacks.h"
#include "board/bitboard.h"
#include "eval/pawns.h"
#include "eval/term_tables.h"

namespace {

constexpr int PURE_QUEEN_ENDING_PHASE = 44; // one queen each and nothing else but pawns

void passedPawn(const Position& pos, const EvalAttacks& at, Color s, Square sq, bool queenEnding,
                PackedScore sum[2]) {
    const Color e = ~s;
    const int i = relativeRank(s, sq) - 1; // 0 on the second rank .. 5 on the seventh
    sum[s] = packedAdd(sum[s], queenEnding ? passerBaseQueens[i] : passerBase[i]);
    if (i <= 1) return;

    const Square stop = sq + (s == WHITE ? 8 : -8);
    const Square promotion = makeSquare(fileOf(sq), s == WHITE ? 7 : 0);
    const Bitboard pawnBit = squareBit[sq];

    sum[s] = packedAdd(sum[s], passerOwnKingGrid[i][chebyshevDistance(at.king[s], stop)]);
    for (int c = WHITE; c <= BLACK; ++c)
        if (chebyshevDistance(at.king[c], promotion) <= 1)
            sum[c] = packedAdd(sum[c], PASSER_KING_AT_PROMOTION);
    if (i >= 3) {
        const Bitboard behind = behindOf(s, pawnBit);
        for (int c = WHITE; c <= BLACK; ++c)
            if (pos.pieces[c][ROOK] & behind) sum[c] = packedAdd(sum[c], PASSER_ROOK_BEHIND);
    }
    sum[s] = packedAdd(sum[s], passerEnemyKingGrid[i][chebyshevDistance(at.king[e], stop)]);

    if (pos.occupied & squareBit[stop]) return;
    const Bitboard path = aheadOf(s, pawnBit);
    Bitboard unsafe = path & (at.byKind[e][0] | pos.pieces[e][0]);
    // An enemy rook or queen right behind the pawn bears on every square the pawn must cross.
    const Bitboard heavy = pos.pieces[e][ROOK] | pos.pieces[e][QUEEN];
    if (rookAttacks(sq, pos.occupied) & behindOf(s, pawnBit) & heavy) unsafe = path;
    const Bitboard ownAttacks = at.byKind[s][0];
    if (!unsafe)
        sum[s] = packedAdd(sum[s], (path & ~ownAttacks) ? passerFree[i] : passerFreeDefended[i]);
    else if (!(unsafe & ~ownAttacks))
        sum[s] = packedAdd(sum[s], passerContested[i]);
    if (!(path & pos.pieces[s][0])) sum[s] = packedAdd(sum[s], passerNoOwnBlocker[i]);
}

} // namespace

void passedPawnTerms(const Position& pos, const EvalAttacks& at, const PawnEntry& entry, PackedScore sum[2]) {
    const bool queenEnding =
        pos.phase == PURE_QUEEN_ENDING_PHASE && pos.pieces[WHITE][QUEEN] && pos.pieces[BLACK][QUEEN];
    for (int c = WHITE; c <= BLACK; ++c)
        for (int k = 0; k < 8 && entry.passed[c][k]; ++k) {
            const Square sq = entry.passed[c][k];
            // The list only ever holds pawns of that colour between its second and seventh rank;
            // anything else (a stale or foreign entry) is skipped rather than misread.
            if (!(pos.pieces[c][PAWN] & squareBit[sq])) continue;
            const int r = relativeRank(Color(c), sq);
            if (r < 1 || r > 6) continue;
            passedPawn(pos, at, Color(c), sq, queenEnding, sum);
        }
}
