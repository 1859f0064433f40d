#include <algorithm>
#include <set>
#include <vector>

#include "board/exchange.h"
#include "search/move_tests.h"
#include "search/picker.h"
#include "search_fixtures.h"

namespace {

struct Served {
    Move move;
    int stage;
};

std::vector<Served> drain(const Position& pos, int mode, Move hash = 0, Move k1 = 0, Move k2 = 0, Move c1 = 0,
                          Move c2 = 0, int depth = 8) {
    MovePicker picker;
    initPicker(picker, pos, mode, hash, k1, k2, c1, c2, depth);
    std::vector<Served> out;
    while (Move move = nextMove(picker)) {
        out.push_back({move, picker.stage});
        if (out.size() > 400) break;
    }
    return out;
}

std::vector<int> rowOf(int mode) {
    switch (mode) {
    case MODE_ALL: return {1, 2, 3, 4, 5, 6, 7, 11};
    case MODE_EVASIONS: return {1, 8, 11};
    case MODE_FUTILE_SHALLOW: return {1, 2, 9, 10};
    case MODE_FUTILE: return {1, 2, 9, 10, 11};
    case MODE_QUIESCENCE: return {1, 14};
    case MODE_QUIESCENCE_CHECKS: return {1, 14, 13, 15};
    default: return {1, 14, 13};
    }
}

Move parse(const Position& pos, const std::string& text) {
    for (Move move : legalMoves(pos)) {
        if (moveToString(move) == text) return move;
    }
    ADD_FAILURE() << "no legal move " << text;
    return 0;
}

std::set<Move> asSet(const Move* list, int count) {
    std::set<Move> moves;
    for (int i = 0; i < count; ++i) moves.insert(moveOnly(list[i]));
    return moves;
}

// White: Ke1, Qa2, Nf3, pawns b5, d3, g6. Black: Ke8, pawns d5, e4, e6. Qxd5 loses the queen for a
// pawn, dxe4 does not; Qc4 is a quiet move onto a square a pawn attacks; Qa8+ is the only quiet
// check; b6 and g7 are pushes to the 6th and 7th ranks.
const char* const kMixed = "4k3/8/4p1P1/1P1p4/4p3/3P1N2/Q7/4K3 w - - 0 1";
// White in check from an undefended queen that a knight and the king can take.
const char* const kCheck = "4k3/8/8/8/8/1N6/3q4/4K3 w - - 0 1";

// The deferral cases need the exchange test that tells a losing move.
bool exchangeTestAvailable() {
    Position pos = positionFromFen(kMixed);
    return isLosingCapture(pos, encodeMove(makeSquare(0, 1), makeSquare(3, 4))) != 0; // Qxd5
}

} // namespace

