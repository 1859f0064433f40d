#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "board/movetext.h"
#include "book/book.h"
#include "book/polyglot_random.h"
#include "test_support.h"

namespace {
struct KeyCase {
    int line;
    std::string fen;
    uint64_t key;
};

std::vector<KeyCase> referenceKeys() {
    std::vector<KeyCase> cases;
    int line = 0;
    for (const std::string& text : readLines(dataPath("polyglot/keys.tsv"))) {
        ++line;
        size_t tab = text.find('\t');
        if (tab == std::string::npos) continue;
        cases.push_back({line, text.substr(0, tab), std::stoull(text.substr(tab + 1), nullptr, 16)});
    }
    return cases;
}

// The en-passant field of a FEN ("-" when none).
std::string enPassantField(const std::string& fen) {
    std::istringstream in(fen);
    std::string placement, side, castling, ep;
    in >> placement >> side >> castling >> ep;
    return ep;
}
} // namespace

TEST(PolyglotKey, EmbeddedRandomNumbersAreThePublishedOnes) {
    REQUIRE_DATA("polyglot/random64.txt");
    std::vector<std::string> lines = readLines(dataPath("polyglot/random64.txt"));
    ASSERT_EQ(lines.size(), size_t(POLYGLOT_RANDOM_COUNT));
    for (int i = 0; i < POLYGLOT_RANDOM_COUNT; ++i)
        EXPECT_EQ(polyglotRandom[i], std::stoull(lines[i], nullptr, 16)) << "index " << i;
}

// Every reference position, among them en-passant squares whose capture is possible (legal or
// not: the number is used) and squares no pawn of the side to move can reach (not used).
TEST(PolyglotKey, EqualsReferenceKeys) {
    REQUIRE_DATA("polyglot/keys.tsv");
    std::vector<KeyCase> cases = referenceKeys();
    ASSERT_FALSE(cases.empty());
    int epUsed = 0, epIgnored = 0;
    for (const KeyCase& c : cases) {
        Position pos = positionFromFen(c.fen);
        EXPECT_EQ(polyglotKey(pos), c.key) << "keys.tsv line " << c.line << ": " << c.fen;
        if (enPassantField(c.fen) != "-") ++(pos.epSquare ? epUsed : epIgnored);
    }
    EXPECT_GT(epUsed, 0);
    EXPECT_GT(epIgnored, 0);
}

// The book is probed in positions reached by moves, not only in positions read from FEN: the key
// must follow the en-passant square and lost castling rights through make-move too.
TEST(PolyglotKey, FollowsPositionsReachedByMoves) {
    REQUIRE_DATA("polyglot/keys.tsv");
    std::vector<KeyCase> cases = referenceKeys();
    ASSERT_GE(cases.size(), size_t(9));
    // Lines 1-7: one game from the start position; lines 8-9: a second one.
    const std::vector<std::pair<std::vector<std::string>, std::vector<int>>> games = {
        {{"e2e4", "d7d5", "e4e5", "f7f5", "e1e2", "e8f7"}, {2, 3, 4, 5, 6, 7}},
        {{"a2a4", "b7b5", "h2h4", "b5b4", "c2c4", "b4c3", "a1a3"}, {0, 0, 0, 0, 8, 0, 9}},
    };
    for (const auto& [moves, lineAfter] : games) {
        Position pos = positionFromFen(startFen);
        EXPECT_EQ(polyglotKey(pos), cases[0].key);
        for (size_t i = 0; i < moves.size(); ++i) {
            Position child;
            ASSERT_TRUE(executeMoveText(pos, child, moves[i])) << moves[i];
            pos = child;
            pos.parent = nullptr;
            if (lineAfter[i]) {
                const KeyCase& expected = cases[size_t(lineAfter[i] - 1)];
                EXPECT_EQ(polyglotKey(pos), expected.key) << "after " << moves[i] << ", " << expected.fen;
            }
        }
    }
}
