#include "board/makemove.h"

#include <ctime>

#include "board/attacks.h"
#include "board/bitboard.h"
#include "board/position.h"
#include "board/psqt.h"
#include "board/zobrist.h"
#include "eval/caches.h"
#include "search/search_state.h"
#include "search/thread_data.h"
#include "tt/tt.h"
#include "uci/clock.h"
#include "uci/settings.h"

uint64_t nodeRateLimit = 0;

namespace {

constexpr long THROTTLE_PAUSE_NS = 1000000; // 1 ms pause at every check point

// Per-thread state of the node-rate throttle: the node count of the next check and the distance
// between checks, which grows while the thread stays below the limit.
struct alignas(64) ThrottleState {
    uint64_t nextCheck = 0;
    uint64_t interval = 1;
};
ThrottleState throttle[MAX_THREADS];

void throttleNodes(int thread) {
    ThrottleState& state = throttle[thread];
    uint64_t nodes = nodeCounters[thread].nodes.load(std::memory_order_relaxed);
    if (nodes < state.nextCheck) return;
    double speed = double(nodes) / (nowSeconds() - searchStart + 1e-7);
    double limit = double(nodeRateLimit);
    if (limit > speed)
        ++state.interval;
    else if (speed > limit - 0.5 && state.interval > 1)
        --state.interval;
    state.nextCheck = nodes + state.interval;
    timespec pause{0, THROTTLE_PAUSE_NS};
    nanosleep(&pause, nullptr);
}

// Moves one piece of `side` from `from` to `to` in the child: bitboards, board codes, key,
// pawn-king key and piece-square sum.
inline void movePiece(Position& child, Color side, int type, uint8_t code, Square from, Square to, uint64_t& key,
                      uint64_t& pawnKingKey) {
    const Bitboard fromTo = squareBit[from] | squareBit[to];
    child.pieces[side][type] ^= fromTo;
    child.pieces[side][0] ^= fromTo;
    child.board[from] = 0;
    child.board[to] = code;
    key ^= zobrist.piece[side][type][from] ^ zobrist.piece[side][type][to];
    pawnKingKey ^= zobrist.pawnKing[side][type][from] ^ zobrist.pawnKing[side][type][to];
    child.pstScore = packedSub(packedAdd(child.pstScore, pieceSquareTable[side][type][to]),
                               pieceSquareTable[side][type][from]);
}

// Takes a piece of `side` off `s` everywhere except the board code, which the caller handles.
inline void removePiece(Position& child, Color side, int type, Square s, uint64_t& key, uint64_t& pawnKingKey) {
    child.pieces[side][type] ^= squareBit[s];
    child.pieces[side][0] ^= squareBit[s];
    key ^= zobrist.piece[side][type][s];
    pawnKingKey ^= zobrist.pawnKing[side][type][s];
    child.materialKey -= zobrist.material[side][type][squareShade[s]];
    child.materialCountKey -= zobrist.material[side][type][0];
    child.pstScore = packedSub(child.pstScore, pieceSquareTable[side][type][s]);
    child.phase = int16_t(child.phase - PHASE_WEIGHT[type]);
    --child.pieceCount;
}

inline void updateCastleLost(Position& child, uint8_t lost, uint64_t& key) {
    if (lost != child.castleLost) {
        key ^= zobrist.castling[child.castleLost] ^ zobrist.castling[lost];
        child.castleLost = lost;
    }
}

} // namespace

