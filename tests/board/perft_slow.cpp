// Perft counts of the reference files to their full depths. Long: split into chunks so that the
// test runner can spread them over the cores.
#include "perft_data.h"

namespace {

constexpr uint64_t NO_LIMIT = ~0ULL;
constexpr int CHESS960_CHUNKS = 32;
constexpr int RANDOM_CHUNKS = 8;

void expectChunk(const std::vector<PerftCase>& cases, int chunk, int chunks) {
    ASSERT_FALSE(cases.empty());
    for (size_t i = size_t(chunk); i < cases.size(); i += size_t(chunks)) expectPerftCounts(cases[i], NO_LIMIT);
}

TEST(PerftFull, WellKnownPositions) {
    for (const PerftCase& c : wellKnownPerftCases()) expectPerftCounts(c, NO_LIMIT);
}

TEST(PerftFull, StandardEpd) {
    REQUIRE_DATA("perft/standard.epd");
    expectChunk(readEpdPerft("perft/standard.epd", false), 0, 1);
}

TEST(PerftFull, Chess960Epd) {
    REQUIRE_DATA("perft/chess960.epd");
    expectChunk(readEpdPerft("perft/chess960.epd", true), 0, 1);
}

TEST(PerftFull, TrickyPositions) {
    REQUIRE_DATA("perft/tricky.perft");
    expectChunk(readBlockPerft("perft/tricky.perft", isChess960Name), 0, 1);
}

class PerftRandomChunk : public ::testing::TestWithParam<int> {};
TEST_P(PerftRandomChunk, RandomGames) {
    REQUIRE_DATA("perft/random.perft");
    expectChunk(readBlockPerft("perft/random.perft", isChess960Name), GetParam(), RANDOM_CHUNKS);
}
INSTANTIATE_TEST_SUITE_P(Chunks, PerftRandomChunk, ::testing::Range(0, RANDOM_CHUNKS));

class PerftChess960Chunk : public ::testing::TestWithParam<int> {};
TEST_P(PerftChess960Chunk, Chess960Starts) {
    REQUIRE_DATA("perft/chess960.perft");
    expectChunk(readBlockPerft("perft/chess960.perft", [](const std::string&) { return true; }), GetParam(),
                CHESS960_CHUNKS);
}
INSTANTIATE_TEST_SUITE_P(Chunks, PerftChess960Chunk, ::testing::Range(0, CHESS960_CHUNKS));

} // namespace
