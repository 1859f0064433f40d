// State of the root search that the driver reads back after an iteration.
#pragma once

#include "board/types.h"
#include "search/search_thread.h"

// One line of the multi-variation table kept by thread 0.
struct MultiPvRecord {
    int score;
    int iteration;
    Move move;
    Move line[MAX_PV];
};

extern MultiPvRecord multiPvRecords[MAX_ROOT_MOVES];
extern int multiPvRecordCount;

// Number of the last root move announced by "info currmove", and the bound kind of the last
// principal-variation report (0 exact, 1 lower, 2 upper), for the driver's log.
extern int lastCurrMoveNumber;
extern int lastReportedBound;

// Best and ponder move of the last search (0 when none).
extern Move lastSearchBestMove;
extern Move lastSearchPonderMove;

// Per-thread centre offsets of the aspiration window, by thread index modulo 16.
extern const int aspirationOffset[16];
