// The quiescence search: captures, promotions and, near the horizon, quiet checks and check
// evasions, so that no score is taken in the middle of an exchange.
#include <algorithm>

#include "board/attacks.h"
#include "board/exchange.h"
#include "board/makemove.h"
#include "eval/evaluate.h"
#include "search/move_tests.h"
#include "search/picker.h"
#include "search/poll.h"
#include "search/search.h"
#include "search/search_internal.h"
#include "search/search_tables.h"

namespace {

// Margins of the delta pruning by captured piece type (0 = empty square).
constexpr int gainMargin[7] = {120, 80, 120, 120, 120, 120, 0};
constexpr int exchangeMargin[7] = {40, 40, 40, 50, 60, 70, 0};

// Below this quiescence depth only recaptures on the last destination square are searched.
constexpr int RECAPTURE_ONLY_DEPTH = -16;
// Below this the stand-pat value is final.
constexpr int QUIESCENCE_FLOOR = -59;
// The table is probed down to this depth and written down to QUIESCENCE_STORE_DEPTH.
constexpr int QUIESCENCE_PROBE_DEPTH = -6;
constexpr int QUIESCENCE_STORE_DEPTH = -2;

int chooseMode(bool inCheck, bool nullWindow, int qdepth, int standPat, int alpha, int beta) {
    if (inCheck) return MODE_EVASIONS;
    if (qdepth == 0) return nullWindow ? MODE_QUIESCENCE_NULL : MODE_QUIESCENCE_CHECKS;
    if (qdepth == -2) {
        if (!nullWindow) return MODE_QUIESCENCE_CHECKS;
        if (standPat >= beta - 9) return MODE_QUIESCENCE_NULL;
        return MODE_QUIESCENCE;
    }
    if (qdepth == -4 && !nullWindow && standPat >= alpha - 9) return MODE_QUIESCENCE_CHECKS;
    return MODE_QUIESCENCE;
}

enum class Delta { Skip, Search, SearchWithoutLossTest };

// Delta pruning: a capture that cannot lift the score to alpha even with a margin is skipped.
Delta deltaTest(const Position& pos, Move move, int best, int alpha, int qdepth) {
    const int* value = quiescencePieceValue[std::min<int>(pos.phase, 96)];
    if (moveFlag(move) == EN_PASSANT)
        return alpha > best + value[PAWN] + 80 + 3 * qdepth ? Delta::Skip : Delta::Search;
    int victim = typeOfCode(pos.board[moveTo(move)]);
    if (best + value[victim] + gainMargin[victim] + 3 * qdepth < alpha) return Delta::Skip;
    if (best + exchangeMargin[victim] < alpha)
        return captureMayNotGain(pos, move) ? Delta::Skip : Delta::SearchWithoutLossTest;
    return Delta::Search;
}

} // namespace

bool makeChild(const Position& pos, Position& child, Move move) {
    if (!makeMove(pos, child, move)) return false;
    child.inCheck = kingAttacked(child, sideToMove(child)) ? 1 : 0;
    return true;
}

