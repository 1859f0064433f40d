// The main alpha-beta search below the root: searchNonPV for null-window nodes and searchPV for
// nodes on the principal variation. Both walk their moves in picker order; the pruning,
// reduction and extension decisions live in the helpers of this file.
#include "search/search.h"

#include <algorithm>

#include "board/attacks.h"
#include "board/bitboard.h"
#include "board/exchange.h"
#include "board/makemove.h"
#include "board/threat.h"
#include "eval/evaluate.h"
#include "search/move_tests.h"
#include "search/node_helpers.h"
#include "search/picker.h"
#include "search/poll.h"
#include "search/search_internal.h"
#include "search/search_params.h"
#include "search/search_tables.h"
#include "tablebase/tablebase.h"
#include "uci/settings.h"

namespace {

constexpr int NO_RESULT = -1000000; // a pruning step that did not end the node

// The facts about a node that its pruning, reduction and extension helpers share.
struct Node {
    Position& pos;
    int beta;
    int depth;
    int ply;
    int cut;
    Color us;
    bool inCheck;
    bool improving;
    int eval;          // pruning value: the static evaluation refined by the table
    TableHit hit;
    Move hashMove;
    Move killer1, killer2, counter1, counter2;
    Bitboard safeZone; // pawn-safe zone of the side to move
};

bool isImproving(const Position& pos, int ply) {
    if (ply < 2) return true;
    const Position* grandparent = pos.parent ? pos.parent->parent : nullptr;
    if (!grandparent) return true;
    return grandparent->staticEval == NO_SCORE || pos.staticEval >= grandparent->staticEval;
}

bool isPawnMove(const Position& pos, Move move) { return typeOfCode(pos.board[moveFrom(move)]) == PAWN; }

bool pawnIntoZone(const Node& n, Move move) {
    return isPawnMove(n.pos, move) && (n.safeZone & squareBit[moveTo(move)]);
}

// A pawn move to the 6th or 7th rank, or to the 5th rank inside the pawn-safe zone.
bool advancedPawnMove(const Node& n, Move move) {
    if (!isPawnMove(n.pos, move)) return false;
    int rank = relativeRank(n.us, moveTo(move));
    return rank == 5 || rank == 6 || (rank == 4 && (n.safeZone & squareBit[moveTo(move)]));
}

// Moving a piece straight back from where our previous move put it: scored as a draw.
bool isReverseMove(const Node& n, Move move, int drawValue) {
    const Position& pos = n.pos;
    if (n.inCheck || pos.halfmoveClock < 2 || drawValue >= n.beta || moveFlag(move) != NORMAL || n.depth > 9)
        return false;
    Move previous = pos.parent ? pos.parent->lastMove : 0;
    if (!previous || moveFrom(move) != moveTo(previous) || moveTo(move) != moveFrom(previous)) return false;
    uint8_t target = pos.board[moveTo(move)];
    return !(target && colorOfCode(target) != n.us);
}

int historyValue(const Position& pos, Move move) {
    return historyOf(pos, typeOfCode(pos.board[moveFrom(move)]), move);
}

// Table cut-off of a null-window node. A terminal entry is a proven mate or stalemate and cuts at
// any depth (except a stalemate's 0); other entries need enough depth and a bound on the right
// side of beta.
bool tableCuts(const TableHit& hit, int depth, int beta, bool& lowerBoundCut) {
    lowerBoundCut = false;
    if (!hit.found) return false;
    if (hit.terminal()) return hit.score != 0;
    if (hit.depth < depth) return false;
    if ((hit.flags & BOUND_LOWER) && hit.score >= beta) return lowerBoundCut = true;
    return (hit.flags & BOUND_UPPER) && hit.score < beta;
}

int tableCutScore(SearchThread& thread, const Position& pos, int ply, const TableHit& hit, bool lowerBoundCut) {
    Move move = moveOnly(hit.move);
    if (lowerBoundCut && move && isPlainQuiet(pos, move)) recordQuietSuccess(thread, pos, ply, move);
    return hit.score;
}

int lazyEvaluation(Position& pos, int beta, int depth) {
    if (depth > 17) return evaluate(pos, -FULL_WINDOW, FULL_WINDOW);
    if (depth < 4) return evaluate(pos, beta - 200, beta + 200);
    int width = 8 * depth + 250;
    return evaluate(pos, beta - width, beta + width);
}

bool probeTablebases(Position& pos, int depth, int ply, int& score) {
    if (depth < optSyzygyProbeDepth.load(std::memory_order_relaxed) || int(pos.pieceCount) > tbProbeLimit)
        return false;
    if (!tbSearchScore(pos, ply, &score)) return false;
    pos.staticEval = score;
    return true;
}

// Depth 1 of a null-window node: searched one ply deeper when the static value is close to
// beta, otherwise settled by the static value or the quiescence search.
int frontierNonPV(Position& pos, int beta, int ply, Move* pv, uint64_t key, int noNull, int cut) {
    if (pos.frontierExtended || pos.inCheck) return qsearch(pos, beta - 1, beta, 0, ply, pv);
    TableHit hit = probeTable(key, ply);
    bool lowerBoundCut;
    if (hit.found && hit.depth >= 3 && tableCuts(hit, 1, beta, lowerBoundCut))
        return tableCutScore(threadOf(pos), pos, ply, hit, lowerBoundCut);
    int eval = evaluate(pos, beta - 200, beta + 200);
    pos.staticEval = eval;
    if (beta - 10 <= eval && eval < beta + 45 * cut + 30) {
        pos.frontierExtended = 1;
        return searchNonPV(pos, beta, 2, ply, pv, 0, noNull, cut);
    }
    eval = refineWithTable(eval, hit);
    if (eval >= beta) return eval;
    return qsearch(pos, beta - 1, beta, 0, ply, pv);
}

// Trims the depth of a node whose side is clearly winning, unless enemy pawns are far advanced.
void trimWinningDepth(Node& n) {
    const Position& pos = n.pos;
    int raw = pos.staticEval;
    Color them = ~n.us;
    if (raw > 400 && n.depth >= 4 && raw > n.beta &&
        !(pos.pieces[them][PAWN] & (relativeRank6[them] | relativeRank7[them])))
        n.depth -= pos.pieces[them][QUEEN] ? 1 : 2;
}

// Static null move and, at depth 6 and more, the null move itself. Returns a score that ends
// the node, or NO_RESULT; `skipRazoring` is set when a failed verification must go straight to
// the move loop.
int nullMovePruning(Node& n, int noNull, Move* pv, bool& skipRazoring) {
    Position& pos = n.pos;
    const int beta = n.beta;
    if (n.eval < beta + 15 - n.cut * std::min(n.depth, 25) || noNull || std::abs(beta) > MATE_RANGE ||
        !optNullMovePruning.load(std::memory_order_relaxed) ||
        !(pos.pieces[n.us][0] & ~(pos.pieces[n.us][PAWN] | pos.pieces[n.us][KING])))
        return NO_RESULT;

    if (n.depth <= 9) {
        int margin = staticNullMargin[n.cut][n.depth];
        if (pos.movedType == PAWN && pos.lastMove && relativeRank(~n.us, moveTo(pos.lastMove)) == 6) margin += 100;
        if (n.eval - margin >= beta) return n.eval - margin;
    }
    if (n.depth <= 5) {
        int margin = shallowThreatMargin[n.depth];
        if (n.eval - margin >= beta) {
            const Position* parent = pos.parent;
            bool full = n.depth >= 4 || (parent && (parent->inCheck || parent->capturedType > 0));
            margin += threatBonus[std::min(full ? fullThreat(pos) : lastMoveThreat(pos), 19)];
            if (n.eval - margin >= beta) return n.eval - margin;
        }
        return NO_RESULT;
    }

    const int reduction = (std::min(n.eval - beta, 500) / 25 + n.depth + (pos.phase < 24 ? 6 : 10)) / 4;
    const int childDepth = n.depth - 2 - reduction;
    Position child;
    makeMove(pos, child, 0);
    child.childReduction = 0;
    Move childPv[MAX_PV];
    int value = childDepth > 1 ? -searchNonPV(child, 1 - beta, childDepth, n.ply + 1, childPv, 0, 1, 1)
                               : -qsearch(child, -beta, 1 - beta, 0, n.ply, childPv);
    if (stopped(pos)) return 0;
    if (value >= 29001) value = beta; // no unproven mate from a null move

    // The null move failed badly at a node the parent searches reduced: a threat the reduction
    // may have hidden.
    const Position* parent = pos.parent;
    if (parent && parent->childReduction != 0 && value < beta - 100) {
        if (parent->childReduction < 4) return value;
        n.depth += 2;
    }
    if (value >= beta) {
        if (n.depth < 24) return value;
        int verified = searchNonPV(pos, beta, n.depth - 12, n.ply, pv, 0, 1, 0);
        if (stopped(pos)) return 0;
        if (verified >= beta) return value;
        skipRazoring = true;
    }
    return NO_RESULT;
}

enum class Verdict { Search, Prune, General, Shallow };

// Decides before make whether a move of a null-window node is searched (step by step: the quiet
// rules, the general rule and the shallow test).
Verdict pruneVerdict(const Node& n, Move move, int stage, int movesSeen, int movesSearched, int lateMoveLimit) {
    const Position& pos = n.pos;
    Verdict verdict = Verdict::General;
    if (!n.inCheck && movesSearched >= 1 && n.depth <= 25 && stage != STAGE_QUIET_CHECKS &&
        pos.board[moveTo(move)] == 0) {
        bool favoured = move == n.killer1 || move == n.killer2 || move == n.counter1;
        int flag = moveFlag(move);
        if (!favoured && movesSeen > lateMoveLimit && (flag == NORMAL || flag == DOUBLE_PUSH)) {
            verdict = (advancedPawnMove(n, move) || givesCheck(pos, move)) ? Verdict::General : Verdict::Prune;
        } else if (n.depth / 2 < 3) {
            verdict = stage == STAGE_CAPTURES ? Verdict::Search : Verdict::Shallow;
        } else if (n.depth >= 12 || !isLosingCapture(pos, move)) {
            verdict = Verdict::Search;
        } else {
            verdict = (advancedPawnMove(n, move) || givesCheck(pos, move)) ? Verdict::General : Verdict::Prune;
        }
    } else if (n.inCheck && movesSearched == 0) {
        verdict = Verdict::Search;
    }
    if (verdict == Verdict::General) verdict = n.depth / 2 > 2 ? Verdict::Search : Verdict::Shallow;
    if (verdict != Verdict::Shallow) return verdict;
    if (stage == STAGE_CAPTURES || stage == STAGE_EVASIONS) return Verdict::Search;
    if (stage != STAGE_DEFERRED && !isLosingCapture(pos, move)) return Verdict::Search;
    // A pinned piece leaving its line is illegal: make-move rejects it without counting it.
    if (movesPinnedPiece(pos, n.us, move)) return Verdict::Search;
    return Verdict::Prune;
}

// Hash-move extension of a null-window node.
int hashMoveExtension(const Node& n, bool tactical) {
    const TableHit& hit = n.hit;
    if (n.depth < 6) return 0;
    if (n.depth > 10 && (tactical || n.inCheck)) return 0;
    if (n.depth > 13 && hit.bound() == BOUND_LOWER) return 0;
    if (!(!tactical || n.eval <= n.beta + 19) || n.eval > 399) return 0;
    return hit.depth >= n.depth - 11 ? 1 : 0;
}

// Late-move reduction of a null-window node, in half-plies (below 2 means none).
int reductionNonPV(const Node& n, Move move, int stage, int movesSeen, int movesSearched, int history) {
    const Position& pos = n.pos;
    int r = lmrNonPV[n.improving][std::min(n.depth, 63)][std::min(movesSearched, 63)];
    if (move == n.counter1 || move == n.counter2) r -= 2;
    if (pawnIntoZone(n, move)) r -= 2;
    if (history > 24000) r -= 2;
    if (n.cut) r += n.inCheck ? 1 : 2;
    if (!(history >= historyThreshold[std::min(movesSeen, 399)] && stage != STAGE_DEFERRED)) r += 1;
    if (pos.phase > 48 && r >= 2 && !n.inCheck && typeOfCode(pos.board[moveFrom(move)]) != KING &&
        !originIsSafe(pos, move) && !isLosingCapture(pos, move))
        r -= 2; // the piece escapes a threat: search it deeper
    return r;
}

// Late-move reduction of a PV node.
int reductionPV(const Node& n, Move move, int movesSeen, int movesSearched, int history, int stage) {
    const Position& pos = n.pos;
    int r = lmrPV[n.improving][std::min(n.depth, 63)][std::min(movesSearched, 63)];
    if (move == n.counter2) r -= 2;
    if (pawnIntoZone(n, move)) r -= 2;
    if (history > 24000) r -= 2;
    if (!(history >= historyThreshold[std::min(movesSeen, 399)] && stage != STAGE_DEFERRED)) r += 1;
    if (pos.phase > 48 && n.depth <= 15 && r >= 2 && !n.inCheck && typeOfCode(pos.board[moveFrom(move)]) != KING &&
        !originIsSafe(pos, move) && !isLosingCapture(pos, move))
        r -= 2;
    return r;
}

void prepareMoveLoop(Node& n, SearchThread& thread) {
    const PlyMoves& plyMoves = thread.plyMoves[n.ply];
    n.killer1 = plyMoves.killer1;
    n.killer2 = plyMoves.killer2;
    counterMovesFor(thread, n.pos, n.counter1, n.counter2);
    n.safeZone = pawnSafeZone(n.pos);
    thread.plyMoves[n.ply + 2].killer1 = thread.plyMoves[n.ply + 2].killer2 = 0;
}

// In check the ply's evasion move takes the first killer slot of the picker.
void startPicker(MovePicker& picker, const Node& n, int mode, SearchThread& thread) {
    if (n.inCheck)
        initPicker(picker, n.pos, mode, n.hashMove, thread.plyMoves[n.ply].evasion, n.killer1, n.counter1,
                   n.counter2, n.depth);
    else
        initPicker(picker, n.pos, mode, n.hashMove, n.killer1, n.killer2, n.counter1, n.counter2, n.depth);
}

} // namespace

