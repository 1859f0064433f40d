// The "position" command and the game record, run inside the test program.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "board/position.h"
#include "search/search_state.h"
#include "test_support.h"
#include "uci/game.h"
#include "uci/input.h"
#include "uci/protocol.h"

namespace {

constexpr const char* AFTER_E4 = "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq -";
constexpr const char* AFTER_E4_E5 = "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq -";

std::string run(const std::string& line) {
    testing::internal::CaptureStdout();
    executeCommand(line);
    return testing::internal::GetCapturedStdout();
}

// Every entry up to the current one is the previous entry after one move.
void expectLinkedRecord() {
    for (int i = 1; i <= gamePly; ++i) {
        EXPECT_EQ(positionStack[i].ply, positionStack[i - 1].ply + 1) << "entry " << i;
        EXPECT_NE(positionStack[i].lastMove, 0u) << "entry " << i;
    }
}

TEST(PositionCommand, SetsTheGameRecord) {
    struct Case {
        std::string command;
        std::string fen; // of the current entry
        int ply;
    };
    const Case cases[] = {
        {"position startpos", "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -", 0},
        {"position startpos moves", "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -", 0},
        {"position startpos moves e2e4 e7e5", AFTER_E4_E5, 2},
        {"position  startpos\tmoves  e2e4   e7e5 ", AFTER_E4_E5, 2},
        // Move counters are not part of the FEN handed on; the moves after them are played.
        {std::string("position fen ") + AFTER_E4 + " 0 1 moves e7e5", AFTER_E4_E5, 1},
        {std::string("position fen ") + AFTER_E4 + " moves e7e5", AFTER_E4_E5, 1},
        // Castling in king-destination text, en passant, promotion.
        {"position startpos moves e2e4 e7e5 g1f3 b8c6 f1c4 g8f6 e1g1",
         "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQ1RK1 b kq -", 7},
        {"position startpos moves e2e4 a7a6 e4e5 d7d5 e5d6", "rnbqkbnr/1pp1pppp/p2P4/8/8/8/PPPP1PPP/RNBQKBNR b KQkq -",
         5},
        {"position fen 8/4P1k1/8/8/8/8/8/K7 w - - moves e7e8n", "4N3/6k1/8/8/8/8/8/K7 b - -", 1},
    };
    for (const Case& c : cases) {
        run("position startpos moves d2d4"); // something else first
        run(c.command);
        EXPECT_EQ(gamePly, c.ply) << c.command;
        EXPECT_EQ(toFen(currentPosition()), c.fen) << c.command;
        expectLinkedRecord();
    }
}

TEST(PositionCommand, MovesListEndsAtAMoveThatCannotBePlayed) {
    const char* commands[] = {
        "position startpos moves e2e4 e2e4 e7e5", // the second e2e4 is not Black's move
        "position startpos moves e2e4 zz99 e7e5",
        "position startpos moves e2e4 e7",        // too short
        "position startpos moves e2e4 e8g8",      // castling through pieces
    };
    for (const char* command : commands) {
        std::string out = run(command);
        EXPECT_EQ(gamePly, 1) << command;
        EXPECT_EQ(toFen(currentPosition()), AFTER_E4) << command;
        EXPECT_EQ(out.rfind("info string ", 0), 0u) << command << " printed: " << out;
    }
}

TEST(PositionCommand, RefusedInputKeepsThePreviousPosition) {
    const char* commands[] = {
        "position",
        "position fen",
        "position fen moves e2e4",
        "position fen rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR",
        "position fen 8/8/8/8/8/8/8/8 w - -",                                 // no kings
        "position fen rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNRR w KQkq -", // nine squares on a rank
    };
    for (const char* command : commands) {
        run("position startpos moves e2e4 e7e5");
        std::string out = run(command);
        EXPECT_EQ(gamePly, 2) << command;
        EXPECT_EQ(toFen(currentPosition()), AFTER_E4_E5) << command;
        EXPECT_EQ(out.rfind("info string ", 0), 0u) << command << " printed: " << out;
    }
}

TEST(PositionCommand, LongLinesAreCutAndLongGamesStopAtTheRecordsEnd) {
    // Knight moves back and forth: 814 whole moves fit in a line of 4095 characters, and the cut
    // leaves a one-letter fragment of the next, which ends the list.
    std::string line = "position startpos moves";
    for (int i = 0; i < 1000; ++i) line += i % 4 == 0 ? " g1f3" : i % 4 == 1 ? " g8f6" : i % 4 == 2 ? " f3g1" : " f6g8";
    run(line);
    EXPECT_EQ(gamePly, 814);
    EXPECT_EQ(toFen(currentPosition()), "rnbqkb1r/pppppppp/5n2/8/8/5N2/PPPPPPPP/RNBQKB1R w KQkq -");

    // A moves list longer than the record (reachable only without the line limit) stops at its
    // last entry.
    std::vector<std::string> tokens = {"position", "startpos", "moves"};
    for (int i = 0; i < 3000; ++i) tokens.push_back(i % 4 == 0 ? "g1f3" : i % 4 == 1 ? "g8f6" : i % 4 == 2 ? "f3g1" : "f6g8");
    testing::internal::CaptureStdout();
    handlePosition(tokens);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(gamePly, GAME_RECORD_SIZE - 1);
    EXPECT_NE(out.find("info string "), std::string::npos);
    expectLinkedRecord();
}

// A "position" that arrives during a search must not rewrite the record the search refers to.
TEST(PositionCommand, WaitsForTheRunningSearch) {
    run("position startpos moves e2e4");
    Position before = currentPosition();
    searching = true;
    std::string out = run("position startpos moves d2d4 d7d5");
    out += run("isready");
    searching = false;
    EXPECT_EQ(out, "readyok\n");
    EXPECT_EQ(gamePly, 1);
    EXPECT_EQ(currentPosition().key, before.key);

    runDeferredCommands();
    EXPECT_EQ(gamePly, 2);
    EXPECT_EQ(toFen(currentPosition()), "rnbqkbnr/ppp1pppp/8/3p4/3P4/8/PPP1PPPP/RNBQKBNR w KQkq -");
}

TEST(CommandLine, TokensAndCuts) {
    auto words = [](const std::string& line) {
        std::vector<std::string> out;
        for (const Token& token : tokenize(line)) out.push_back(token.text);
        return out;
    };
    EXPECT_EQ(words("  go \t depth  5 "), (std::vector<std::string>{"go", "depth", "5"}));
    EXPECT_TRUE(words(" \t ").empty());
    std::vector<Token> tokens = tokenize("a  bc");
    ASSERT_EQ(tokens.size(), 2u);
    EXPECT_EQ(tokens[1].begin, 3u);
    EXPECT_EQ(tokens[1].end, 5u);

    // Everything after a carriage return, line feed or form feed is dropped; commands are
    // case-sensitive; empty and unknown lines are ignored without a reply.
    EXPECT_EQ(run("isready\rjunk"), "readyok\n");
    EXPECT_EQ(run("isready\fjunk"), "readyok\n");
    for (const char* line : {"", "\r", "\f isready", "   ", "ISREADY", "isready2", "foo isready", "Uci"})
        EXPECT_EQ(run(line), "") << line;
}

} // namespace
