#include "board/position.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "board/attacks.h"
#include "board/bitboard.h"
#include "board/psqt.h"
#include "board/zobrist.h"
#include "search/thread_data.h"
#include "uci/settings.h"

CastlingGeometry castling;

const char* const startFen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

namespace {

constexpr size_t MAX_FEN_LENGTH = 255;
constexpr char WHITE_LETTERS[] = "-PNBRQK";
constexpr char BLACK_LETTERS[] = "-pnbrqk";

constexpr Square A1 = 0, C1 = 2, D1 = 3, E1 = 4, F1 = 5, G1 = 6, H1 = 7;

bool isBlank(char c) { return c == ' ' || c == '\t'; }

PieceType typeOfLetter(char c) {
    switch (c) {
    case 'p': case 'P': return PAWN;
    case 'n': case 'N': return KNIGHT;
    case 'b': case 'B': return BISHOP;
    case 'r': case 'R': return ROOK;
    case 'q': case 'Q': return QUEEN;
    case 'k': case 'K': return KING;
    default: return NO_PIECE_TYPE;
    }
}

bool refuse(std::string* error, const char* reason) {
    if (error) *error = reason;
    return false;
}

// Every square from the lowest to the highest of the given squares (all on one rank).
Bitboard rankSpan(Square a, Square b, Square c, Square d) {
    Square low = std::min(std::min(a, b), std::min(c, d));
    Square high = std::max(std::max(a, b), std::max(c, d));
    Bitboard span = 0;
    for (Square s = low; s <= high; ++s) span |= squareBit[s];
    return span;
}

// Whether castling c may be kept: its king on its first rank, a rook of its colour on the rook
// square, on the correct side of the king. Standard chess also wants the king on the e-file and
// the rook in the corner; otherwise the move generator would castle pieces that are not there.
bool castlingRightSound(const Position& p, const CastlingGeometry& g, int c) {
    Color side = Color(c >> 1);
    bool kingside = (c & 1) == 0;
    Square king = g.kingOrigin[side], rook = g.rookOrigin[c];
    int backRank = side == WHITE ? 0 : 7;
    if (rankOf(king) != backRank || rankOf(rook) != backRank) return false;
    if (p.board[rook] != pieceCode(side, ROOK)) return false;
    if (kingside ? fileOf(rook) <= fileOf(king) : fileOf(rook) >= fileOf(king)) return false;
    if (!optChess960.load(std::memory_order_relaxed))
        return fileOf(king) == fileOf(E1) && fileOf(rook) == (kingside ? fileOf(H1) : fileOf(A1));
    return true;
}

// Move lists are sized for at most 16 pieces a side.
constexpr int MAX_PIECES_PER_SIDE = 16;

} // namespace

uint64_t computeKey(const Position& pos) {
    uint64_t key = sideKey(sideToMove(pos)) ^ zobrist.castling[pos.castleLost & 15];
    for (Bitboard b = pos.occupied; b;) {
        Square s = popLsb(b);
        key ^= zobrist.piece[colorOfCode(pos.board[s])][typeOfCode(pos.board[s])][s];
    }
    return key;
}

uint64_t computePawnKingKey(const Position& pos) {
    uint64_t key = 0;
    for (Bitboard b = pos.occupied; b;) {
        Square s = popLsb(b);
        key ^= zobrist.pawnKing[colorOfCode(pos.board[s])][typeOfCode(pos.board[s])][s];
    }
    return key;
}

uint64_t computeMaterialKey(const Position& pos) {
    uint64_t key = 0;
    for (Bitboard b = pos.occupied; b;) {
        Square s = popLsb(b);
        key += zobrist.material[colorOfCode(pos.board[s])][typeOfCode(pos.board[s])][squareShade[s]];
    }
    return key;
}

uint64_t computeMaterialCountKey(const Position& pos) {
    uint64_t key = 0;
    for (Bitboard b = pos.occupied; b;) {
        Square s = popLsb(b);
        key += zobrist.material[colorOfCode(pos.board[s])][typeOfCode(pos.board[s])][0];
    }
    return key;
}

