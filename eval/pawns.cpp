// The pawn pass: structure, passed and candidate pawns, pawn spans, the blocked-structure flag and
// the kings' pawn cover. Everything here depends on pawns and kings only.
#include "eval/pawns.h"

#include "board/attacks.h"
#include "board/bitboard.h"
#include "eval/term_tables.h"

namespace {

// Scratch entry for callers without a pawn cache (tests, tools).
thread_local PawnEntry scratchEntry;

constexpr Bitboard CENTRAL_FILES_MASK = 0x3c; // files c, d, e, f as an 8-bit file mask
constexpr Bitboard KINGSIDE_FILES = fileBB(5) | fileBB(6) | fileBB(7);
constexpr int G_FILE = 6;

inline PackedScore add(PackedScore a, PackedScore b) { return packedAdd(a, b); }

} // namespace

PackedScore pawnStructure(Color s, Bitboard own, Bitboard enemy) {
    const Color e = ~s;
    const Bitboard allPawns = own | enemy;
    const Bitboard ownAttacks = pawnAttacks(s, own);
    const Bitboard enemyAttacks = pawnAttacks(e, enemy);
    const Bitboard enemyFiles = fileFill(enemy);
    const Bitboard isolatedSquares = ~besideOf(fileFill(own));
    const Bitboard beside = besideOf(own);
    const Bitboard front = own & ~behindOf(s, own);
    const Bitboard doubledFiles = fileFill(own & behindOf(s, own));
    const Bitboard doubledFront = front & doubledFiles;

    PackedScore v = countTerm(doubledPawns, popcount(own) - popcount(Bitboard(fileMask(own))));
    v = add(v, packedMulCount(DOUBLED_FRONT_UNDEFENDED, popcount(doubledFront & ~ownAttacks)));
    v = add(v, countTerm(doubledIsolatedOpposed, popcount(doubledFront & isolatedSquares & enemyFiles)));
    v = add(v, countTerm(doubledIsolatedUnopposed, popcount(doubledFront & isolatedSquares & ~enemyFiles)));
    v = add(v, countTerm(pawnControl, popcount(ownAttacks)));
    v = add(v, countTerm(isolatedOpposed, popcount(own & isolatedSquares & enemyFiles)));
    v = add(v, countTerm(isolatedUnopposed, popcount(own & isolatedSquares & ~enemyFiles)));
    v = add(v, countTerm(phalanx, popcount(own & beside)));
    v = add(v, countTerm(defendedPawns, popcount(own & ownAttacks)));
    v = add(v, countTerm(defendedPhalanx, popcount(own & ownAttacks & beside)));
    v = add(v, countTerm(pushSquareAttacked, popcount(own & pawnStartRank[s] & pushBackward(s, enemyAttacks))));
    v = add(v, countTerm(pawnLever, popcount(own & (relativeRank5[s] | relativeRank6[s]) & enemyAttacks)));

    // A rook-file pawn in its own half beside a neighbour, on a file the enemy cannot open: the
    // pair is hard to turn into a passed pawn. Half the penalty when an enemy pawn two ranks
    // ahead on the neighbouring file already holds it.
    const Bitboard ownHalf = s == WHITE ? 0x00000000ffffffffULL : 0xffffffff00000000ULL;
    for (Bitboard b = own & (FILE_A_BB | FILE_H_BB) & ownHalf & ~enemyFiles & beside; b;) {
        const Square sq = popLsb(b);
        const Square faced = sq + (s == WHITE ? 16 : -16) + (fileOf(sq) == 0 ? 1 : -1);
        v = add(v, (enemy & squareBit[faced]) ? ROOK_FILE_PAWN_NEIGHBOUR_FACED : ROOK_FILE_PAWN_NEIGHBOUR);
    }

    // Backward pawns: no neighbour can ever come level to support them.
    const Bitboard backward = own & ~isolatedSquares & ~beside & ~forwardFill(s, ownAttacks);
    const Bitboard stops = pushForward(s, backward);
    v = add(v, countTerm(backwardCovered, popcount(stops & (enemyAttacks | allPawns))));
    v = add(v, countTerm(backwardHalfOpen,
                         popcount(stops & enemyAttacks & ~backwardFill(s, enemy) & ~behindOf(s, own))));
    return v;
}

// Pawns of s that no enemy pawn ahead on their own or a neighbouring file can ever stop.
Bitboard passedPawns(Color s, Bitboard own, Bitboard enemy) { return own & ~behindOf(s, enemy | besideOf(enemy)); }

PackedScore candidatePassers(Color s, Bitboard own, Bitboard enemy) {
    const Bitboard front = own & ~behindOf(s, own);
    const Bitboard supported = besideOf(own) | pawnAttacks(s, own);
    PackedScore v = 0;
    for (Bitboard b = front & ~passedPawns(s, own, enemy) & ~behindOf(s, enemy) & supported; b;) {
        const Square sq = popLsb(b);
        const int sentries = popcount(enemy & forwardAdjacentSpan[s][sq]);
        // Helpers are the front pawns of the neighbouring files level with or behind the
        // candidate; a file where an enemy pawn stands right beside it offers no help.
        const Bitboard helperArea = (s == WHITE ? rearAdjacentMask[sq] : frontAdjacentMask[sq]) &
                                    ~fileFill(enemy & besideOf(squareBit[sq]));
        if (sentries <= popcount(front & helperArea)) v = add(v, candidatePasser[s][sq]);
    }
    return v;
}

namespace {

// Shelter of c's pawns on the given files, the pawns on doubledFile counting twice.
int shelterSum(Color c, Bitboard pawns, int doubledFile) {
    int sum = 0;
    for (Bitboard b = pawns; b;) {
        const Square sq = popLsb(b);
        const int w = mgOf(shelterWeight[relativeRank(c, sq)]);
        sum += fileOf(sq) == doubledFile ? 2 * w : w;
    }
    return sum;
}

} // namespace

