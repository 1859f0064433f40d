// Perft counts against the reference files, as deep as the everyday run allows (the full depths
// are in perft_slow.cpp).
#include "perft_data.h"

namespace {

// Depths whose expected count is above this are left to the slow run.
constexpr uint64_t EVERYDAY_LEAF_LIMIT = 1000000;

void expectFile(const std::vector<PerftCase>& cases) {
    ASSERT_FALSE(cases.empty());
    for (const PerftCase& c : cases) expectPerftCounts(c, EVERYDAY_LEAF_LIMIT);
}

TEST(Perft, WellKnownPositions) {
    for (const PerftCase& c : wellKnownPerftCases()) expectPerftCounts(c, 5000000);
}

TEST(Perft, StandardEpd) {
    REQUIRE_DATA("perft/standard.epd");
    expectFile(readEpdPerft("perft/standard.epd", false));
}

TEST(Perft, Chess960EpdShredderAndXFen) {
    REQUIRE_DATA("perft/chess960.epd");
    expectFile(readEpdPerft("perft/chess960.epd", true));
}

TEST(Perft, RandomGames) {
    REQUIRE_DATA("perft/random.perft");
    expectFile(readBlockPerft("perft/random.perft", isChess960Name));
}

TEST(Perft, TrickyPositions) {
    REQUIRE_DATA("perft/tricky.perft");
    expectFile(readBlockPerft("perft/tricky.perft", isChess960Name));
}

TEST(Perft, Chess960Starts) {
    REQUIRE_DATA("perft/chess960.perft");
    expectFile(readBlockPerft("perft/chess960.perft", [](const std::string&) { return true; }));
}

// In standard chess a queenside right with the king on h8 cannot be used; under Chess960 rules the
// same text is a real right (king h8, rook a8) and the counts differ from depth 3 on.
TEST(Perft, CastlingRightOfAKingOffItsFileDependsOnTheRules) {
    const std::string fen = "r2r3k/p7/3p4/8/8/P6P/8/R3K2R b KQq - 0 1";
    struct Expectation {
        bool chess960;
        uint64_t counts[4];
    } expectations[] = {{false, {14, 206, 3660, 64409}}, {true, {14, 206, 3672, 64639}}};
    for (const auto& e : expectations) {
        Chess960Setting rules(e.chess960);
        Position pos = positionFromFen(fen);
        for (int depth = 1; depth <= 4; ++depth)
            EXPECT_EQ(perft(pos, depth), e.counts[depth - 1]) << "chess960 " << e.chess960 << " depth " << depth;
    }
}

TEST(Perft, DivideListsEveryMoveThenTheTotal) {
    Position pos = positionFromFen(startFen);
    EXPECT_EQ(perft(pos, 0), 1u);
    testing::internal::CaptureStdout();
    perftDivide(pos, 2);
    std::string out = testing::internal::GetCapturedStdout();
    std::vector<std::string> lines;
    std::stringstream stream(out);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    ASSERT_EQ(lines.size(), 22u) << out;
    for (int i = 0; i < 20; ++i) EXPECT_TRUE(lines[i].size() == 8 && lines[i].substr(4) == ": 20") << lines[i];
    EXPECT_NE(out.find("e2e4: 20\n"), std::string::npos);
    EXPECT_NE(out.find("g1f3: 20\n"), std::string::npos);
    EXPECT_EQ(lines[20], "");
    EXPECT_EQ(lines[21], "Nodes searched: 400");
}

} // namespace
