// Attack sets, mobility and placement of the pieces.
#include "eval/mobility.h"

#include "board/attacks.h"
#include "board/bitboard.h"
#include "eval/pawns.h"
#include "eval/term_tables.h"

namespace {

inline Bitboard pieceAttacks(PieceType kind, Square sq, Bitboard occupied) {
    switch (kind) {
    case KNIGHT: return knightAttacks[sq];
    case BISHOP: return bishopAttacks(sq, occupied);
    case ROOK: return rookAttacks(sq, occupied);
    default: return queenAttacks(sq, occupied);
    }
}

// Squares on the ranks ahead of sq, from s's point of view.
inline Bitboard ranksAhead(Color s, Square sq) {
    const int r = rankOf(sq);
    if (s == WHITE) return r == 7 ? 0 : ~0ULL << (8 * (r + 1));
    return (1ULL << (8 * r)) - 1;
}

inline Bitboard shadeOf(Square sq) { return (DARK_SQUARES & squareBit[sq]) ? DARK_SQUARES : ~DARK_SQUARES; }

} // namespace

Bitboard sliderBlockers(const Position& pos, Square king, Color enemy) {
    const Bitboard queens = pos.pieces[enemy][QUEEN];
    Bitboard snipers = ((pos.pieces[enemy][BISHOP] | queens) & bishopRays[king]) |
                       ((pos.pieces[enemy][ROOK] | queens) & rookRays[king]);
    Bitboard blockers = 0;
    while (snipers) {
        const Bitboard path = between[king][popLsb(snipers)] & pos.occupied;
        if (path && !moreThanOne(path)) blockers |= path;
    }
    return blockers;
}

void computeAttacks(const Position& pos, EvalAttacks& at) {
    for (int c = WHITE; c <= BLACK; ++c) {
        at.king[c] = kingSquare(pos, Color(c));
        at.kingZone[c] = kingAttacks[at.king[c]];
    }
    for (int ci = WHITE; ci <= BLACK; ++ci) {
        const Color c = Color(ci);
        PieceAttackList& list = at.pieces[c];
        const Bitboard pawns = pos.pieces[c][PAWN];
        at.byKind[c][PAWN] = pawnAttacks(c, pawns);
        at.byKind[c][KING] = at.kingZone[c];
        Bitboard all = at.byKind[c][PAWN] | at.byKind[c][KING];
        int n = 0;
        for (int k = KNIGHT; k <= QUEEN; ++k) {
            list.first[k] = n;
            Bitboard kindAttacks = 0;
            for (Bitboard b = pos.pieces[c][k]; b;) {
                const Square sq = popLsb(b);
                const Bitboard a = pieceAttacks(PieceType(k), sq, pos.occupied);
                list.square[n] = sq;
                list.attacks[n] = a;
                ++n;
                kindAttacks |= a;
            }
            at.byKind[c][k] = kindAttacks;
            all |= kindAttacks;
        }
        list.first[KING] = n;
        at.byKind[c][0] = all;
        at.pawnSpan[c] = pawnAttackSpan(c, pawns);
        at.pinned[c] = sliderBlockers(pos, at.king[c], ~c) & pos.pieces[c][0];
    }
}

