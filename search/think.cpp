// The search driver: prepares the threads and the root move list, runs iterative deepening with
// its stop rules and answers with "bestmove".
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "board/makemove.h"
#include "board/movetext.h"
#include "book/book.h"
#include "eval/evaluate.h"
#include "search/picker.h"
#include "search/poll.h"
#include "search/root_search.h"
#include "search/search.h"
#include "search/search_internal.h"
#include "search/search_params.h"
#include "search/thread_pool.h"
#include "tablebase/tablebase.h"
#include "uci/clock.h"
#include "uci/input.h"
#include "uci/log.h"
#include "uci/report.h"
#include "uci/settings.h"
#include "uci/timeman.h"

namespace {

bool firstSearch = true;

constexpr double MATE_STOP_SHARE = 0.075; // a found mate ends a timed search after this share
constexpr double EASY_MOVE_CHANGED = 0.05;

// Whether the move's text is one of the blank-separated words of the searchmoves list.
bool listedIn(const std::string& list, const char* text) {
    size_t length = std::strlen(text);
    for (size_t at = list.find(text); at != std::string::npos; at = list.find(text, at + 1)) {
        bool startsWord = at == 0 || list[at - 1] == ' ';
        bool endsWord = at + length == list.size() || list[at + length] == ' ';
        if (startsWord && endsWord) return true;
    }
    return false;
}

// Legal root moves in picker order (the table's move first), restricted to the searchmoves list.
int buildRootMoves(SearchThread& thread, const std::string& searchMoves) {
    Position& root = thread.rootPosition;
    TableHit hit = probeTable(root.key, 0);
    MovePicker picker;
    initPicker(picker, root, MODE_ALL, hit.move, 0, 0, 0, 0, 2);
    Position child;
    int count = 0;
    while (Move move = nextMove(picker)) {
        if (!makeMove(root, child, move)) continue;
        if (!searchMoves.empty()) {
            char text[8];
            moveToText(move, text);
            if (!listedIn(searchMoves, text)) continue;
        }
        if (count < MAX_ROOT_MOVES) thread.rootMoves[count++] = RootMove{move, 0, 0};
    }
    thread.rootMoves[count] = RootMove{};
    return count;
}

// Restricts the root moves to those that keep the tablebase result; returns whether it did.
bool filterRootByTablebases(SearchThread& thread) {
    int score = 0;
    int kept = tbRootFilterDtz(thread.rootPosition, thread.rootMoves, thread.rootMoveCount, &score);
    if (kept == 0) kept = tbRootFilterWdl(thread.rootPosition, thread.rootMoves, thread.rootMoveCount, &score);
    if (kept == 0) return false;
    thread.rootMoveCount = kept;
    thread.rootMoves[kept] = RootMove{};
    if (!optSyzygy50MoveRule.load(std::memory_order_relaxed))
        score = score > 0 ? TB_WIN_SCORE : score < 0 ? -TB_WIN_SCORE : 0;
    tbRootScore = score;
    tbProbeLimit = 0;
    return true;
}

void logSearchStart(Position& root, int depthLimit, double targetSeconds) {
    if (!logIsOpen()) return;
    logPrintf("fen: %s\n", toFen(root).c_str());
    logPrintf("lastmove: %s\n", moveToString(root.lastMove).c_str());
    logPrintf("eval: %d\n", evaluate(root, -FULL_WINDOW, FULL_WINDOW));
    if (pondering.load())
        logPrintf("ponder ply: %d\n", int(root.ply));
    else
        logPrintf("search ply: %d\n", int(root.ply));
    logPrintf("target: %0.3f\n", targetSeconds);
    logPrintf("depth: %d\n", depthLimit);
}

void setDeadlines(double targetSeconds, double hardSeconds, int depthLimit) {
    hardDeadline = searchStart + std::min(hardSeconds, targetSeconds * maxPercent / 100.0);
    extendedDeadline = searchStart + 3 * targetSeconds;
    if (!fixedMoveTime) {
        softDeadline = depthLimit > 0 ? searchStart + targetSeconds * softPercent / 100.0 : hardDeadline;
        mateStopTime = searchStart + MATE_STOP_SHARE * targetSeconds;
    } else {
        softDeadline = hardDeadline = mateStopTime = searchStart + targetSeconds;
    }
}

// A quit during the search ends the program between iterations, without a best move. The workers
// are stopped and joined first; the command processor, entered with the quit flag set, runs what
// was read before the quit and then shuts the program down, joining the input thread.
void exitOnQuit() {
    if (!quitRequested.load()) return;
    stopPool();
    for (;;) processCommand();
}

// After the iterations a ponder search, and an infinite one, wait for "stop" or "ponderhit"
// before answering: the protocol forbids an early best move.
void waitForRelease() {
    while (!stopRequested(0) && (pondering.load() || infiniteSearch)) {
        if (inputPending())
            processCommand();
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

} // namespace

int think(Position& rootIn, int depthLimit, const std::string& searchMovesText, double targetSeconds,
          double hardSeconds) {
    searching = true;
    if (std::clamp(optThreads.load(), 1, MAX_THREADS) != poolThreadSetting()) {
        resizePool();
        std::printf("info string Threads now set to %d\n", poolThreadSetting());
        std::fflush(stdout);
    }

    rootIn.threadIndex = 0;
    searchStart = nowSeconds();
    timeUp = false;
    const int threads = activeThreadCount.load();
    for (int i = 0; i < threads; ++i) {
        nodeCounters[i].nodes.store(0, std::memory_order_relaxed);
        stopFlags[i].value.store(0, std::memory_order_relaxed);
        clearMoveOrderingTables(searchThreads[i]);
    }
    tbHits.store(0);
    SearchThread& main = searchThreads[0];
    if (firstSearch) {
        firstSearch = false;
        fillHistory(main, 5000);
        buildSearchParameters();
    }

    main.rootPosition = rootIn;
    Position& root = main.rootPosition;
    linkPositionToThread(root, 0);
    root.pstScore = computePstScore(root);
    root.phase = int16_t(computePhase(root));
    contempt = root.phase * drawScore / 48;

    logSearchStart(root, depthLimit, targetSeconds);

    char bestText[8] = "0000", ponderText[8] = "";
    lastSearchBestMove = lastSearchPonderMove = 0;
    tbRootScore = 2147483647;
    multiPvRecordCount = 0;
    lastCurrMoveNumber = 0;
    lastReportedBound = 0;

    tbProbeLimit = 0;
    if (optUseSyzygy.load() && targetSeconds > 0.1)
        tbProbeLimit = std::min(optSyzygyProbeLimit.load(), tbLargestPieceCount());
    main.rootMoveCount = buildRootMoves(main, searchMovesText);
    // A root list restricted by "searchmoves" is searched as given: the tablebase verdict and the
    // book speak for the whole position, not for the listed moves.
    const bool restrictedRoot = !searchMovesText.empty();
    if (!restrictedRoot && int(root.pieceCount) <= tbProbeLimit) filterRootByTablebases(main);
    rootMoveCount = main.rootMoveCount;
    // Until an iteration completes, the answer is the first root move, so that a search stopped at
    // once still names a legal move; "0000" only when there is none.
    if (main.rootMoveCount > 0) {
        lastSearchBestMove = main.rootMoves[0].move;
        moveToText(lastSearchBestMove, bestText);
    }

    if (optHash.load() != 0) ttNewSearch();
    ttDirty = true;

    for (int i = 1; i < threads; ++i) {
        SearchThread& worker = searchThreads[i];
        worker.rootPosition = root;
        linkPositionToThread(worker.rootPosition, i);
        worker.rootMoveCount = main.rootMoveCount;
        for (int m = 0; m <= main.rootMoveCount; ++m) worker.rootMoves[m] = main.rootMoves[m];
    }

    setDeadlines(targetSeconds, hardSeconds, depthLimit);

    int score = 0;
    double easyMeasure = EASY_MOVE_CHANGED;
    Move previousBest = 0;
    bool aborted = false;
    bool iterationStarted = false;
    for (int iteration = 1;; ++iteration) {
        exitOnQuit();
        if (!benchMode) reportIterationStart(iteration);
        iterationStarted = true;
        for (int m = 0; m < main.rootMoveCount; ++m) main.rootMoves[m].nodes = 1;

        if (iteration == 1 && !restrictedRoot) {
            if (Move bookMove = probeBook(root)) {
                moveToText(bookMove, bestText);
                ponderText[0] = 0;
                lastSearchBestMove = bookMove;
                score = 0;
                break;
            }
        }

        startIteration(iteration);
        iterate(root, iteration);
        finishIteration();
        exitOnQuit();

        const bool stoppedNow = stopRequested(0);
        const int iterationScore = main.iterationScores[iteration];
        const Move* line = main.iterationLines[iteration];
        if (iterationScore >= -MATE_SCORE) {
            score = iterationScore;
            if (line[0]) {
                lastSearchBestMove = line[0];
                lastSearchPonderMove = line[1];
                moveToText(line[0], bestText);
                if (line[1])
                    moveToText(line[1], ponderText);
                else
                    ponderText[0] = 0;
            }
        }

        // Easy-move measure: the share of the nodes that the best move keeps drawing.
        if (iteration == 1 || line[0] != previousBest) {
            easyMeasure = EASY_MOVE_CHANGED;
        } else {
            uint64_t total = 0;
            for (int m = 0; m < main.rootMoveCount; ++m) total += main.rootMoves[m].nodes;
            double share = total ? double(main.rootMoves[0].nodes) / double(total) : 0.0;
            easyMeasure = 0.25 * easyMeasure + 0.75 * share;
        }
        previousBest = line[0];
        if (!fixedMoveTime) {
            double factor = std::min(2.0, std::sqrt((1.04 - easyMeasure) * 1.6));
            if (depthLimit > 0 && !stoppedNow) softDeadline = searchStart + targetSeconds * factor;
            logPrintf("easy: %12.2f\n", factor);
        }
        if (stoppedNow) {
            logPrintf("iteration: aborted\n");
            aborted = true;
            break;
        }

        const double now = nowSeconds();
        if (now > softDeadline || (std::abs(score) > MATE_RANGE && now > mateStopTime) ||
            (main.rootMoveCount < 2 && depthLimit < 99 && iteration > 4))
            timeUp = true;
        if (timeUp && !pondering.load()) break;
        if (depthLimit - 1 < 98 && std::abs(score) > MATE_RANGE) break;
        if (iteration >= depthLimit || iteration > ITERATION_CEILING) break;
    }

    if (!aborted) logPrintf("iteration: completed\n");
    static const char* const boundWords[3] = {"exact", "high", "low"};
    logPrintf("itcomp: %d out of %d  %s\n", lastCurrMoveNumber, rootMoveCount, boundWords[lastReportedBound]);
    accumulatedThinkTime += nowSeconds() - searchStart;

    if (pondering.load() || depthLimit > 98) waitForRelease();
    exitOnQuit();

    if (benchMode) {
        searching = false;
        return score;
    }
    if (iterationStarted) reportFinal();
    if (ponderText[0])
        std::printf("bestmove %s ponder %s\n", bestText, ponderText);
    else
        std::printf("bestmove %s\n", bestText);
    logPrintf("bestmove: %s\n", bestText);
    logPrintf("ponder: %s\n", ponderText[0] ? ponderText : "0000");
    std::fflush(stdout);
    searching = false;
    return score;
}
