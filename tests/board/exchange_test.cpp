// The two static exchange tests.
#include <gtest/gtest.h>

#include <string>

#include "board/exchange.h"
#include "test_support.h"

namespace {
Move move(const std::string& text, int flag = NORMAL) {
    Square from = makeSquare(text[0] - 'a', text[1] - '1');
    Square to = makeSquare(text[2] - 'a', text[3] - '1');
    return encodeMove(from, to, flag);
}

struct Case {
    const char* fen;
    const char* move;
    int expected;
    const char* why;
};

TEST(IsLosingCapture, Cases) {
    const Case cases[] = {
        {"4k3/8/8/3n4/4P3/8/8/4K3 w - - 0 1", "e4d5", 0, "pawn takes knight"},
        {"4k3/8/2p5/3p4/8/8/3Q4/4K3 w - - 0 1", "d2d5", 1, "queen takes a pawn defended by a pawn"},
        {"4k3/8/8/3n4/8/8/8/3RK3 w - - 0 1", "d1d5", 0, "rook takes an undefended knight"},
        {"4k3/3n4/8/4p3/B7/8/4Q3/4K3 w - - 0 1", "e2e5", 0, "the only defender is pinned by our bishop"},
        {"4k3/3n4/8/4p3/8/8/4Q3/4K3 w - - 0 1", "e2e5", 1, "the same without the pin"},
        {"8/8/8/4k3/3b4/1N6/7K/3R4 w - - 0 1", "d1d4", 0, "only the king defends and we attack twice"},
        {"8/8/8/4k3/3b4/8/7K/3R4 w - - 0 1", "d1d4", 1, "only the king defends, we attack once"},
        {"4k3/8/8/2p5/8/8/8/3QK3 w - - 0 1", "d1d4", 1, "a quiet queen move onto a pawn-guarded square"},
        {"4k3/8/8/8/8/8/8/3QK3 w - - 0 1", "d1d4", 0, "a quiet move to a safe square"},
        {"4k3/8/3r4/8/3b4/8/8/3RK3 w - - 0 1", "d1d4", 1, "rook takes bishop, a rook recaptures"},
        {"4k3/8/3r4/8/3b4/8/3R4/3RK3 w - - 0 1", "d2d4", 0, "x-ray: our second rook backs the first"},
        {"4k3/8/8/8/8/8/8/3qK3 w - - 0 1", "e1d1", 0, "a king move answers 0"},
        {"4k3/2p5/3p4/8/4N3/8/8/4R1K1 w - - 0 1", "e4d6", 0,
         "the capture uncovers check: the pawn may not recapture"},
        {"4k3/2p5/3p4/8/4N3/8/8/5RK1 w - - 0 1", "e4d6", 1, "the same without the check"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(isLosingCapture(positionFromFen(c.fen), move(c.move)), c.expected) << c.why << ": " << c.fen;
    Position ep = positionFromFen("4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1");
    EXPECT_EQ(isLosingCapture(ep, move("e5d6", EN_PASSANT)), 0) << "en passant answers 0";
}

TEST(OriginIsSafe, Cases) {
    const Case cases[] = {
        {"4k3/8/8/4p3/3N4/2P5/8/4K3 w - - 0 1", "d4b5", 0, "a knight attacked by a pawn, even defended"},
        {"3rk3/8/8/8/3R4/8/8/3RK3 w - - 0 1", "d4a4", 1, "a rook attacked by a rook and defended"},
        {"4k3/8/8/8/3B4/8/8/q3K3 w - - 0 1", "d4e5", 0, "an undefended bishop attacked by a queen"},
        {"4k3/8/8/8/3B4/8/8/4K3 w - - 0 1", "d4e5", 1, "nothing attacks it"},
        {"4k3/8/8/8/3B4/4P3/8/q3K3 w - - 0 1", "d4e5", 1, "the queen would be lost for the bishop"},
        {"3qk3/8/8/8/3R4/8/8/3RK3 w - - 0 1", "d4a4", 1, "attacked by a queen, defended"},
        {"3rk3/3r4/8/8/3R4/8/8/3RK3 w - - 0 1", "d4a4", 0, "two rooks against one defender"},
        {"4k3/8/8/8/3K4/4p3/8/8 w - - 0 1", "d4d5", 1, "the king is not attacked"},
        {"4k3/8/8/2p5/3K4/8/8/8 w - - 0 1", "d4d3", 0, "an attacked king"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(originIsSafe(positionFromFen(c.fen), move(c.move)), c.expected) << c.why << ": " << c.fen;
}
} // namespace
