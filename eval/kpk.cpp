#include "eval/kpk.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <iterator>

namespace {
// One bit per position of the lookup index: set when the side with the pawn wins.
uint64_t kpkWins[KPK_SIZE / 64];
bool kpkReady = false;

// The solver works in table orientation: the pawn moves toward rank 1 and stands on files a..d,
// ranks 1..6 (it promotes on rank 0). For one pawn square and one strong-king square, the
// weak-king squares form a bitboard, so a whole row of positions is decided with a few
// bit operations.
uint64_t bit(Square s) { return uint64_t(1) << s; }

uint64_t kingMoves[64];   // squares next to each square
uint64_t pawnCaptures[64]; // squares a pawn moving toward rank 1 attacks from each square

void initGeometry() {
    for (Square s = 0; s < 64; ++s) {
        kingMoves[s] = 0;
        pawnCaptures[s] = 0;
        for (int df = -1; df <= 1; ++df)
            for (int dr = -1; dr <= 1; ++dr) {
                int f = fileOf(s) + df, r = rankOf(s) + dr;
                if ((df || dr) && f >= 0 && f < 8 && r >= 0 && r < 8) kingMoves[s] |= bit(makeSquare(f, r));
            }
        if (rankOf(s) > 0) {
            if (fileOf(s) > 0) pawnCaptures[s] |= bit(s - 9);
            if (fileOf(s) < 7) pawnCaptures[s] |= bit(s - 7);
        }
    }
}

// Wins by pawn square index (0..23), side to move (0 weak, 1 strong) and strong-king square, as
// bitboards of weak-king squares.
uint64_t wins[24][2][64];

int pawnIndexOf(Square pawn) { return 4 * (rankOf(pawn) - 1) + fileOf(pawn); }

// Squares a queen or rook on `from` attacks, blocked only by `blocker` (the strong king); the
// weak king does not block, so it cannot step back along the line.
uint64_t sliderAttacks(Square from, Square blocker, bool diagonalsToo) {
    static const int directions[8][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}, {1, 1}, {1, -1}, {-1, 1}, {-1, -1}};
    uint64_t out = 0;
    for (int d = 0; d < (diagonalsToo ? 8 : 4); ++d)
        for (int f = fileOf(from) + directions[d][0], r = rankOf(from) + directions[d][1];
             f >= 0 && f < 8 && r >= 0 && r < 8; f += directions[d][0], r += directions[d][1]) {
            out |= bit(makeSquare(f, r));
            if (makeSquare(f, r) == blocker) break;
        }
    return out;
}

// The pawn has just promoted on `promo`, the weak side moves: a win unless the new piece can be
// taken at once or the weak king is stalemated. Any other case is a won king and queen (or rook)
// against king with the stronger side to move next.
bool promotionWins(Square sk, Square promo, Square wk, bool queen) {
    if ((kingMoves[wk] & bit(promo)) && !(kingMoves[sk] & bit(promo))) return false;
    uint64_t attacked = sliderAttacks(promo, sk, queen) | kingMoves[sk] | bit(sk);
    bool inCheck = attacked & bit(wk);
    bool hasMove = kingMoves[wk] & ~attacked & ~bit(promo);
    return hasMove || inCheck;
}

// Strong side to move, pawn moves only: weak-king squares where a pawn move wins.
uint64_t pawnMoveWins(Square pawn, Square sk) {
    Square push = pawn - 8;
    if (push == sk) return 0;
    uint64_t out = 0;
    if (rankOf(push) == 0) {
        for (Square wk = 0; wk < 64; ++wk)
            if (wk != push && wk != sk && (promotionWins(sk, push, wk, true) || promotionWins(sk, push, wk, false)))
                out |= bit(wk);
        return out;
    }
    out |= wins[pawnIndexOf(push)][0][sk] & ~bit(push);
    if (rankOf(pawn) == 6 && pawn - 16 != sk) out |= wins[pawnIndexOf(pawn - 16)][0][sk] & ~bit(push) & ~bit(pawn - 16);
    return out;
}

