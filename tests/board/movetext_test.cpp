#include <gtest/gtest.h>

#include <cstring>

#include "board_test_util.h"
#include "perft_data.h"
#include "test_support.h"

namespace {

Square sq(const char* name) { return makeSquare(name[0] - 'a', name[1] - '1'); }

Move mv(const char* text, int flag = NORMAL) { return encodeMove(sq(text), sq(text + 2), flag); }

TEST(MoveText, Writing) {
    struct Case {
        bool chess960;
        Move move;
        const char* text;
    } cases[] = {
        {false, NO_MOVE, "0000"},
        {false, mv("e2e4", DOUBLE_PUSH), "e2e4"},
        {false, mv("e1h1", CASTLING), "e1g1"},
        {false, mv("e1a1", CASTLING), "e1c1"},
        {false, mv("e8h8", CASTLING), "e8g8"},
        {false, mv("e8a8", CASTLING), "e8c8"},
        {true, mv("e1h1", CASTLING), "e1h1"},
        {true, mv("b1a1", CASTLING), "b1a1"},
        {false, mv("b1a1", CASTLING), "b1c1"},
        {false, mv("b7a8", PROMO_KNIGHT), "b7a8n"},
        {false, mv("b7b8", PROMO_QUEEN), "b7b8q"},
        {false, mv("g2g1", PROMO_ROOK), "g2g1r"},
        {false, mv("g2h1", PROMO_BISHOP), "g2h1b"},
        {false, mv("e5d6", EN_PASSANT), "e5d6"},
        {false, withScore(mv("a1h8"), 1234), "a1h8"},
    };
    for (const Case& c : cases) {
        Chess960Setting rules(c.chess960);
        char text[6];
        std::memset(text, 'x', sizeof text);
        moveToText(c.move, text);
        EXPECT_STREQ(text, c.text);
        EXPECT_EQ(moveToString(c.move), c.text);
    }
}

TEST(MoveText, ExecutingLegalMoves) {
    struct Case {
        bool chess960;
        const char* fen;
        const char* text;
        Move made;
        bool givesCheck;
    } cases[] = {
        {false, startFen, "e2e4", mv("e2e4", DOUBLE_PUSH), false},
        {false, startFen, "E2E4", mv("e2e4", DOUBLE_PUSH), false},
        {false, startFen, "g1f3", mv("g1f3"), false},
        {false, "k7/4P3/8/8/8/8/8/4K3 w - - 0 1", "e7e8q", mv("e7e8", PROMO_QUEEN), true},
        {false, "k7/4P3/8/8/8/8/8/4K3 w - - 0 1", "e7e8N", mv("e7e8", PROMO_KNIGHT), false},
        {false, "rnbqkbnr/ppp1pppp/8/3pP3/8/8/PPPP1PPP/RNBQKBNR w KQkq d6 0 1", "e5d6", mv("e5d6", EN_PASSANT), false},
        {false, "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", "e1g1", mv("e1h1", CASTLING), false},
        {false, "r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1", "e8c8", mv("e8a8", CASTLING), false},
        {true, "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", "e1h1", mv("e1h1", CASTLING), false},
        {true, "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", "E1A1", mv("e1a1", CASTLING), false},
        {true, "r5kr/8/8/8/8/8/8/RK5R w Q - 0 1", "b1a1", mv("b1a1", CASTLING), false},
    };
    for (const Case& c : cases) {
        Chess960Setting rules(c.chess960);
        Position pos = positionFromFen(c.fen);
        Position child;
        ASSERT_TRUE(executeMoveText(pos, child, c.text)) << c.fen << " " << c.text;
        EXPECT_EQ(child.lastMove, c.made) << c.text;
        EXPECT_EQ(child.parent, &pos);
        EXPECT_EQ(bool(child.inCheck), c.givesCheck) << c.text;
        Position direct;
        ASSERT_TRUE(makeMove(pos, direct, c.made));
        EXPECT_EQ(child.key, direct.key) << c.text;
    }
}

// Text that names no legal move changes nothing and never reads past its end.
TEST(MoveText, RefusingText) {
    struct Case {
        bool chess960;
        const char* fen;
        const char* text;
    } cases[] = {
        {false, startFen, ""},
        {false, startFen, "e2"},
        {false, startFen, "e2e"},
        {false, startFen, "e9e4"},
        {false, startFen, "i2i4"},
        {false, startFen, "e2-e4"},
        {false, startFen, "0000"},
        {false, startFen, "e2e5"},
        {false, startFen, "e7e5"},          // the other side's pawn
        {false, startFen, "e2e3q"},         // a promotion letter on the third rank
        {false, "k7/4P3/8/8/8/8/8/4K3 w - - 0 1", "e7e8"}, // a promotion needs its letter
        {false, "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", "e1h1"}, // king takes rook only in Chess960
        {true, "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", "e1g1"},  // ... and is then the only form
        {false, "4k3/8/8/8/8/8/8/R3K2R w - - 0 1", "e1g1"},     // no right
    };
    for (const Case& c : cases) {
        Chess960Setting rules(c.chess960);
        Position pos = positionFromFen(c.fen);
        Position child = positionFromFen("4k3/8/8/8/8/8/8/4K3 w - - 0 1");
        const Position before = child;
        EXPECT_FALSE(executeMoveText(pos, child, c.text)) << c.fen << " " << c.text;
        EXPECT_EQ(std::memcmp(&child, &before, sizeof child), 0) << c.text;
    }
}

TEST(MoveText, IllegalMoveThatMatchesAGeneratedMoveIsReported) {
    Position pos = positionFromFen("4k3/4r3/8/8/8/8/4N3/4K3 w - - 0 1");
    Position child;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(executeMoveText(pos, child, "e2c3"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Cannot execute move e2c3\n");
}

} // namespace
