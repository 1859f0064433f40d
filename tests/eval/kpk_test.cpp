// The king-and-pawn table against tablebase results and a few textbook positions.
#include <gtest/gtest.h>

#include <sstream>

#include "board/bitboard.h"
#include "eval/kpk.h"
#include "eval_fixtures.h"

namespace {
bool tableSaysWin(const Position& pos) {
    Color strong = pos.pieces[WHITE][PAWN] ? WHITE : BLACK;
    return kpkWin(strong, lsb(pos.pieces[strong][KING]), lsb(pos.pieces[strong][PAWN]), lsb(pos.pieces[~strong][KING]),
                  sideToMove(pos) == strong);
}

TEST(KingPawnTable, AgreesWithEveryKingPawnVectorOfTheTablebase) {
    REQUIRE_DATA("syzygy/vectors.tsv");
    int checked = 0;
    for (const std::string& line : readLines(dataPath("syzygy/vectors.tsv"))) {
        std::istringstream fields(line);
        std::string fen, wdlText;
        if (!std::getline(fields, fen, '\t') || !std::getline(fields, wdlText, '\t')) continue;
        Position pos = positionFromFen(fen);
        bool kingPawn = pos.pieceCount == 3 && popcount(pos.pieces[WHITE][PAWN] | pos.pieces[BLACK][PAWN]) == 1;
        if (!kingPawn) continue;
        int wdl = std::stoi(wdlText); // from the side to move's point of view
        Color strong = pos.pieces[WHITE][PAWN] ? WHITE : BLACK;
        bool win = sideToMove(pos) == strong ? wdl > 0 : wdl < 0;
        EXPECT_EQ(tableSaysWin(pos), win) << fen << " wdl " << wdl;
        ++checked;
    }
    EXPECT_GT(checked, 100) << "the vectors should hold the king-and-pawn positions";
}

TEST(KingPawnTable, TextbookPositions) {
    struct Case {
        const char* fen;
        bool win;
    };
    const Case cases[] = {
        {"4k3/8/4K3/4P3/8/8/8/8 w - - 0 1", true},  // king on the sixth ahead of its pawn
        {"4k3/8/4K3/4P3/8/8/8/8 b - - 0 1", true},
        {"7k/8/8/8/8/8/7P/7K w - - 0 1", false},     // rook pawn, defender in the corner
        {"7k/8/8/8/8/8/7P/7K b - - 0 1", false},
        {"7k/8/8/P7/8/8/8/7K b - - 0 1", true},      // the defender is outside the pawn's square
        {"8/8/8/8/p7/8/8/K6k w - - 0 1", false},     // Black's rook pawn, White's king in the corner
        {"8/4P1k1/8/8/8/8/8/K7 w - - 0 1", true},   // the pawn promotes out of reach
        {"8/4P1k1/8/8/8/8/8/K7 b - - 0 1", false},  // ... unless the king gets to it first
        {"8/8/8/8/8/8/3kP3/7K w - - 0 1", true},    // the double step leaves the king behind
        {"8/8/8/8/8/8/3kP3/7K b - - 0 1", false},   // ... unless the king takes it first
    };
    for (const Case& c : cases) EXPECT_EQ(tableSaysWin(positionFromFen(c.fen)), c.win) << c.fen;
}
} // namespace
