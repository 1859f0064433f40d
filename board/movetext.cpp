#include "board/movetext.h"

#include <cstdio>
#include <cstring>

#include "board/attacks.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/position.h"
#include "uci/settings.h"

namespace {

constexpr char PROMOTION_LETTERS[8] = {0, 0, 0, 0, 'q', 'n', 'r', 'b'};

char lowerCase(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

bool sameTextIgnoringCase(const char* a, const std::string& b) {
    size_t n = std::strlen(a);
    if (n != b.size()) return false;
    for (size_t i = 0; i < n; ++i)
        if (lowerCase(a[i]) != lowerCase(b[i])) return false;
    return true;
}

bool isFileLetter(char c) { return c >= 'a' && c <= 'h'; }
bool isRankDigit(char c) { return c >= '1' && c <= '8'; }

void finishChild(Position& child) { child.inCheck = kingAttacked(child, sideToMove(child)) ? 1 : 0; }

} // namespace

void moveToText(Move move, char* text) {
    move = moveOnly(move);
    if (move == NO_MOVE) {
        std::strcpy(text, "0000");
        return;
    }
    Square from = moveFrom(move), to = moveTo(move);
    if (moveFlag(move) == CASTLING && !optChess960.load(std::memory_order_relaxed))
        to = makeSquare(fileOf(to) > fileOf(from) ? 6 : 2, rankOf(to)); // the king's destination
    text[0] = char('a' + fileOf(from));
    text[1] = char('1' + rankOf(from));
    text[2] = char('a' + fileOf(to));
    text[3] = char('1' + rankOf(to));
    text[4] = PROMOTION_LETTERS[moveFlag(move)];
    text[5] = 0;
}

std::string moveToString(Move move) {
    char text[6];
    moveToText(move, text);
    return text;
}

bool executeMoveText(const Position& pos, Position& child, const std::string& text) {
    // Anything but two squares in coordinate form (letters in either case) names no move.
    if (text.size() < 4) return false;
    char lower[5];
    for (int i = 0; i < 5; ++i) lower[i] = i < int(text.size()) ? lowerCase(text[i]) : 0;
    if (!isFileLetter(lower[0]) || !isRankDigit(lower[1]) || !isFileLetter(lower[2]) || !isRankDigit(lower[3]))
        return false;

    // The plain reading first: origin, destination, a double push or a promotion letter.
    Square from = makeSquare(lower[0] - 'a', lower[1] - '1');
    Square to = makeSquare(lower[2] - 'a', lower[3] - '1');
    Color us = sideToMove(pos);
    int flag = NORMAL;
    if (pos.board[from] == pieceCode(us, PAWN) && (to - from == 16 || from - to == 16)) flag = DOUBLE_PUSH;
    switch (lower[4]) {
    case 'q': flag = PROMO_QUEEN; break;
    case 'r': flag = PROMO_ROOK; break;
    case 'b': flag = PROMO_BISHOP; break;
    case 'n': flag = PROMO_KNIGHT; break;
    default: break;
    }
    Move move = encodeMove(from, to, flag);
    Position made;
    if (isPseudoLegal(pos, move) && makeMove(pos, made, move)) {
        finishChild(made);
        child = made;
        return true;
    }

    // Castling and en passant cannot be read that way: compare with the text of every move.
    Move moves[MAX_MOVES];
    int count = generateAll(pos, moves);
    for (int i = 0; i < count; ++i) {
        char candidate[6];
        moveToText(moves[i], candidate);
        if (!sameTextIgnoringCase(candidate, text)) continue;
        if (makeMove(pos, made, moveOnly(moves[i]))) {
            finishChild(made);
            child = made;
            return true;
        }
        std::fprintf(stderr, "Cannot execute move %s\n", text.c_str());
    }
    return false;
}
