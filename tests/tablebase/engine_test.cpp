// Tablebases through the engine program: the option messages, the root probe choosing the move
// and fixing the reported score, the hit count, and the cases that must not probe.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <sstream>

#include "test_support.h"

namespace {

std::vector<std::string> words(const std::string& text, char sep = ' ') {
    std::vector<std::string> out;
    std::stringstream in(text);
    std::string w;
    while (std::getline(in, w, sep))
        if (!w.empty()) out.push_back(w);
    return out;
}

// The value after `key` in an info line, or "" when absent; "score" gives the whole score text.
std::string field(const std::string& line, const std::string& key) {
    const std::vector<std::string> w = words(line);
    for (size_t i = 0; i + 1 < w.size(); i++) {
        if (w[i] != key) continue;
        if (key != "score") return w[i + 1];
        std::string s = w[i + 1] + " " + (i + 2 < w.size() ? w[i + 2] : "");
        if (i + 3 < w.size() && (w[i + 3] == "lowerbound" || w[i + 3] == "upperbound")) s += " " + w[i + 3];
        return s;
    }
    return "";
}

struct SearchResult {
    std::string bestmove;
    std::vector<std::string> scores;  // score texts of the variation lines
    uint64_t maxTbHits = 0;
    bool sawTbHits = false;
};

class TbEngine : public ::testing::Test {
  protected:
    void SetUp() override {
        REQUIRE_DATA("syzygy/root.tsv");
        engine_ = std::make_unique<EngineProcess>();
        engine_->send("setoption name SyzygyPath value " + dataPath("syzygy"));
        sync();
    }
    void TearDown() override {
        if (!engine_) return;
        engine_->send("quit");
        EXPECT_EQ(engine_->wait(), 0);
    }
    std::vector<std::string> sync() {
        std::vector<std::string> seen;
        engine_->send("isready");
        EXPECT_TRUE(engine_->waitFor("readyok", nullptr, 30, &seen));
        return seen;
    }
    SearchResult search(const std::string& fen, const std::string& go) {
        engine_->send("position fen " + fen);
        engine_->send(go);
        std::vector<std::string> seen;
        std::string last;
        SearchResult r;
        EXPECT_TRUE(engine_->waitFor("bestmove", &last, 30, &seen)) << fen;
        for (const std::string& line : seen) {
            if (line.rfind("info ", 0) != 0) continue;
            const std::string hits = field(line, "tbhits");
            if (!hits.empty()) {
                r.sawTbHits = true;
                r.maxTbHits = std::max<uint64_t>(r.maxTbHits, std::stoull(hits));
            }
            const std::string score = field(line, "score");
            if (!score.empty()) r.scores.push_back(score);
        }
        const std::vector<std::string> w = words(last);
        r.bestmove = w.size() > 1 ? w[1] : "";
        return r;
    }
    std::unique_ptr<EngineProcess> engine_;
};

TEST_F(TbEngine, OptionsReportTablesAndProbeLimit) {
    engine_->send("setoption name SyzygyPath value " + dataPath("syzygy"));
    std::vector<std::string> seen = sync();
    auto has = [&](const std::string& line) { return std::find(seen.begin(), seen.end(), line) != seen.end(); };
    EXPECT_TRUE(has("info string Found 41 tablebases (up to 5-man).")) << testing::PrintToString(seen);
    EXPECT_TRUE(has("info string Probing tablebases up to 5-man."));
    engine_->send("setoption name Syzygy Probe Limit value 4");
    seen = sync();
    EXPECT_TRUE(has("info string Probing tablebases up to 4-man.")) << testing::PrintToString(seen);
}

// Every root position: the move played is one the root filters keep (for a halfmove clock of 0,
// the moves of root-accept.tsv), tablebase hits are reported, and the score is the tablebase
// result: a win or loss as "mate" with its sign (1000 unless the search sees the mate itself),
// a draw as "cp 0", never with a bound word.
TEST_F(TbEngine, RootProbeChoosesAKeptMoveAndFixesTheScore) {
    std::map<std::string, std::set<std::string>> accept;
    for (const std::string& line : readLines(dataPath("syzygy/root-accept.tsv"))) {
        const std::vector<std::string> f = words(line, '\t');
        if (f.size() == 2) {
            const std::vector<std::string> moves = words(f[1]);
            accept[f[0]] = std::set<std::string>(moves.begin(), moves.end());
        }
    }
    for (const std::string& line : readLines(dataPath("syzygy/root.tsv"))) {
        const std::vector<std::string> f = words(line, '\t');
        if (f.size() < 3) continue;
        SCOPED_TRACE(f[0]);
        const int wdl = std::stoi(f[1]);
        const SearchResult r = search(f[0], "go movetime 300");
        EXPECT_TRUE(accept[f[0]].count(r.bestmove)) << r.bestmove;
        EXPECT_TRUE(r.sawTbHits);
        EXPECT_GT(r.maxTbHits, 0u);
        ASSERT_FALSE(r.scores.empty());
        std::vector<std::string> wrong;
        for (const std::string& s : r.scores) {
            const bool bound = s.find("bound") != std::string::npos;
            const bool ok = wdl > 0   ? s.rfind("mate ", 0) == 0 && s[5] != '-' && !bound
                            : wdl < 0 ? s.rfind("mate -", 0) == 0 && !bound
                                      : s == "cp 0";
            if (!ok) wrong.push_back(s);
        }
        EXPECT_TRUE(wrong.empty()) << "result " << wdl << ", reported " << testing::PrintToString(wrong);
    }
}

// A cursed win: with the fifty-move rule it is scored near a draw, without it as a win.
TEST_F(TbEngine, FiftyMoveRuleDecidesHowACursedWinIsReported) {
    const char* cursed = "8/5B1K/8/2n1B3/8/8/4k3/8 w - - 0 1";  // win in 107 plies to zeroing
    SearchResult r = search(cursed, "go movetime 300");
    ASSERT_FALSE(r.scores.empty());
    EXPECT_EQ(std::set<std::string>(r.scores.begin(), r.scores.end()), std::set<std::string>{"cp 2"});
    engine_->send("setoption name Syzygy 50 Move Rule value false");
    sync();
    r = search(cursed, "go movetime 300");
    ASSERT_FALSE(r.scores.empty());
    EXPECT_EQ(std::set<std::string>(r.scores.begin(), r.scores.end()), std::set<std::string>{"mate 1000"});
}

// With the root above the probe limit only the search probes: positions after captures, at nodes
// with enough remaining depth.
TEST_F(TbEngine, SearchProbesBelowTheRootWithinLimitAndDepth) {
    const char* fen = "8/8/8/8/8/2k5/8/KR1r3N w - - 0 1";  // five pieces; Rxd1 leaves four
    engine_->send("setoption name Syzygy Probe Limit value 4");
    sync();
    SearchResult r = search(fen, "go movetime 300");
    EXPECT_GT(r.maxTbHits, 0u);
    EXPECT_EQ(r.bestmove, "b1d1");
    engine_->send("setoption name Syzygy Probe Depth value 99");
    sync();
    r = search(fen, "go movetime 300");
    EXPECT_TRUE(r.sawTbHits);
    EXPECT_EQ(r.maxTbHits, 0u);
}

TEST_F(TbEngine, NoProbesWhenSwitchedOffOrTooShort) {
    const char* win = "6Q1/8/4K3/8/8/8/8/3k4 w - - 0 1";
    SearchResult r = search(win, "go movetime 50");
    EXPECT_TRUE(r.sawTbHits);
    EXPECT_EQ(r.maxTbHits, 0u);
    engine_->send("setoption name Use Syzygy value false");
    sync();
    r = search(win, "go movetime 300");
    EXPECT_TRUE(r.sawTbHits);
    EXPECT_EQ(r.maxTbHits, 0u);
    EXPECT_EQ(std::count(r.scores.begin(), r.scores.end(), "mate 1000"), 0);
}

} // namespace
