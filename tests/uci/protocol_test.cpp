// The engine program driven over its standard input and output.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "board/bitboard.h"
#include "test_support.h"

namespace {

#if defined(TARVOLO_HW_POPCNT)
constexpr bool builtForPopcount = true;
#else
constexpr bool builtForPopcount = false;
#endif

std::vector<std::string> bannerLines() {
    std::vector<std::string> lines = {"Tarvolo 9 64-bit by Quelbrin"};
    if (builtForPopcount && cpuHasPopcount()) lines.push_back("using hardware POPCNT");
    return lines;
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

// Reads the banner of a freshly started engine: nothing else comes before the first reply.
void expectBanner(EngineProcess& engine) {
    for (const std::string& expected : bannerLines()) {
        std::string line;
        ASSERT_TRUE(engine.readLine(line));
        ASSERT_EQ(line, expected);
    }
    engine.send("isready");
    std::string line;
    ASSERT_TRUE(engine.readLine(line));
    ASSERT_EQ(line, "readyok");
}

// Every line up to and including the first one starting with `prefix`.
std::vector<std::string> linesUntil(EngineProcess& engine, const std::string& prefix) {
    std::vector<std::string> seen;
    EXPECT_TRUE(engine.waitFor(prefix, nullptr, 30, &seen)) << "no line starting with " << prefix;
    return seen;
}

struct PerftResult {
    std::map<std::string, long long> moves;
    long long total = -1;
    std::vector<std::string> other; // lines that are neither a move count nor the total
};

// "perft 1" on the engine's current position: its legal moves.
PerftResult perftOne(EngineProcess& engine) {
    engine.send("perft 1");
    PerftResult result;
    for (const std::string& line : linesUntil(engine, "Nodes searched: ")) {
        size_t colon = line.find(": ");
        if (line.rfind("Nodes searched: ", 0) == 0) result.total = std::stoll(line.substr(16));
        else if (colon != std::string::npos && colon >= 4 && colon <= 5) result.moves[line.substr(0, colon)] = std::stoll(line.substr(colon + 2));
        else if (!line.empty()) result.other.push_back(line);
    }
    return result;
}

TEST(EngineProgram, PrintsTheBannerFirst) {
    EngineResult result = runEngine("");
    std::vector<std::string> lines = splitLines(result.output);
    std::vector<std::string> banner = bannerLines();
    ASSERT_GE(lines.size(), banner.size()) << result.output;
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + banner.size()), banner);
    // Start-up says nothing else unasked.
    EXPECT_EQ(lines.size(), banner.size()) << result.output;
    EXPECT_EQ(result.status, 0);
}

TEST(EngineProgram, FirstHashSettingReallocatesAndTheSameValueThenOnlyClears) {
    EngineProcess engine;
    expectBanner(engine);
    engine.send("setoption name Hash value 128");
    engine.send("isready");
    std::vector<std::string> first = linesUntil(engine, "readyok");
    EXPECT_EQ(first, (std::vector<std::string>{"info string Hash table size is now 128 meg", "readyok"}));
    engine.send("setoption name Hash value 128");
    engine.send("isready");
    std::vector<std::string> second = linesUntil(engine, "readyok");
    EXPECT_EQ(second, (std::vector<std::string>{"readyok"}));
    engine.send("quit");
    EXPECT_EQ(engine.wait(), 0);
}

TEST(EngineProgram, UciListsIdentityAndEveryOptionInCreationOrder) {
    const std::vector<std::string> expected = {
        "id name Tarvolo 9 64-bit ",
        "id author Quelbrin",
        "option name Ponder type check default true",
        "option name Hash type spin default 128 min 1 max 65536",
        "option name OwnBook type check default true",
        "option name MultiPV type spin default 1 min 1 max 218",
        "option name Book File type string default tarvolo.bin",
        "option name Log File type string default <empty>",
        "option name Clear Hash type button",
        "option name Hash File Name type string default <empty>",
        "option name Save Hash to File type button",
        "option name Load Hash from File type button",
        "option name UCI_Chess960 type check default false",
        "option name UCI_AnalyseMode type check default false",
        "option name Use Lmr type check default true",
        "option name Null Move Pruning type check default true",
        "option name Best Book Line type check default false",
        "option name Minimal Reporting type check default false",
        "option name Table Memory type spin default 64 min 1 max 256",
        "option name Threads type spin default 1 min 1 max 64",
        "option name Overhead ms type spin default 30 min 0 max 50000",
        "option name Drawscore type spin default -7 min -200 max 200",
        "option name Time Usage type spin default 0 min -9 max 9",
        "option name Use Syzygy type check default true",
        "option name SyzygyPath type string default <empty>",
        "option name Syzygy Probe Depth type spin default 2 min 0 max 99",
        "option name Syzygy Probe Limit type spin default 6 min 0 max 6",
        "option name Syzygy 50 Move Rule type check default true",
        "option name King Safety type spin default 65 min 0 max 200",
        "option name Selectivity type spin default 80 min 10 max 200",
        "option name Reduction type spin default 0 min -1000 max 150",
        "uciok",
    };
    EngineProcess engine;
    expectBanner(engine);
    engine.send("uci");
    EXPECT_EQ(linesUntil(engine, "uciok"), expected);
}

