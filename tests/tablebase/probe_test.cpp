// Probes of real positions: win/draw/loss and distance values against reference vectors, the
// success flags, the search score, the hit counter and the root move filters.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sstream>

#include "board/makemove.h"
#include "board/movetext.h"
#include "search/search_state.h"
#include "tablebase/tablebase.h"
#include "tb_test_util.h"
#include "test_support.h"
#include "uci/settings.h"

namespace {

class TbProbe : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (!dataAvailable("syzygy/KQvK.rtbw")) return;
        testing::internal::CaptureStdout();
        tbLoadAll(dataPath("syzygy"));
        testing::internal::GetCapturedStdout();
    }
    static void TearDownTestSuite() {
        testing::internal::CaptureStdout();
        tbLoadAll("");
        testing::internal::GetCapturedStdout();
    }
    void SetUp() override {
        REQUIRE_DATA("syzygy/KRPvKR.rtbz");
        optSyzygy50MoveRule = 1;
    }
};

std::vector<std::string> fields(const std::string& line, char sep = '\t') {
    std::vector<std::string> out;
    std::stringstream in(line);
    std::string f;
    while (std::getline(in, f, sep)) out.push_back(f);
    return out;
}

// Every line of a vector file: the exact win/draw/loss value, and the exact distance. The
// reference distances are those of the standard probing rules, rounding of the two-ply tables
// included, which is what the probe reproduces; so no line may differ even by that one ply.
void checkVectors(const std::string& file) {
    int lines = 0;
    for (const std::string& line : readLines(dataPath(file))) {
        if (line.empty()) continue;
        const std::vector<std::string> f = fields(line);
        ASSERT_EQ(f.size(), 3u) << line;
        const Position pos = positionFromFen(f[0]);
        int wdlSuccess = 0, dtzSuccess = 0;
        const int wdl = tbWdlProbe(pos, &wdlSuccess);
        const int dtz = tbDtzProbe(pos, &dtzSuccess);
        EXPECT_NE(wdlSuccess, 0) << f[0];
        EXPECT_NE(dtzSuccess, 0) << f[0];
        EXPECT_EQ(wdl, std::stoi(f[1])) << f[0];
        EXPECT_EQ(dtz, std::stoi(f[2])) << f[0];
        lines++;
    }
    EXPECT_GT(lines, 0);
}

TEST_F(TbProbe, ThreeAndFourPieceVectors) {
    REQUIRE_DATA("syzygy/vectors.tsv");
    checkVectors("syzygy/vectors.tsv");
}

TEST_F(TbProbe, FivePieceVectorsWithCursedWinsAndBlessedLosses) {
    REQUIRE_DATA("syzygy/vectors5.tsv");
    checkVectors("syzygy/vectors5.tsv");
}

// Hand-checked positions where the raw table value is not the answer: captures that decide,
// en passant that wins or is forced, distances from the side the file does not store.
TEST_F(TbProbe, CapturesEnPassantAndTheOtherSideToMove) {
    struct Case {
        const char* fen;
        int wdl, dtz, wdlSuccess;
    } cases[] = {
        {"3B4/K7/8/k3N3/8/8/8/8 b - - 0 1", -2, -53, 1},
        {"8/2Q5/8/8/4K3/8/6k1/8 b - - 0 1", -2, -6, 1},    // distance from one ply of search
        {"8/6k1/4K3/6B1/8/8/5N2/8 w - - 0 1", 2, 20, 1},   // the same, winning side
        {"n7/8/8/8/1K6/6k1/2r5/8 w - - 0 1", -2, -18, 1},
        {"8/8/8/3R1p2/8/1k6/3K4/8 b - - 0 1", -2, -2, 1},
        {"8/8/3b4/6K1/8/8/1Q6/1k6 b - - 0 1", 0, 0, 1},    // ...Kxb2 saves the game
        {"8/8/K4k2/7q/8/8/7Q/8 b - - 0 1", 2, 1, 2},       // ...Qxh2+ wins
        {"8/2k5/8/8/8/4Qr2/6K1/8 b - - 0 1", 2, 1, 2},
        {"8/8/8/k2Pp3/8/8/8/4K3 w - e6 0 2", 2, 1, 1},     // dxe6 e.p. wins a drawn-looking table
        {"8/8/8/8/2pP4/2K5/4k3/8 b - d3 0 1", 2, 1, 1},    // cxd3 e.p. turns the table's loss
        {"8/8/8/8/8/8/8/k1K5 w - - 0 1", 0, 0, 1},         // kings only
    };
    for (const Case& c : cases) {
        const Position pos = positionFromFen(c.fen);
        int s1 = -1, s2 = -1;
        EXPECT_EQ(tbWdlProbe(pos, &s1), c.wdl) << c.fen;
        EXPECT_EQ(s1, c.wdlSuccess) << c.fen;
        EXPECT_EQ(tbDtzProbe(pos, &s2), c.dtz) << c.fen;
        EXPECT_NE(s2, 0) << c.fen;
    }
}

