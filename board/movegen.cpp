#include "board/movegen.h"

#include "board/attacks.h"
#include "board/bitboard.h"
#include "board/position.h"

namespace {

constexpr Bitboard RANK_8_BB = RANK_1_BB << 56;
constexpr Bitboard LAST_RANK[2] = {RANK_8_BB, RANK_1_BB};
// Where a pawn lands after one step from its start rank; a second step from here is a double push.
constexpr Bitboard THIRD_RANK[2] = {RANK_1_BB << 16, RANK_1_BB << 40};

// Promotion flags in emission order: queen, knight, rook, bishop.
constexpr int PROMOTION_FLAGS[4] = {PROMO_QUEEN, PROMO_KNIGHT, PROMO_ROOK, PROMO_BISHOP};
// Ordering scores of the non-capturing promotions, in the same order.
constexpr int PUSH_PROMOTION_SCORES[4] = {67, 66, 65, 65};

constexpr int CAPTURE_SCORE_PER_VICTIM = 32;
constexpr int CAPTURE_SCORE_PER_ATTACKER = 2;
constexpr int PROMOTION_CAPTURE_SCORE_PER_VICTIM = 64;
constexpr int EN_PASSANT_SCORE = 31;

constexpr int captureScore(int victim, int attacker) {
    return CAPTURE_SCORE_PER_VICTIM * victim - CAPTURE_SCORE_PER_ATTACKER * attacker;
}

constexpr Bitboard pushForward(Color side, Bitboard b) { return side == WHITE ? b << 8 : b >> 8; }
constexpr int forwardStep(Color side) { return side == WHITE ? 8 : -8; }

// Pawn captures towards the a-file and towards the h-file: the targets reached, and the step
// from origin to destination.
constexpr Bitboard captureTowardsA(Color side, Bitboard pawns) {
    return side == WHITE ? (pawns << 7) & NOT_FILE_H : (pawns >> 9) & NOT_FILE_H;
}
constexpr Bitboard captureTowardsH(Color side, Bitboard pawns) {
    return side == WHITE ? (pawns << 9) & NOT_FILE_A : (pawns >> 7) & NOT_FILE_A;
}
constexpr int stepTowardsA(Color side) { return side == WHITE ? 7 : -9; }
constexpr int stepTowardsH(Color side) { return side == WHITE ? 9 : -7; }

inline Move* add(Move* list, Square from, Square to, int flag = NORMAL, int score = 0) {
    *list++ = withScore(encodeMove(from, to, flag), score);
    return list;
}

inline Move* addPromotions(Move* list, Square from, Square to, int score) {
    for (int flag : PROMOTION_FLAGS) list = add(list, from, to, flag, score);
    return list;
}

inline int victimType(const Position& pos, Square s) { return typeOfCode(pos.board[s]); }

template <PieceType Type> Bitboard pieceAttacks(Square s, Bitboard occ) {
    if constexpr (Type == KNIGHT) return knightAttacks[s];
    else if constexpr (Type == BISHOP) return bishopAttacks(s, occ);
    else if constexpr (Type == ROOK) return rookAttacks(s, occ);
    else if constexpr (Type == QUEEN) return queenAttacks(s, occ);
    else return kingAttacks[s];
}

// Moves of the given pieces onto the squares of `targets` that their attack sets reach.
template <PieceType Type> Move* addPieceMoves(Move* list, Bitboard pieces, Bitboard targets, Bitboard occ) {
    while (pieces) {
        Square from = popLsb(pieces);
        for (Bitboard to = pieceAttacks<Type>(from, occ) & targets; to;) list = add(list, from, popLsb(to));
    }
    return list;
}

// Same as addPieceMoves, each move scored with the history counter of its destination.
template <PieceType Type>
Move* addScoredPieceMoves(Move* list, Bitboard pieces, Bitboard targets, Bitboard occ, const int32_t* history,
                          Color side) {
    while (pieces) {
        Square from = popLsb(pieces);
        for (Bitboard to = pieceAttacks<Type>(from, occ) & targets; to;) {
            Square t = popLsb(to);
            list = add(list, from, t, NORMAL, history ? history[(int(side) * 8 + Type) * 64 + t] : 0);
        }
    }
    return list;
}

// Non-king captures of the piece on `target`: pawns, knights, bishops and queens, rooks and queens.
Move* addCapturesOf(const Position& pos, Move* list, Square target) {
    const Color us = sideToMove(pos);
    const Bitboard* own = pos.pieces[us];
    const Bitboard occ = pos.occupied;
    const Bitboard bit = squareBit[target];
    for (Bitboard b = pawnAttacks(~us, bit) & own[PAWN]; b;) {
        Square from = popLsb(b);
        list = (bit & LAST_RANK[us]) ? addPromotions(list, from, target, 0) : add(list, from, target);
    }
    for (Bitboard b = knightAttacks[target] & own[KNIGHT]; b;) list = add(list, popLsb(b), target);
    for (Bitboard b = bishopAttacks(target, occ) & (own[BISHOP] | own[QUEEN]); b;) list = add(list, popLsb(b), target);
    for (Bitboard b = rookAttacks(target, occ) & (own[ROOK] | own[QUEEN]); b;) list = add(list, popLsb(b), target);
    return list;
}

// Moves onto the (empty) squares between a sliding checker and the king.
Move* addInterpositions(const Position& pos, Move* list, Bitboard mask) {
    const Color us = sideToMove(pos);
    const Bitboard* own = pos.pieces[us];
    const Bitboard occ = pos.occupied;
    const int step = forwardStep(us);
    const Bitboard singles = pushForward(us, own[PAWN]) & ~occ;
    for (Bitboard b = singles & mask; b;) {
        Square to = popLsb(b);
        list = add(list, to - step, to, (squareBit[to] & LAST_RANK[us]) ? PROMO_QUEEN : NORMAL);
    }
    for (Bitboard b = pushForward(us, singles & THIRD_RANK[us]) & ~occ & mask; b;) {
        Square to = popLsb(b);
        list = add(list, to - 2 * step, to, DOUBLE_PUSH);
    }
    // Only a position set up from text can have the en-passant square on a checking line (a real
    // double push never leaves the opponent's check through the square it passed).
    if (pos.epSquare & mask) {
        Square to = lsb(pos.epSquare);
        for (Bitboard b = pawnAttacks(~us, pos.epSquare) & own[PAWN]; b;) list = add(list, popLsb(b), to, EN_PASSANT);
    }
    list = addPieceMoves<KNIGHT>(list, own[KNIGHT], mask, occ);
    for (Bitboard b = own[BISHOP] | own[QUEEN]; b;) {
        Square from = popLsb(b);
        for (Bitboard to = bishopAttacks(from, occ) & mask; to;) list = add(list, from, popLsb(to));
    }
    for (Bitboard b = own[ROOK] | own[QUEEN]; b;) {
        Square from = popLsb(b);
        for (Bitboard to = rookAttacks(from, occ) & mask; to;) list = add(list, from, popLsb(to));
    }
    return list;
}

} // namespace

