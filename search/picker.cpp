#include "search/picker.h"

#include "board/attacks.h"
#include "board/bitboard.h"
#include "board/exchange.h"
#include "board/movegen.h"
#include "search/move_tests.h"

namespace {

constexpr uint8_t rowAll[] = {STAGE_HASH, STAGE_CAPTURES, STAGE_KILLER1, STAGE_KILLER2, STAGE_COUNTER1,
                              STAGE_COUNTER2, STAGE_QUIETS, STAGE_DEFERRED, STAGE_END};
constexpr uint8_t rowEvasions[] = {STAGE_HASH, STAGE_EVASIONS, STAGE_DEFERRED, STAGE_END};
constexpr uint8_t rowFutileShallow[] = {STAGE_HASH, STAGE_CAPTURES, STAGE_QUIET_CHECKS, STAGE_PAWN_PUSHES,
                                        STAGE_END};
constexpr uint8_t rowFutile[] = {STAGE_HASH,        STAGE_CAPTURES, STAGE_QUIET_CHECKS,
                                 STAGE_PAWN_PUSHES, STAGE_DEFERRED, STAGE_END};
constexpr uint8_t rowQuiescence[] = {STAGE_HASH, STAGE_CAPTURES_QUIESCENCE, STAGE_END};
constexpr uint8_t rowQuiescenceChecks[] = {STAGE_HASH, STAGE_CAPTURES_QUIESCENCE, STAGE_QUIET_CHECKS_SORTED,
                                           STAGE_PAWN_PUSHES_QUIESCENCE, STAGE_END};
constexpr uint8_t rowQuiescenceNull[] = {STAGE_HASH, STAGE_CAPTURES_QUIESCENCE, STAGE_QUIET_CHECKS_SORTED,
                                         STAGE_END};

const uint8_t* rowOfMode(int mode) {
    switch (mode) {
    case MODE_EVASIONS: return rowEvasions;
    case MODE_FUTILE_SHALLOW: return rowFutileShallow;
    case MODE_FUTILE: return rowFutile;
    case MODE_QUIESCENCE: return rowQuiescence;
    case MODE_QUIESCENCE_CHECKS: return rowQuiescenceChecks;
    case MODE_QUIESCENCE_NULL: return rowQuiescenceNull;
    default: return rowAll;
    }
}

// Descending by whole word: the score in the high half decides, equal scores keep their order.
void insertionSort(Move* list, int count) {
    for (int i = 1; i < count; ++i) {
        Move word = list[i];
        int j = i - 1;
        while (j >= 0 && list[j] < word) {
            list[j + 1] = list[j];
            --j;
        }
        list[j + 1] = word;
    }
}

bool wasServed(const MovePicker& picker, Move move) {
    for (int i = 0; i < picker.servedCount; ++i)
        if (picker.served[i] == move) return true;
    return false;
}

void markServed(MovePicker& picker, Move move) {
    if (picker.servedCount < PICKER_SERVED_SIZE) picker.served[picker.servedCount++] = move;
}

// Killers and counter moves are quiet moves of an earlier node; here they are offered only while
// they are still quiet, since the capture stage has already served every capture and promotion.
bool offerSingle(MovePicker& picker, Move move) {
    move = moveOnly(move);
    if (!move || wasServed(picker, move) || isTactical(*picker.position, move)) return false;
    if (!isPseudoLegal(*picker.position, move)) return false;
    markServed(picker, move);
    return true;
}

void scoreEvasions(MovePicker& picker) {
    const Position& pos = *picker.position;
    Color side = sideToMove(pos);
    for (int i = 0; i < picker.count; ++i) {
        Move move = moveOnly(picker.list[i]);
        Square from = moveFrom(move), to = moveTo(move);
        int flag = moveFlag(move);
        int score;
        if (flag == EN_PASSANT)
            score = 30000;
        else if (flag >= PROMO_QUEEN)
            score = 31000;
        else if (pos.board[to] != 0)
            score = 2 * (15000 + 8 * typeOfCode(pos.board[to]) - typeOfCode(pos.board[from]));
        else if (move == picker.killer1)
            score = 29000;
        else if (move == picker.killer2)
            score = 28000;
        else
            score = historyEntry(pos.historyTable, side, typeOfCode(pos.board[from]), to) / 2;
        picker.list[i] = withScore(move, score);
    }
}

// Single pushes to the 6th or 7th rank with the destination and the square beyond it empty. A
// push that gives check was already served by the quiet-check stage that precedes this one.
int generateAdvancedPushes(const Position& pos, Move* list) {
    Color side = sideToMove(pos);
    int forward = side == WHITE ? 8 : -8;
    Bitboard pawns = pos.pieces[side][PAWN] & (relativeRank5[side] | relativeRank6[side]);
    int count = 0;
    while (pawns) {
        Square from = popLsb(pawns);
        Square to = from + forward;
        if (pos.occupied & (squareBit[to] | squareBit[to + forward])) continue;
        Move move = encodeMove(from, to);
        if (givesCheck(pos, move)) continue;
        list[count++] = move;
    }
    return count;
}

void quietChecks(MovePicker& picker, bool sorted) {
    const Position& pos = *picker.position;
    picker.count = generateQuietChecks(pos, picker.list);
    for (int i = 0; i < picker.count; ++i) {
        Move move = moveOnly(picker.list[i]);
        picker.list[i] = typeOfCode(pos.board[moveFrom(move)]) == KNIGHT ? withScore(move, 99) : move;
    }
    if (sorted) insertionSort(picker.list, picker.count);
}

bool isListStage(int stage) {
    return stage == STAGE_CAPTURES || stage == STAGE_QUIETS || stage == STAGE_EVASIONS ||
           stage == STAGE_QUIET_CHECKS || stage == STAGE_PAWN_PUSHES || stage == STAGE_DEFERRED ||
           stage == STAGE_QUIET_CHECKS_SORTED || stage == STAGE_CAPTURES_QUIESCENCE ||
           stage == STAGE_PAWN_PUSHES_QUIESCENCE;
}

} // namespace