PackedScore computePstScore(const Position& pos) {
    PackedScore sum = 0;
    for (Bitboard b = pos.occupied; b;) {
        Square s = popLsb(b);
        sum = packedAdd(sum, pieceSquareTable[colorOfCode(pos.board[s])][typeOfCode(pos.board[s])][s]);
    }
    return sum;
}

int computePhase(const Position& pos) {
    int phase = 0;
    for (Bitboard b = pos.occupied; b;) phase += PHASE_WEIGHT[typeOfCode(pos.board[popLsb(b)])];
    return phase;
}

bool setFromFen(Position& pos, const std::string& fen, std::string* error) {
    if (fen.size() > MAX_FEN_LENGTH) return refuse(error, "FEN text longer than 255 characters");
    // Everything is parsed into temporaries; the position and the castling geometry change only
    // once the whole text has been accepted.
    char text[MAX_FEN_LENGTH + 1];
    std::snprintf(text, sizeof text, "%s", fen.empty() ? startFen : fen.c_str());
    const size_t length = std::strlen(text);

    Position p;
    std::memset(&p, 0, sizeof p);
    p.historyTable = threadLinks[0].history;
    p.evalCache = threadLinks[0].evalCache;
    p.pawnCache = threadLinks[0].pawnCache;
    p.materialCache = threadLinks[0].materialCache;
    p.castleLost = 15;

    // Piece placement, from a8 rightwards and downwards. A slash pads a short rank.
    size_t i = 0;
    int rankStart = 0; // counter of the rank's first square: 0 = a8, 8 = a7, ...
    int fileInRank = 0;
    bool overfull = false;
    for (; i < length && !isBlank(text[i]); ++i) {
        char c = text[i];
        if (c == '/') {
            rankStart += 8;
            fileInRank = 0;
            continue;
        }
        int advance = (c >= '0' && c <= '9') ? c - '0' : 1;
        PieceType type = typeOfLetter(c);
        if (type != NO_PIECE_TYPE) {
            if (rankStart >= 64 || fileInRank >= 8) {
                overfull = true;
                break;
            }
            Square s = (rankStart + fileInRank) ^ 56;
            Color side = (c >= 'a') ? BLACK : WHITE;
            p.pieces[side][type] |= squareBit[s];
            p.board[s] = pieceCode(side, type);
        }
        fileInRank += advance;
        if (fileInRank > 8) {
            overfull = true;
            break;
        }
    }

    // Side to move: a present field other than w or b is a fatal input error.
    while (i < length && !isBlank(text[i])) ++i;
    while (i < length && isBlank(text[i])) ++i;
    if (i >= length) return refuse(error, "FEN has no side to move");
    if (text[i] == 'w')
        p.ply = 0;
    else if (text[i] == 'b')
        p.ply = 1;
    else {
        std::fprintf(stderr, "Error in ctm for fen \"%s\"", text);
        std::exit(1);
    }
    while (i < length && !isBlank(text[i])) ++i;
    while (i < length && isBlank(text[i])) ++i;
    const size_t castlingField = i;
    while (i < length && !isBlank(text[i])) ++i;
    const size_t castlingEnd = i;
    while (i < length && isBlank(text[i])) ++i;
    const size_t epField = i;

    if (overfull) return refuse(error, "FEN has too many squares in a rank");
    for (Color c : {WHITE, BLACK}) {
        int kings = popcount(p.pieces[c][KING]);
        if (kings == 0) return refuse(error, c == WHITE ? "FEN has no white king" : "FEN has no black king");
        if (kings > 1) return refuse(error, c == WHITE ? "FEN has two white kings" : "FEN has two black kings");
    }
    if ((p.pieces[WHITE][PAWN] | p.pieces[BLACK][PAWN]) & 0xff000000000000ffULL)
        return refuse(error, "FEN has a pawn on the first or last rank");
    for (Color c : {WHITE, BLACK}) {
        int count = 0;
        for (int type = PAWN; type <= KING; ++type) count += popcount(p.pieces[c][type]);
        if (count > MAX_PIECES_PER_SIDE) return refuse(error, "FEN has more than 16 pieces of one colour");
    }

    for (Color c : {WHITE, BLACK}) {
        p.pieces[c][0] = 0;
        for (int type = PAWN; type <= KING; ++type) p.pieces[c][0] |= p.pieces[c][type];
    }
    p.occupied = p.pieces[WHITE][0] | p.pieces[BLACK][0];
    const Color us = sideToMove(p);
    if (kingAttacked(p, ~us)) return refuse(error, "FEN has the side not to move in check");

    // Castling geometry: defaults, then the outermost rook of each side on its first rank.
    CastlingGeometry g;
    std::memset(&g, 0, sizeof g);
    g.kingOrigin[WHITE] = lsb(p.pieces[WHITE][KING]);
    g.kingOrigin[BLACK] = lsb(p.pieces[BLACK][KING]);
    const Square defaultRooks[4] = {H1, A1, H1 ^ 56, A1 ^ 56};
    const Square kingTargets[4] = {G1, C1, G1 ^ 56, C1 ^ 56};
    const Square rookTargets[4] = {F1, D1, F1 ^ 56, D1 ^ 56};
    for (int c = 0; c < 4; ++c) {
        g.rookOrigin[c] = defaultRooks[c];
        g.kingDestination[c] = kingTargets[c];
        g.rookDestination[c] = rookTargets[c];
    }
    const Bitboard whiteBackRooks = p.pieces[WHITE][ROOK] & RANK_1_BB;
    const Bitboard blackBackRooks = p.pieces[BLACK][ROOK] & (RANK_1_BB << 56);
    if (whiteBackRooks) {
        g.rookOrigin[WHITE_QUEENSIDE] = lsb(whiteBackRooks);
        g.rookOrigin[WHITE_KINGSIDE] = msb(whiteBackRooks);
    }
    if (blackBackRooks) {
        g.rookOrigin[BLACK_QUEENSIDE] = lsb(blackBackRooks);
        g.rookOrigin[BLACK_KINGSIDE] = msb(blackBackRooks);
    }

    // Castling field: KQkq name the outermost rooks; file letters (as X-FEN and Shredder-FEN
    // write them) name the rook itself and are applied after the others.
    int rights = 0;
    char fileLetters[16];
    int fileLetterCount = 0;
    for (size_t k = castlingField; k < castlingEnd; ++k) {
        char c = text[k];
        if (c == 'K') rights |= 1 << WHITE_KINGSIDE;
        else if (c == 'Q') rights |= 1 << WHITE_QUEENSIDE;
        else if (c == 'k') rights |= 1 << BLACK_KINGSIDE;
        else if (c == 'q') rights |= 1 << BLACK_QUEENSIDE;
        else if (((c >= 'A' && c <= 'H') || (c >= 'a' && c <= 'h')) && fileLetterCount < 16)
            fileLetters[fileLetterCount++] = c;
    }
    for (int k = 0; k < fileLetterCount; ++k) {
        char c = fileLetters[k];
        Color side = c <= 'H' ? WHITE : BLACK;
        int file = side == WHITE ? c - 'A' : c - 'a';
        Square rook = makeSquare(file, side == WHITE ? 0 : 7);
        int index = 2 * side + (file <= fileOf(g.kingOrigin[side]) ? 1 : 0);
        rights |= 1 << index;
        g.rookOrigin[index] = rook;
    }
    for (int c = 0; c < 4; ++c) {
        if (!(rights & (1 << c))) continue;
        if (!castlingRightSound(p, g, c)) {
            rights &= ~(1 << c);
            continue;
        }
        Square king = g.kingOrigin[c >> 1], rook = g.rookOrigin[c];
        Bitboard origins = squareBit[king] | squareBit[rook];
        g.notOrigins[c] = ~origins;
        g.emptyMask[c] = rankSpan(king, rook, g.kingDestination[c], g.rookDestination[c]) & ~origins;
        g.safeMask[c] = rankSpan(king, king, g.kingDestination[c], g.kingDestination[c]);
        g.castleMaskBySquare[rook] |= uint8_t(1 << c);
    }
    g.castleMaskBySquare[g.kingOrigin[WHITE]] |= 3;
    g.castleMaskBySquare[g.kingOrigin[BLACK]] |= 12;
    p.castleLost = uint8_t(15 & ~rights);

    p.pieceCount = uint32_t(popcount(p.occupied));
    p.inCheck = kingAttacked(p, us) ? 1 : 0;
    p.key = computeKey(p);
    p.pawnKingKey = computePawnKingKey(p);
    p.materialKey = computeMaterialKey(p);
    p.materialCountKey = computeMaterialCountKey(p);
    p.pstScore = computePstScore(p);
    p.phase = int16_t(computePhase(p));

    // En passant: the target square names the double push that was just played. The field is
    // used only when that push is possible on this board: the pushed pawn of the side that moved
    // stands in front of the target, and the target and the pawn's origin are empty.
    if (epField + 1 < length && text[epField] >= 'a' && text[epField] <= 'h' &&
        (text[epField + 1] == '3' || text[epField + 1] == '6')) {
        int file = text[epField] - 'a';
        Color mover = text[epField + 1] == '3' ? WHITE : BLACK;
        Square target = makeSquare(file, mover == WHITE ? 2 : 5);
        Square pushed = mover == WHITE ? target + 8 : target - 8;
        Square origin = mover == WHITE ? target - 8 : target + 8;
        if (mover != us && p.board[pushed] == pieceCode(mover, PAWN) && !(p.occupied & squareBit[target]) &&
            !(p.occupied & squareBit[origin])) {
            p.lastMove = encodeMove(origin, pushed);
            Bitboard beside = ((squareBit[pushed] << 1) & NOT_FILE_A) | ((squareBit[pushed] >> 1) & NOT_FILE_H);
            if (beside & p.pieces[us][PAWN]) {
                p.epSquare = squareBit[target];
                p.key ^= zobrist.enPassant[target];
            }
        }
    }

    castling = g;
    pos = p;
    if (error) error->clear();
    return true;
}