TEST_F(TbProbe, PositionsWithoutATableFail) {
    const char* fens[] = {
        "r3k3/8/8/8/8/8/8/4K2R w Kq - 0 1",     // castling rights
        "8/8/8/8/8/8/1PP5/k1K1R3 w - - 0 1",    // no KRPPvK table here
        "8/8/1n6/8/8/8/3PP3/k1K1Q3 w - - 0 1",  // six pieces, none registered
        "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
    };
    for (const char* fen : fens) {
        const Position pos = positionFromFen(fen);
        int success = -1;
        tbWdlProbe(pos, &success);
        EXPECT_EQ(success, 0) << fen;
        success = -1;
        tbDtzProbe(pos, &success);
        EXPECT_EQ(success, 0) << fen;
        int score = 12345;
        EXPECT_FALSE(tbSearchScore(pos, 3, &score)) << fen;
        EXPECT_EQ(score, 12345);
    }
}

TEST_F(TbProbe, SearchScoreWithAndWithoutTheFiftyMoveRule) {
    struct Case {
        const char* fen;
        int wdl;
        int withRule, withoutRule;  // at ply 7
    } cases[] = {
        {"8/8/7B/8/8/4K3/8/2kB4 w - - 0 1", 2, 31793, 31793},
        {"8/5B1K/8/2n1B3/8/8/4k3/8 w - - 0 1", 1, 2, 31793},
        {"8/8/R2k4/8/8/K7/8/4r3 b - - 0 1", 0, 0, 0},
        {"8/3kB3/8/8/8/7n/8/1K1B4 b - - 0 1", 0, 0, 0},
        {"3B4/K7/8/k3N3/8/8/8/8 b - - 0 1", -2, -31793, -31793},
    };
    for (const Case& c : cases) {
        const Position pos = positionFromFen(c.fen);
        int success;
        ASSERT_EQ(tbWdlProbe(pos, &success), c.wdl) << c.fen;
        int score;
        optSyzygy50MoveRule = 1;
        ASSERT_TRUE(tbSearchScore(pos, 7, &score));
        EXPECT_EQ(score, c.withRule) << c.fen;
        optSyzygy50MoveRule = 0;
        ASSERT_TRUE(tbSearchScore(pos, 7, &score));
        EXPECT_EQ(score, c.withoutRule) << c.fen;
    }
    optSyzygy50MoveRule = 1;
}

TEST_F(TbProbe, BlessedLossScoresWithTheRuleAndAsLossWithout) {
    REQUIRE_DATA("syzygy/vectors5.tsv");
    // Take a blessed loss from the reference vectors.
    std::string fen;
    for (const std::string& line : readLines(dataPath("syzygy/vectors5.tsv"))) {
        const std::vector<std::string> f = fields(line);
        if (f.size() == 3 && f[1] == "-1") {
            fen = f[0];
            break;
        }
    }
    ASSERT_FALSE(fen.empty());
    const Position pos = positionFromFen(fen);
    int score;
    optSyzygy50MoveRule = 1;
    ASSERT_TRUE(tbSearchScore(pos, 4, &score));
    EXPECT_EQ(score, -2);
    optSyzygy50MoveRule = 0;
    ASSERT_TRUE(tbSearchScore(pos, 4, &score));
    EXPECT_EQ(score, 4 - 31800);
    optSyzygy50MoveRule = 1;
}