int generateCastling(const Position& pos, Color side, Move* list) {
    if (pos.inCheck) return 0;
    Move* start = list;
    Bitboard enemyAttacks = 0;
    bool attacksKnown = false;
    for (int c = 2 * side; c < 2 * side + 2; ++c) {
        if (pos.castleLost & (1 << c)) continue;
        if (pos.occupied & castling.emptyMask[c]) continue;
        if (!attacksKnown) {
            enemyAttacks = attackedBy(pos, ~side);
            attacksKnown = true;
        }
        if (enemyAttacks & castling.safeMask[c]) continue;
        int score = pos.historyTable ? historyEntry(pos.historyTable, side, KING, castling.kingDestination[c]) : 0;
        list = add(list, castling.kingOrigin[side], castling.rookOrigin[c], CASTLING, score);
    }
    return int(list - start);
}

int generateCaptures(const Position& pos, Move* list) {
    const Color us = sideToMove(pos), them = ~us;
    const Bitboard* own = pos.pieces[us];
    const Bitboard occ = pos.occupied;
    const Bitboard targets = pos.pieces[them][0] & ~pos.pieces[them][KING];
    Move* start = list;

    const Bitboard pawnTargets = targets | pos.epSquare;
    for (int towardsH = 0; towardsH < 2; ++towardsH) {
        Bitboard caps = towardsH ? captureTowardsH(us, own[PAWN]) : captureTowardsA(us, own[PAWN]);
        int step = towardsH ? stepTowardsH(us) : stepTowardsA(us);
        for (caps &= pawnTargets; caps;) {
            Square to = popLsb(caps);
            Square from = to - step;
            if (squareBit[to] & pos.epSquare)
                list = add(list, from, to, EN_PASSANT, EN_PASSANT_SCORE);
            else if (squareBit[to] & LAST_RANK[us])
                list = addPromotions(list, from, to,
                                     PROMOTION_CAPTURE_SCORE_PER_VICTIM * victimType(pos, to) -
                                         CAPTURE_SCORE_PER_ATTACKER * PAWN);
            else
                list = add(list, from, to, NORMAL, captureScore(victimType(pos, to), PAWN));
        }
    }
    const int step = forwardStep(us);
    for (Bitboard b = pushForward(us, own[PAWN]) & ~occ & LAST_RANK[us]; b;) {
        Square to = popLsb(b);
        for (int k = 0; k < 4; ++k) list = add(list, to - step, to, PROMOTION_FLAGS[k], PUSH_PROMOTION_SCORES[k]);
    }
    for (Bitboard b = own[KNIGHT]; b;) {
        Square from = popLsb(b);
        for (Bitboard to = knightAttacks[from] & targets; to;) {
            Square t = popLsb(to);
            list = add(list, from, t, NORMAL, captureScore(victimType(pos, t), KNIGHT));
        }
    }
    for (Bitboard b = own[BISHOP] | own[QUEEN]; b;) {
        Square from = popLsb(b);
        int mover = typeOfCode(pos.board[from]);
        for (Bitboard to = bishopAttacks(from, occ) & targets; to;) {
            Square t = popLsb(to);
            list = add(list, from, t, NORMAL, captureScore(victimType(pos, t), mover));
        }
    }
    for (Bitboard b = own[ROOK] | own[QUEEN]; b;) {
        Square from = popLsb(b);
        int mover = typeOfCode(pos.board[from]);
        for (Bitboard to = rookAttacks(from, occ) & targets; to;) {
            Square t = popLsb(to);
            list = add(list, from, t, NORMAL, captureScore(victimType(pos, t), mover));
        }
    }
    for (Bitboard b = own[KING]; b;) {
        Square from = popLsb(b);
        for (Bitboard to = kingAttacks[from] & targets; to;) {
            Square t = popLsb(to);
            list = add(list, from, t, NORMAL, captureScore(victimType(pos, t), KING));
        }
    }
    return int(list - start);
}