TEST(EngineProgram, UciShowsCurrentValues) {
    EngineProcess engine;
    expectBanner(engine);
    auto listing = [&] {
        engine.send("uci");
        return linesUntil(engine, "uciok");
    };
    auto has = [](const std::vector<std::string>& lines, const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    };
    engine.send("setoption name hash value 64");
    engine.send("setoption name Hash File Name value a  b");
    std::vector<std::string> lines = listing();
    EXPECT_TRUE(has(lines, "option name Hash type spin default 64 min 1 max 65536"));
    EXPECT_TRUE(has(lines, "option name Hash File Name type string default a  b"));

    // Table Memory follows Hash down, but not below its own minimum.
    engine.send("setoption name Hash value 0");
    engine.send("setoption name Table Memory value 50");
    EXPECT_TRUE(has(listing(), "option name Table Memory type spin default 1 min 1 max 256"));
    engine.send("isready");
    EXPECT_TRUE(engine.waitFor("readyok"));
}

TEST(EngineProgram, QuitAndEndOfInputEndTheProcess) {
    struct Case {
        const char* name;
        const char* line; // nullptr: close the input instead
    };
    const Case cases[] = {
        {"quit", "quit"},
        {"any line starting with quit", "quitxyz"},
        {"quit with words after it", "quit now"},
        {"quit command after blanks", "  quit"},
        {"end of input", nullptr},
    };
    for (const Case& c : cases) {
        EngineProcess engine;
        expectBanner(engine);
        if (c.line) engine.send(c.line);
        else engine.closeInput();
        EXPECT_EQ(engine.wait(10), 0) << c.name;
    }
}

TEST(EngineProgram, IgnoresUnknownCommandsAndEmptyLines) {
    EngineProcess engine;
    expectBanner(engine);
    for (const char* line : {"", "   ", "\t", "foo bar", "UCI", "IsReady", "isready2", "ucinewgame", "Stop", "\r"})
        engine.send(line);
    engine.send("isready");
    std::string line;
    ASSERT_TRUE(engine.readLine(line));
    EXPECT_EQ(line, "readyok");
}

TEST(EngineProgram, PositionCommandsThroughPerft) {
    struct Case {
        const char* command;
        long long moves;          // legal moves in the resulting position, -1 when not checked
        const char* present;      // a move that must be among them
        const char* absent;       // one that must not
    };
    const Case cases[] = {
        {"position startpos", 20, "g1f3", "e2e5"},
        {"position startpos moves e2e4 e7e5", 29, "f1a6", "e2e4"},
        {"position fen rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1 moves e7e5", 29, "e1e2", "e7e5"},
        // Castled king on g1: it can step to h1, and the rook has left h1.
        {"position startpos moves e2e4 e7e5 g1f3 b8c6 f1c4 g8f6 e1g1 f8c5", -1, "g1h1", "h1g1"},
        // En passant is available right after the double step.
        {"position startpos moves e2e4 a7a6 e4e5 d7d5", -1, "e5d6", "e2e4"},
        // A move that cannot be played ends the list: Black is to move after 1.e4.
        {"position startpos moves e2e4 e2e4 e7e5", 20, "e7e5", "e2e4"},
    };
    EngineProcess engine;
    expectBanner(engine);
    for (const Case& c : cases) {
        engine.send(c.command);
        PerftResult result = perftOne(engine);
        if (c.moves >= 0) {
            EXPECT_EQ(result.total, c.moves) << c.command;
        }
        EXPECT_EQ((long long)result.moves.size(), result.total) << c.command;
        EXPECT_EQ(result.moves.count(c.present), 1u) << c.command;
        EXPECT_EQ(result.moves.count(c.absent), 0u) << c.command;
    }
}