int searchNonPV(Position& pos, int beta, int depth, int ply, Move* pv, Move excluded, int noNull, int cutNode) {
    pv[0] = 0;
    if (stopped(pos)) return 0;
    pos.childReduction = 0;
    if (periodicCheck(pos.threadIndex)) return 0;
    if (ply >= MAX_PLY) return evaluate(pos, -FULL_WINDOW, FULL_WINDOW);
    pos.searchPly = uint8_t(ply);

    // Mate-distance bounds; from here on beta is the upper one.
    {
        int lo = std::max(ply - MATE_SCORE, beta - 1), hi = std::min(MATE_SCORE - 1 - ply, beta);
        if (hi <= lo) return lo;
        beta = hi;
    }
    const int cut = cutNode ? 1 : 0;
    const uint64_t key = excluded ? pos.key ^ exclusionKey(excluded) : pos.key;
    if (depth < 2) {
        if (depth != 1) return qsearch(pos, beta - 1, beta, 0, ply, pv);
        return frontierNonPV(pos, beta, ply, pv, key, noNull, cut);
    }

    SearchThread& thread = threadOf(pos);
    Node n{pos, beta, depth, ply, cut, sideToMove(pos), pos.inCheck != 0, true, NO_SCORE, {}, 0, 0, 0, 0, 0, 0};
    n.hit = probeTable(key, ply);
    n.hashMove = moveOnly(n.hit.move);
    bool lowerBoundCut;
    if (tableCuts(n.hit, depth, beta, lowerBoundCut)) return tableCutScore(thread, pos, ply, n.hit, lowerBoundCut);
    auto singularCandidate = [&] {
        return n.hashMove && !excluded && n.depth / 2 <= n.hit.depth && n.hit.bound() == BOUND_LOWER;
    };
    bool singular = singularCandidate();

    int tbScore;
    if (probeTablebases(pos, depth, ply, tbScore)) return tbScore;

    if (!n.inCheck) {
        pos.staticEval = lazyEvaluation(pos, beta, depth);
        n.eval = refineWithTable(pos.staticEval, n.hit);
    } else {
        pos.staticEval = NO_SCORE;
    }
    n.improving = isImproving(pos, ply);

    if (!n.inCheck) {
        trimWinningDepth(n);
        bool skipRazoring = false;
        int result = nullMovePruning(n, noNull, pv, skipRazoring);
        if (result != NO_RESULT) return result;
        if (!skipRazoring && n.depth <= 7 && !n.hashMove && beta - razorMargin[n.depth] > n.eval && pos.lastMove)
            return qsearch(pos, beta - 1, beta, 0, ply, pv);
        // Internal iterative deepening finds a move to try first.
        if (n.depth > 13 && !n.hashMove && !noNull && !(cut == 0 && n.eval + 50 < beta) && !(n.eval > beta + 149)) {
            searchNonPV(pos, beta, n.depth - 8, ply, pv, 0, 1, 1);
            if (stopped(pos)) return 0;
            n.hit = probeTable(key, ply);
            n.hashMove = moveOnly(n.hit.move);
            singular = singularCandidate();
        }
    }
    depth = n.depth;

    prepareMoveLoop(n, thread);
    int best = -NO_SCORE;
    int mode = MODE_ALL;
    bool futile = false;
    if (n.inCheck) {
        mode = MODE_EVASIONS;
    } else if (depth / 2 <= 7 && pos.staticEval + futilityMargin[depth][cut] < beta) {
        futile = true; // only tactical moves can lift this node
        mode = depth / 2 > 4 ? MODE_FUTILE : MODE_FUTILE_SHALLOW;
        best = pos.staticEval;
    }
    MovePicker picker;
    startPicker(picker, n, mode, thread);

    const bool extensionsAllowed = pos.extensionSum < 2 * ply - ply / 2;
    const int drawValue = drawValueAt(ply);
    const int lateMoveLimit = lateMoveCount[std::min(25, std::max(0, depth - cut - (n.improving ? 0 : 3)))];
    const int singularBeta = std::min(n.hit.score, beta) - depth / 2;
    const bool useLmr = optUseLmr.load(std::memory_order_relaxed) != 0;

    int movesSeen = 0, movesSearched = 0;
    bool prunedAny = false, shortcutTaken = false, drawSeen = false;
    Move lastHandled = 0, cutMove = 0;
    int cutMoveType = 0, cutMoveIndex = -1;
    QuietList quiets;
    Position child;
    Move childPv[MAX_PV];

    while (Move move = nextMove(picker)) {
        if (move == excluded) continue;
        if (depth < 30 && isUnderPromotion(move)) continue;
        const int stage = picker.stage;
        const bool tactical = isTactical(pos, move);
        const int moverType = typeOfCode(pos.board[moveFrom(move)]);
        int value;
        bool moveDraw = false;
        int quietIndex = -1;

        if (isReverseMove(n, move, drawValue)) {
            value = drawValue;
            shortcutTaken = true;
        } else {
            Verdict verdict = pruneVerdict(n, move, stage, movesSeen, movesSearched, lateMoveLimit);
            if (verdict == Verdict::Prune) {
                ++movesSeen;
                prunedAny = true;
                continue;
            }
            if (!makeChild(pos, child, move)) continue;
            ++movesSeen;
            ++movesSearched;
            if (!tactical) {
                quietIndex = quiets.count;
                quiets.add(moverType, historySquare(move));
            }

            if (!tactical && isDrawnByRule(child)) {
                value = drawValue;
                moveDraw = true;
            } else {
                int ext = 0;
                if (extensionsAllowed) {
                    if (child.inCheck) {
                        ext = move == n.hashMove ? 2 : 1;
                        if (n.inCheck && drawScore >= beta) ext += 1;
                    }
                    if (pos.phase < 25 && pawnIntoZone(n, move) &&
                        (depth / 2 <= 2 || stage == STAGE_CAPTURES || stage == STAGE_EVASIONS ||
                         (stage != STAGE_DEFERRED && !isLosingCapture(pos, move))))
                        ext += 1;
                    if (move == n.hashMove && moveTo(move) == moveTo(pos.lastMove) && pos.lastMove &&
                        pos.capturedType >= 2 && child.capturedType >= 2)
                        ext += 1; // recapture
                    if (move == n.hashMove && ext == 0) ext = hashMoveExtension(n, tactical);
                    if (move == n.hashMove && ext < 2 && singular && n.hit.score <= 3899 && depth > 13) {
                        int v = searchNonPV(pos, singularBeta, depth / 2, ply, childPv, n.hashMove, 1, cut);
                        if (stopped(pos)) return 0;
                        if (v < singularBeta) ext += 2;
                    }
                    ext = std::min(ext, 2);
                    if (child.phase == 0 && child.capturedType >= 2) ext = 4; // into a pawn ending
                }
                child.extensionSum = int16_t(child.extensionSum + ext);
                const int newDepth = depth + ext;

                bool full = newDepth < 6 || move == n.hashMove || move == n.killer1 || move == n.killer2 ||
                            tactical || !useLmr;
                if (!full) {
                    int r = reductionNonPV(n, move, stage, movesSeen, movesSearched, historyValue(pos, move));
                    if (r < 2) {
                        full = true;
                    } else {
                        pos.childReduction = uint8_t(r);
                        value = -searchNonPV(child, 1 - beta, newDepth - 2 - r, ply + 1, childPv, 0, 0, 1);
                        pos.childReduction = 0;
                        if (stopped(pos)) return 0;
                        if (value >= beta && r > 7) {
                            pos.childReduction = 4;
                            value = -searchNonPV(child, 1 - beta, newDepth - 6, ply + 1, childPv, 0, 0, 1);
                            pos.childReduction = 0;
                            if (stopped(pos)) return 0;
                        }
                        full = value >= beta;
                    }
                }
                if (full) value = -searchNonPV(child, 1 - beta, newDepth - 2, ply + 1, childPv, 0, 0, !cut);
            }
        }
        if (stopped(pos)) return 0;
        lastHandled = move;
        if (value > best) {
            best = value;
            drawSeen = moveDraw;
            if (best >= beta) {
                cutMove = move;
                cutMoveType = moverType;
                cutMoveIndex = quietIndex >= 0 ? quietIndex : quiets.count;
                break;
            }
        }
    }

    pv[0] = lastHandled;
    pv[1] = 0;
    if (cutMove && !isTactical(pos, cutMove) && !excluded) {
        recordQuietSuccess(thread, pos, ply, cutMove);
        if (!n.inCheck)
            rewardHistory(pos, quiets, cutMoveIndex, cutMoveType, cutMove, depth, beta - 74 <= pos.staticEval, false);
    }
    if (stopped(pos)) return 0;

    if (prunedAny && best == -NO_SCORE && movesSearched == 0) best = beta - 1;
    if (excluded && best < beta) best = beta - 1;
    if (movesSearched == 0 && !futile && !excluded && !prunedAny && !shortcutTaken) {
        best = n.inCheck ? ply - MATE_SCORE : 0;
        storeTable(key, depth, best, BOUND_EXACT | BOUND_TERMINAL, 0, cut, ply);
        return best;
    }
    if (drawSeen) return best;
    if (best < beta)
        storeTable(key, depth, best, BOUND_UPPER, 0, cut, ply);
    else
        storeTable(key, depth, best, BOUND_LOWER, pv[0], cut, ply);
    return best;
}