int generateQuiets(const Position& pos, Move* list) {
    const Color us = sideToMove(pos);
    const Bitboard* own = pos.pieces[us];
    const Bitboard occ = pos.occupied;
    const Bitboard empty = ~occ;
    const int32_t* history = pos.historyTable;
    auto score = [&](int type, Square to) { return history ? history[(int(us) * 8 + type) * 64 + to] : 0; };
    Move* start = list;

    list += generateCastling(pos, us, list);
    const int step = forwardStep(us);
    for (Bitboard b = pushForward(us, own[PAWN] & ~relativeRank7[us]) & empty; b;) {
        Square to = popLsb(b);
        list = add(list, to - step, to, NORMAL, score(PAWN, to));
    }
    list = addScoredPieceMoves<KNIGHT>(list, own[KNIGHT], empty, occ, history, us);
    list = addScoredPieceMoves<BISHOP>(list, own[BISHOP], empty, occ, history, us);
    list = addScoredPieceMoves<ROOK>(list, own[ROOK], empty, occ, history, us);
    list = addScoredPieceMoves<QUEEN>(list, own[QUEEN], empty, occ, history, us);
    list = addScoredPieceMoves<KING>(list, own[KING], empty, occ, history, us);
    const Bitboard singlesFromStart = pushForward(us, own[PAWN] & pawnStartRank[us]) & empty;
    for (Bitboard b = pushForward(us, singlesFromStart) & empty; b;) {
        Square to = popLsb(b);
        list = add(list, to - 2 * step, to, DOUBLE_PUSH, score(PAWN, to));
    }
    return int(list - start);
}

