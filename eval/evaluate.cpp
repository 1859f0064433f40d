#include "eval/evaluate.h"

#include <algorithm>
#include <cstdio>
#include <initializer_list>

#include "board/bitboard.h"
#include "board/psqt.h"
#include "eval/caches.h"
#include "eval/eval_tables.h"
#include "eval/kpk.h"
#include "eval/material.h"
#include "eval/pawns.h"
#include "eval/pieces.h"
#include "eval/score_conversion.h"
#include "search/search_tables.h"
#include "search/thread_data.h"
#include "tt/tt.h"

namespace {
// The positional sum is weighted up slightly against the pawn structure.
constexpr int POSITIONAL_WEIGHT_NUM = 136;
constexpr int POSITIONAL_WEIGHT_DEN = 128;
constexpr int SPAN_BONUS_PHASE_LIMIT = 18;
constexpr double BLOCKED_STRUCTURE_SCALE = 0.9;
constexpr int LAZY_EXIT_MIN_PHASE = 4;
constexpr int WRONG_BISHOP_CAP = 30; // millipawns
constexpr int WRONG_BISHOP_MIN_PHASE = 3;
constexpr int WRONG_BISHOP_MAX_PHASE = 6;

constexpr Bitboard RANK_2 = 0xff00ULL;
constexpr Bitboard RANK_7 = 0xff000000000000ULL;
constexpr Bitboard FILE_H_BB = FILE_A_BB << 7;
constexpr Bitboard DARK_SQUARES = 0xaa55aa55aa55aa55ULL;

constexpr Bitboard squares(std::initializer_list<int> list) {
    Bitboard b = 0;
    for (int s : list) b |= Bitboard(1) << s;
    return b;
}
// Corners where the defending king holds a rook pawn against the wrong bishop.
constexpr Bitboard CORNER_A8 = squares({48, 49, 56, 57}); // a7 b7 a8 b8
constexpr Bitboard CORNER_H8 = squares({54, 55, 62, 63}); // g7 h7 g8 h8
constexpr Bitboard CORNER_A1 = squares({0, 1, 8, 9});    // a1 b1 a2 b2
constexpr Bitboard CORNER_H1 = squares({6, 7, 14, 15});   // g1 h1 g2 h2

// What the report shows besides the final score.
struct Breakdown {
    int material = 0;    // blended units, scaled
    double scale = 1.0;
    bool complete = false; // the material configuration gives the whole score
    PackedScore pawnStructure = 0;
    PieceTerms terms{};
    PackedScore pst = 0;
    int positional = 0;  // blended units, before scaling
    bool blocked = false;
};

// Caps a bishop ending whose only pawns are rook pawns promoting on a square the bishop does not
// control, with the defending king in that corner.
int wrongBishopRule(const Position& pos, int v) {
    if (v > WRONG_BISHOP_CAP && pos.pieces[WHITE][BISHOP] && !pos.pieces[WHITE][KNIGHT]) {
        Bitboard bishop = pos.pieces[WHITE][BISHOP] & -pos.pieces[WHITE][BISHOP];
        Bitboard pawns = pos.pieces[WHITE][PAWN];
        Bitboard king = pos.pieces[BLACK][KING];
        if (bishop & DARK_SQUARES) {
            if (!(pawns & ~FILE_A_BB) && (king & CORNER_A8)) return WRONG_BISHOP_CAP;
        } else if (!(pawns & ~FILE_H_BB) && (king & CORNER_H8)) {
            return WRONG_BISHOP_CAP;
        }
    } else if (v < -WRONG_BISHOP_CAP && pos.pieces[BLACK][BISHOP] && !pos.pieces[BLACK][KNIGHT]) {
        Bitboard bishop = pos.pieces[BLACK][BISHOP] & -pos.pieces[BLACK][BISHOP];
        Bitboard pawns = pos.pieces[BLACK][PAWN];
        Bitboard king = pos.pieces[WHITE][KING];
        if (bishop & DARK_SQUARES) {
            if (!(pawns & ~FILE_H_BB) && (king & CORNER_H1)) return -WRONG_BISHOP_CAP;
        } else if (!(pawns & ~FILE_A_BB) && (king & CORNER_A1)) {
            return -WRONG_BISHOP_CAP;
        }
    }
    return v;
}

template <bool Report>
int evaluateImpl(Position& pos, int alpha, int beta, Breakdown* out) {
    // The key does not cover the halfmove clock, so scores that the fifty-move fade changes are
    // neither read from nor stored in the evaluation cache.
    EvalCacheEntry* cached = pos.evalCache && pos.halfmoveClock < FIFTY_MOVE_FADE_START
                                 ? &pos.evalCache[pos.key & evalCacheMask]
                                 : nullptr;
    if (cached && cached->key == pos.key) return cached->score;

    const bool blackToMove = sideToMove(pos) == BLACK;
    double f;
    int material = evaluateMaterial(pos, f);
    if constexpr (Report) {
        out->material = material;
        out->scale = f;
    }

    // A configuration whose value is complete (a draw, or an ending with its own evaluator).
    if (f == 0.0) {
        int v = blackToMove ? -material : material;
        int c = stretchScore(roundHalfAway(v, 960), 96 - pos.phase);
        if (cached) *cached = EvalCacheEntry{pos.key, c};
        if constexpr (Report) out->complete = true;
        return c;
    }

    // Lazy exit: the positional part of the last full evaluation in this record stands in for
    // the real one, unless a pawn is about to promote or the board is nearly bare.
    if (!(pos.pieces[WHITE][PAWN] & RANK_7) && !(pos.pieces[BLACK][PAWN] & RANK_2) && pos.phase > LAZY_EXIT_MIN_PHASE) {
        int q = roundHalfAway(int(pos.positionalEstimate * f) + material, 960);
        if (blackToMove) q = -q;
        if (q > beta || q < alpha) return q;
    }

    const int p = std::min<int>(pos.phase, 96);
    const PawnEntry* entry = nullptr;
    PackedScore pawnScore = evaluatePawns(pos, entry);

    PackedScore white = 0, black = 0;
    if constexpr (Report) evaluatePieces(pos, *entry, white, black, &out->terms);
    else evaluatePieces(pos, *entry, white, black);

    PackedScore t = packedAdd(packedSub(white, black), pos.pstScore);
    t = pack(mgOf(t) * POSITIONAL_WEIGHT_NUM / POSITIONAL_WEIGHT_DEN, egOf(t) * POSITIONAL_WEIGHT_NUM / POSITIONAL_WEIGHT_DEN);
    t = packedAdd(t, pawnScore);
    if (p < SPAN_BONUS_PHASE_LIMIT)
        t = packedAdd(t, packedSub(spanBonus[entry->span[WHITE]], spanBonus[entry->span[BLACK]]));

    int s = blend(t, p);
    pos.positionalEstimate = s;
    if constexpr (Report) {
        out->pawnStructure = pawnScore;
        out->pst = pos.pstScore;
        out->positional = s;
        out->blocked = entry->blocked != 0;
    }

    s = int(s * f);
    if (entry->blocked) s = int(s * BLOCKED_STRUCTURE_SCALE);

    int v = roundHalfAway(s + material, 96);
    if (p >= WRONG_BISHOP_MIN_PHASE && p <= WRONG_BISHOP_MAX_PHASE) v = wrongBishopRule(pos, v);
    int c = finishScore(v, blackToMove, pos.halfmoveClock, tempoBonus[p], p);
    if (cached) *cached = EvalCacheEntry{pos.key, c};
    return c;
}

double centipawns(int millipawns) { return millipawns / 1000.0 * 100.0; }
} // namespace

