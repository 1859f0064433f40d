// Colour symmetry of the whole evaluation: a position and its colour-flipped twin (ranks
// mirrored, colours, side to move, castling rights and en-passant square exchanged) must get the
// same score from the side to move's point of view.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "board/bitboard.h"
#include "eval/evaluate.h"
#include "eval/material.h"
#include "eval/pawns.h"
#include "eval_fixtures.h"
#include "tools/playouts.h"

// Rules that by their own wording treat the colours differently. Positions where such a rule
// can decide differently for the twin are left out, each counted under its rule.
enum class AsymmetricRule {
    NONE,
    // The blocked-structure flag asks that every Black pawn stand against a White pawn, not the
    // reverse; it also holds when Black has no pawn.
    BLOCKED_STRUCTURE_FLAG,
    // With an exactly balanced material score White counts as the leading side, whose pawn
    // count sets the few-pawns scale.
    WHITE_LEADS_ON_EXACT_BALANCE,
    // The wrong-bishop rule looks at the lowest-numbered bishop of the side, which for two
    // bishops on different shades is not the mirror image of the twin's choice.
    LOWEST_NUMBERED_BISHOP,
};
constexpr int ASYMMETRIC_RULE_COUNT = 4;
inline const char* ruleName(AsymmetricRule rule) {
    switch (rule) {
    case AsymmetricRule::BLOCKED_STRUCTURE_FLAG: return "blocked-structure flag";
    case AsymmetricRule::WHITE_LEADS_ON_EXACT_BALANCE: return "White leads on an exact balance";
    case AsymmetricRule::LOWEST_NUMBERED_BISHOP: return "lowest-numbered bishop";
    case AsymmetricRule::NONE: break;
    }
    return "none";
}

inline bool blockedFlag(const Position& pos) {
    Position copy = pos;
    unlinkCaches(copy);
    const PawnEntry* entry = nullptr;
    evaluatePawns(copy, entry);
    return entry->blocked != 0;
}

inline double fewPawnsFactor(int pawns) {
    constexpr double factor[5] = {0.4, 0.55, 0.7, 0.8, 0.9};
    return pawns < 5 ? factor[pawns] : 1.0;
}

// Whether the wrong-bishop rule would cap `side`'s score if it looked at the bishop on `bishop`:
// all of the side's pawns on the rook file whose promotion square the bishop does not control,
// and the defending king in that corner.
inline bool wrongBishopCorner(const Position& pos, Color side, Square bishop) {
    constexpr Bitboard fileA = 0x0101010101010101ULL, fileH = fileA << 7;
    bool dark = ((fileOf(bishop) + rankOf(bishop)) & 1) == 0;
    bool promotesOnA = (side == WHITE) == dark; // the a-file promotion square has the other shade
    Bitboard file = promotesOnA ? fileA : fileH;
    if (pos.pieces[side][PAWN] & ~file) return false;
    Square corner = makeSquare(promotesOnA ? 0 : 7, side == WHITE ? 7 : 0);
    Square king = lsb(pos.pieces[~side][KING]);
    return std::abs(fileOf(king) - fileOf(corner)) <= 1 && std::abs(rankOf(king) - rankOf(corner)) <= 1;
}

inline AsymmetricRule asymmetricRuleFor(const Position& pos, const Position& flipped) {
    if (blockedFlag(pos) != blockedFlag(flipped)) return AsymmetricRule::BLOCKED_STRUCTURE_FLAG;
    int whitePawns = popcount(pos.pieces[WHITE][PAWN]), blackPawns = popcount(pos.pieces[BLACK][PAWN]);
    if (!findSpecialEntry(pos.materialKey) && whitePawns + blackPawns > 0 && materialBalance(pos) == 0 &&
        fewPawnsFactor(whitePawns) != fewPawnsFactor(blackPawns))
        return AsymmetricRule::WHITE_LEADS_ON_EXACT_BALANCE;
    if (pos.phase >= 3 && pos.phase <= 6) {
        for (Color c : {WHITE, BLACK}) {
            Bitboard bishops = pos.pieces[c][BISHOP];
            if (pos.pieces[c][KNIGHT] || !moreThanOne(bishops)) continue;
            // The bishop the twin looks at is the one whose mirror square is the lowest.
            Square twinsChoice = 64;
            for (Bitboard b = bishops; b;) twinsChoice = std::min(twinsChoice, popLsb(b) ^ 56);
            twinsChoice ^= 56;
            if (wrongBishopCorner(pos, c, lsb(bishops)) != wrongBishopCorner(pos, c, twinsChoice))
                return AsymmetricRule::LOWEST_NUMBERED_BISHOP;
        }
    }
    return AsymmetricRule::NONE;
}

struct SymmetryRun {
    int compared = 0;
    int leftOut[ASYMMETRIC_RULE_COUNT] = {};
    std::string summary() const {
        std::ostringstream out;
        out << compared << " compared";
        for (int r = 1; r < ASYMMETRIC_RULE_COUNT; ++r)
            out << ", " << leftOut[r] << " left out (" << ruleName(AsymmetricRule(r)) << ")";
        return out.str();
    }
};

// Every position reached by random games from the benchmark positions and, when the reference
// data is there, the standard perft positions.
inline std::vector<Position> symmetryPositions(size_t count, uint64_t seed) {
    std::vector<std::string> fens = benchmarkFens();
    if (dataAvailable("perft/standard.epd"))
        for (const std::string& line : readLines(dataPath("perft/standard.epd")))
            if (!line.empty()) fens.push_back(line.substr(0, line.find(';')));
    return randomPlayoutPositions(fens, count, seed);
}

// Compares each position with its twin, once with no cache at all and once through the main
// thread's caches (each position evaluated twice there, so that the second answer comes from
// the evaluation cache and the pawn and material caches are shared by neighbouring positions).
inline SymmetryRun checkColourSymmetry(const std::vector<Position>& positions) {
    SymmetryRun run;
    int failures = 0;
    for (const Position& original : positions) {
        Position pos = original;
        Position flipped = flippedPosition(pos);
        AsymmetricRule rule = asymmetricRuleFor(pos, flipped);
        if (rule != AsymmetricRule::NONE) {
            ++run.leftOut[int(rule)];
            continue;
        }
        ++run.compared;
        unlinkCaches(pos);
        unlinkCaches(flipped);
        int a = evaluate(pos, -35000, 35000);
        int b = evaluate(flipped, -35000, 35000);
        linkCaches(pos);
        linkCaches(flipped);
        int a1 = evaluate(pos, -35000, 35000), b1 = evaluate(flipped, -35000, 35000);
        int a2 = evaluate(pos, -35000, 35000), b2 = evaluate(flipped, -35000, 35000);
        bool same = a == b && a1 == a && b1 == b && a2 == a && b2 == b;
        if (!same && ++failures <= 20)
            ADD_FAILURE() << toFen(original) << " (halfmove clock " << original.halfmoveClock << "): " << a
                          << " against " << b << " for " << flippedFen(original) << "; through the caches " << a1
                          << "/" << a2 << " against " << b1 << "/" << b2;
    }
    EXPECT_EQ(failures, 0) << run.summary();
    return run;
}
