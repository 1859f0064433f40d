#include "search/search_state.h"

std::atomic<bool> searching{false};
std::atomic<bool> pondering{false};
bool benchMode = false;
int drawScore = -7;
int contempt = 0;
bool infiniteSearch = false;
uint64_t nodeLimit = ~0ULL;

double searchStart = 0;
double hardDeadline = 0;
double extendedDeadline = 0;
double softDeadline = 0;
double mateStopTime = 0;
bool fixedMoveTime = false;
bool timeUp = false;

int rootMoveCount = 0;
int rootMoveNumber = 0;
int rootMovesAtBestChange = 0;
int rootBestScore = 0;

int tbProbeLimit = 0;
int tbRootScore = 2147483647;
std::atomic<uint64_t> tbHits{0};

double accumulatedThinkTime = 0;
