// King-attack units, check squares and weak squares around the king.
#include "eval/king_safety.h"

#include "board/attacks.h"
#include "board/bitboard.h"
#include "board/threat.h"
#include "eval/pawns.h"
#include "eval/term_tables.h"

namespace {

constexpr Bitboard relativeRank4[2] = {0xff000000ULL, 0xff00000000ULL};

// Units of attacker s against the king of the other colour, before the weak squares.
int attackUnits(const Position& pos, const EvalAttacks& at, const PawnEntry& entry, Color s) {
    const Color d = ~s;
    const Square king = at.king[d];
    const Bitboard zone = at.kingZone[d];
    const Bitboard kingFiles = threeFileMask[king];
    const Bitboard ownPawns = pos.pieces[s][PAWN];
    const PieceAttackList& list = at.pieces[s];

    // Pawns storming the king's files, against the defender's pawn cover.
    int units = KS_BASE_UNITS - entry.cover[d] + 2 * popcount(ownPawns & relativeRank6[s] & kingFiles) +
                2 * popcount(ownPawns & relativeRank5[s] & kingFiles) +
                popcount(ownPawns & relativeRank4[s] & kingFiles);

    // Check squares the attacker can occupy without being taken by a pawn for nothing.
    const Bitboard safe =
        ~pos.pieces[s][0] & ~squareBit[king] & ~(at.byKind[d][PAWN] & ~pos.pieces[d][0]);
    const Bitboard knightChecks = knightAttacks[king] & safe;
    const Bitboard diagonalChecks = bishopAttacks(king, pos.occupied) & safe;
    const Bitboard lineChecks = rookAttacks(king, pos.occupied) & safe;

    for (int i = list.first[KNIGHT]; i < list.first[BISHOP]; ++i) {
        if (list.attacks[i] & zone) units += KS_KNIGHT_ZONE;
        units += KS_KNIGHT_CHECK * popcount(list.attacks[i] & knightChecks);
    }
    for (int i = list.first[BISHOP]; i < list.first[ROOK]; ++i) {
        if (list.attacks[i] & zone) units += KS_BISHOP_ZONE;
        units += KS_BISHOP_CHECK * popcount(list.attacks[i] & diagonalChecks);
    }
    for (int i = list.first[ROOK]; i < list.first[QUEEN]; ++i) {
        const Square sq = list.square[i];
        if (list.attacks[i] & zone) units += KS_ROOK_ZONE;
        if (fileOf(sq) == fileOf(king) && !(between[sq][king] & ownPawns)) units += KS_ROOK_ON_KING_FILE;
        units += KS_ROOK_CHECK * popcount(list.attacks[i] & lineChecks);
    }

    if (list.first[QUEEN] == list.first[KING]) return units + KS_NO_QUEEN;
    int queenChecks = 0;
    for (int i = list.first[QUEEN]; i < list.first[KING]; ++i) {
        const Square sq = list.square[i];
        if (list.attacks[i] & zone) units += KS_QUEEN_ZONE;
        for (Bitboard b = list.attacks[i] & (diagonalChecks | lineChecks); b;) {
            const Square to = popLsb(b);
            if (!(zone & squareBit[to]))
                queenChecks += KS_QUEEN_DISTANT_CHECK;
            else // a contact check is only worth much when the queen survives there
                queenChecks += exchangeValue(pos, encodeMove(sq, to)) < 0 ? KS_QUEEN_CONTACT_CHECK_LOSING
                                                                          : KS_QUEEN_CONTACT_CHECK;
        }
    }
    return units + (queenChecks < KS_QUEEN_CHECK_CAP ? queenChecks : KS_QUEEN_CHECK_CAP);
}

} // namespace

int kingAttackIndex(const Position& pos, const EvalAttacks& at, const PawnEntry& entry, Color s) {
    const Color d = ~s;
    // Squares next to the king that s attacks and no defending pawn or piece guards (the king
    // itself does not count as a guard).
    const Bitboard guarded = at.byKind[d][PAWN] | at.byKind[d][KNIGHT] | at.byKind[d][BISHOP] |
                             at.byKind[d][ROOK] | at.byKind[d][QUEEN];
    const int weak = popcount(at.kingZone[d] & at.byKind[s][0] & ~guarded);
    const int index = attackUnits(pos, at, entry, s) + 2 * weak;
    return index < 0 ? 0 : index > 255 ? 255 : index;
}

PackedScore kingAttack(const Position& pos, const EvalAttacks& at, const PawnEntry& entry, Color s) {
    return kingAttackCurve[kingAttackIndex(pos, at, entry, s)];
}

PackedScore kingTrapsRook(const Position& pos, Color c) {
    // f1, g1 for the king; g1, h1, g2, h2 for the rook (mirrored for Black).
    constexpr Bitboard kingSquares[2] = {0x60ULL, 0x60ULL << 56};
    constexpr Bitboard rookSquares[2] = {0xc0c0ULL, 0xc0c0ULL << 48};
    return (pos.pieces[c][KING] & kingSquares[c]) && (pos.pieces[c][ROOK] & rookSquares[c]) ? KING_TRAPS_ROOK : 0;
}
