#include "eval/kpk.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace {
// One bit per position: set when the side with the pawn wins.
uint64_t kpkWins[KPK_SIZE / 64];
bool kpkReady = false;

// The solver works in table orientation: the pawn moves toward rank 1 and stands on files a..d.
// Squares are 0..63 as on the board; the pawn's rank is 1..6 (it promotes on rank 0).
int chebyshev(Square a, Square b) { return std::max(std::abs(fileOf(a) - fileOf(b)), std::abs(rankOf(a) - rankOf(b))); }
bool adjacent(Square a, Square b) { return chebyshev(a, b) == 1; }

// Squares a pawn moving toward rank 1 attacks.
bool pawnAttacksSquare(Square pawn, Square s) {
    return rankOf(s) == rankOf(pawn) - 1 && std::abs(fileOf(s) - fileOf(pawn)) == 1;
}

int tableIndex(int pawnIndex, Square strongKing, Square weakKing, int strongToMove) {
    return ((pawnIndex * 4096) + strongKing * 64 + weakKing) * 2 + strongToMove;
}
int pawnIndexOf(Square pawn) { return 4 * (rankOf(pawn) - 1) + fileOf(pawn); }

bool isWin(int index) { return (kpkWins[index >> 6] >> (index & 63)) & 1; }
void setWin(int index) { kpkWins[index >> 6] |= uint64_t(1) << (index & 63); }

bool legalPlacement(Square sk, Square pawn, Square wk, bool strongToMove) {
    if (sk == wk || sk == pawn || wk == pawn || adjacent(sk, wk)) return false;
    // With the strong side to move, the weak king may not stand in check.
    if (strongToMove && pawnAttacksSquare(pawn, wk)) return false;
    return true;
}

// Squares attacked by a queen or rook on `from` (blocked by `blocker`, the strong king), seen
// through the weak king so that it cannot hide behind itself.
bool sliderAttacks(Square from, Square target, Square blocker, bool diagonalToo) {
    int df = fileOf(target) - fileOf(from), dr = rankOf(target) - rankOf(from);
    if (df == 0 && dr == 0) return false;
    bool straight = df == 0 || dr == 0;
    bool diagonal = std::abs(df) == std::abs(dr);
    if (!straight && !(diagonalToo && diagonal)) return false;
    int sf = (df > 0) - (df < 0), sr = (dr > 0) - (dr < 0);
    for (int f = fileOf(from) + sf, r = rankOf(from) + sr; makeSquare(f, r) != target; f += sf, r += sr)
        if (makeSquare(f, r) == blocker) return false;
    return true;
}

// Weak side to move after the pawn promoted on `promo` to a queen or rook: a win unless the new
// piece can be taken at once or the weak king is stalemated. Every other case is a won king and
// queen (or rook) against king with the stronger side to move next.
bool promotionWins(Square sk, Square promo, Square wk, bool queen) {
    if (adjacent(wk, promo) && !adjacent(sk, promo)) return false;
    bool inCheck = sliderAttacks(promo, wk, sk, queen);
    bool hasMove = false;
    for (int df = -1; df <= 1 && !hasMove; ++df)
        for (int dr = -1; dr <= 1 && !hasMove; ++dr) {
            int f = fileOf(wk) + df, r = rankOf(wk) + dr;
            if ((df == 0 && dr == 0) || f < 0 || f > 7 || r < 0 || r > 7) continue;
            Square to = makeSquare(f, r);
            if (to == promo) continue; // taking it was ruled out above
            if (adjacent(to, sk) || sliderAttacks(promo, to, sk, queen)) continue;
            hasMove = true;
        }
    return hasMove || inCheck;
}

// Strong side to move: a win when some move reaches a won position.
bool strongMoveWins(Square sk, Square pawn, Square wk) {
    for (int df = -1; df <= 1; ++df)
        for (int dr = -1; dr <= 1; ++dr) {
            int f = fileOf(sk) + df, r = rankOf(sk) + dr;
            if ((df == 0 && dr == 0) || f < 0 || f > 7 || r < 0 || r > 7) continue;
            Square to = makeSquare(f, r);
            if (to == pawn || adjacent(to, wk)) continue;
            if (isWin(tableIndex(pawnIndexOf(pawn), to, wk, 0))) return true;
        }
    Square push = pawn - 8;
    if (push == sk || push == wk) return false;
    if (rankOf(push) == 0) return promotionWins(sk, push, wk, true) || promotionWins(sk, push, wk, false);
    if (isWin(tableIndex(pawnIndexOf(push), sk, wk, 0))) return true;
    if (rankOf(pawn) == 6) {
        Square doublePush = pawn - 16;
        if (doublePush != sk && doublePush != wk && isWin(tableIndex(pawnIndexOf(doublePush), sk, wk, 0)))
            return true;
    }
    return false;
}

// Weak side to move: a win when every move reaches a won position, or when it is mated.
bool weakMoveLoses(Square sk, Square pawn, Square wk) {
    bool hasMove = false;
    for (int df = -1; df <= 1; ++df)
        for (int dr = -1; dr <= 1; ++dr) {
            int f = fileOf(wk) + df, r = rankOf(wk) + dr;
            if ((df == 0 && dr == 0) || f < 0 || f > 7 || r < 0 || r > 7) continue;
            Square to = makeSquare(f, r);
            if (adjacent(to, sk) || pawnAttacksSquare(pawn, to)) continue;
            if (to == pawn) return false; // the undefended pawn falls: a draw
            hasMove = true;
            if (!isWin(tableIndex(pawnIndexOf(pawn), sk, to, 1))) return false;
        }
    return hasMove || pawnAttacksSquare(pawn, wk);
}
} // namespace

void initKpkTable() {
    if (kpkReady) return;
    // A pawn never moves back, so the pawn squares are solved from the promotion rank outward;
    // for each, the king moves are iterated until nothing changes.
    for (int rank = 1; rank <= 6; ++rank)
        for (int file = 0; file < 4; ++file) {
            Square pawn = makeSquare(file, rank);
            int pawnIndex = pawnIndexOf(pawn);
            bool changed = true;
            while (changed) {
                changed = false;
                for (Square sk = 0; sk < 64; ++sk)
                    for (Square wk = 0; wk < 64; ++wk)
                        for (int stm = 0; stm < 2; ++stm) {
                            int index = tableIndex(pawnIndex, sk, wk, stm);
                            if (isWin(index) || !legalPlacement(sk, pawn, wk, stm)) continue;
                            bool win = stm ? strongMoveWins(sk, pawn, wk) : weakMoveLoses(sk, pawn, wk);
                            if (win) {
                                setWin(index);
                                changed = true;
                            }
                        }
            }
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
    return isWin(kpkIndex(strong, strongKing, pawn, weakKing, strongToMove));
}
