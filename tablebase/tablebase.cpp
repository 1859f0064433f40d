// Tablebase probes: win/draw/loss and distance-to-zeroing answers for real positions (captures
// and en passant played out around the table reads), the score inside the search, the root
// move filters, and the option actions.
#include "tablebase/tablebase.h"

#include <algorithm>
#include <cstdio>

#include "board/attacks.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "search/search_state.h"
#include "tablebase/tb_registry.h"
#include "uci/settings.h"

namespace {

constexpr int NO_CASTLING = 15;
constexpr int DTZ_NONE = 0xffff;
// Root scores by win/draw/loss class, and the distance of a zeroing move by the result it keeps.
constexpr int WDL_TO_ROOT_SCORE[5] = {-TB_WIN_SCORE, -2, 0, 2, TB_WIN_SCORE};
constexpr int WDL_TO_DTZ[5] = {-1, -101, 0, 101, 1};
constexpr int TB_MATE_SCORE = 31800;  // in-search tablebase win, less the ply

bool isCapture(const Position& pos, Move m) {
    const int flag = moveFlag(m);
    return flag != EN_PASSANT && flag != CASTLING && pos.board[moveTo(m)] != 0;
}
bool isPawnMove(const Position& pos, Move m) { return typeOfCode(pos.board[moveFrom(m)]) == PAWN; }
bool isZeroing(const Position& pos, Move m) { return moveFlag(m) == EN_PASSANT || isCapture(pos, m) || isPawnMove(pos, m); }

bool hasLegalMove(const Position& pos) {
    Move list[MAX_MOVES];
    const int n = generateAll(pos, list);
    for (int i = 0; i < n; i++) {
        Position child;
        if (makeMove(pos, child, moveOnly(list[i]))) return true;
    }
    return false;
}

bool isCheckmate(const Position& pos) { return kingAttacked(pos, sideToMove(pos)) && !hasLegalMove(pos); }

// Whether every legal move of the position is an en-passant capture (and there is one).
bool onlyEnPassantMoves(const Position& pos) {
    Move list[MAX_MOVES];
    const int n = generateAll(pos, list);
    bool any = false;
    for (int i = 0; i < n; i++) {
        const Move m = moveOnly(list[i]);
        Position child;
        if (!makeMove(pos, child, m)) continue;
        if (moveFlag(m) != EN_PASSANT) return false;
        any = true;
    }
    return any;
}

// Table value of a position without looking at captures or en passant. False on failure.
bool tableWdl(const Position& pos, int* value) {
    if (pos.pieceCount == 2) {
        *value = 0;
        return true;
    }
    bool nameSwapped;
    TbEntry* entry = tbFindEntry(pos.materialCountKey, &nameSwapped);
    if (!entry) return false;
    const TbEncodedTable* table = tbWdlTable(entry);
    if (!table) return false;
    const int v = tbReadWdl(*table, pos.pieces, sideToMove(pos), nameSwapped);
    if (v == TB_DAMAGED) tbMarkWdlDamaged(entry);
    if (v < -2 || v > 2) return false;
    *value = v;
    return true;
}

// Value of the position with its captures (not en passant) played out, within (alpha, beta).
// `captureBest` is set when a capture reaches a winning value at least as good as the table's.
// Recursion depth is bounded by the number of captures, at most the number of pieces.
bool searchWdl(const Position& pos, int alpha, int beta, int* value, bool* captureBest) {
    // Without a usable table of this material the answer fails anyway: skip the captures.
    bool unusedSwap;
    const TbEntry* entry = pos.pieceCount > 2 ? tbFindEntry(pos.materialCountKey, &unusedSwap) : nullptr;
    if (pos.pieceCount > 2 && (!entry || entry->state.load(std::memory_order_relaxed) == TB_UNUSABLE)) return false;
    Move list[MAX_MOVES];
    const int n = generateCaptures(pos, list);
    for (int i = 0; i < n; i++) {
        const Move m = moveOnly(list[i]);
        if (!isCapture(pos, m)) continue;
        Position child;
        if (!makeMove(pos, child, m)) continue;
        int v;
        bool unused;
        if (!searchWdl(child, -beta, -alpha, &v, &unused)) return false;
        v = -v;
        if (v > alpha) {
            if (v >= beta) {
                *value = v;
                *captureBest = true;
                return true;
            }
            alpha = v;
        }
    }
    int v;
    if (!tableWdl(pos, &v)) return false;
    if (alpha >= v) {
        *value = alpha;
        *captureBest = alpha > 0;
    } else {
        *value = v;
        *captureBest = false;
    }
    return true;
}

// Best result among the legal en-passant captures, or false when there is none (or on failure,
// with *failed set).
bool bestEnPassant(const Position& pos, int* best, bool* failed) {
    *failed = false;
    if (!pos.epSquare) return false;
    Move list[MAX_MOVES];
    const int n = generateCaptures(pos, list);
    bool any = false;
    *best = -3;
    for (int i = 0; i < n; i++) {
        const Move m = moveOnly(list[i]);
        if (moveFlag(m) != EN_PASSANT) continue;
        Position child;
        if (!makeMove(pos, child, m)) continue;
        int v;
        bool unused;
        if (!searchWdl(child, -2, 2, &v, &unused)) {
            *failed = true;
            return false;
        }
        any = true;
        *best = std::max(*best, -v);
    }
    return any;
}

bool probeable(const Position& pos) {
    return pos.castleLost == NO_CASTLING && int(pos.pieceCount) <= tbLargestPieceCount();
}

// Final win/draw/loss value with en passant; success 1 (table) or 2 (a capture decides).
int probeWdl(const Position& pos, int* success) {
    *success = 0;
    if (!probeable(pos)) return 0;
    int v;
    bool captureBest;
    if (!searchWdl(pos, -2, 2, &v, &captureBest)) return 0;
    int epValue;
    bool failed;
    if (bestEnPassant(pos, &epValue, &failed)) {
        if (epValue >= v) {
            v = epValue;
        } else if (v == 0 && onlyEnPassantMoves(pos)) {
            v = epValue;
        }
    }
    if (failed) return 0;
    *success = captureBest ? 2 : 1;
    return v;
}

int probeDtz(const Position& pos, int depth, int* success);

// Distance to zeroing without the en-passant correction. `depth` bounds the one-ply fallback:
// the children it probes are the side the file stores, so it never needs a second ply.
int probeDtzNoEp(const Position& pos, int depth, int* success) {
    *success = 0;
    int wdl;
    bool captureBest;
    if (!searchWdl(pos, -2, 2, &wdl, &captureBest)) return 0;
    if (wdl == 0) {
        *success = 1;
        return 0;
    }
    if (captureBest) {
        *success = 2;
        return WDL_TO_DTZ[wdl + 2];
    }
    Move list[MAX_MOVES];
    const int n = generateAll(pos, list);
    if (wdl > 0) {
        // A pawn move that keeps the win zeroes at once.
        for (int i = 0; i < n; i++) {
            const Move m = moveOnly(list[i]);
            if (!isPawnMove(pos, m) || isCapture(pos, m) || moveFlag(m) == EN_PASSANT) continue;
            Position child;
            if (!makeMove(pos, child, m)) continue;
            int childSuccess;
            const int v = -probeWdl(child, &childSuccess);
            if (!childSuccess) return 0;
            if (v == wdl) {
                *success = 1;
                return WDL_TO_DTZ[wdl + 2];
            }
        }
    }

    bool nameSwapped;
    TbEntry* entry = tbFindEntry(pos.materialCountKey, &nameSwapped);
    if (!entry) return 0;
    const int d = tbReadDistance(entry, pos.pieces, sideToMove(pos), nameSwapped, wdl);
    if (d >= 0 && d < TB_READ_FAILED) {
        *success = 1;
        return wdl > 0 ? WDL_TO_DTZ[wdl + 2] + d : WDL_TO_DTZ[wdl + 2] - d;
    }
    if (d != TB_NOT_STORED || depth > 0) return 0;

    // The file holds the other side to move: one ply of search.
    if (wdl > 0) {
        int best = DTZ_NONE;
        for (int i = 0; i < n; i++) {
            const Move m = moveOnly(list[i]);
            if (isZeroing(pos, m)) continue;
            Position child;
            if (!makeMove(pos, child, m)) continue;
            int childSuccess;
            const int v = -probeDtz(child, depth + 1, &childSuccess);
            if (!childSuccess) return 0;
            if (v == 1 && isCheckmate(child))
                best = 1;
            else if (v > 0 && v + 1 < best)
                best = v + 1;
        }
        if (best == DTZ_NONE) return 0;
        *success = 1;
        return best;
    }
    int best = -1;
    for (int i = 0; i < n; i++) {
        const Move m = moveOnly(list[i]);
        Position child;
        if (!makeMove(pos, child, m)) continue;
        int v;
        if (isZeroing(pos, m)) {
            if (wdl == -2) {
                v = -1;
            } else {
                int childValue;
                bool unused;
                if (!searchWdl(child, 1, 2, &childValue, &unused)) return 0;
                v = childValue == 2 ? 0 : -101;
            }
        } else {
            int childSuccess;
            v = -probeDtz(child, depth + 1, &childSuccess) - 1;
            if (!childSuccess) return 0;
        }
        best = std::min(best, v);
    }
    *success = 1;
    return best;
}

int probeDtz(const Position& pos, int depth, int* success) {
    int v = probeDtzNoEp(pos, depth, success);
    if (!*success) return 0;
    int w1;
    bool failed;
    if (!bestEnPassant(pos, &w1, &failed)) {
        if (failed) *success = 0;
        return v;
    }
    const int v1 = WDL_TO_DTZ[w1 + 2];
    if (v < -100) {
        if (v1 >= 0) v = v1;
    } else if (v < 0) {
        if (v1 >= 0 || v1 < -100) v = v1;
    } else if (v > 100) {
        if (v1 > 0) v = v1;
    } else if (v > 0) {
        if (v1 == 1) v = v1;
    } else if (v1 >= 0) {
        v = v1;
    } else if (onlyEnPassantMoves(pos)) {
        v = v1;
    }
    return v;
}

// Root score from the root's distance d and halfmove clock r.
int rootScoreFromDtz(int d, int r) {
    int wdlClass;
    if (d == 0) wdlClass = 0;
    else if (d > 0) wdlClass = d + r <= 100 ? 2 : 1;
    else wdlClass = r - d <= 100 ? -2 : -1;
    if (wdlClass == 1 && d <= 100) return (200 - d - r) / 2;
    if (wdlClass == -1 && d >= -100) return -((d + 200 - r) / 2);
    return WDL_TO_ROOT_SCORE[wdlClass + 2];
}

// Whether the root position occurred before since the last zeroing move, at the same side to
// move (two plies at a time back through the game).
bool rootRepeated(const Position& root) {
    const Position* p = root.parent;
    for (int back = 2; back <= root.halfmoveClock && p && p->parent; back += 2) {
        p = p->parent;
        if (p->key == root.key) return true;
        p = p->parent;
    }
    return false;
}

// Fills `moves` (MAX_ROOT_MOVES entries) with the legal moves of the root.
int listLegalMoves(const Position& root, RootMove* moves) {
    Move list[MAX_MOVES];
    const int n = generateAll(root, list);
    int count = 0;
    for (int i = 0; i < n && count < MAX_ROOT_MOVES; i++) {
        const Move m = moveOnly(list[i]);
        Position child;
        if (makeMove(root, child, m)) moves[count++] = RootMove{m, 0, 0};
    }
    return count;
}

// Keeps the moves whose value satisfies `keep`, in ascending order of value, at the front.
template <typename Keep>
int keepMoves(RootMove* moves, int count, const int* value, Keep keep, bool sortByValue) {
    struct Kept {
        RootMove move;
        int value;
    };
    Kept kept[MAX_ROOT_MOVES];
    int n = 0;
    for (int i = 0; i < count && n < MAX_ROOT_MOVES; i++)
        if (keep(value[i])) kept[n++] = {moves[i], value[i]};
    if (sortByValue)
        std::stable_sort(kept, kept + n, [](const Kept& a, const Kept& b) { return a.value < b.value; });
    for (int i = 0; i < n; i++) moves[i] = kept[i].move;
    return n;
}

} // namespace

