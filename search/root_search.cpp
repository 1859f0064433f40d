// Iterative deepening of one thread: the aspiration loop and the root search.
#include "search/root_search.h"

#include <algorithm>

#include "board/attacks.h"
#include "board/bitboard.h"
#include "board/exchange.h"
#include "eval/evaluate.h"
#include "search/move_tests.h"
#include "search/node_helpers.h"
#include "search/poll.h"
#include "search/search.h"
#include "search/search_internal.h"
#include "search/search_tables.h"
#include "uci/clock.h"
#include "uci/report.h"
#include "uci/settings.h"

MultiPvRecord multiPvRecords[MAX_ROOT_MOVES];
int multiPvRecordCount = 0;
int lastCurrMoveNumber = 0;
int lastReportedBound = 0;
Move lastSearchBestMove = 0;
Move lastSearchPonderMove = 0;

const int aspirationOffset[16] = {0, 0, -1, 1, -2, 2, -3, 3, -4, 4, -5, 5, -6, 6, -7, 7};

namespace {

constexpr int ASPIRATION_HALF_WIDTH = 7;
constexpr int ASPIRATION_OPEN_LIMIT = 700; // a bound beyond this opens to no bound at all
constexpr int ROOT_KEY_FORCED = 65000;     // ordering key of the moves kept at the front
constexpr double CURRMOVE_DELAY = 3.0;     // seconds before "info currmove" lines begin

void copyPv(Move* to, const Move* from) {
    int i = 0;
    while (i < MAX_PV - 1 && from[i]) {
        to[i] = from[i];
        ++i;
    }
    to[i] = 0;
}

bool isCapture(const Position& pos, Move move) {
    int flag = moveFlag(move);
    return flag == EN_PASSANT || (flag != CASTLING && pos.board[moveTo(move)] != 0);
}

MultiPvRecord* recordOf(Move move) {
    for (int i = 0; i < multiPvRecordCount; ++i)
        if (multiPvRecords[i].move == move) return &multiPvRecords[i];
    if (multiPvRecordCount >= MAX_ROOT_MOVES) return nullptr;
    MultiPvRecord& record = multiPvRecords[multiPvRecordCount++];
    record.move = move;
    return &record;
}

// Updates thread 0's multi-variation table with a finished root move, reports the best lines from
// iteration 5 on, and returns the alpha a later move must beat to enter the table.
int updateMultiPv(int iteration, Move move, const Move* line, int value, bool inWindow, int movesSearched,
                  int alpha, int wanted) {
    MultiPvRecord* record = recordOf(move);
    if (!record) return alpha;
    record->score = iteration == 1 || !inWindow ? -NO_SCORE : value;
    record->iteration = iteration;
    copyPv(record->line, line);
    if (iteration < 5) return alpha;

    // Stable insertion sort by score, best first.
    for (int i = 1; i < multiPvRecordCount; ++i) {
        MultiPvRecord entry = multiPvRecords[i];
        int j = i - 1;
        while (j >= 0 && multiPvRecords[j].score < entry.score) {
            multiPvRecords[j + 1] = multiPvRecords[j];
            --j;
        }
        multiPvRecords[j + 1] = entry;
    }
    for (int k = 1; k <= wanted && k <= multiPvRecordCount && k <= movesSearched; ++k)
        if (!benchMode) reportMultiPv(k, iteration, multiPvRecords[k - 1].score, multiPvRecords[k - 1].line);
    int current = 0;
    for (int i = 0; i < multiPvRecordCount; ++i) {
        if (multiPvRecords[i].iteration != iteration) continue;
        if (++current == wanted) return multiPvRecords[i].score;
    }
    return alpha;
}

// Puts the best move in front and orders the rest for the next pass: the first two entries and
// the run of tactical moves after them stay in place, the quiet moves follow by history.
void reorderRootMoves(SearchThread& thread, const Position& root, int bestIndex) {
    RootMove* moves = thread.rootMoves;
    const int count = thread.rootMoveCount;
    if (count == 0) return;
    if (bestIndex > 0) {
        RootMove best = moves[bestIndex];
        for (int i = bestIndex; i > 0; --i) moves[i] = moves[i - 1];
        moves[0] = best;
    }
    const bool bestCaptures = isCapture(root, moves[0].move);
    bool inTacticalRun = true;
    for (int i = 0; i < count; ++i) {
        Move move = moves[i].move;
        if (i >= 2 && !isTactical(root, move)) inTacticalRun = false;
        if (bestCaptures || i < 2 || inTacticalRun)
            moves[i].orderingKey = ROOT_KEY_FORCED;
        else
            moves[i].orderingKey = historyOf(root, typeOfCode(root.board[moveFrom(move)]), move);
    }
    for (int i = 3; i < count; ++i) {
        RootMove entry = moves[i];
        int j = i - 1;
        while (j >= 2 && moves[j].orderingKey < entry.orderingKey) {
            moves[j + 1] = moves[j];
            --j;
        }
        moves[j + 1] = entry;
    }
}

} // namespace

