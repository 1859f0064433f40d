// Pawn-related piece terms and threats.
#include "eval/threats.h"

#include "board/attacks.h"
#include "board/bitboard.h"
#include "eval/pawns.h"
#include "eval/term_tables.h"

namespace {

// Files c..f on relative ranks 4..6.
constexpr Bitboard OUTPOST_ZONE[2] = {0x00003c3c3c000000ULL, 0x0000003c3c3c0000ULL};
constexpr Bitboard FILES_B_TO_E = 0x1e1e1e1e1e1e1e1eULL;
constexpr Bitboard FILES_D_TO_G = 0x7878787878787878ULL;

inline Bitboard shadeOf(Square sq) { return (DARK_SQUARES & squareBit[sq]) ? DARK_SQUARES : ~DARK_SQUARES; }

PackedScore pawnRelatedTerms(const Position& pos, const EvalAttacks& at, Color s) {
    const Color e = ~s;
    const Bitboard own = pos.pieces[s][0];
    const Bitboard ownPawns = pos.pieces[s][PAWN], enemyPawns = pos.pieces[e][PAWN];
    const Bitboard knights = pos.pieces[s][KNIGHT], bishops = pos.pieces[s][BISHOP];
    const Bitboard pawnProof = ~at.pawnSpan[e]; // squares enemy pawns can never attack
    const Bitboard pawnGuarded = at.byKind[s][PAWN];

    // Knights on outposts; the enemy cannot even trade them off when it has no knight and no
    // bishop of the knight's shade.
    const Bitboard outposts = knights & OUTPOST_ZONE[s] & pawnGuarded & pawnProof;
    PackedScore v = countTerm(knightOutpost, popcount(outposts));
    if (!pos.pieces[e][KNIGHT])
        for (Bitboard b = outposts; b;)
            if (!(pos.pieces[e][BISHOP] & shadeOf(popLsb(b)))) v = packedAdd(v, UNCHALLENGEABLE_OUTPOST);

    v = packedAdd(v, countTerm(knightBlockade, popcount(knights & pushForward(e, enemyPawns) & pawnProof)));
    v = packedAdd(v, countTerm(pieceSafeFromPawns,
                               popcount((knights | bishops | pos.pieces[s][ROOK]) & pawnProof)));
    v = packedAdd(v, countTerm(blockedPawn, popcount(ownPawns & pushBackward(s, pos.occupied))));

    // Enemy pawns still at home and blocked on the side away from the enemy king hold back its
    // development.
    const Bitboard homeFiles = fileOf(at.king[e]) >= 4 ? FILES_B_TO_E : FILES_D_TO_G;
    v = packedAdd(v, countTerm(blockedCentralPawn, popcount(enemyPawns & pawnStartRank[e] & homeFiles &
                                                            pushBackward(e, pos.occupied))));

    v = packedAdd(v, countTerm(pawnDefendedPiece, popcount(own & ~ownPawns & pawnGuarded)));
    v = packedAdd(v, countTerm(minorBehindPawn, popcount((knights | bishops) & pushBackward(s, ownPawns))));
    v = packedAdd(v, packedMulCount(KNIGHT_BEHIND_PAWN_DIAGONALLY, popcount(knights & pawnAttacks(e, ownPawns))));
    if (bishops & pushForward(s, squareBit[at.king[s]])) v = packedAdd(v, FIANCHETTO_BISHOP);

    // A bishop in its corner behind its own piece on the long diagonal.
    const Square corners[2][2] = {{0, 7}, {56, 63}};
    const Square exits[2][2] = {{9, 14}, {49, 54}};
    for (int k = 0; k < 2; ++k)
        if ((bishops & squareBit[corners[s][k]]) && (own & squareBit[exits[s][k]])) v = packedAdd(v, BOXED_BISHOP);
    return v;
}

PackedScore threatTerms(const Position& pos, const EvalAttacks& at, Color s) {
    const Color e = ~s;
    const Bitboard* attacks = at.byKind[s];
    const Bitboard enemyPawns = pos.pieces[e][PAWN], enemyKnights = pos.pieces[e][KNIGHT];
    const Bitboard enemyBishops = pos.pieces[e][BISHOP], enemyRooks = pos.pieces[e][ROOK];
    const Bitboard enemyQueens = pos.pieces[e][QUEEN];
    // The enemy king is never a target: it cannot be won.
    const Bitboard targets = pos.pieces[e][0] & ~pos.pieces[e][KING];
    const Bitboard enemyPieces = targets & ~enemyPawns;

    // Strong threats: a heavier piece attacked by a lighter one.
    const Bitboard strong = ((enemyRooks | enemyQueens) & (attacks[KNIGHT] | attacks[BISHOP])) |
                            (enemyQueens & attacks[ROOK]) | (enemyPieces & attacks[PAWN]);
    const int a = popcount(strong);

    // Undefended pieces and pawns under attack by anything that can take them.
    const Bitboard hanging = (((enemyPawns | enemyKnights | enemyBishops | enemyRooks) & attacks[QUEEN]) |
                              ((enemyPawns | enemyKnights | enemyBishops) & attacks[ROOK]) |
                              ((enemyPawns | enemyKnights) & attacks[BISHOP]) |
                              ((enemyPawns | enemyBishops) & attacks[KNIGHT]) | (targets & attacks[KING])) &
                             ~at.byKind[e][0];
    const int h = popcount(hanging);

    PackedScore v = packedAdd(countTerm(threatCount, a), countTerm(threatCount, a + h));

    const Bitboard pieceDefence = at.byKind[e][KNIGHT] | at.byKind[e][BISHOP] | at.byKind[e][ROOK] |
                                  at.byKind[e][QUEEN] | at.byKind[e][KING];
    v = packedAdd(v, countTerm(attackedDefendedByPieces,
                               popcount(targets & attacks[0] & pieceDefence & ~at.byKind[e][PAWN])));

    const Bitboard ownDefence = attacks[PAWN] | attacks[KNIGHT] | attacks[BISHOP] | attacks[ROOK] | attacks[QUEEN];
    return packedAdd(v, countTerm(undefendedPawns, popcount(pos.pieces[s][PAWN] & ~ownDefence)));
}

} // namespace

void pawnAndThreatTerms(const Position& pos, const EvalAttacks& at, Color s, PackedScore& pieces,
                        PackedScore& threats) {
    pieces = packedAdd(pieces, pawnRelatedTerms(pos, at, s));
    threats = packedAdd(threats, threatTerms(pos, at, s));
}