int tbWdlProbe(const Position& pos, int* success) {
    const int v = probeWdl(pos, success);
    if (*success) tbHits.fetch_add(1, std::memory_order_relaxed);
    return v;
}

int tbDtzProbe(const Position& pos, int* success) {
    *success = 0;
    if (!probeable(pos)) return 0;
    const int v = probeDtz(pos, 0, success);
    if (*success) tbHits.fetch_add(1, std::memory_order_relaxed);
    return v;
}

bool tbSearchScore(const Position& pos, int ply, int* score) {
    int success;
    const int wdl = tbWdlProbe(pos, &success);
    if (!success) return false;
    if (optSyzygy50MoveRule.load(std::memory_order_relaxed)) {
        if (wdl == -2) *score = ply - TB_MATE_SCORE;
        else if (wdl == 2) *score = TB_MATE_SCORE - ply;
        else *score = 2 * wdl;
    } else {
        *score = wdl < 0 ? ply - TB_MATE_SCORE : wdl > 0 ? TB_MATE_SCORE - ply : 0;
    }
    return true;
}

int tbRootFilterDtz(const Position& root, RootMove* moves, int count, int* score) {
    int success;
    const int d = tbDtzProbe(root, &success);
    if (!success || count < 0 || count > MAX_ROOT_MOVES) return 0;
    if (count == 0) count = listLegalMoves(root, moves);

    int value[MAX_ROOT_MOVES];
    for (int i = 0; i < count; i++) {
        const Move m = moveOnly(moves[i].move);
        Position child;
        if (!makeMove(root, child, m)) return 0;
        if (d > 0 && isCheckmate(child)) {
            value[i] = 1;
        } else if (isZeroing(root, m)) {
            const int w = -tbWdlProbe(child, &success);
            if (!success) return 0;
            value[i] = WDL_TO_DTZ[w + 2];
        } else {
            const int dChild = tbDtzProbe(child, &success);
            if (!success) return 0;
            value[i] = dChild < 0 ? 1 - dChild : dChild > 0 ? -dChild - 1 : 0;
        }
    }

    const int r = root.halfmoveClock;
    *score = rootScoreFromDtz(d, r);
    if (d > 0) {
        int best = DTZ_NONE;
        for (int i = 0; i < count; i++)
            if (value[i] > 0) best = std::min(best, value[i]);
        if (!rootRepeated(root) && best + r <= 99) best = 99 - r;
        return keepMoves(moves, count, value, [best](int v) { return v > 0 && v <= best; }, true);
    }
    if (d < 0) {
        int worst = 0;
        for (int i = 0; i < count; i++) worst = std::min(worst, value[i]);
        if (r - 2 * worst <= 99) return 0;
        return keepMoves(moves, count, value, [worst](int v) { return v == worst; }, true);
    }
    return keepMoves(moves, count, value, [](int v) { return v == 0; }, true);
}

