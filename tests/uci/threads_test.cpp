// The thread count through the built program: when "Threads" takes effect and says so, quitting
// during a search on several threads, and the benchmark's thread-count argument.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "test_support.h"

namespace {

const std::string THREADS_LINE = "info string Threads now set to ";

double seconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Every line up to and including the first one starting with `prefix`.
std::vector<std::string> linesUntil(EngineProcess& engine, const std::string& prefix, double timeout = 30) {
    std::vector<std::string> seen;
    EXPECT_TRUE(engine.waitFor(prefix, nullptr, timeout, &seen)) << "no line starting with " << prefix;
    return seen;
}

std::vector<std::string> threadLines(const std::vector<std::string>& lines) {
    std::vector<std::string> found;
    for (const std::string& line : lines)
        if (line.rfind(THREADS_LINE, 0) == 0) found.push_back(line);
    return found;
}

std::vector<std::string> sendAndWait(EngineProcess& engine, const std::vector<std::string>& commands) {
    for (const std::string& command : commands) engine.send(command);
    engine.send("isready");
    return linesUntil(engine, "readyok");
}

// Nodes of one result line of the benchmark ("%2d " and 50 dots, then the count), or -1.
long long benchNodes(const std::string& output, int depth) {
    char head[8];
    snprintf(head, sizeof head, "\n%2d ", depth);
    const size_t at = output.find(head);
    long long nodes = -1;
    if (at == std::string::npos || output.size() < at + 4 + 50) return -1;
    if (sscanf(output.c_str() + at + 4 + 50, " %lld", &nodes) != 1) return -1;
    return nodes;
}

// While idle, a new count is applied at once and announced once; other options, and the same
// count again, say nothing.
TEST(ThreadsOption, IdleChangesAreAnnouncedOnce) {
    EngineProcess engine;
    struct Step {
        std::vector<std::string> commands;
        std::vector<std::string> announced;
    };
    const Step steps[] = {
        {{"setoption name Threads value 1"}, {}},
        {{"setoption name Threads value 3"}, {THREADS_LINE + "3"}},
        {{"setoption name Threads value 3", "setoption name MultiPV value 2", "setoption name Clear Hash"}, {}},
        {{"setoption name threads value 2", "setoption name Threads value 2"}, {THREADS_LINE + "2"}},
        {{"setoption name Threads value 0"}, {THREADS_LINE + "1"}}, // clamped to one thread
        {{"setoption name Threads value 1", "setoption name Table Memory value 16"}, {}},
        // A search started with an unchanged count says nothing either.
        {{"position startpos", "go depth 3"}, {}},
    };
    for (const Step& step : steps) {
        std::vector<std::string> lines = sendAndWait(engine, step.commands);
        if (step.commands.back() == "go depth 3") {
            std::vector<std::string> more = linesUntil(engine, "bestmove");
            lines.insert(lines.end(), more.begin(), more.end());
        }
        EXPECT_EQ(threadLines(lines), step.announced) << step.commands.front();
    }
    engine.send("quit");
    EXPECT_EQ(engine.wait(), 0);
}

// During a search a new count waits for the next search, which applies it and says so before its
// first report.
TEST(ThreadsOption, ChangeDuringASearchWaitsForTheNextGo) {
    EngineProcess engine;
    engine.send("position startpos");
    engine.send("go infinite");
    linesUntil(engine, "info depth 3");
    std::vector<std::string> lines = sendAndWait(engine, {"setoption name Threads value 2"});
    engine.send("stop");
    std::vector<std::string> more = linesUntil(engine, "bestmove");
    lines.insert(lines.end(), more.begin(), more.end());
    more = sendAndWait(engine, {"ucinewgame"});
    lines.insert(lines.end(), more.begin(), more.end());
    EXPECT_EQ(threadLines(lines), std::vector<std::string>{});

    engine.send("go depth 8");
    lines = linesUntil(engine, "bestmove");
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), THREADS_LINE + "2");
    EXPECT_EQ(threadLines(lines).size(), 1u);

    engine.send("go depth 4");
    EXPECT_EQ(threadLines(linesUntil(engine, "bestmove")), std::vector<std::string>{}) << "applied once";
    engine.send("quit");
    EXPECT_EQ(engine.wait(), 0);
}

// "quit" in the middle of a search on several threads ends the program at once, with status 0:
// the workers are stopped and joined before it exits.
TEST(ThreadsOption, QuitDuringASearchOnSeveralThreads) {
    struct Case {
        int threads;
        const char* go;
        const char* waitFor; // a report that shows the search under way
    };
    const Case cases[] = {
        {4, "go infinite", "info depth 6"},
        {2, "go wtime 600000 btime 600000", "info depth 4"},
        {3, "go ponder wtime 600000 btime 600000", "info depth 2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.go);
        EngineProcess engine;
        sendAndWait(engine, {"setoption name Threads value " + std::to_string(c.threads), "position startpos"});
        engine.send(c.go);
        linesUntil(engine, c.waitFor);
        const double start = seconds();
        engine.send("quit");
        std::vector<std::string> rest;
        engine.waitFor("bestmove", nullptr, 5, &rest);
        EXPECT_EQ(engine.wait(5), 0);
        EXPECT_LT(seconds() - start, 2.0);
        for (const std::string& line : rest) EXPECT_NE(line.rfind("bestmove", 0), 0u) << line;
    }
}

// The benchmark's first argument is its thread count: the nodes it reports are those of all
// threads, so they differ from those of one thread, which are the same on every run.
TEST(ThreadsOption, BenchmarkRunsOnTheGivenThreads) {
    long long oneThread = -1;
    for (const char* threads : {"1", "2", "4"}) {
        EngineResult r = runEngine("", {"bench", threads, "6"}, 120);
        EXPECT_EQ(r.status, 0) << threads;
        const long long depth5 = benchNodes(r.output, 5), depth6 = benchNodes(r.output, 6);
        EXPECT_GT(depth5, 0) << r.output;
        EXPECT_GT(depth6, 0) << r.output;
        if (oneThread < 0)
            oneThread = depth5;
        else
            EXPECT_NE(depth5, oneThread) << threads << " threads count the nodes of one";
    }
}

} // namespace
