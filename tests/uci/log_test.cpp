// The log file: its time stamps, the cut of long messages, switching it off, a path that cannot
// be opened, and (through the built program) the lines a search writes.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "test_support.h"
#include "uci/log.h"
#include "uci/settings.h"

namespace {

std::vector<std::string> fileLines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// A fresh file name in a directory of its own, removed at the end of the test.
class TempLog {
  public:
    TempLog() {
        char dir[] = "/tmp/tarvolo-logtest-XXXXXX";
        if (mkdtemp(dir)) dir_ = dir;
        path = dir_ + "/engine.log";
    }
    ~TempLog() {
        unlink(path.c_str());
        rmdir(dir_.c_str());
    }
    std::string path;

  private:
    std::string dir_;
};

std::string captured(const std::string& name) {
    testing::internal::CaptureStdout();
    setLogFile(name);
    return testing::internal::GetCapturedStdout();
}

// The time stamp: seconds since start-up, right-aligned in ten characters with three decimals,
// then one blank. Returns the message after it, or fails.
std::string messageOf(const std::string& line) {
    EXPECT_GT(line.size(), 11u) << line;
    if (line.size() <= 11) return "";
    const std::string stamp = line.substr(0, 10);
    EXPECT_EQ(line[10], ' ') << line;
    EXPECT_EQ(stamp[6], '.') << line;
    EXPECT_EQ(stamp.find_first_not_of(" 0123456789.", 0), std::string::npos) << line;
    EXPECT_NE(stamp[5], ' ') << "at least one digit before the point: " << line;
    return line.substr(11);
}

TEST(LogFile, StampsCutsAndAppends) {
    TempLog log;
    ASSERT_EQ(captured(log.path), "info string Log file is " + log.path + "\n");
    ASSERT_TRUE(logIsOpen());
    EXPECT_EQ(optLogFile, log.path);

    struct Case {
        std::string message; // as formatted
        std::string logged;  // the message as the file holds it, without its line end
    };
    const std::string a254(254, 'a'), b300(300, 'b');
    const Case cases[] = {
        {"short line\n", "short line"},
        {a254 + "\n", a254},                // 255 characters: kept whole
        {a254 + "x\n", a254},               // 256: cut, the line end kept
        {b300 + "\n", std::string(254, 'b')},
        {"uci inp: " + b300 + "\n", "uci inp: " + std::string(245, 'b')},
        {b300, std::string(254, 'b')},      // a cut message always ends its line
    };
    for (const Case& c : cases) logPrintf("%s", c.message.c_str());
    logPrintf("tail %d\n", 7);

    // Reopening the same file appends to it.
    EXPECT_EQ(captured(log.path), "info string Log file is " + log.path + "\n");
    logPrintf("after reopening\n");

    const std::vector<std::string> lines = fileLines(log.path);
    ASSERT_EQ(lines.size(), std::size(cases) + 2);
    for (size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(messageOf(lines[i]), cases[i].logged) << i;
    EXPECT_EQ(messageOf(lines[std::size(cases)]), "tail 7");
    EXPECT_EQ(messageOf(lines.back()), "after reopening");
    EXPECT_EQ(captured("<empty>"), "");
}

TEST(LogFile, EmptyNameAndUnopenablePathLeaveLoggingOff) {
    TempLog log;
    captured(log.path);
    logPrintf("one\n");
    // "<empty>" (what "uci" shows for an empty name) closes the log silently.
    EXPECT_EQ(captured("<empty>"), "");
    EXPECT_FALSE(logIsOpen());
    EXPECT_EQ(optLogFile, "");
    logPrintf("two\n");
    ASSERT_EQ(fileLines(log.path).size(), 1u);

    // A path that cannot be opened is named like any other, and logging stays off.
    const std::string bad = log.path + ".missing-dir/engine.log";
    EXPECT_EQ(captured(bad), "info string Log file is " + bad + "\n");
    EXPECT_FALSE(logIsOpen());
    logPrintf("three\n");
    EXPECT_EQ(fileLines(log.path).size(), 1u);
    EXPECT_EQ(access(bad.c_str(), F_OK), -1);

    // An empty name is silent too, and so is closing when nothing is open.
    EXPECT_EQ(captured(""), "");
    EXPECT_EQ(captured("<empty>"), "");
    EXPECT_FALSE(logIsOpen());
}

// Finds messages starting with the prefixes, in order, each after the previous match; returns
// the indices of the matches (fewer when one is missing, which fails the test).
std::vector<size_t> expectInOrder(const std::vector<std::string>& messages, size_t from,
                                  const std::vector<std::string>& prefixes) {
    std::vector<size_t> found;
    size_t at = from;
    for (const std::string& prefix : prefixes) {
        while (at < messages.size() && messages[at].rfind(prefix, 0) != 0) ++at;
        EXPECT_LT(at, messages.size()) << "no \"" << prefix << "\" after line " << from;
        if (at == messages.size()) break;
        found.push_back(at++);
    }
    return found;
}

TEST(LogFile, SearchesWriteTheirSummaries) {
    TempLog log;
    EngineProcess engine;
    // A path that cannot be opened leaves the engine running, without a log.
    engine.send("setoption name Log File value " + log.path + ".missing-dir/x.log");
    engine.send("isready");
    ASSERT_TRUE(engine.waitFor("readyok"));

    engine.send("setoption name Log File value " + log.path);
    ASSERT_TRUE(engine.waitFor("info string Log file is " + log.path));
    engine.send("position startpos moves e2e4");
    engine.send("go depth 6");
    std::string best;
    ASSERT_TRUE(engine.waitFor("bestmove ", &best, 30));
    // A ponder search, stopped: it logs its ply as a ponder ply and ends aborted.
    engine.send("go ponder wtime 60000 btime 60000");
    ASSERT_TRUE(engine.waitFor("info depth 4", nullptr, 30));
    engine.send("stop");
    ASSERT_TRUE(engine.waitFor("bestmove ", nullptr, 30));
    engine.send("setoption name Log File value <empty>");
    engine.send("isready");
    std::vector<std::string> seen;
    ASSERT_TRUE(engine.waitFor("readyok", nullptr, 10, &seen));
    EXPECT_EQ(seen.size(), 1u) << "closing the log prints nothing";
    // The log is closed now: nothing more reaches it.
    engine.send("ucinewgame");
    engine.send("quit");
    EXPECT_EQ(engine.wait(), 0);

    // The input thread logs a line after queueing it, so the input lines keep their own order but
    // may come a little after what the command they carry writes.
    std::vector<std::string> messages, inputs;
    double previous = 0;
    for (const std::string& line : fileLines(log.path)) {
        messages.push_back(messageOf(line));
        if (messages.back().rfind("uci inp: ", 0) == 0) inputs.push_back(messages.back().substr(9));
        const double stamp = std::stod(line.substr(0, 10));
        EXPECT_GE(stamp, previous) << line;
        previous = stamp;
    }
    expectInOrder(inputs, 0, {"position startpos moves e2e4", "go depth 6", "go ponder wtime 60000 btime 60000", "stop"});
    for (const std::string& input : inputs) {
        EXPECT_NE(input, "ucinewgame");
        EXPECT_NE(input, "quit");
    }

    // The first search, from the position after 1.e4 to depth 6.
    const std::string bestMove = best.substr(9, best.find(' ', 9) - 9);
    const std::vector<std::string> first = {
        "fen: rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq", "lastmove: e2e4", "eval: ", "search ply: 1",
        "target: 31622400.000", "depth: 6", "info:   1 ", "easy: ", "info:   6 ", "easy: ", "iteration: completed",
        "itcomp: ", "bestmove: " + bestMove, "ponder: "};
    std::vector<size_t> at = expectInOrder(messages, 0, first);
    ASSERT_EQ(at.size(), first.size());
    // "itcomp: <last current-move number> out of <root moves>  <bound word>"
    const std::string& itcomp = messages[at[11]];
    EXPECT_NE(itcomp.find(" out of 20  "), std::string::npos) << itcomp;
    const std::string word = itcomp.substr(itcomp.rfind(' ') + 1);
    EXPECT_TRUE(word == "exact" || word == "high" || word == "low") << itcomp;

    // The ponder search.
    const std::vector<std::string> second = {"fen: ",     "lastmove: e2e4",     "eval: ",  "ponder ply: 1",
                                             "target: ",  "depth: 99",          "iteration: aborted",
                                             "itcomp: ",  "bestmove: ",         "ponder: "};
    at = expectInOrder(messages, at.back() + 1, second);
    ASSERT_EQ(at.size(), second.size());
    for (size_t i = at.back() + 1; i < messages.size(); ++i)
        EXPECT_EQ(messages[i].rfind("uci inp: ", 0), 0u) << "after the search only input lines: " << messages[i];
}

} // namespace