namespace {

// Depth 1 of a PV node: searched one ply deeper (once) when in check, when the static value is
// just below beta, or when it is inside the window while the opponent threatens something.
int frontierPV(Position& pos, int alpha, int beta, int depth, int ply, Move* pv) {
    if (depth == 1 && !pos.frontierExtended) {
        bool raise = pos.inCheck != 0;
        if (!raise) {
            int eval = evaluate(pos, -FULL_WINDOW, FULL_WINDOW);
            pos.staticEval = eval;
            raise = (beta - 99 <= eval && eval < beta) || (alpha <= eval && eval <= beta + 99 && fullThreat(pos) != 0);
        }
        if (raise) {
            pos.frontierExtended = 1;
            return searchPV(pos, alpha, beta, 2, ply, pv);
        }
    }
    return qsearch(pos, alpha, beta, 0, ply, pv);
}

// Pruning in a PV node, at depth 2 or 3 after the first move: late plain quiet moves once ten
// moves are searched, and any move that loses material.
bool prunePV(const Node& n, Move move, int stage, int movesSearched) {
    if (movesSearched < 1 || n.inCheck || (n.depth != 2 && n.depth != 3)) return false;
    const Position& pos = n.pos;
    if (stage != STAGE_QUIET_CHECKS && isPlainQuiet(pos, move) && move != n.killer1 && move != n.killer2 &&
        move != n.counter1 && movesSearched >= 10 && !advancedPawnMove(n, move) && !givesCheck(pos, move))
        return true;
    return isLosingCapture(pos, move) && !movesPinnedPiece(pos, n.us, move);
}

} // namespace

