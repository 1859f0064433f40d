// The piece pass: attack sets first, then every term that reads them.
#include "eval/pieces.h"

#include "eval/king_safety.h"
#include "eval/mobility.h"
#include "eval/passed_pawns.h"
#include "eval/threats.h"

void evaluatePieces(const Position& pos, const PawnEntry& entry, PackedScore& white, PackedScore& black,
                    PieceTerms* terms) {
    EvalAttacks at;
    computeAttacks(pos, at);

    PackedScore pieces[2] = {0, 0}, threats[2] = {0, 0}, king[2] = {0, 0}, passed[2] = {0, 0};
    for (int ci = WHITE; ci <= BLACK; ++ci) {
        const Color c = Color(ci);
        king[c] = packedAdd(kingTrapsRook(pos, c), kingAttack(pos, at, entry, c));
        pieces[c] = pieceMobility(pos, at, c);
        pawnAndThreatTerms(pos, at, c, pieces[c], threats[c]);
    }
    passedPawnTerms(pos, at, entry, passed);

    PackedScore total[2];
    for (int c = WHITE; c <= BLACK; ++c)
        total[c] = packedAdd(packedAdd(pieces[c], threats[c]), packedAdd(king[c], passed[c]));
    white = packedAdd(white, total[WHITE]);
    black = packedAdd(black, total[BLACK]);

    if (terms)
        for (int c = WHITE; c <= BLACK; ++c) {
            terms->pieces[c] = pieces[c];
            terms->threats[c] = threats[c];
            terms->kingSafety[c] = king[c];
            terms->passedPawns[c] = passed[c];
        }
}