TEST_F(TbProbe, HitsCountSuccessfulProbesOnly) {
    tbHits = 0;
    int success;
    tbWdlProbe(positionFromFen("8/8/8/2R5/1K6/8/5k2/8 w - - 0 1"), &success);
    tbDtzProbe(positionFromFen("8/8/8/2R5/1K6/8/5k2/8 w - - 0 1"), &success);
    EXPECT_EQ(tbHits.load(), 2u);
    tbWdlProbe(positionFromFen("8/8/1n6/8/8/8/3PP3/k1K1Q3 w - - 0 1"), &success);
    EXPECT_EQ(tbHits.load(), 2u);
}

// ---- Root filters ----------------------------------------------------------------------------

struct RootCase {
    std::string fen;
    int wdl = 0, dtz = 0;
    std::vector<std::string> best;
    std::map<std::string, std::pair<int, int>> detail;  // move -> (result, distance)
};

std::vector<RootCase> rootCases() {
    std::vector<RootCase> cases;
    for (const std::string& line : readLines(dataPath("syzygy/root.tsv"))) {
        const std::vector<std::string> f = fields(line);
        if (f.size() != 5) continue;
        RootCase c;
        c.fen = f[0];
        c.wdl = std::stoi(f[1]);
        c.dtz = std::stoi(f[2]);
        c.best = fields(f[3], ' ');
        for (const std::string& item : fields(f[4], ' ')) {
            const std::vector<std::string> parts = fields(item, ':');
            c.detail[parts[0]] = {std::stoi(parts[1]), std::stoi(parts[2])};
        }
        cases.push_back(c);
    }
    return cases;
}

// The root's legal moves as a root move list, in text order.
int rootList(const Position& root, const RootCase& c, RootMove* moves) {
    int n = 0;
    for (const auto& [text, unused] : c.detail) {
        Position child;
        Move m = NO_MOVE;
        if (executeMoveText(root, child, text)) m = child.lastMove;
        EXPECT_NE(m, NO_MOVE) << text;
        moves[n++] = RootMove{m, 0, 0};
    }
    return n;
}

std::vector<std::string> texts(const RootMove* moves, int n) {
    std::vector<std::string> out;
    for (int i = 0; i < n; i++) out.push_back(moveToString(moves[i].move));
    return out;
}

// What the two filters keep, worked out from each move's result and distance: wins keep the
// winning moves up to the distance the fifty-move counter allows (only the fastest ones after a
// repetition), draws the drawing moves, long losses the longest resistance, and anything else
// falls to the result-only filter, which keeps every move of the best result.
struct Expected {
    std::vector<std::string> moves;  // in the order the filter returns them
    bool byDistance;
    int score;
};

Expected expectedFilter(const RootCase& c, int r, bool repeated) {
    Expected e;
    std::vector<std::pair<int, std::string>> kept;  // (distance, move)
    const int d = c.dtz;
    int cls = d == 0 ? 0 : d > 0 ? (d + r <= 100 ? 2 : 1) : (r - d <= 100 ? -2 : -1);
    const int classScore[5] = {-31799, -2, 0, 2, 31799};
    e.score = classScore[cls + 2];
    if (cls == 1 && d <= 100) e.score = (200 - d - r) / 2;
    if (cls == -1 && d >= -100) e.score = -((d + 200 - r) / 2);
    e.byDistance = true;
    if (d > 0) {
        int best = 1 << 20;
        for (const auto& [m, vz] : c.detail)
            if (vz.second > 0) best = std::min(best, vz.second);
        if (!repeated && best + r <= 99) best = 99 - r;
        for (const auto& [m, vz] : c.detail)
            if (vz.second > 0 && vz.second <= best) kept.push_back({vz.second, m});
    } else if (d < 0) {
        int worst = 0;
        for (const auto& [m, vz] : c.detail) worst = std::min(worst, vz.second);
        if (r - 2 * worst > 99) {
            for (const auto& [m, vz] : c.detail)
                if (vz.second == worst) kept.push_back({vz.second, m});
        } else {
            e.byDistance = false;
            e.score = classScore[c.wdl + 2];
            int top = -3;
            for (const auto& [m, vz] : c.detail) top = std::max(top, vz.first);
            for (const auto& [m, vz] : c.detail)
                if (vz.first == top) e.moves.push_back(m);
            return e;
        }
    } else {
        for (const auto& [m, vz] : c.detail)
            if (vz.second == 0) kept.push_back({0, m});
    }
    std::stable_sort(kept.begin(), kept.end(), [](auto& a, auto& b) { return a.first < b.first; });
    for (auto& [z, m] : kept) e.moves.push_back(m);
    return e;
}