int kingPawnCover(Color c, Bitboard own, Bitboard enemy, Square king, Square enemyKing) {
    const Bitboard notBehindKing = forwardFill(c, rankBB(rankOf(king)));
    int sum = shelterSum(c, own & threeFileMask[king] & notBehindKing, fileOf(king));
    // A king still in the centre is judged by the shelter it would find after castling short,
    // when that is better.
    if (king == (c == WHITE ? 4 : 60)) {
        const int castled = shelterSum(c, own & KINGSIDE_FILES, G_FILE);
        if (castled > sum) sum = castled;
    }
    const Bitboard opposed = behindOf(c, enemy);
    for (Bitboard b = own & threeFileMask[enemyKing]; b;) {
        const Square sq = popLsb(b);
        const int r = relativeRank(c, sq);
        sum += mgOf((opposed & squareBit[sq]) ? stormOpposed[r] : stormUnopposed[r]);
    }
    const int pawnFiles = popcount(Bitboard(fileMask(own) & fileMask(threeFileMask[enemyKing])));
    return sum + mgOf(openKingFiles[pawnFiles]);
}

namespace {

int span(Bitboard pawns) {
    const int files = fileMask(pawns);
    return files ? msb(Bitboard(files)) - lsb(Bitboard(files)) + 1 : 0;
}

} // namespace

PackedScore computePawnEntry(const Position& pos, PawnEntry& entry) {
    entry.key = pos.pawnKingKey;

    const Bitboard pawns[2] = {pos.pieces[WHITE][PAWN], pos.pieces[BLACK][PAWN]};
    const Bitboard allPawns = pawns[WHITE] | pawns[BLACK];
    const Square king[2] = {kingSquare(pos, WHITE), kingSquare(pos, BLACK)};
    PackedScore sum[2] = {0, 0};

    // Spans, and the blocked-structure flag: a central file without pawns while every Black
    // pawn stands rammed, directly in front of a White pawn.
    entry.span[WHITE] = uint8_t(span(pawns[WHITE]));
    entry.span[BLACK] = uint8_t(span(pawns[BLACK]));
    entry.blocked = uint8_t((fileMask(allPawns) & CENTRAL_FILES_MASK) != CENTRAL_FILES_MASK &&
                            (pawns[BLACK] & ~(pawns[WHITE] << 8)) == 0);

    // Kings far from the mass of pawns lose in the endgame.
    if (allPawns) {
        const int n = popcount(allPawns);
        const int fileSum = popcount(allPawns & 0xaaaaaaaaaaaaaaaaULL) + 2 * popcount(allPawns & 0xccccccccccccccccULL) +
                            4 * popcount(allPawns & 0xf0f0f0f0f0f0f0f0ULL);
        const int centre = fileSum / n;
        for (int c = WHITE; c <= BLACK; ++c) {
            int d = fileOf(king[c]) - centre;
            d = d < 0 ? -d : d;
            sum[c] = packedSub(sum[c], pack(0, sqrtGrid[n < 16 ? n : 16][d]));
        }
    }

    for (int ci = WHITE; ci <= BLACK; ++ci) {
        const Color s = Color(ci), e = ~s;
        const Bitboard own = pawns[s], enemy = pawns[e];
        sum[s] = add(sum[s], pawnStructure(s, own, enemy));

        const Bitboard passed = passedPawns(s, own, enemy);
        for (Bitboard b = passed & (besideOf(own) | pawnAttacks(s, own)); b;)
            sum[s] = add(sum[s], supportedPasser[s][popLsb(b)]);

        // The passed-pawn list for the piece pass, and both kings' closeness to the square in
        // front of each passed pawn.
        int listed = 0;
        for (Bitboard b = passed; b;) {
            const Square sq = popLsb(b);
            if (listed < 8 && sq != 0) entry.passed[s][listed++] = uint8_t(sq);
            const Square ahead = relativeRank(s, sq) == 7 ? sq : sq + (s == WHITE ? 8 : -8);
            sum[WHITE] = add(sum[WHITE], passerKingCloseness[chebyshevDistance(king[WHITE], ahead)]);
            sum[BLACK] = add(sum[BLACK], passerKingCloseness[chebyshevDistance(king[BLACK], ahead)]);
        }
        for (int i = listed; i < 8; ++i) entry.passed[s][i] = 0;
        if (moreThanOne(passed)) sum[s] = add(sum[s], TWO_PASSED_PAWNS);

        sum[s] = add(sum[s], candidatePassers(s, own, enemy));

        const int cover = kingPawnCover(s, own, enemy, king[s], king[e]);
        sum[s] = add(sum[s], pack(cover, 0));
        entry.cover[s] = int16_t(cover / KS_COVER_DIVISOR);

        // A king on its first rank walled in by its own pawns.
        const Bitboard kingBit = squareBit[king[s]];
        if (relativeRank(s, king[s]) == 0 && (pushForward(s, kingBit | besideOf(kingBit)) & ~own) == 0)
            sum[s] = add(sum[s], BACK_RANK_PAWNS);
    }

    entry.score = packedSub(sum[WHITE], sum[BLACK]);
    return entry.score;
}

PackedScore evaluatePawns(const Position& pos, const PawnEntry*& entry) {
    if (!pos.pawnCache) {
        entry = &scratchEntry;
        return computePawnEntry(pos, scratchEntry);
    }
    PawnEntry& slot = pos.pawnCache[pos.pawnKingKey & pawnCacheMask];
    entry = &slot;
    if (slot.key == pos.pawnKingKey && slot.key != 0) return slot.score;
    return computePawnEntry(pos, slot);
}