std::string toFen(const Position& pos) {
    std::string fen;
    int empty = 0;
    for (int counter = 0; counter < 64; ++counter) {
        Square s = counter ^ 56;
        uint8_t code = pos.board[s];
        if (code) {
            if (empty) fen += char('0' + empty);
            empty = 0;
            fen += colorOfCode(code) == WHITE ? WHITE_LETTERS[typeOfCode(code)] : BLACK_LETTERS[typeOfCode(code)];
        } else {
            ++empty;
        }
        if ((counter & 7) == 7) {
            if (empty) fen += char('0' + empty);
            empty = 0;
            if (counter != 63) fen += '/';
        }
    }
    fen += (pos.ply & 1) ? " b " : " w ";

    // KQkq for the outermost rooks; a rook with another rook of its side further out is named by
    // its file, so the text reads back to the same rights.
    const char letters[4] = {'K', 'Q', 'k', 'q'};
    bool anyRight = false;
    for (int c = 0; c < 4; ++c) {
        if (pos.castleLost & (1 << c)) continue;
        anyRight = true;
        Color side = Color(c >> 1);
        Square rook = castling.rookOrigin[c];
        Bitboard backRank = RANK_1_BB << (side == WHITE ? 0 : 56);
        Bitboard rooks = pos.pieces[side][ROOK] & backRank;
        Square outermost = (c & 1) == 0 ? msb(rooks | squareBit[rook]) : lsb(rooks | squareBit[rook]);
        if (outermost == rook)
            fen += letters[c];
        else
            fen += char((side == WHITE ? 'A' : 'a') + fileOf(rook));
    }
    if (!anyRight) fen += '-';
    fen += ' ';

    Color us = sideToMove(pos);
    if (pos.epSquare && (pawnAttacks(~us, pos.epSquare) & pos.pieces[us][PAWN])) {
        Square s = lsb(pos.epSquare);
        fen += char('a' + fileOf(s));
        fen += char('1' + rankOf(s));
    } else {
        fen += '-';
    }
    return fen;
}