int generateEvasions(const Position& pos, Move* list) {
    const Color us = sideToMove(pos), them = ~us;
    const Bitboard* own = pos.pieces[us];
    const Bitboard* enemy = pos.pieces[them];
    const Bitboard occ = pos.occupied;
    const Square king = lsb(own[KING]);
    Move* start = list;

    if (Bitboard knights = knightAttacks[king] & enemy[KNIGHT]) {
        list = addCapturesOf(pos, list, lsb(knights));
    } else if (Bitboard pawns = pawnAttacks(us, squareBit[king]) & enemy[PAWN]) {
        list = addCapturesOf(pos, list, lsb(pawns));
        if (pos.epSquare) {
            Square to = lsb(pos.epSquare);
            for (Bitboard b = pawnAttacks(them, pos.epSquare) & own[PAWN]; b;)
                list = add(list, popLsb(b), to, EN_PASSANT);
        }
    } else {
        for (Bitboard b = bishopAttacks(king, occ) & (enemy[BISHOP] | enemy[QUEEN]); b;) {
            Square checker = popLsb(b);
            list = addCapturesOf(pos, list, checker);
            list = addInterpositions(pos, list, between[king][checker]);
        }
        for (Bitboard b = rookAttacks(king, occ) & (enemy[ROOK] | enemy[QUEEN]); b;) {
            Square checker = popLsb(b);
            list = addCapturesOf(pos, list, checker);
            list = addInterpositions(pos, list, between[king][checker]);
        }
    }
    for (Bitboard b = kingAttacks[king] & ~own[0]; b;) list = add(list, king, popLsb(b));
    return int(list - start);
}

int generateQuietChecks(const Position& pos, Move* list) {
    const Color us = sideToMove(pos), them = ~us;
    const Bitboard* own = pos.pieces[us];
    const Bitboard occ = pos.occupied;
    const Bitboard empty = ~occ;
    const Square enemyKing = lsb(pos.pieces[them][KING]);
    const int step = forwardStep(us);
    Move* start = list;
    Bitboard handled = 0;

    // Discovered checks: a single own piece between an own slider and the enemy king moves off
    // the line. A blocker that slides along that very line itself is left to the direct checks.
    for (int orthogonal = 0; orthogonal < 2; ++orthogonal) {
        Bitboard sliders = orthogonal ? (rookRays[enemyKing] & (own[ROOK] | own[QUEEN]))
                                      : (bishopRays[enemyKing] & (own[BISHOP] | own[QUEEN]));
        while (sliders) {
            Square slider = popLsb(sliders);
            Bitboard blockers = between[enemyKing][slider] & occ;
            if (!blockers || moreThanOne(blockers) || !(blockers & own[0])) continue;
            Square from = lsb(blockers);
            int type = typeOfCode(pos.board[from]);
            if (type == QUEEN || type == (orthogonal ? ROOK : BISHOP)) continue;
            handled |= blockers;
            switch (type) {
            case PAWN: {
                bool alongFile = orthogonal && fileOf(slider) == fileOf(enemyKing);
                if (alongFile || (blockers & relativeRank7[us])) break;
                Square one = from + step;
                if (!(occ & squareBit[one])) {
                    list = add(list, from, one);
                    if ((blockers & pawnStartRank[us]) && !(occ & squareBit[one + step]))
                        list = add(list, from, one + step, DOUBLE_PUSH);
                }
                break;
            }
            case KNIGHT:
                list = addPieceMoves<KNIGHT>(list, blockers, empty, occ);
                break;
            case BISHOP:
                list = addPieceMoves<BISHOP>(list, blockers, empty, occ);
                break;
            case ROOK:
                list = addPieceMoves<ROOK>(list, blockers, empty, occ);
                break;
            case KING:
                list = addPieceMoves<KING>(list, blockers, empty & ~lineThrough[enemyKing][slider], occ);
                break;
            }
        }
    }

    // Direct checks, never by a piece already moved above.
    const Bitboard movable = own[0] & ~handled;
    const Bitboard pawnChecks = pawnAttacks(them, squareBit[enemyKing]);
    for (Bitboard b = pushForward(us, own[PAWN] & movable) & empty & pawnChecks; b;) {
        Square to = popLsb(b);
        list = add(list, to - step, to);
    }
    list = addPieceMoves<KNIGHT>(list, own[KNIGHT] & movable, knightAttacks[enemyKing] & empty, occ);
    const Bitboard diagonalChecks = bishopAttacks(enemyKing, occ) & empty;
    const Bitboard straightChecks = rookAttacks(enemyKing, occ) & empty;
    list = addPieceMoves<BISHOP>(list, own[BISHOP] & movable, diagonalChecks, occ);
    list = addPieceMoves<ROOK>(list, own[ROOK] & movable, straightChecks, occ);
    list = addPieceMoves<QUEEN>(list, own[QUEEN] & movable, diagonalChecks | straightChecks, occ);
    return int(list - start);
}