void initPicker(MovePicker& picker, const Position& pos, int mode, Move hashMove, Move killer1, Move killer2,
                Move counter1, Move counter2, int depth) {
    picker.position = &pos;
    picker.stages = rowOfMode(mode);
    picker.stageIndex = 0;
    picker.stage = STAGE_NONE;
    picker.count = 0;
    picker.next = 0;
    picker.hashMove = moveOnly(hashMove);
    picker.killer1 = moveOnly(killer1);
    picker.killer2 = moveOnly(killer2);
    picker.counter1 = moveOnly(counter1);
    picker.counter2 = moveOnly(counter2);
    picker.depth = depth;
    picker.deferLosers = false;
    picker.servedCount = 0;
    picker.deferredCount = 0;
}

Move nextMove(MovePicker& picker) {
    const Position& pos = *picker.position;
    for (;;) {
        if (isListStage(picker.stage)) {
            while (picker.next < picker.count) {
                Move move = moveOnly(picker.list[picker.next++]);
                if (wasServed(picker, move)) continue;
                if (picker.deferLosers && moveFlag(move) != EN_PASSANT &&
                    picker.deferredCount < PICKER_DEFERRED_SIZE && isLosingCapture(pos, move)) {
                    picker.deferred[picker.deferredCount++] = move;
                    continue;
                }
                return move;
            }
        }

        picker.stage = picker.stages[picker.stageIndex];
        if (picker.stage == STAGE_END) return 0;
        ++picker.stageIndex;
        picker.count = 0;
        picker.next = 0;
        picker.deferLosers = false;

        switch (picker.stage) {
        case STAGE_HASH:
            if (picker.hashMove && isPseudoLegal(pos, picker.hashMove)) {
                markServed(picker, picker.hashMove);
                return picker.hashMove;
            }
            break;
        case STAGE_CAPTURES:
        case STAGE_CAPTURES_QUIESCENCE:
            picker.count = generateCaptures(pos, picker.list);
            insertionSort(picker.list, picker.count);
            picker.deferLosers = picker.stage == STAGE_CAPTURES;
            break;
        case STAGE_KILLER1:
            if (offerSingle(picker, picker.killer1)) return picker.killer1;
            break;
        case STAGE_KILLER2:
            if (offerSingle(picker, picker.killer2)) return picker.killer2;
            break;
        case STAGE_COUNTER1:
            if (offerSingle(picker, picker.counter1)) return picker.counter1;
            break;
        case STAGE_COUNTER2:
            if (offerSingle(picker, picker.counter2)) return picker.counter2;
            break;
        case STAGE_QUIETS:
            picker.count = generateQuiets(pos, picker.list);
            insertionSort(picker.list, picker.count);
            picker.deferLosers = picker.depth >= 12;
            break;
        case STAGE_EVASIONS:
            picker.count = generateEvasions(pos, picker.list);
            scoreEvasions(picker);
            insertionSort(picker.list, picker.count);
            picker.deferLosers = true;
            break;
        case STAGE_QUIET_CHECKS: quietChecks(picker, false); break;
        case STAGE_QUIET_CHECKS_SORTED: quietChecks(picker, true); break;
        case STAGE_PAWN_PUSHES:
        case STAGE_PAWN_PUSHES_QUIESCENCE:
            picker.count = generateAdvancedPushes(pos, picker.list);
            picker.deferLosers = picker.stage == STAGE_PAWN_PUSHES;
            break;
        case STAGE_DEFERRED:
            for (int i = 0; i < picker.deferredCount; ++i) picker.list[i] = picker.deferred[i];
            picker.count = picker.deferredCount;
            break;
        default: break;
        }
    }
}