int searchPV(Position& pos, int alpha, int beta, int depth, int ply, Move* pv) {
    pv[0] = 0;
    if (stopped(pos)) return 0;
    pos.childReduction = 0;
    if (periodicCheck(pos.threadIndex)) return 0;
    if (ply >= MAX_PLY) return evaluate(pos, -FULL_WINDOW, FULL_WINDOW);
    pos.searchPly = uint8_t(ply);

    const int alphaAsCalled = alpha;
    alpha = std::max(ply - MATE_SCORE, alpha);
    beta = std::min(MATE_SCORE - 1 - ply, beta);
    if (alpha >= beta) return alpha;
    if (depth < 2) return frontierPV(pos, alpha, beta, depth, ply, pv);

    SearchThread& thread = threadOf(pos);
    Node n{pos, beta, depth, ply, 0, sideToMove(pos), pos.inCheck != 0, true, NO_SCORE, {}, 0, 0, 0, 0, 0, 0};
    n.hit = probeTable(pos.key, ply);
    n.hashMove = moveOnly(n.hit.move);
    // Only a proven mate is taken from the table here; other entries just offer their move.
    if (n.hit.found && n.hit.terminal() && n.hit.score != 0) return n.hit.score;

    int tbScore;
    if (probeTablebases(pos, depth, ply, tbScore)) return tbScore;

    pos.staticEval = n.inCheck ? NO_SCORE : evaluate(pos, -FULL_WINDOW, FULL_WINDOW);
    n.eval = pos.staticEval;
    n.improving = isImproving(pos, ply);

    // Internal iterative deepening when the table has no move, or only a much shallower one.
    if ((!n.hashMove || n.hit.depth < depth - 6) && depth > 9) {
        searchPV(pos, alpha, beta, depth - 4, ply, pv);
        if (stopped(pos)) return 0;
        pv[0] = 0;
        n.hit = probeTable(pos.key, ply);
        n.hashMove = moveOnly(n.hit.move);
    }

    prepareMoveLoop(n, thread);
    MovePicker picker;
    startPicker(picker, n, n.inCheck ? MODE_EVASIONS : MODE_ALL, thread);

    const bool extensionsAllowed = pos.extensionSum < 2 * ply - ply / 2;
    const int drawValue = drawValueAt(ply);
    const bool useLmr = optUseLmr.load(std::memory_order_relaxed) != 0;
    const bool singularAllowed = n.hashMove && n.hit.found && !n.inCheck && depth >= 14 && n.hit.score <= 3899 &&
                                 n.hit.depth >= depth - 10;
    const int singularBeta = n.hit.score - 3 * depth / 8;

    int best = -NO_SCORE;
    int movesSeen = 0, movesSearched = 0;
    bool prunedAny = false, shortcutTaken = false, drawSeen = false;
    Move bestMove = 0;
    int bestMoveType = 0, bestMoveIndex = -1;
    QuietList quiets;
    Position child;
    Move childPv[MAX_PV];

    while (Move move = nextMove(picker)) {
        if (depth < 20 && isUnderPromotion(move)) continue;
        const int stage = picker.stage;
        const bool tactical = isTactical(pos, move);
        const int moverType = typeOfCode(pos.board[moveFrom(move)]);
        int value;
        bool moveDraw = false;
        int quietIndex = -1;
        childPv[0] = 0;

        if (isReverseMove(n, move, drawValue)) {
            value = drawValue;
            shortcutTaken = true;
        } else {
            if (prunePV(n, move, stage, movesSearched)) {
                ++movesSeen;
                prunedAny = true;
                continue;
            }
            if (!makeChild(pos, child, move)) continue;
            ++movesSeen;
            ++movesSearched;
            if (!tactical) {
                quietIndex = quiets.count;
                quiets.add(moverType, historySquare(move));
            }

            if (!tactical && isDrawnByRule(child)) {
                value = drawValue;
                moveDraw = true;
            } else {
                int ext = 0;
                bool capturesStage = stage == STAGE_CAPTURES;
                if (extensionsAllowed) {
                    ext = (n.inCheck ? 1 : 0) + (child.inCheck ? 1 : 0) + (capturesStage ? 1 : 0);
                    if (pos.phase < 25 && pawnIntoZone(n, move)) ext += 1;
                    if (move == n.hashMove && ext < 2 && singularAllowed) {
                        int v = searchNonPV(pos, singularBeta, depth - 10, ply, childPv, n.hashMove, 1, 0);
                        if (stopped(pos)) return 0;
                        if (v < singularBeta) ext += 1;
                    }
                    ext = std::min(ext, 2);
                    if (child.phase == 0 && child.capturedType >= 2) ext = 4;
                }
                child.extensionSum = int16_t(child.extensionSum + ext);
                const int newDepth = depth + ext;

                if (movesSearched == 1) {
                    value = -searchPV(child, -beta, -alpha, newDepth - 2, ply + 1, childPv);
                } else {
                    bool full = true;
                    bool reducible = !(newDepth < 6 || move == n.hashMove || move == n.killer1 ||
                                       move == n.killer2 || move == n.counter1 || tactical || capturesStage ||
                                       !useLmr);
                    if (reducible) {
                        int r = reductionPV(n, move, movesSeen, movesSearched, historyValue(pos, move), stage);
                        if (r >= 2) {
                            pos.childReduction = uint8_t(r);
                            value = -searchNonPV(child, -alpha, newDepth - 2 - r, ply + 1, childPv, 0, 0, 1);
                            pos.childReduction = 0;
                            if (stopped(pos)) return 0;
                            if (value > alpha && r > 7) {
                                pos.childReduction = 4;
                                value = -searchNonPV(child, -alpha, newDepth - 6, ply + 1, childPv, 0, 0, 1);
                                pos.childReduction = 0;
                                if (stopped(pos)) return 0;
                            }
                            full = value > alpha;
                        }
                    }
                    if (full) {
                        value = -searchNonPV(child, -alpha, newDepth - 2, ply + 1, childPv, 0, 0, 0);
                        if (stopped(pos)) return 0;
                        if (value > alpha && value < beta)
                            value = -searchPV(child, -beta, -alpha, newDepth - 2, ply + 1, childPv);
                    }
                }
            }
        }
        if (stopped(pos)) return 0;
        if (value > best) {
            best = value;
            drawSeen = moveDraw;
            if (value > alpha) {
                copyLine(pv, move, childPv);
                bestMove = move;
                bestMoveType = moverType;
                bestMoveIndex = quietIndex >= 0 ? quietIndex : quiets.count;
                if (value < beta) {
                    if (!moveDraw) storeTable(pos.key, depth, value, BOUND_LOWER, move, 0, ply);
                    alpha = value;
                }
            }
            if (best >= beta) break;
        }
    }
    if (stopped(pos)) return 0;

    if (bestMove && !isTactical(pos, bestMove)) {
        recordQuietSuccess(thread, pos, ply, bestMove);
        if (!n.inCheck) rewardHistory(pos, quiets, bestMoveIndex, bestMoveType, bestMove, depth, true, true);
    }

    if (movesSearched == 0 && !prunedAny && !shortcutTaken) {
        best = n.inCheck ? ply - MATE_SCORE : 0;
        storeTable(pos.key, depth, best, BOUND_EXACT | BOUND_TERMINAL, 0, 0, ply);
        return best;
    }
    if (drawSeen) return best;
    if (best <= alphaAsCalled)
        storeTable(pos.key, depth, best, BOUND_UPPER, 0, 0, ply);
    else if (best < beta)
        storeTable(pos.key, depth, best, BOUND_EXACT, pv[0], 0, ply);
    else
        storeTable(pos.key, depth, best, BOUND_LOWER, pv[0], 0, ply);
    return best;
}
