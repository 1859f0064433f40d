// Helpers of the evaluation tests: positions ready for the evaluation (with the piece-square sum
// and phase that the search would set), cache links, and the colour-flipped twin of a position.
#pragma once

#include <string>

#include "board/bitboard.h"
#include "board/position.h"
#include "search/thread_data.h"
#include "test_support.h"

// A position from FEN with pstScore and phase computed, linked to no cache unless asked.
inline Position evalPosition(const std::string& fen, bool withCaches = false, int halfmoveClock = 0) {
    Position pos = positionFromFen(fen);
    pos.pstScore = computePstScore(pos);
    pos.phase = int16_t(computePhase(pos));
    pos.halfmoveClock = uint16_t(halfmoveClock);
    if (!withCaches) {
        pos.evalCache = nullptr;
        pos.pawnCache = nullptr;
        pos.materialCache = nullptr;
    } else {
        pos.evalCache = threadLinks[0].evalCache;
        pos.pawnCache = threadLinks[0].pawnCache;
        pos.materialCache = threadLinks[0].materialCache;
    }
    return pos;
}

inline void unlinkCaches(Position& pos) {
    pos.evalCache = nullptr;
    pos.pawnCache = nullptr;
    pos.materialCache = nullptr;
}

inline void linkCaches(Position& pos) {
    pos.evalCache = threadLinks[0].evalCache;
    pos.pawnCache = threadLinks[0].pawnCache;
    pos.materialCache = threadLinks[0].materialCache;
}

// FEN of the colour-flipped position: ranks mirrored, colours swapped, the other side to move,
// castling rights and the en-passant square mirrored.
inline std::string flippedFen(const Position& pos) {
    std::string placement;
    for (int rank = 0; rank < 8; ++rank) { // the flipped eighth rank is the original first rank
        int empty = 0;
        for (int file = 0; file < 8; ++file) {
            uint8_t code = pos.board[makeSquare(file, rank)];
            if (!code) {
                ++empty;
                continue;
            }
            if (empty) placement += char('0' + empty), empty = 0;
            char letter = "-pnbrqk"[typeOfCode(code)];
            // The original White piece becomes Black (lower case) and the other way round.
            placement += colorOfCode(code) == WHITE ? letter : char(letter - 'a' + 'A');
        }
        if (empty) placement += char('0' + empty);
        if (rank < 7) placement += '/';
    }
    std::string castlingField;
    if (!(pos.castleLost & 4)) castlingField += 'K';
    if (!(pos.castleLost & 8)) castlingField += 'Q';
    if (!(pos.castleLost & 1)) castlingField += 'k';
    if (!(pos.castleLost & 2)) castlingField += 'q';
    if (castlingField.empty()) castlingField.push_back('-');
    std::string ep = "-";
    if (pos.epSquare) {
        Square s = lsb(pos.epSquare) ^ 56;
        ep = "a1";
        ep[0] = char('a' + fileOf(s));
        ep[1] = char('1' + rankOf(s));
    }
    std::string fen = placement;
    fen += sideToMove(pos) == WHITE ? " b " : " w ";
    fen += castlingField;
    fen += ' ';
    fen += ep;
    fen += " 0 1";
    return fen;
}

// The flipped twin, ready for the evaluation, with the same halfmove clock.
inline Position flippedPosition(const Position& pos) {
    Position flipped = evalPosition(flippedFen(pos), false, pos.halfmoveClock);
    return flipped;
}
