// The staged move picker: hands out the moves of one node one at a time, generating each class
// of moves only when the previous class is used up.
//
// List entries are 32-bit words: the move in the low 16 bits and an ordering score in the high
// 16 bits; sorting compares whole words, so a higher score comes first and equal scores keep
// generation order.
#pragma once

#include <cstdint>

#include "board/position.h"
#include "board/types.h"

// Stage codes.
enum PickerStage : int {
    STAGE_NONE = 0,
    STAGE_HASH = 1,          // the hash move
    STAGE_CAPTURES = 2,      // captures and promotions, sorted, losers deferred
    STAGE_KILLER1 = 3,
    STAGE_KILLER2 = 4,
    STAGE_COUNTER1 = 5,
    STAGE_COUNTER2 = 6,
    STAGE_QUIETS = 7,        // quiet moves by history, losers deferred from depth 12 on
    STAGE_EVASIONS = 8,      // check evasions, scored, losers deferred
    STAGE_QUIET_CHECKS = 9,  // quiet checking moves, unsorted
    STAGE_PAWN_PUSHES = 10,  // pushes to the 6th or 7th rank with a free square beyond, losers deferred
    STAGE_DEFERRED = 11,     // the moves put aside as losing, in the order they were put aside
    STAGE_END = 12,
    STAGE_QUIET_CHECKS_SORTED = 13,
    STAGE_CAPTURES_QUIESCENCE = 14,
    STAGE_PAWN_PUSHES_QUIESCENCE = 15,
};

// Modes: rows of the stage table.
enum PickerMode : int {
    MODE_ALL = 0,               // ordinary node and root enumeration
    MODE_EVASIONS = 4,          // in check
    MODE_FUTILE_SHALLOW = 5,    // futile node, depth/2 <= 4
    MODE_FUTILE = 6,            // futile node, depth/2 5 .. 7
    MODE_QUIESCENCE = 7,        // captures only
    MODE_QUIESCENCE_CHECKS = 8, // captures, quiet checks and pawn pushes to the 7th rank
    MODE_QUIESCENCE_NULL = 10,  // captures and quiet checks
};

constexpr int PICKER_LIST_SIZE = 256;
constexpr int PICKER_SERVED_SIZE = 6;
constexpr int PICKER_DEFERRED_SIZE = 64;

struct MovePicker {
    const Position* position;
    const uint8_t* stages; // the mode's row, ended by STAGE_END
    int stageIndex;
    int stage;             // the stage code being served
    int count;
    int next;
    Move hashMove;
    Move killer1;
    Move killer2;
    Move counter1;
    Move counter2;
    int depth;
    bool deferLosers;
    int servedCount;
    int deferredCount;
    Move served[PICKER_SERVED_SIZE];
    Move deferred[PICKER_DEFERRED_SIZE];
    Move list[PICKER_LIST_SIZE];
};

void initPicker(MovePicker& picker, const Position& pos, int mode, Move hashMove, Move killer1, Move killer2,
                Move counter1, Move counter2, int depth);

// The next move (16-bit value), or 0 when every stage is exhausted. `picker.stage` then tells
// which stage served it.
Move nextMove(MovePicker& picker);
