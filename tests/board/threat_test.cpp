// Threat measures and the numeric exchange value.
#include <gtest/gtest.h>

#include <string>

#include "board/makemove.h"
#include "board/threat.h"
#include "test_support.h"

namespace {
Move move(const std::string& text) {
    return encodeMove(makeSquare(text[0] - 'a', text[1] - '1'), makeSquare(text[2] - 'a', text[3] - '1'));
}

TEST(ExchangeValue, Cases) {
    struct Case {
        const char* fen;
        const char* move;
        int expected;
        const char* why;
    };
    const Case cases[] = {
        {"4k3/8/8/3n4/8/8/8/3RK3 w - - 0 1", "d1d5", 3, "an undefended knight"},
        {"4k3/8/2p5/3n4/8/8/8/3RK3 w - - 0 1", "d1d5", -2, "a knight defended by a pawn"},
        {"4k3/8/8/8/8/8/4P3/4K3 w - - 0 1", "e2e3", 0, "a push to a quiet square"},
        {"4k3/8/8/3p4/8/4P3/8/4K3 w - - 0 1", "e3e4", -1, "a push onto a pawn-guarded square"},
        {"6k1/7p/8/8/8/3B4/8/4K3 w - - 0 1", "d3h7", -2, "the king takes back"},
        {"6k1/7p/8/8/8/3B4/2Q5/4K3 w - - 0 1", "d3h7", 1, "the queen behind the bishop keeps the king off"},
        {"4k3/8/3r4/8/3b4/8/3R4/3RK3 w - - 0 1", "d2d4", 3, "x-ray rooks win the bishop"},
        {"4k3/3r4/3r4/8/3b4/8/8/3RK3 w - - 0 1", "d1d4", -2, "doubled defenders win the rook"},
        {"4k3/8/8/3p4/4P3/8/8/4K3 b - - 0 1", "d5e4", 1, "Black captures: the value is for the mover"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(exchangeValue(positionFromFen(c.fen), move(c.move)), c.expected) << c.why << ": " << c.fen;
}

TEST(FullThreat, Cases) {
    struct Case {
        const char* fen;
        int expected;
        const char* why;
    };
    const Case cases[] = {
        {"4k3/8/8/8/8/8/p7/4K3 w - - 0 1", 15, "a Black pawn on the seventh"},
        {"4k3/8/8/8/3Q4/8/p7/4K3 w - - 0 1", 15, "whatever else stands"},
        {"4k3/P7/8/8/8/8/8/4K3 b - - 0 1", 15, "a White pawn on the seventh, Black to move"},
        {"4k3/8/8/8/8/8/8/4K3 w - - 0 1", 0, "nothing to lose"},
        {startFen, 0, "the start"},
        {"4k3/8/8/4p3/3Q4/2P5/8/4K3 w - - 0 1", 18, "a queen attacked by a pawn, defended"},
        {"4k3/8/8/8/3N4/8/8/3rK3 w - - 0 1", 6, "a hanging knight"},
        {"4k3/8/8/8/3N4/4P3/8/3rK3 w - - 0 1", 1, "a defended knight still costs 6 - 5 against a rook"},
        {"4k3/8/8/3r4/8/8/3P4/4K3 w - - 0 1", 0, "a defended pawn attacked by a rook"},
        {"4k3/8/8/3n4/8/8/P7/4K3 w - - 0 1", 0, "a pawn out of reach"},
        {"4k3/8/8/3n4/1P6/8/8/4K3 w - - 0 1", 2, "a hanging pawn"},
        // The queen loses 9 to the queen trade; the rook on h1 would lose 10 to the bishop, but
        // after a queen loss above 4 the rooks are not looked at.
        {"b2qk3/8/8/8/3Q4/2P5/8/4K2R w - - 0 1", 9, "early stop after the queens"},
        {"b3k3/8/8/8/8/8/8/4K2R w - - 0 1", 10, "the same rook alone"},
    };
    for (const Case& c : cases) EXPECT_EQ(fullThreat(positionFromFen(c.fen)), c.expected) << c.why << ": " << c.fen;
}

Position after(const std::string& fen, const std::string& moveText) {
    Position root = positionFromFen(fen);
    Position child{};
    EXPECT_TRUE(makeMove(root, child, move(moveText))) << fen << " " << moveText;
    child.parent = nullptr;
    return child;
}

TEST(LastMoveThreat, Cases) {
    struct Case {
        const char* fen;
        const char* move;
        int expected;
        const char* why;
    };
    const Case cases[] = {
        {"4k3/8/4p3/8/3N4/8/8/4K3 b - - 0 1", "e6e5", 2, "a pawn move attacks a knight"},
        {"4k3/8/4p3/8/3P4/8/8/4K3 b - - 0 1", "e6e5", 0, "a pawn move attacks only a pawn"},
        {"1n2k3/8/8/4B3/8/8/8/4K3 b - - 0 1", "b8c6", 1, "a knight attacks an undefended bishop"},
        {"1n2k3/8/8/4B3/5P2/8/8/4K3 b - - 0 1", "b8c6", 0, "... defended by a pawn"},
        {"1n2k3/8/8/8/8/8/8/R3K3 b - - 0 1", "b8c6", 0, "a knight attacking nothing"},
        {"4k3/8/8/8/8/1n6/8/R3K3 b - - 0 1", "b3d2", 0, "a knight next to the king, attacking nothing else"},
        {"4k3/8/8/8/n7/8/8/R2QK3 b - - 0 1", "a4c3", 2, "a knight attacks the queen"},
        {"4k3/8/8/8/6b1/8/8/R3K3 b - - 0 1", "g4f3", 0, "a bishop that attacks nothing"},
        {"4k3/7b/8/8/8/8/8/Q3K3 b - - 0 1", "h7e5", 2, "a bishop attacks the queen"},
        {"4k3/7b/8/8/8/2P5/8/Q3K3 b - - 0 1", "h7e5", 0, "a pawn in between, and the queen defends it"},
        {"4k3/7r/8/8/8/8/8/Q3K3 b - - 0 1", "h7h1", 0, "a rook check along the rank"},
        {"4k3/7r/8/8/8/8/Q7/4K3 b - - 0 1", "h7h2", 2, "a rook attacks the queen on its rank"},
    };
    for (const Case& c : cases) EXPECT_EQ(lastMoveThreat(after(c.fen, c.move)), c.expected) << c.why << ": " << c.fen;
    EXPECT_EQ(lastMoveThreat(positionFromFen(startFen)), 0) << "a root from FEN";
    EXPECT_EQ(lastMoveThreat(positionFromFen("4k3/8/8/8/8/8/7p/4K3 w - - 0 1")), 0) << "no last move";
}
} // namespace