bool makeMove(const Position& parent, Position& child, Move move) {
    child = parent;
    child.parent = &parent;
    child.movedType = 0;
    child.capturedType = 0;
    child.halfmoveClock = uint16_t(parent.halfmoveClock + 1);
    move = moveOnly(move);
    child.lastMove = move;
    child.staticEval = 999999;

    const int thread = parent.threadIndex;
    if (!stopRequested(thread)) nodeCounters[thread].add();
    if (nodeRateLimit) throttleNodes(thread);

    uint64_t key = parent.key ^ sideToggleKey();
    uint64_t pawnKingKey = parent.pawnKingKey;
    if (parent.epSquare) {
        key ^= zobrist.enPassant[lsb(parent.epSquare)];
        child.epSquare = 0;
    }
    ++child.ply;

    if (move == NO_MOVE) {
        child.key = key;
        child.inCheck = 0;
        return true;
    }

    const Color us = sideToMove(parent), them = ~us;
    const Square from = moveFrom(move), to = moveTo(move);
    const int flag = moveFlag(move);

    if (flag == CASTLING) {
        // Stored as king takes own rook; the king and the rook land on their fixed squares. Either
        // may already stand there, and the king may land where the rook stood.
        const int c = 2 * us + (from < to ? 0 : 1);
        const Square kingTo = castling.kingDestination[c], rookTo = castling.rookDestination[c];
        const uint8_t rookCode = parent.board[to];
        child.movedType = KING;
        if (kingTo != from) movePiece(child, us, KING, pieceCode(us, KING), from, kingTo, key, pawnKingKey);
        updateCastleLost(child, uint8_t(parent.castleLost | castling.castleMaskBySquare[from] |
                                        castling.castleMaskBySquare[kingTo]),
                         key);
        if (rookTo != to) {
            movePiece(child, us, ROOK, rookCode, to, rookTo, key, pawnKingKey);
            if (kingTo == to) child.board[to] = pieceCode(us, KING);
        }
        child.key = key;
        child.pawnKingKey = pawnKingKey;
        child.occupied = child.pieces[WHITE][0] | child.pieces[BLACK][0];
        // In standard chess the safe squares already guarantee the king is not attacked.
        return !optChess960.load(std::memory_order_relaxed) || !kingAttacked(child, us);
    }

    const uint8_t code = parent.board[from];
    const int type = typeOfCode(code);
    const uint8_t victim = parent.board[to];
    child.movedType = uint16_t(type);
    movePiece(child, us, type, code, from, to, key, pawnKingKey);
    updateCastleLost(child, uint8_t(parent.castleLost | castling.castleMaskBySquare[from] |
                                    castling.castleMaskBySquare[to]),
                     key);

    if (flag >= PROMO_QUEEN) {
        const PieceType promoted = promotedType(move);
        removePiece(child, us, PAWN, to, key, pawnKingKey);
        ++child.pieceCount; // the pawn turns into the new piece: no piece leaves the board
        child.pieces[us][promoted] |= squareBit[to];
        child.pieces[us][0] |= squareBit[to];
        child.board[to] = pieceCode(us, promoted);
        key ^= zobrist.piece[us][promoted][to];
        child.materialKey += zobrist.material[us][promoted][squareShade[to]];
        child.materialCountKey += zobrist.material[us][promoted][0];
        child.pstScore = packedAdd(child.pstScore, pieceSquareTable[us][promoted][to]);
        child.phase = int16_t(child.phase + PHASE_WEIGHT[promoted]);
    } else if (flag == EN_PASSANT) {
        const Square captured = makeSquare(fileOf(to), rankOf(from));
        removePiece(child, them, PAWN, captured, key, pawnKingKey);
        child.board[captured] = 0;
    } else if (flag == DOUBLE_PUSH) {
        const Bitboard beside = ((squareBit[to] << 1) & NOT_FILE_A) | ((squareBit[to] >> 1) & NOT_FILE_H);
        if (beside & parent.pieces[them][PAWN]) {
            const Square target = (from + to) / 2;
            child.epSquare = squareBit[target];
            key ^= zobrist.enPassant[target];
        }
    }
    if (victim && flag != EN_PASSANT) {
        const int victimType = typeOfCode(victim);
        removePiece(child, them, victimType, to, key, pawnKingKey);
        child.capturedType = uint16_t(victimType);
    }
    if (type == PAWN || victim) child.halfmoveClock = 0;

    ttPrefetch(key);
    if (child.evalCache) __builtin_prefetch(&child.evalCache[key & evalCacheMask]);
    if (child.pawnCache) __builtin_prefetch(&child.pawnCache[pawnKingKey & pawnCacheMask]);
    child.key = key;
    child.pawnKingKey = pawnKingKey;
    child.occupied = child.pieces[WHITE][0] | child.pieces[BLACK][0];
    return !kingAttacked(child, us);
}