PackedScore pieceMobility(const Position& pos, const EvalAttacks& at, Color s) {
    const Color e = ~s;
    const PieceAttackList& list = at.pieces[s];
    const Square ownKing = at.king[s], enemyKing = at.king[e];
    const Bitboard ownPawns = pos.pieces[s][PAWN];
    const Bitboard allPawns = ownPawns | pos.pieces[e][PAWN];
    const Bitboard enemyPieces = pos.pieces[e][0] & ~pos.pieces[e][PAWN];

    // Squares worth counting: not blocked by our own pawns or king, and not guarded by an enemy
    // pawn (or, for rooks, knight) unless an enemy piece there could be taken. The queen avoids
    // every square a lesser enemy piece guards.
    const Bitboard base = ~(ownPawns | squareBit[ownKing]);
    const Bitboard minorArea = base & ~(at.byKind[e][PAWN] & ~enemyPieces);
    const Bitboard rookArea = minorArea & ~(at.byKind[e][KNIGHT] & ~enemyPieces);
    const Bitboard queenArea =
        base & ~(at.byKind[e][PAWN] | at.byKind[e][KNIGHT] | at.byKind[e][BISHOP] | at.byKind[e][ROOK]);

    // A pinned slider may only move along the line toward its king.
    auto reach = [&](Square sq) { return (at.pinned[s] & squareBit[sq]) ? between[sq][ownKing] : ~0ULL; };

    PackedScore v = 0;
    for (int i = list.first[KNIGHT]; i < list.first[BISHOP]; ++i) {
        const Square sq = list.square[i];
        int count = 0;
        if (!(at.pinned[s] & squareBit[sq])) {
            const Bitboard targets = list.attacks[i] & minorArea;
            count = popcount(targets) + popcount(targets & ranksAhead(s, sq)); // forward squares twice
        }
        v = packedAdd(v, knightMobility[count]);
        v = packedAdd(v, knightKingDistance[chebyshevDistance(sq, ownKing)]);
    }

    const Bitboard ownBishops = pos.pieces[s][BISHOP];
    const Bitboard enemyKnights = pos.pieces[e][KNIGHT];
    const Bitboard enemyHalf = e == WHITE ? 0x00000000ffffffffULL : 0xffffffff00000000ULL;
    for (int i = list.first[BISHOP]; i < list.first[ROOK]; ++i) {
        const Square sq = list.square[i];
        v = packedAdd(v, bishopPawnMobility[popcount(bishopAttacks(sq, allPawns))]);
        v = packedAdd(v, bishopMobility[popcount(list.attacks[i] & minorArea & reach(sq))]);

        // Own pawns on the bishop's shade hem it in; on the other shade they complement it. With
        // the bishop pair against no enemy bishop of this shade the hemming counts double.
        const Bitboard shade = shadeOf(sq);
        const int sameShade = popcount(ownPawns & shade);
        v = packedAdd(v, countTerm(bishopOwnPawnsSameShade, sameShade));
        v = packedAdd(v, countTerm(bishopPawnsOtherShade, popcount(ownPawns & ~shade)));
        if (moreThanOne(ownBishops) && !(pos.pieces[e][BISHOP] & shade))
            v = packedAdd(v, countTerm(bishopOwnPawnsSameShade, sameShade));

        // An enemy knight at home three ranks away on the bishop's file.
        const int r = rankOf(sq);
        if (r >= 1 && r <= 6) {
            Bitboard facing = 0;
            if (r + 3 <= 7) facing |= squareBit[sq + 24];
            if (r - 3 >= 0) facing |= squareBit[sq - 24];
            if (facing & enemyKnights & enemyHalf) v = packedAdd(v, BISHOP_FACES_KNIGHT);
        }
    }

    for (int i = list.first[ROOK]; i < list.first[QUEEN]; ++i) {
        const Square sq = list.square[i];
        v = packedAdd(v, ROOK_BONUS);
        if (relativeRank(s, sq) == 6 && relativeRank(s, enemyKing) == 7) v = packedAdd(v, ROOK_ON_SEVENTH);
        const Bitboard file = fileBB(fileOf(sq));
        if (!(ownPawns & file)) {
            if (!(allPawns & file))
                v = packedAdd(v, ROOK_OPEN_FILE);
            else if (pos.pieces[e][PAWN] & file & at.byKind[e][PAWN])
                v = packedAdd(v, ROOK_HALF_OPEN_DEFENDED_PAWN);
            else
                v = packedAdd(v, ROOK_HALF_OPEN_WEAK_PAWN);
        }
        v = packedAdd(v, rookMobility[popcount(list.attacks[i] & rookArea & reach(sq))]);
    }

    for (int i = list.first[QUEEN]; i < list.first[KING]; ++i)
        v = packedAdd(v, queenMobility[popcount(list.attacks[i] & queenArea & reach(list.square[i]))]);
    return v;
}