// Malformed lines get at most an "info string" reply; the engine keeps its position and answers.
TEST(EngineProgram, SurvivesBadInput) {
    const std::string longWord(100000, 'x');
    const std::vector<std::string> badLines = {
        "position",
        "position fen",
        "position fen rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR",
        "position fen 8/8/8/8/8/8/8/8 w - -",
        "position fen 8/8/8/8/8/8/8/8 w - -" + std::string(5000, ' ') + "moves e2e4",
        "setoption",
        "setoption name",
        "setoption name Hash",
        "setoption name Threads value",
        "setoption name MultiPV value abc",
        "setoption name MultiPV value 99999999999999999999",
        "setoption name " + longWord + " value 1",
        "setoption name Hash File Name value " + longWord,
        "perft",
        "perft x",
        "perft 0",
        "perft -3",
        longWord,
        std::string("\0isready junk", 13),
        "\x01\x02\x7f\xff",
    };
    EngineProcess engine;
    expectBanner(engine);
    engine.send("position startpos moves e2e4");
    for (const std::string& line : badLines) {
        engine.send(line);
        engine.send("isready");
        std::vector<std::string> seen = linesUntil(engine, "readyok");
        for (size_t i = 0; i + 1 < seen.size(); ++i)
            EXPECT_EQ(seen[i].rfind("info string ", 0), 0u) << line.substr(0, 80) << " printed: " << seen[i].substr(0, 200);
    }
    PerftResult result = perftOne(engine);
    EXPECT_EQ(result.total, 20);
    EXPECT_EQ(result.moves.count("e7e5"), 1u);
    engine.send("quit");
    EXPECT_EQ(engine.wait(), 0);
}

// Commands that would change what a running search works on wait until it has ended.
TEST(EngineProgram, PositionAndTableWorkWaitForTheRunningSearch) {
    EngineProcess engine;
    expectBanner(engine);
    engine.send("position startpos");
    engine.send("go infinite");
    engine.send("position startpos moves e2e4");
    engine.send("setoption name Clear Hash");
    engine.send("isready");
    std::vector<std::string> during = linesUntil(engine, "readyok");
    engine.send("stop");
    std::vector<std::string> ending = linesUntil(engine, "bestmove");
    during.insert(during.end(), ending.begin(), ending.end());
    for (const std::string& line : during) {
        EXPECT_EQ(line.find("Clearing Hash"), std::string::npos) << "table emptied during the search";
        EXPECT_EQ(line.find("bestmove"), line == during.back() ? 0u : std::string::npos) << line;
    }
    // The search answered for the start position: a White move.
    ASSERT_GE(during.back().size(), 13u);
    EXPECT_TRUE(during.back()[10] == '1' || during.back()[10] == '2') << during.back();

    engine.send("isready");
    std::vector<std::string> after = linesUntil(engine, "readyok");
    EXPECT_NE(std::find(after.begin(), after.end(), "info string Clearing Hash"), after.end());
    PerftResult result = perftOne(engine); // Black to move after 1.e4
    EXPECT_EQ(result.total, 20);
    EXPECT_EQ(result.moves.count("e7e5"), 1u);
}

TEST(EngineProgram, PositionWithoutStartposOrFenIsFatal) {
    EngineResult result = runEngine("position xyz\nisready\n");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output.find("readyok"), std::string::npos);
}

TEST(EngineProgram, EvalReportsOnTheCurrentPosition) {
    EngineProcess engine;
    expectBanner(engine);
    engine.send("position startpos moves e2e4");
    engine.send("eval");
    engine.send("isready");
    std::vector<std::string> lines = linesUntil(engine, "readyok");
    EXPECT_GE(lines.size(), 2u); // a report, then readyok
}

TEST(EngineProgram, LogsInputLinesToAFileNamedWithBlanks) {
    char dirTemplate[] = "/tmp/tarvolo-log-XXXXXX";
    ASSERT_NE(mkdtemp(dirTemplate), nullptr);
    std::string path = std::string(dirTemplate) + "/protocol log.txt";
    {
        EngineProcess engine;
        expectBanner(engine);
        engine.send("setoption name Log File value " + path);
        std::string line;
        ASSERT_TRUE(engine.readLine(line));
        EXPECT_EQ(line, "info string Log file is " + path);
        // Lines read from now on find the log open.
        engine.send("");
        engine.send("isready");
        EXPECT_TRUE(engine.waitFor("readyok"));
        engine.send("quit");
        EXPECT_EQ(engine.wait(), 0);
    }
    std::ifstream in(path);
    std::stringstream content;
    content << in.rdbuf();
    std::vector<std::string> logged;
    for (const std::string& line : splitLines(content.str())) {
        size_t at = line.find("uci inp: ");
        // The setoption line itself may be read before or after the log opens.
        if (at != std::string::npos && line.compare(at + 9, 9, "setoption") != 0) logged.push_back(line.substr(at + 9));
    }
    // The empty line is neither queued nor logged; "quit" is logged before the program ends.
    EXPECT_EQ(logged, (std::vector<std::string>{"isready", "quit"}));
    unlink(path.c_str());
    rmdir(dirTemplate);
}

} // namespace