// Every mode serves its stages in the order of its row, never returns a move twice, and serves
// exactly the moves its stages stand for.
TEST(MovePicker, ModesServeTheirStagesInOrderWithoutDuplicates) {
    if (!exchangeTestAvailable()) GTEST_SKIP() << "exchange test not available";
    Position mixed = positionFromFen(kMixed);
    Position check = positionFromFen(kCheck);
    Move list[MAX_MOVES];
    std::set<Move> captures = asSet(list, generateCaptures(mixed, list));
    std::set<Move> quietChecks = asSet(list, generateQuietChecks(mixed, list));
    std::set<Move> all = asSet(list, generateAll(mixed, list));
    std::set<Move> evasions = asSet(list, generateEvasions(check, list));
    const Move b6 = parse(mixed, "b5b6"), g7 = parse(mixed, "g6g7");
    const Move qxd5 = parse(mixed, "a2d5");

    std::set<Move> withChecks = captures;
    withChecks.insert(quietChecks.begin(), quietChecks.end());
    std::set<Move> withPushes = withChecks;
    withPushes.insert({b6, g7});
    std::set<Move> futileShallow = withPushes;
    futileShallow.erase(qxd5); // deferred as a loser, and this mode has no deferred stage

    struct Case {
        int mode;
        const Position* pos;
        std::set<Move> expected;
        std::set<int> stagesSeen;
    };
    const std::vector<Case> cases = {
        {MODE_ALL, &mixed, all, {2, 7, 11}},
        {MODE_EVASIONS, &check, evasions, {8}},
        {MODE_FUTILE_SHALLOW, &mixed, futileShallow, {2, 9, 10}},
        {MODE_FUTILE, &mixed, withPushes, {2, 9, 10, 11}},
        {MODE_QUIESCENCE, &mixed, captures, {14}},
        {MODE_QUIESCENCE_CHECKS, &mixed, withPushes, {14, 13, 15}},
        {MODE_QUIESCENCE_NULL, &mixed, withChecks, {14, 13}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("mode " + std::to_string(c.mode));
        std::vector<Served> served = drain(*c.pos, c.mode);
        std::vector<int> row = rowOf(c.mode);
        std::set<Move> seen;
        std::set<int> stages;
        size_t rowIndex = 0;
        for (const Served& s : served) {
            EXPECT_TRUE(seen.insert(s.move).second) << "served twice: " << moveToString(s.move);
            while (rowIndex < row.size() && row[rowIndex] != s.stage) ++rowIndex;
            ASSERT_LT(rowIndex, row.size()) << "stage " << s.stage << " out of order for " << moveToString(s.move);
            stages.insert(s.stage);
        }
        EXPECT_EQ(seen, c.expected);
        EXPECT_EQ(stages, c.stagesSeen);
    }
}

// The single-move stages: a hash move or killer that is not pseudo-legal here is skipped; one that
// repeats an earlier stage's move, or that is now a capture served by the capture stage, is not
// served again.
TEST(MovePicker, SingleMoveStagesSkipInvalidAndRepeatedMoves) {
    if (!exchangeTestAvailable()) GTEST_SKIP() << "exchange test not available";
    Position pos = positionFromFen(kMixed);
    const Move ng5 = parse(pos, "f3g5"), kf2 = parse(pos, "e1f2"), dxe4 = parse(pos, "d3e4");
    const Move kingJump = encodeMove(4, 20);      // e1e3: not a king move
    const Move fromEmpty = encodeMove(7, 15);     // h1h2: no piece on h1
    const Move blackPiece = encodeMove(36, 28);   // e4e3: the opponent's pawn

    struct Case {
        const char* name;
        Move hash, k1, k2, c1, c2;
        std::vector<std::pair<Move, int>> leading; // first moves with their stages
        std::vector<Move> absent;
    };
    const std::vector<Case> cases = {
        {"invalid hash and killers", kingJump, fromEmpty, blackPiece, 0, 0, {{dxe4, 2}}, {kingJump, fromEmpty, blackPiece}},
        {"killer equal to hash", ng5, ng5, kf2, kf2, 0, {{ng5, 1}, {dxe4, 2}, {kf2, 4}}, {}},
        {"capture as killer", 0, dxe4, ng5, 0, 0, {{dxe4, 2}, {ng5, 4}}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<Served> served = drain(pos, MODE_ALL, c.hash, c.k1, c.k2, c.c1, c.c2);
        ASSERT_GE(served.size(), c.leading.size());
        for (size_t i = 0; i < c.leading.size(); ++i) {
            EXPECT_EQ(moveToString(served[i].move), moveToString(c.leading[i].first));
            EXPECT_EQ(served[i].stage, c.leading[i].second);
        }
        std::set<Move> seen;
        for (const Served& s : served) {
            EXPECT_TRUE(seen.insert(s.move).second) << "served twice: " << moveToString(s.move);
            for (Move bad : c.absent) EXPECT_NE(s.move, bad);
        }
        Move list[MAX_MOVES];
        EXPECT_EQ(seen, asSet(list, generateAll(pos, list)));
    }
}

// Losing moves are put aside and served last: losing captures always in mode 0, quiet moves onto
// attacked squares only from depth 12 on.
TEST(MovePicker, LosingMovesComeLastAndQuietDeferralStartsAtDepth12) {
    if (!exchangeTestAvailable()) GTEST_SKIP() << "exchange test not available";
    Position pos = positionFromFen(kMixed);
    const Move qxd5 = parse(pos, "a2d5"), qc4 = parse(pos, "a2c4");
    ASSERT_TRUE(isLosingCapture(pos, qxd5));
    ASSERT_TRUE(isLosingCapture(pos, qc4));

    struct Case {
        int depth;
        std::vector<Move> tail; // the last moves served, in order
        int qc4Stage;
    };
    for (const Case& c : {Case{11, {qxd5}, STAGE_QUIETS}, Case{12, {qxd5, qc4}, STAGE_DEFERRED}}) {
        SCOPED_TRACE("depth " + std::to_string(c.depth));
        std::vector<Served> served = drain(pos, MODE_ALL, 0, 0, 0, 0, 0, c.depth);
        ASSERT_GE(served.size(), c.tail.size());
        size_t start = served.size() - c.tail.size();
        for (size_t i = 0; i < c.tail.size(); ++i) {
            EXPECT_EQ(moveToString(served[start + i].move), moveToString(c.tail[i]));
            EXPECT_EQ(served[start + i].stage, STAGE_DEFERRED);
        }
        auto it = std::find_if(served.begin(), served.end(), [&](const Served& s) { return s.move == qc4; });
        ASSERT_NE(it, served.end());
        EXPECT_EQ(it->stage, c.qc4Stage);
        // Every quiet move comes before the losing capture.
        size_t lastQuiet = 0, capture = 0;
        for (size_t i = 0; i < served.size(); ++i) {
            if (served[i].stage == STAGE_QUIETS) lastQuiet = i;
            if (served[i].move == qxd5) capture = i;
        }
        EXPECT_GT(capture, lastQuiet);
    }
}

// Evasions: captures of the checker first, the less valuable capturer before the king; the
// killer before the other king moves.
TEST(MovePicker, EvasionsAreScoredCapturesFirst) {
    Position pos = positionFromFen(kCheck);
    const Move nxd2 = parse(pos, "b3d2"), kxd2 = parse(pos, "e1d2"), kf1 = parse(pos, "e1f1");
    std::vector<Served> served = drain(pos, MODE_EVASIONS, 0, kf1);
    ASSERT_GE(served.size(), 3u);
    EXPECT_EQ(served[0].move, nxd2);
    EXPECT_EQ(served[1].move, kxd2);
    EXPECT_EQ(served[2].move, kf1);

    // Mode 4 with no evasion at all ends at once.
    Position mated = positionFromFen("rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 1 3");
    for (const Served& s : drain(mated, MODE_EVASIONS)) {
        Position child;
        EXPECT_FALSE(makeLegal(mated, child, s.move)) << moveToString(s.move);
    }
}