int rootSearch(Position& root, int depth, int alpha, int beta, Move* pv) {
    const int index = root.threadIndex;
    const bool mainThread = index == 0;
    const int iteration = depth / 2;
    SearchThread& thread = searchThreads[index];
    if (mainThread) {
        rootMoveNumber = 0;
        rootMovesAtBestChange = 0;
        rootBestScore = -NO_SCORE;
    }
    pv[0] = 0;
    if (stopped(root)) return 0;
    root.staticEval = evaluate(root, -FULL_WINDOW, FULL_WINDOW);
    root.frontierExtended = 0;
    root.childReduction = 0;
    root.extensionSum = -8; // lets the first plies collect extensions early
    root.searchPly = 0;

    const bool printCurrMove = mainThread && iteration >= 6 && !optMinimalReporting.load(std::memory_order_relaxed) &&
                               nowSeconds() - searchStart > CURRMOVE_DELAY;
    if (mainThread && periodicCheckDue()) return 0;

    const Bitboard safeZone = pawnSafeZone(root);
    const int multiPv = optMultiPV.load(std::memory_order_relaxed);
    const bool useLmr = optUseLmr.load(std::memory_order_relaxed) != 0;
    const Move rootKiller1 = thread.plyMoves[0].killer1, rootKiller2 = thread.plyMoves[0].killer2;

    int best = -NO_SCORE;
    int bestIndex = -1;
    int movesSearched = 0;
    int inWindow = 0;
    Position child;
    Move childPv[MAX_PV];
    Move line[MAX_PV];

    for (int i = 0; i < thread.rootMoveCount; ++i) {
        RootMove& entry = thread.rootMoves[i];
        const Move move = entry.move;
        const uint64_t nodesBefore = nodeCounters[index].nodes.load(std::memory_order_relaxed);
        if (!makeChild(root, child, move)) continue;
        ++movesSearched;
        if (mainThread) rootMoveNumber = movesSearched;
        if (printCurrMove && !benchMode) {
            reportCurrMove(move, movesSearched);
            lastCurrMoveNumber = movesSearched;
        }
        childPv[0] = 0;

        int value;
        if (isDrawnByRule(child)) {
            value = contempt;
        } else {
            const bool tactical = isTactical(root, move);
            const bool pawnPush = typeOfCode(root.board[moveFrom(move)]) == PAWN && (safeZone & squareBit[moveTo(move)]);
            int ext = 0;
            if (child.inCheck)
                ext = 1;
            else if (tactical)
                ext = isLosingCapture(root, move) ? 0 : 1;
            if (pawnPush && !isLosingCapture(root, move)) ext = ext == 1 ? 1 : 2;
            child.extensionSum = int16_t(child.extensionSum + ext);
            const int newDepth = depth - 2 + ext;

            if (movesSearched <= multiPv || (multiPv > 1 && inWindow < multiPv)) {
                value = -searchPV(child, -beta, -alpha, newDepth, 1, childPv);
            } else {
                bool settled = false;
                if (multiPv == 1 && !tactical && movesSearched >= 3 && !child.inCheck && !pawnPush && !root.inCheck &&
                    move != rootKiller1 && move != rootKiller2 && depth > 5 && useLmr && best >= -MATE_RANGE) {
                    int r = lmrPV[1][std::min(depth, 63)][std::min(movesSearched, 63)];
                    if (r >= 1) {
                        root.childReduction = uint8_t(r);
                        value = -searchNonPV(child, -alpha, newDepth - r, 1, childPv, 0, 0, 1);
                        root.childReduction = 0;
                        if (stopped(root)) return 0;
                        settled = value <= alpha;
                    }
                }
                if (!settled) {
                    value = -searchNonPV(child, -alpha, newDepth, 1, childPv, 0, 0, 1);
                    if (!stopped(root) && value > alpha) value = -searchPV(child, -beta, -alpha, newDepth, 1, childPv);
                }
            }
            if (stopped(root)) return 0;
        }
        entry.nodes = nodeCounters[index].nodes.load(std::memory_order_relaxed) - nodesBefore;
        copyLine(line, move, childPv);

        if (multiPv > 1) {
            bool insideWindow = alpha < value && value < beta;
            if (insideWindow) ++inWindow;
            if (mainThread) alpha = updateMultiPv(iteration, move, line, value, insideWindow, movesSearched, alpha, multiPv);
        }
        if (value > best) {
            best = value;
            bestIndex = i;
            if (mainThread) {
                rootMovesAtBestChange = movesSearched;
                rootBestScore = value;
            }
            copyPv(pv, line);
            copyPv(thread.iterationLines[iteration], line);
            PlyMoves& rootSlot = thread.plyMoves[0];
            if (rootSlot.killer1 != move) {
                rootSlot.killer2 = rootSlot.killer1;
                rootSlot.killer1 = move;
            }
            thread.iterationScores[iteration] = value;
            if (mainThread && multiPv == 1 && !benchMode) {
                lastReportedBound = value >= beta ? 1 : value > alpha ? 0 : 2;
                reportPv(iteration, value, lastReportedBound, pv);
            }
        }
        if (multiPv == 1) {
            alpha = std::max(alpha, value);
            if (value >= beta) return value;
        }
    }

    reorderRootMoves(thread, root, bestIndex);
    if (movesSearched == 0) return root.inCheck ? -MATE_SCORE : 0;
    return best;
}