int tbRootFilterWdl(const Position& root, RootMove* moves, int count, int* score) {
    int success;
    const int w = tbWdlProbe(root, &success);
    if (!success || count < 0 || count > MAX_ROOT_MOVES) return 0;
    if (count == 0) count = listLegalMoves(root, moves);
    *score = WDL_TO_ROOT_SCORE[w + 2];
    int value[MAX_ROOT_MOVES];
    int best = -3;
    for (int i = 0; i < count; i++) {
        Position child;
        if (!makeMove(root, child, moveOnly(moves[i].move))) return 0;
        value[i] = -tbWdlProbe(child, &success);
        if (!success) return 0;
        best = std::max(best, value[i]);
    }
    return keepMoves(moves, count, value, [best](int v) { return v == best; }, false);
}

void setSyzygyProbeLimit(int limit) {
    optSyzygyProbeLimit = limit < 0 ? 0 : limit > 6 ? 6 : limit;
    std::printf("info string Probing tablebases up to %d-man.\n",
                std::min(optSyzygyProbeLimit.load(), tbLargestPieceCount()));
    std::fflush(stdout);
}

void setSyzygyPath(const std::string& path) {
    optSyzygyPath = path;
    tbLoadAll(path);
    setSyzygyProbeLimit(optSyzygyProbeLimit);
}
