#include "uci/game.h"

#include <cstdio>
#include <cstdlib>

#include "board/movetext.h"
#include "search/search_state.h"

Position positionStack[GAME_RECORD_SIZE];
int gamePly = 0;

namespace {

void infoString(const std::string& text) {
    printf("info string %s\n", text.c_str());
    fflush(stdout);
}

// Plays the moves after the first "moves" token at or after `from`, each onto the next entry.
void playMoves(const std::vector<std::string>& tokens, size_t from) {
    size_t i = from;
    while (i < tokens.size() && tokens[i] != "moves") ++i;
    for (++i; i < tokens.size(); ++i) {
        if (gamePly + 1 >= GAME_RECORD_SIZE) {
            infoString("Game record full: moves from " + tokens[i] + " on are ignored");
            return;
        }
        // A move that cannot be played ends the list: the entries after it were never set, and
        // the search must not start from one of them.
        if (!executeMoveText(positionStack[gamePly], positionStack[gamePly + 1], tokens[i])) {
            infoString("Illegal move " + tokens[i] + ": the moves from it on are ignored");
            return;
        }
        ++gamePly;
    }
}

} // namespace

void setStartPosition() {
    setFromFen(positionStack[0], startFen);
    gamePly = 0;
}

void handlePosition(const std::vector<std::string>& tokens) {
    std::string fen;
    size_t next = 2;
    if (tokens.size() < 2) {
        infoString("position needs startpos or fen");
        return;
    }
    if (tokens[1] == "startpos") {
        fen = startFen;
    } else if (tokens[1] == "fen") {
        // Placement, side to move, castling and en passant; move counters are not passed on.
        int fields = 0;
        while (next < tokens.size() && fields < 4 && tokens[next] != "moves") {
            if (fields++ > 0) fen += ' ';
            fen += tokens[next++];
        }
        if (fields < 2) {
            infoString("position fen needs at least the piece placement and the side to move");
            return;
        }
    } else {
        fputs("Error here!\n", stderr);
        fflush(stderr);
        exit(1);
    }

    std::string error;
    if (!setFromFen(positionStack[0], fen, &error)) {
        infoString(error.empty() ? "FEN refused: " + fen : error);
        return;
    }
    accumulatedThinkTime = 0;
    gamePly = 0;
    playMoves(tokens, next);
}
