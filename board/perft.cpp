#include "board/perft.h"

#include <cstdio>

#include "board/attacks.h"
#include "board/bitboard.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/movetext.h"
#include "board/position.h"
#include "uci/settings.h"

namespace {

constexpr Bitboard LAST_RANKS = RANK_1_BB | (RANK_1_BB << 56);
constexpr Bitboard THIRD_RANK[2] = {RANK_1_BB << 16, RANK_1_BB << 40};

constexpr Bitboard pushForward(Color side, Bitboard b) { return side == WHITE ? b << 8 : b >> 8; }

bool squareAttacked(const Position& pos, Square s, Color by, Bitboard occ) {
    const Bitboard* e = pos.pieces[by];
    return (knightAttacks[s] & e[KNIGHT]) || (pawnAttacks(~by, squareBit[s]) & e[PAWN]) ||
           (kingAttacks[s] & e[KING]) || (bishopAttacks(s, occ) & (e[BISHOP] | e[QUEEN])) ||
           (rookAttacks(s, occ) & (e[ROOK] | e[QUEEN]));
}

// Pawn moves onto `targets`, a promotion counting as four moves.
int countPawnTargets(Bitboard targets) {
    return popcount(targets & ~LAST_RANKS) + 4 * popcount(targets & LAST_RANKS);
}

// All pawn moves of `pawns` except en passant, restricted to `allowed`.
int countPawnMoves(const Position& pos, Color us, Bitboard pawns, Bitboard allowed) {
    const Bitboard empty = ~pos.occupied;
    const Bitboard enemies = pos.pieces[~us][0];
    const Bitboard singles = pushForward(us, pawns) & empty;
    const Bitboard doubles = pushForward(us, singles & THIRD_RANK[us]) & empty;
    Bitboard towardsA = us == WHITE ? (pawns << 7) & NOT_FILE_H : (pawns >> 9) & NOT_FILE_H;
    Bitboard towardsH = us == WHITE ? (pawns << 9) & NOT_FILE_A : (pawns >> 7) & NOT_FILE_A;
    return countPawnTargets(singles & allowed) + popcount(doubles & allowed) +
           countPawnTargets(towardsA & enemies & allowed) + countPawnTargets(towardsH & enemies & allowed);
}

void setInCheck(Position& pos) { pos.inCheck = kingAttacked(pos, sideToMove(pos)) ? 1 : 0; }

} // namespace

int countLegalMoves(const Position& pos) {
    const Color us = sideToMove(pos), them = ~us;
    const Bitboard* own = pos.pieces[us];
    const Bitboard* enemy = pos.pieces[them];
    const Bitboard occ = pos.occupied;
    const Square king = lsb(own[KING]);
    const Bitboard enemyDiagonal = enemy[BISHOP] | enemy[QUEEN];
    const Bitboard enemyStraight = enemy[ROOK] | enemy[QUEEN];

    const Bitboard checkers = (knightAttacks[king] & enemy[KNIGHT]) |
                              (pawnAttacks(us, squareBit[king]) & enemy[PAWN]) |
                              (bishopAttacks(king, occ) & enemyDiagonal) | (rookAttacks(king, occ) & enemyStraight);

    // King steps, with the king itself taken off so that sliders see through its square.
    int count = 0;
    const Bitboard withoutKing = occ ^ squareBit[king];
    for (Bitboard b = kingAttacks[king] & ~own[0]; b;)
        if (!squareAttacked(pos, popLsb(b), them, withoutKing)) ++count;
    if (moreThanOne(checkers)) return count;

    // Pieces pinned to the king may only move along the pin line.
    Bitboard pinned = 0;
    Bitboard snipers = (rookRays[king] & enemyStraight) | (bishopRays[king] & enemyDiagonal);
    while (snipers) {
        Bitboard blockers = between[king][popLsb(snipers)] & occ;
        if (blockers && !moreThanOne(blockers) && (blockers & own[0])) pinned |= blockers;
    }
    const Bitboard targets = checkers ? (between[king][lsb(checkers)] | checkers) : ~own[0];

    for (Bitboard b = own[KNIGHT] & ~pinned; b;) count += popcount(knightAttacks[popLsb(b)] & targets);
    for (Bitboard b = own[BISHOP] | own[QUEEN]; b;) {
        Square s = popLsb(b);
        Bitboard moves = bishopAttacks(s, occ) & targets;
        if (squareBit[s] & pinned) moves &= lineThrough[king][s];
        count += popcount(moves);
    }
    for (Bitboard b = own[ROOK] | own[QUEEN]; b;) {
        Square s = popLsb(b);
        Bitboard moves = rookAttacks(s, occ) & targets;
        if (squareBit[s] & pinned) moves &= lineThrough[king][s];
        count += popcount(moves);
    }
    count += countPawnMoves(pos, us, own[PAWN] & ~pinned, targets);
    for (Bitboard b = own[PAWN] & pinned; b;) {
        Square s = popLsb(b);
        count += countPawnMoves(pos, us, squareBit[s], targets & lineThrough[king][s]);
    }

    // En passant removes two pieces from a line at once: test the king directly.
    if (pos.epSquare) {
        const Square captured = lsb(pos.epSquare) + (us == WHITE ? -8 : 8);
        for (Bitboard b = pawnAttacks(them, pos.epSquare) & own[PAWN]; b;) {
            Square from = popLsb(b);
            Bitboard after = (occ ^ squareBit[from] ^ squareBit[captured]) | pos.epSquare;
            bool attacked = (bishopAttacks(king, after) & enemyDiagonal) || (rookAttacks(king, after) & enemyStraight) ||
                            (knightAttacks[king] & enemy[KNIGHT]) ||
                            (pawnAttacks(us, squareBit[king]) & enemy[PAWN] & ~squareBit[captured]);
            if (!attacked) ++count;
        }
    }

    if (!checkers) {
        Move castles[2];
        int n = generateCastling(pos, us, castles);
        if (optChess960.load(std::memory_order_relaxed)) {
            // A castling rook may have shielded the king's destination from a rook or queen.
            for (int i = 0; i < n; ++i) {
                Position child;
                if (makeMove(pos, child, castles[i])) ++count;
            }
        } else {
            count += n;
        }
    }
    return count;
}

uint64_t perft(const Position& pos, int depth) {
    if (depth <= 0) return 1;
    if (depth == 1) return uint64_t(countLegalMoves(pos));
    Move moves[MAX_MOVES];
    int n = generateAll(pos, moves);
    uint64_t total = 0;
    Position child;
    for (int i = 0; i < n; ++i) {
        if (!makeMove(pos, child, moveOnly(moves[i]))) continue;
        setInCheck(child);
        total += perft(child, depth - 1);
    }
    return total;
}

void perftDivide(const Position& pos, int depth) {
    uint64_t total = 1;
    if (depth > 0) {
        total = 0;
        Move moves[MAX_MOVES];
        int n = generateAll(pos, moves);
        Position child;
        for (int i = 0; i < n; ++i) {
            Move move = moveOnly(moves[i]);
            if (!makeMove(pos, child, move)) continue;
            setInCheck(child);
            uint64_t count = perft(child, depth - 1);
            total += count;
            std::printf("%s: %llu\n", moveToString(move).c_str(), (unsigned long long)count);
        }
    }
    std::printf("\nNodes searched: %llu\n", (unsigned long long)total);
    std::fflush(stdout);
}
