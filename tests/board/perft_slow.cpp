// Perft counts of the reference files to their full depths, split into chunks so that the test
// runner can spread them over the cores. Depth 6 of the 960 Chess960 start positions alone is
// about 500 billion leaves, more than the continuous-integration time allows: by default every
// tenth position is checked at that depth (all of them at depth 5); TARVOLO_PERFT_FULL=1 checks
// every one.
#include <cstdlib>
#include <memory>

#include "board/attacks.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "perft_data.h"

namespace {

constexpr int CHESS960_CHUNKS = 16;
constexpr int RANDOM_CHUNKS = 4;
constexpr int CHESS960_DEPTH6_SAMPLE = 10;

// Perft that remembers the counts of positions it has already seen (keyed by position key and
// depth), so that transpositions are counted once. Same moves, same make-move, same leaf count.
class HashedPerft {
  public:
    HashedPerft() : table_(new Entry[SIZE]()) {}

    uint64_t count(const Position& pos, int depth) {
        if (depth <= 1) return depth <= 0 ? 1 : uint64_t(countLegalMoves(pos));
        const uint64_t tag = pos.key ^ uint64_t(depth);
        Entry& entry = table_[(pos.key ^ (uint64_t(depth) * 0x9e3779b97f4a7c15ULL)) & (SIZE - 1)];
        if (entry.tag == tag && entry.count) return entry.count;
        Move moves[MAX_MOVES];
        int n = generateAll(pos, moves);
        uint64_t total = 0;
        Position child;
        for (int i = 0; i < n; ++i) {
            if (!makeMove(pos, child, moveOnly(moves[i]))) continue;
            child.inCheck = kingAttacked(child, sideToMove(child)) ? 1 : 0;
            total += count(child, depth - 1);
        }
        entry = {tag, total};
        return total;
    }

  private:
    struct Entry {
        uint64_t tag;
        uint64_t count;
    };
    static constexpr size_t SIZE = size_t(1) << 21;
    std::unique_ptr<Entry[]> table_;
};

bool fullRun() {
    const char* full = std::getenv("TARVOLO_PERFT_FULL");
    return full && *full && *full != '0';
}

// Checks the cases chunk, chunk + chunks, ...; depths above `deepLimit` only for every
// `deepSample`-th case.
void expectChunk(const std::vector<PerftCase>& cases, int chunk, int chunks, int deepLimit = 99, int deepSample = 1) {
    ASSERT_FALSE(cases.empty());
    HashedPerft perft;
    for (size_t i = size_t(chunk); i < cases.size(); i += size_t(chunks)) {
        const PerftCase& c = cases[i];
        Chess960Setting rules(c.chess960);
        Position pos = positionFromFen(c.fen);
        for (auto [depth, expected] : c.counts) {
            if (depth > deepLimit && (i / size_t(chunks)) % size_t(deepSample) != 0) continue;
            EXPECT_EQ(perft.count(pos, depth), expected) << c.name << " " << c.fen << " depth " << depth;
        }
    }
}

TEST(PerftFull, WellKnownPositions) {
    for (const PerftCase& c : wellKnownPerftCases()) {
        Chess960Setting rules(false);
        Position pos = positionFromFen(c.fen);
        auto [depth, expected] = c.counts.back();
        EXPECT_EQ(perft(pos, depth), expected) << c.name;
    }
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
                CHESS960_CHUNKS, 5, fullRun() ? 1 : CHESS960_DEPTH6_SAMPLE);
}
INSTANTIATE_TEST_SUITE_P(Chunks, PerftChess960Chunk, ::testing::Range(0, CHESS960_CHUNKS));

} // namespace
