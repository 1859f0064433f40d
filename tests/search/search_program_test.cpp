// The search as the engine program shows it: several variations, and a restricted root.
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "test_support.h"

namespace {
// Sends the lines, then collects the output up to and including the "bestmove" line (the end of
// input would count as "quit" and end the search without one).
std::string searchOutput(const std::vector<std::string>& lines) {
    EngineProcess engine;
    for (const std::string& line : lines) engine.send(line);
    std::vector<std::string> seen;
    std::string found;
    EXPECT_TRUE(engine.waitFor("bestmove", &found, 60, &seen));
    engine.send("quit");
    EXPECT_EQ(engine.wait(), 0);
    std::string output;
    for (const std::string& line : seen) output += line + "\n";
    return output;
}

std::vector<std::string> words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> out;
    for (std::string w; in >> w;) out.push_back(w);
    return out;
}
} // namespace

// With MultiPV 3, every iteration from the fifth on reports lines 1 to 3, each with its own
// first move and an exact score.
TEST(SearchProgram, MultiPvReportsSeveralLines) {
    const std::string output =
        searchOutput({"setoption name MultiPV value 3", "position startpos moves e2e4 e7e5 g1f3", "go depth 7"});
    ASSERT_NE(output.find("bestmove"), std::string::npos) << output;
    std::map<int, std::map<int, std::string>> firstMoves; // depth -> line -> first move
    std::istringstream in(output);
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string> w = words(line);
        if (w.size() < 4 || w[0] != "info" || w[1] != "multipv") continue;
        int number = std::stoi(w[2]);
        int depth = std::stoi(w[4]);
        size_t pv = line.find(" pv ");
        ASSERT_NE(pv, std::string::npos) << line;
        EXPECT_EQ(line.find("bound"), std::string::npos) << line;
        firstMoves[depth][number] = words(line.substr(pv + 4)).at(0);
    }
    for (int depth = 5; depth <= 7; ++depth) {
        SCOPED_TRACE("depth " + std::to_string(depth));
        ASSERT_EQ(firstMoves[depth].size(), 3u);
        std::set<std::string> distinct;
        for (const auto& [number, move] : firstMoves[depth]) distinct.insert(move);
        EXPECT_EQ(distinct.size(), 3u);
    }
    EXPECT_TRUE(firstMoves.find(4) == firstMoves.end()); // no multi-line reports before depth 5
}

// A restricted root plays one of the listed moves; a side without a move answers "0000".
TEST(SearchProgram, SearchMovesAndNullMoveAnswers) {
    const std::string restricted = searchOutput({"position startpos", "go depth 6 searchmoves a2a3 h2h3"});
    EXPECT_TRUE(restricted.find("bestmove a2a3") != std::string::npos ||
                restricted.find("bestmove h2h3") != std::string::npos)
        << restricted;
    const std::string stalemate = searchOutput({"position fen 7k/5Q2/6K1/8/8/8/8/8 b - - 0 1", "go depth 5"});
    EXPECT_NE(stalemate.find("bestmove 0000\n"), std::string::npos) << stalemate;
}