void iterate(Position& root, int iteration) {
    const int index = root.threadIndex;
    SearchThread& thread = searchThreads[index];
    thread.iterationScores[iteration] = -NO_SCORE;
    thread.iterationLines[iteration][0] = 0;
    Move pv[MAX_PV];
    const int depth = 2 * iteration;

    if (iteration < 5 || optMultiPV.load(std::memory_order_relaxed) >= 2) {
        int value = rootSearch(root, depth, -NO_SCORE, NO_SCORE, pv);
        if (stopped(root)) return;
        copyPv(thread.iterationLines[iteration], pv);
        thread.iterationScores[iteration] = value;
        return;
    }

    const int previous = thread.iterationScores[iteration - 1];
    const int centre = previous + aspirationOffset[index % 16];
    int lo = centre - ASPIRATION_HALF_WIDTH, hi = centre + ASPIRATION_HALF_WIDTH;
    if (activeThreadCount.load(std::memory_order_relaxed) > 1 && index > 1) {
        if (index & 1)
            lo = previous - 1;
        else
            hi = previous + 1;
    }
    int delta = ASPIRATION_HALF_WIDTH;
    for (;;) {
        lo = std::max(lo, -NO_SCORE);
        hi = std::min(hi, NO_SCORE);
        int value = rootSearch(root, depth, lo, hi, pv);
        if (stopped(root)) return;
        copyPv(thread.iterationLines[iteration], pv);
        thread.iterationScores[iteration] = value;
        if (lo < value && value < hi) return;
        const int oldLo = lo, oldHi = hi;
        if (value <= oldLo) {
            lo = value - delta;
            hi = (oldLo + oldHi) / 2;
        } else {
            hi = value + delta;
            lo = (oldLo + oldHi) / 2;
        }
        delta = int(delta * 1.5);
        if (lo < -ASPIRATION_OPEN_LIMIT) lo = -NO_SCORE;
        if (hi > ASPIRATION_OPEN_LIMIT) hi = NO_SCORE;
    }
}