int evaluate(Position& pos, int alpha, int beta) { return evaluateImpl<false>(pos, alpha, beta, nullptr); }

void initEvaluation() {
    initDriverTables();
    initKpkTable();
    initSpecialEndgames();
    initTermTables();
}

void buildEvaluationTables() {
    buildSearchTables();
    buildDriverTables();
    buildPieceSquareTables();
    buildTermTables();
    clearPawnCaches();
    if (ttDirty) ttClear();
}

void printEvaluationReport(Position& pos) {
    // Work on a copy linked to the main thread's material and pawn caches, without the
    // evaluation cache, with the incremental fields recomputed.
    Position copy = pos;
    copy.evalCache = nullptr;
    copy.materialCache = threadLinks[0].materialCache;
    copy.pawnCache = threadLinks[0].pawnCache;
    copy.pstScore = computePstScore(copy);
    copy.phase = int16_t(computePhase(copy));
    Breakdown b;
    int score = evaluateImpl<true>(copy, -35000, 35000, &b);

    auto row = [](const char* name, PackedScore w, PackedScore bl) {
        printf("%-16s %9.2f %9.2f %9.2f %9.2f\n", name, centipawns(mgOf(w)), centipawns(egOf(w)), centipawns(mgOf(bl)),
               centipawns(egOf(bl)));
    };
    printf("Phase: %d (material phase %d)\n", copy.phase, materialPhaseCurve[std::min<int>(copy.phase, 96)]);
    printf("Material: %.2f (White), scale factor %.4f\n", b.material / 96.0 / 10.0, b.scale);
    if (b.complete) {
        printf("Known material configuration: no further terms\n");
    } else {
        printf("%-16s %9s %9s %9s %9s\n", "Term (cp)", "White mg", "White eg", "Black mg", "Black eg");
        printf("%-16s %9.2f %9.2f %9s %9s   (White minus Black)\n", "Pawn structure", centipawns(mgOf(b.pawnStructure)),
               centipawns(egOf(b.pawnStructure)), "", "");
        row("Pieces/mobility", b.terms.pieces[WHITE], b.terms.pieces[BLACK]);
        row("Threats", b.terms.threats[WHITE], b.terms.threats[BLACK]);
        row("King safety", b.terms.kingSafety[WHITE], b.terms.kingSafety[BLACK]);
        row("Passed pawns", b.terms.passedPawns[WHITE], b.terms.passedPawns[BLACK]);
        printf("%-16s %9.2f %9.2f %9s %9s   (White minus Black)\n", "Piece-square", centipawns(mgOf(b.pst)),
               centipawns(egOf(b.pst)), "", "");
        printf("Positional: %.2f (White, before scaling)%s\n", b.positional / 96.0 / 10.0,
               b.blocked ? ", blocked structure" : "");
    }
    printf("Final evaluation: %d (side to move)\n", score);
    fflush(stdout);
}