void solvePawnSquare(Square pawn) {
    const int index = pawnIndexOf(pawn);
    uint64_t (&weakToMove)[64] = wins[index][0];
    uint64_t (&strongToMove)[64] = wins[index][1];
    // Legal placements by strong-king square: no shared squares, kings apart, and with the
    // strong side to move the weak king is not in check.
    uint64_t legalWeak[64], legalStrong[64], byPawnMove[64];
    for (Square sk = 0; sk < 64; ++sk) {
        legalWeak[sk] = sk == pawn ? 0 : ~(bit(sk) | bit(pawn) | kingMoves[sk]);
        legalStrong[sk] = legalWeak[sk] & ~pawnCaptures[pawn];
        byPawnMove[sk] = sk == pawn ? 0 : pawnMoveWins(pawn, sk) & legalStrong[sk];
        weakToMove[sk] = strongToMove[sk] = 0;
    }
    // Iterate until nothing changes: the least fixed point is the set of forced wins.
    bool changed = true;
    while (changed) {
        changed = false;
        for (Square sk = 0; sk < 64; ++sk) {
            if (sk == pawn) continue;
            uint64_t w = byPawnMove[sk];
            for (uint64_t moves = kingMoves[sk] & ~bit(pawn); moves; moves &= moves - 1) {
                Square to = Square(__builtin_ctzll(moves));
                w |= weakToMove[to] & ~(kingMoves[to] | bit(to));
            }
            w &= legalStrong[sk];
            if (w != strongToMove[sk]) strongToMove[sk] = w, changed = true;
        }
        for (Square sk = 0; sk < 64; ++sk) {
            if (sk == pawn) continue;
            uint64_t forbidden = kingMoves[sk] | bit(sk) | pawnCaptures[pawn];
            uint64_t w = weakToMove[sk];
            for (uint64_t candidates = legalWeak[sk] & ~w; candidates; candidates &= candidates - 1) {
                Square wk = Square(__builtin_ctzll(candidates));
                uint64_t moves = kingMoves[wk] & ~forbidden;
                if (moves & bit(pawn)) continue; // the undefended pawn falls
                bool lost = moves ? (moves & ~strongToMove[sk]) == 0 : (pawnCaptures[pawn] & bit(wk)) != 0;
                if (lost) w |= bit(wk);
            }
            if (w != weakToMove[sk]) weakToMove[sk] = w, changed = true;
        }
    }
}

int tableIndex(int pawnIndex, Square strongKing, Square weakKing, int strongToMove) {
    return ((pawnIndex * 4096) + strongKing * 64 + weakKing) * 2 + strongToMove;
}
} // namespace

void initKpkTable() {
    if (kpkReady) return;
    initGeometry();
    // A pawn never moves back: solve the pawn squares from the promotion rank outward.
    for (int rank = 1; rank <= 6; ++rank)
        for (int file = 0; file < 4; ++file) solvePawnSquare(makeSquare(file, rank));
    std::fill(std::begin(kpkWins), std::end(kpkWins), 0);
    for (int p = 0; p < 24; ++p)
        for (int stm = 0; stm < 2; ++stm)
            for (Square sk = 0; sk < 64; ++sk)
                for (uint64_t w = wins[p][stm][sk]; w; w &= w - 1) {
                    int index = tableIndex(p, sk, Square(__builtin_ctzll(w)), stm);
                    kpkWins[index >> 6] |= uint64_t(1) << (index & 63);
                }
    kpkReady = true;
}

int kpkIndex(Color strong, Square strongKing, Square pawn, Square weakKing, bool strongToMove) {
    if (strong == WHITE) {
        strongKing ^= 56;
        pawn ^= 56;
        weakKing ^= 56;
    }
    if (fileOf(pawn) >= 4) {
        strongKing ^= 7;
        pawn ^= 7;
        weakKing ^= 7;
    }
    return tableIndex(pawnIndexOf(pawn), strongKing, weakKing, strongToMove ? 1 : 0);
}

bool kpkWin(Color strong, Square strongKing, Square pawn, Square weakKing, bool strongToMove) {
    int rank = relativeRank(strong, pawn);
    if (rank < 1 || rank > 6) return false;
    int index = kpkIndex(strong, strongKing, pawn, weakKing, strongToMove);
    return (kpkWins[index >> 6] >> (index & 63)) & 1;
}