int generateAll(const Position& pos, Move* list) {
    const Color us = sideToMove(pos), them = ~us;
    const Bitboard* own = pos.pieces[us];
    const Bitboard occ = pos.occupied;
    const Bitboard empty = ~occ;
    const Bitboard targets = pos.pieces[them][0] & ~pos.pieces[them][KING];
    const int step = forwardStep(us);
    Move* start = list;

    const Bitboard singles = pushForward(us, own[PAWN]) & empty;
    for (Bitboard b = singles & LAST_RANK[us]; b;) {
        Square to = popLsb(b);
        list = addPromotions(list, to - step, to, 0);
    }
    list += generateCastling(pos, us, list);
    for (int towardsH = 0; towardsH < 2; ++towardsH) {
        Bitboard caps = towardsH ? captureTowardsH(us, own[PAWN]) : captureTowardsA(us, own[PAWN]);
        int capStep = towardsH ? stepTowardsH(us) : stepTowardsA(us);
        for (caps &= targets | pos.epSquare; caps;) {
            Square to = popLsb(caps);
            if (squareBit[to] & pos.epSquare)
                list = add(list, to - capStep, to, EN_PASSANT);
            else if (squareBit[to] & LAST_RANK[us])
                list = addPromotions(list, to - capStep, to, 0);
            else
                list = add(list, to - capStep, to);
        }
    }
    for (Bitboard b = singles & ~LAST_RANK[us]; b;) {
        Square to = popLsb(b);
        list = add(list, to - step, to);
    }
    for (Bitboard b = pushForward(us, singles & THIRD_RANK[us]) & empty; b;) {
        Square to = popLsb(b);
        list = add(list, to - 2 * step, to, DOUBLE_PUSH);
    }
    const Bitboard reachable = empty | targets;
    list = addPieceMoves<KNIGHT>(list, own[KNIGHT], reachable, occ);
    list = addPieceMoves<BISHOP>(list, own[BISHOP], reachable, occ);
    list = addPieceMoves<ROOK>(list, own[ROOK], reachable, occ);
    list = addPieceMoves<QUEEN>(list, own[QUEEN], reachable, occ);
    list = addPieceMoves<KING>(list, own[KING], reachable, occ);
    return int(list - start);
}

bool isPseudoLegal(const Position& pos, Move move) {
    move = moveOnly(move);
    if (move == NO_MOVE) return false;
    const Color us = sideToMove(pos), them = ~us;
    const Square from = moveFrom(move), to = moveTo(move);
    const int flag = moveFlag(move);
    const Bitboard toBit = squareBit[to];

    if (flag == EN_PASSANT)
        return (toBit & pos.epSquare) && pos.board[from] == pieceCode(us, PAWN) &&
               (pawnAttacks(them, toBit) & squareBit[from]);
    if (flag == CASTLING) {
        Move castles[2];
        int n = generateCastling(pos, us, castles);
        for (int i = 0; i < n; ++i)
            if (moveOnly(castles[i]) == move) return true;
        return false;
    }

    const uint8_t code = pos.board[from];
    if (!code || colorOfCode(code) != us) return false;
    const uint8_t victim = pos.board[to];
    if (victim && (colorOfCode(victim) == us || typeOfCode(victim) == KING)) return false;
    const int type = typeOfCode(code);

    if (type == PAWN) {
        const int step = forwardStep(us);
        const Square one = from + step;
        if (one < 0 || one > 63) return false;
        // A promotion flag exactly when the pawn reaches the last rank.
        if (bool(squareBit[one] & LAST_RANK[us]) != isPromotion(move)) return false;
        if (victim) {
            bool diagonal = (to == one - 1 && fileOf(from) > 0) || (to == one + 1 && fileOf(from) < 7);
            return diagonal && flag != DOUBLE_PUSH;
        }
        if (pos.board[one]) return false;
        if (to == one) return flag != DOUBLE_PUSH;
        return flag == DOUBLE_PUSH && (squareBit[from] & pawnStartRank[us]) && to == one + step;
    }
    if (flag != NORMAL) return false;
    switch (type) {
    case KNIGHT: return knightAttacks[from] & toBit;
    case KING: return kingAttacks[from] & toBit;
    case BISHOP: return (bishopRays[from] & toBit) && !(between[from][to] & pos.occupied);
    case ROOK: return (rookRays[from] & toBit) && !(between[from][to] & pos.occupied);
    case QUEEN: return (queenLines[from] & toBit) && !(between[from][to] & pos.occupied);
    default: return false;
    }
}