// The root probe as the search driver makes it: distance filter first, result filter if the
// first keeps nothing.
Expected runFilters(const Position& root, const RootCase& c) {
    RootMove moves[MAX_ROOT_MOVES];
    int n = rootList(root, c, moves);
    Expected got;
    got.score = 12345;
    int kept = tbRootFilterDtz(root, moves, n, &got.score);
    got.byDistance = kept > 0;
    if (!kept) {
        n = rootList(root, c, moves);
        kept = tbRootFilterWdl(root, moves, n, &got.score);
    }
    got.moves = texts(moves, kept);
    return got;
}

TEST_F(TbProbe, RootFiltersKeepTheMovesThatPreserveTheResult) {
    REQUIRE_DATA("syzygy/root.tsv");
    const std::vector<RootCase> cases = rootCases();
    ASSERT_FALSE(cases.empty());
    std::map<std::string, std::vector<std::string>> accept;
    for (const std::string& line : readLines(dataPath("syzygy/root-accept.tsv"))) {
        const std::vector<std::string> f = fields(line);
        if (f.size() == 2) accept[f[0]] = fields(f[1], ' ');
    }
    for (const RootCase& c : cases) {
        SCOPED_TRACE(c.fen);
        for (int r : {0, 40, 95}) {
            SCOPED_TRACE("halfmove clock " + std::to_string(r));
            Position root = positionFromFen(c.fen);
            root.halfmoveClock = uint16_t(r);
            const Expected want = expectedFilter(c, r, false);
            const Expected got = runFilters(root, c);
            EXPECT_EQ(got.moves, want.moves);
            EXPECT_EQ(got.byDistance, want.byDistance);
            EXPECT_EQ(got.score, want.score);
            if (r == 0) {
                std::vector<std::string> sorted = got.moves;
                std::sort(sorted.begin(), sorted.end());
                EXPECT_EQ(sorted, accept[c.fen]);
            }
        }
    }
}

TEST_F(TbProbe, AfterARepetitionAWinningRootKeepsOnlyTheFastestMoves) {
    REQUIRE_DATA("syzygy/root.tsv");
    for (const RootCase& c : rootCases()) {
        if (c.dtz <= 0) continue;
        SCOPED_TRACE(c.fen);
        // The root stood on the board two plies ago.
        const Position earlier = positionFromFen(c.fen);
        Position between = positionFromFen(c.fen);
        between.parent = &earlier;
        Position root = positionFromFen(c.fen);
        root.parent = &between;
        root.halfmoveClock = 2;
        const Expected got = runFilters(root, c);
        EXPECT_EQ(got.moves, expectedFilter(c, 2, true).moves);
        std::vector<std::string> sorted = got.moves;
        std::sort(sorted.begin(), sorted.end());
        EXPECT_EQ(sorted, c.best);
    }
}

TEST_F(TbProbe, CursedWinAtTheRootScoresByTheRemainingMoves) {
    // Distance 60 with 50 plies already played: the win comes too late, the score says how
    // close it is (cp 45).
    Position root = positionFromFen("k7/8/2K5/8/8/1b3n2/8/8 b - - 0 1");
    root.halfmoveClock = 50;
    RootMove moves[MAX_ROOT_MOVES];
    int score = 0;
    EXPECT_GT(tbRootFilterDtz(root, moves, 0, &score), 0);
    EXPECT_EQ(score, 45);
}

TEST_F(TbProbe, RootFiltersFailWithoutTables) {
    const Position root = positionFromFen("8/8/1n6/8/8/8/3PP3/k1K1Q3 w - - 0 1");
    RootMove moves[MAX_ROOT_MOVES];
    int score = 777;
    EXPECT_EQ(tbRootFilterDtz(root, moves, 0, &score), 0);
    EXPECT_EQ(tbRootFilterWdl(root, moves, 0, &score), 0);
    EXPECT_EQ(score, 777);
}

} // namespace
