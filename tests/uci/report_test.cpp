// Search reports: score text, variation text, the exact info lines and the log copy.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "search/search_state.h"
#include "search/thread_data.h"
#include "tt/tt.h"
#include "uci/clock.h"
#include "uci/log.h"
#include "uci/report.h"

namespace {

constexpr int NO_TB = 2147483647;

const Move E2E4 = encodeMove(12, 28, DOUBLE_PUSH);
const Move E7E5 = encodeMove(52, 36, DOUBLE_PUSH);
const Move G1F3 = encodeMove(6, 21);
const Move E7E8Q = encodeMove(52, 60, PROMO_QUEEN);

// A search whose clock reads the minimum 0.001 s (it "started" in the future), with known node
// counters on three threads.
class Reports : public ::testing::Test {
  protected:
    void SetUp() override {
        tbRootScore = NO_TB;
        searchStart = nowSeconds() + 100;
        activeThreadCount = 3;
        nodeCounters[0].nodes = 3000;
        nodeCounters[1].nodes = 1500;
        nodeCounters[2].nodes = 500;
        nodeCounters[3].nodes = 99999; // not an active thread
        tbHits = 3;
        ttClear();
    }
    void TearDown() override {
        tbRootScore = NO_TB;
        activeThreadCount = 1;
        for (int i = 0; i < 4; ++i) nodeCounters[i].nodes = 0;
        tbHits = 0;
    }
    template <typename F> static std::string output(F f) {
        testing::internal::CaptureStdout();
        f();
        return testing::internal::GetCapturedStdout();
    }
};

TEST(ScoreText, ScoresMatesAndBounds) {
    tbRootScore = NO_TB;
    struct Case {
        int score, bound;
        const char* text;
    };
    const Case cases[] = {
        {0, 0, "cp 0"},           {35, 1, "cp 35 lowerbound"}, {-12, 2, "cp -12 upperbound"},
        {30000, 0, "cp 25000"},   {-30000, 0, "cp -25000"},    {31799, 0, "cp 25000"},
        {31999, 0, "mate 1"},     {31997, 0, "mate 2"},        {31800, 1, "mate 101 lowerbound"},
        {-32000, 0, "mate -1"},   {-31998, 0, "mate -1"},      {-31996, 2, "mate -2 upperbound"},
        {-31800, 0, "mate -100"},
    };
    for (const Case& c : cases) {
        int used = 123456;
        EXPECT_EQ(scoreText(c.score, c.bound, &used), c.text) << c.score << "/" << c.bound;
        EXPECT_EQ(used, c.score);
    }
}

TEST(ScoreText, TablebaseRootScoreOverridesOrdinaryScores) {
    struct Case {
        int rootScore, score, bound;
        const char* text;
        int used;
    };
    const Case cases[] = {
        {31799, 150, 1, "mate 1000", 31799},  // a won tablebase position, bound dropped
        {-31799, -20, 2, "mate -1000", -31799},
        {31799, 31990, 0, "mate 6", 31990},   // a real mate score stays
        {0, 300, 1, "cp 0", 0},               // a tablebase draw
        {31750, 10, 0, "mate 1000", 31750},
        {31650, 10, 0, "cp 25000", 31650},
    };
    for (const Case& c : cases) {
        tbRootScore = c.rootScore;
        int used = 0;
        EXPECT_EQ(scoreText(c.score, c.bound, &used), c.text) << c.rootScore << ", " << c.score;
        EXPECT_EQ(used, c.used);
    }
    tbRootScore = NO_TB;
}

TEST(VariationText, MovesEachFollowedByABlankUpToTheFirstNull) {
    const Move pv[] = {E2E4, E7E5, G1F3, NO_MOVE, E2E4};
    EXPECT_EQ(variationText(pv), "e2e4 e7e5 g1f3 ");
    const Move promotion[] = {E7E8Q, NO_MOVE};
    EXPECT_EQ(variationText(promotion), "e7e8q ");
    const Move empty[] = {NO_MOVE};
    EXPECT_EQ(variationText(empty), "");

    Move longLine[100];
    for (Move& m : longLine) m = G1F3;
    std::string text = variationText(longLine);
    EXPECT_EQ(text.size(), 64u * 5) << "at most 64 moves";
}

TEST(VariationText, LogCopyIsCutAtAWholeMove) {
    struct Case {
        const char* variation;
        const char* logged;
    };
    const Case cases[] = {
        {"e2e4 e7e5 g1f3 b8c6 f1b5 a7a6 b5a4 g8f6 ", "e2e4 e7e5 g1f3 b8c6 f1b5 a7a6"},
        {"e7e8q d8e8 g1f3 b8c6 f1b5 a7a6 b5a4 ", "e7e8q d8e8 g1f3 b8c6 f1b5"},
        {"e2e4 e7e5 ", "e2e4"},
        {"e2e4 ", "e2e4 "},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(logVariationText(c.variation), c.logged) << c.variation;
}

TEST_F(Reports, LinesHaveTheirExactText) {
    const Move pv[] = {E2E4, E7E5, NO_MOVE};
    // 5000 nodes over all active threads in the minimum 0.001 s.
    EXPECT_EQ(output([] { reportIterationStart(7); }), "info depth 7 time 1 nodes 5000 nps 5000000 hashfull 0\n");
    EXPECT_EQ(output([] { reportFinal(); }), "info time 1 nodes 5000 nps 5000000 hashfull 0\n");
    EXPECT_EQ(output([&] { reportPv(7, 31, 1, pv); }),
              "info depth 7 time 1 nodes 5000 score cp 31 lowerbound nps 5000000 hashfull 0 tbhits 3 pv e2e4 e7e5 \n");
    EXPECT_EQ(output([&] { reportMultiPv(2, 9, 31997, pv); }),
              "info multipv 2 depth 9 time 1 nodes 5000 score mate 2 nps 5000000 tbhits 3 pv e2e4 e7e5 \n");
    EXPECT_EQ(output([] { reportCurrMove(G1F3, 12); }), "info currmove g1f3 currmovenumber 12\n");

    // Depth below 1 prints nothing.
    EXPECT_EQ(output([] { reportIterationStart(0); }), "");
    EXPECT_EQ(output([&] { reportPv(0, 31, 0, pv); }), "");
}

TEST_F(Reports, ElapsedTimeAndHashfullFollowTheSearch) {
    searchStart = nowSeconds() - 2.5;
    EXPECT_GE(elapsedSeconds(), 2.5);
    EXPECT_LT(elapsedSeconds(), 3.5);
    std::string line = output([] { reportFinal(); });
    unsigned long long t = 0, n = 0, nps = 0;
    int h = -1;
    ASSERT_EQ(sscanf(line.c_str(), "info time %llu nodes %llu nps %llu hashfull %d", &t, &n, &nps, &h), 4) << line;
    EXPECT_GE(t, 2500u);
    EXPECT_EQ(n, 5000u);
    EXPECT_NEAR(double(nps), 5000 / (t / 1000.0), 5);

    for (uint64_t b = 0; b < tt.bucketCount; ++b) ttStore(b + tt.bucketCount, 4, 1, BOUND_EXACT, G1F3, 0);
    EXPECT_NE(output([] { reportFinal(); }).find("hashfull 250\n"), std::string::npos);
}

TEST_F(Reports, PrincipalVariationIsCopiedToTheLog) {
    char path[] = "/tmp/tarvolo_report_logXXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    output([&] { setLogFile(path); });
    const Move pv[] = {E2E4, E7E5, G1F3, E2E4, E7E5, G1F3, E2E4, NO_MOVE};
    output([&] { reportPv(12, -45, 2, pv); });
    tbRootScore = 31799;
    output([&] { reportPv(3, 20, 1, pv); });
    output([] { setLogFile("<empty>"); });

    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    unlink(path);
    std::string log = text.str();
    EXPECT_NE(log.find(" info:  12     0.00      -45 FL  e2e4 e7e5 g1f3 e2e4 e7e5 g1f3\n"), std::string::npos) << log;
    EXPECT_NE(log.find(" info:   3     0.00    31799 FH  e2e4 e7e5 g1f3 e2e4 e7e5 g1f3\n"), std::string::npos) << log;
}

} // namespace