int qsearch(Position& pos, int alpha, int beta, int qdepth, int ply, Move* pv) {
    pv[0] = 0;
    if (stopped(pos)) return 0;
    if (periodicCheck(pos.threadIndex)) return 0;
    if (ply >= MAX_PLY) return evaluate(pos, -FULL_WINDOW, FULL_WINDOW);

    // Mate-distance bounds.
    const int alphaAsCalled = alpha;
    alpha = std::max(ply - MATE_SCORE, alpha);
    beta = std::min(MATE_SCORE - 1 - ply, beta);
    if (alpha >= beta) return alpha;

    TableHit hit;
    if (qdepth >= QUIESCENCE_PROBE_DEPTH) {
        hit = probeTable(pos.key, ply);
        if (hit.found && hit.depth >= (qdepth < -1 ? -2 : 0)) {
            int bound = hit.bound();
            if ((bound == BOUND_EXACT && hit.score != 0) || (bound == BOUND_LOWER && hit.score >= beta) ||
                (bound == BOUND_UPPER && hit.score <= alpha))
                return hit.score;
        }
    }
    const Move hashMove = hit.found ? hit.move : 0;
    const bool inCheck = pos.inCheck != 0;
    const bool nullWindow = beta - 1 == alpha;

    int best = -NO_SCORE;
    int standPat = 0;
    if (!inCheck) {
        standPat = nullWindow ? evaluate(pos, beta - 151, beta + 150) : evaluate(pos, -FULL_WINDOW, FULL_WINDOW);
        pos.staticEval = standPat;
        standPat = refineWithTable(standPat, hit);
        // A position far below alpha is given up without trying a move.
        if (nullWindow ? standPat < beta - 1201 : standPat < alpha - 1200) return alpha;
        if (qdepth < QUIESCENCE_FLOOR || standPat >= beta) return standPat;
        best = standPat;
        alpha = std::max(alpha, standPat);
    }

    const int mode = chooseMode(inCheck, nullWindow, qdepth, standPat, alpha, beta);
    MovePicker picker;
    initPicker(picker, pos, mode, mode == MODE_QUIESCENCE ? 0 : hashMove, 0, 0, 0, 0, 0);
    const bool checksMode = mode == MODE_QUIESCENCE_CHECKS || mode == MODE_QUIESCENCE_NULL;
    const Square lastTo = moveTo(pos.lastMove);
    const Color us = sideToMove(pos);

    int movesMade = 0;
    bool drawMark = false;
    Move childPv[MAX_PV];
    Position child;
    while (Move move = nextMove(picker)) {
        if (isUnderPromotion(move)) continue;
        const bool quiet = isPlainQuiet(pos, move);
        if (!inCheck) {
            // Queen promotions, and checks at the horizon, are never delta-pruned.
            Delta delta = moveFlag(move) == PROMO_QUEEN ? Delta::Search : deltaTest(pos, move, best, alpha, qdepth);
            if (delta != Delta::Search && qdepth >= 0 && givesCheck(pos, move)) delta = Delta::Search;
            if (delta == Delta::Skip) continue;
            if (delta == Delta::Search && picker.stage != STAGE_HASH && picker.stage != STAGE_DEFERRED &&
                isLosingCapture(pos, move))
                continue;
            if (qdepth < RECAPTURE_ONLY_DEPTH && moveTo(move) != lastTo) continue;
        } else if (best >= -MATE_BOUND && quiet) {
            if (picker.stage == STAGE_DEFERRED) continue;
            if (move == hashMove && isLosingCapture(pos, move)) continue;
        }

        if (!makeChild(pos, child, move)) continue;
        ++movesMade;

        int value;
        bool isDraw = false;
        if (quiet && moveFlag(move) == NORMAL && isDrawnByRule(child)) {
            value = drawValueAt(ply);
            isDraw = true;
        } else {
            if (checksMode && quiet && move != hashMove && !child.inCheck &&
                !(typeOfCode(pos.board[moveFrom(move)]) == PAWN && relativeRank(us, moveTo(move)) == 6))
                continue;
            value = -qsearch(child, -beta, -alpha, qdepth - 2, ply + 1, childPv);
            if (stopped(pos)) return 0;
        }

        if (value > best) {
            if (value > alpha) {
                pv[0] = move;
                pv[1] = 0;
                if (value < beta) alpha = value;
            }
            best = value;
            drawMark = isDraw;
            if (value >= beta) break;
        }
    }
    if (stopped(pos)) return 0;

    const int storeDepth = qdepth < 0 ? -2 : 0;
    if (movesMade == 0 && inCheck) {
        best = ply - MATE_SCORE;
        if (qdepth >= QUIESCENCE_STORE_DEPTH && !drawMark) storeTable(pos.key, storeDepth, best, BOUND_EXACT, 0, 0, ply);
        return best;
    }
    if (drawMark || qdepth < QUIESCENCE_STORE_DEPTH) return best;
    if (best >= beta)
        storeTable(pos.key, storeDepth, best, BOUND_LOWER, pv[0], 0, ply);
    else if (best > alphaAsCalled)
        storeTable(pos.key, storeDepth, best, BOUND_EXACT, pv[0], 0, ply);
    return best;
}
