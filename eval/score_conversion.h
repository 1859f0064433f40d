// Integer steps of the evaluation's final conversion, shared by the driver and its report.
#pragma once

// x / d rounded half away from zero, with truncating integer division.
constexpr int roundHalfAway(int x, int d) { return x >= 0 ? (x + d / 2) / d : -((d / 2 - x) / d); }

// Late in the game a won position is worth more than its material says: the part of a score
// beyond one pawn grows with the endgame weight, by up to a quarter at phase 0.
constexpr int stretchScore(int centipawns, int endgameWeight) {
    if (centipawns > 100) return centipawns + endgameWeight * (centipawns - 100) / 384;
    if (centipawns < -100) return centipawns + endgameWeight * (centipawns + 100) / 384;
    return centipawns;
}

// From 86 plies without a capture or pawn move the score fades linearly toward 0, which it
// reaches at 101 plies and keeps beyond.
constexpr int FIFTY_MOVE_FADE_START = 86;
constexpr int FIFTY_MOVE_FADE_END = 101;
constexpr int fiftyMoveFade(int millipawns, int halfmoveClock) {
    if (halfmoveClock < FIFTY_MOVE_FADE_START) return millipawns;
    int left = halfmoveClock >= FIFTY_MOVE_FADE_END ? 0 : FIFTY_MOVE_FADE_END - halfmoveClock;
    return left * millipawns / (FIFTY_MOVE_FADE_END - FIFTY_MOVE_FADE_START);
}

static_assert(roundHalfAway(48, 96) == 1 && roundHalfAway(-48, 96) == -1);
static_assert(roundHalfAway(47, 96) == 0 && roundHalfAway(-47, 96) == 0);
static_assert(stretchScore(500, 0) == 500 && stretchScore(500, 96) == 600 && stretchScore(-500, 96) == -600);

// The last steps of the evaluation, from White's score in millipawns: the side to move's view,
// the fifty-move fade, the tempo bonus (always for the side to move), centipawns, the stretch.
constexpr int finishScore(int whiteMillipawns, bool blackToMove, int halfmoveClock, int tempo, int phase) {
    int v = blackToMove ? -whiteMillipawns : whiteMillipawns;
    v = fiftyMoveFade(v, halfmoveClock) + tempo;
    return stretchScore(roundHalfAway(v, 10), 96 - phase);
}
