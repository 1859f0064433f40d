// The option table and "setoption", run inside the test program through the command processor.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "eval/caches.h"
#include "search/search_state.h"
#include "search/thread_pool.h"
#include "test_support.h"
#include "uci/input.h"
#include "uci/options.h"
#include "uci/protocol.h"
#include "uci/settings.h"

namespace {

// Runs command lines and returns what they printed.
std::string run(const std::vector<std::string>& lines) {
    testing::internal::CaptureStdout();
    for (const auto& line : lines) executeCommand(line);
    return testing::internal::GetCapturedStdout();
}
std::string run(const std::string& line) { return run(std::vector<std::string>{line}); }

// Every test leaves the options it touched at their defaults.
class OptionTest : public ::testing::Test {
  protected:
    void TearDown() override {
        run({"setoption name MultiPV value 1", "setoption name Drawscore value -7", "setoption name Ponder value true",
             "setoption name UCI_Chess960 value false", "setoption name Syzygy Probe Limit value 6",
             "setoption name Time Usage value 0", "setoption name King Safety value 65",
             "setoption name Reduction value 0", "setoption name Table Memory value 64",
             "setoption name Hash File Name value", "setoption name Threads value 1"});
    }
};

TEST_F(OptionTest, NamesCompareCaseInsensitivelyWithPrefixesFirst) {
    CILess less;
    EXPECT_FALSE(less("Hash", "hASH"));
    EXPECT_FALSE(less("hASH", "Hash"));
    EXPECT_TRUE(less("hash", "Hash File Name")); // a prefix comes first
    EXPECT_FALSE(less("Hash File Name", "HASH"));
    EXPECT_TRUE(less("MultiPV", "ownbook"));
    EXPECT_TRUE(less("ownbook", "Ponder"));

    for (const char* name : {"hash", "HASH", "syzygypath", "SYZYGY PROBE LIMIT", "uci_chess960"})
        EXPECT_NE(uciOptions.find(name), uciOptions.end()) << name;
    EXPECT_EQ(uciOptions.find("Hash File"), uciOptions.end());
}

TEST_F(OptionTest, ValuesAreClampedAndReadByType) {
    struct Case {
        const char* command;
        const std::atomic<int>* variable;
        int expected;
    };
    const Case cases[] = {
        {"setoption name MultiPV value 500", &optMultiPV, 218},
        {"setoption name MultiPV value 0", &optMultiPV, 1},
        {"setoption name multipv value 3", &optMultiPV, 3}, // the name in any case
        {"setoption name Drawscore value -1000", &optDrawscore, -200},
        {"setoption name Ponder value 5", &optPonder, 1},
        {"setoption name Ponder value false", &optPonder, 0},
        {"setoption name Ponder value 0", &optPonder, 0},
        {"setoption name UCI_Chess960 value true", &optChess960, 1},
        {"setoption name Syzygy Probe Limit value 9", &optSyzygyProbeLimit, 6},
        {"setoption name Syzygy Probe Limit value -3", &optSyzygyProbeLimit, 0},
        {"setoption name Time Usage value   5xyz", &optTimeUsage, 5},     // blanks before, text after
        {"setoption name King Safety value 99999999999", &optKingSafety, 200}, // beyond 32 bits
        {"setoption name Reduction value -99999999999", &optReduction, -1000},
        {"setoption junk name MultiPV value 4", &optMultiPV, 4},           // words before "name"
        {"setoption\tname\tMultiPV\tvalue\t7", &optMultiPV, 7},            // tabs separate too
        {"setoption name MultiPV value 9  ", &optMultiPV, 9},              // trailing blanks
    };
    for (const Case& c : cases) {
        run(c.command);
        EXPECT_EQ(c.variable->load(), c.expected) << c.command;
    }
}

TEST_F(OptionTest, MissingOrNonNumericValuesLeaveTheOptionAlone) {
    run("setoption name MultiPV value 5");
    for (const char* command : {"setoption name MultiPV value abc", "setoption name MultiPV value",
                                "setoption name MultiPV", "setoption name MultiPV value -", "setoption name",
                                "setoption", "setoption value 3", "setoption name MultiPV value  "}) {
        std::string out = run(command);
        EXPECT_EQ(optMultiPV, 5) << command;
        EXPECT_EQ(out.rfind("info string ", 0), 0u) << command << " printed: " << out;
    }
}

TEST_F(OptionTest, UnknownNamesAreReportedAsCollected) {
    struct Case {
        const char* command;
        const char* reply;
    };
    const Case cases[] = {
        {"setoption name Foo   Bar value 1", "info string Foo Bar not recognized\n"},
        // "value" is a keyword only in lower case: here it is part of the name.
        {"setoption name MultiPV Value 3", "info string MultiPV Value 3 not recognized\n"},
        {"setoption name Hash File value x", "info string Hash File not recognized\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(run(c.command), c.reply) << c.command;
        EXPECT_EQ(optMultiPV, 1);
    }
}

TEST_F(OptionTest, StringValuesKeepInnerBlanks) {
    run("setoption name Hash File Name value my  hash file.bin");
    EXPECT_EQ(optHashFileName, "my  hash file.bin");
    // The value starts after the keyword and one separator, whatever the separator and whatever
    // the value's own words.
    run("setoption name Hash File Name value\tvalue x");
    EXPECT_EQ(optHashFileName, "value x");
    run("setoption name Hash File Name value");
    EXPECT_EQ(optHashFileName, "");
}

// "uci" shows an empty string value as "<empty>", and interfaces send that text back ("Log File",
// which opens files, is tested with the log).
TEST_F(OptionTest, EmptyMarkerMeansTheEmptyString) {
    struct Case {
        const char* name;
        const std::string* variable;
    };
    const Case cases[] = {
        {"SyzygyPath", &optSyzygyPath},
        {"Book File", &optBookFile},
        {"Hash File Name", &optHashFileName},
    };
    for (const Case& c : cases) {
        const std::string name = c.name;
        run("setoption name " + name + " value some file");
        EXPECT_EQ(*c.variable, "some file") << name;
        run("setoption name " + name + " value <empty>");
        EXPECT_EQ(*c.variable, "") << name;
        EXPECT_EQ(optionLine(name, uciOptions.at(name)), "option name " + name + " type string default <empty>");
        run("setoption name " + name + " value <empty> x"); // only the whole value is the marker
        EXPECT_EQ(*c.variable, "<empty> x") << name;
    }
    run(std::vector<std::string>{"setoption name Book File value tarvolo.bin", "setoption name SyzygyPath value <empty>"});
}

TEST_F(OptionTest, TableMemoryNeverExceedsHash) {
    ASSERT_EQ(optHash, 128);
    run("setoption name Table Memory value 200");
    EXPECT_EQ(optTableMemory, 128);
    run("setoption name Table Memory value 100");
    EXPECT_EQ(optTableMemory, 100);
}

TEST_F(OptionTest, ButtonsAndThreadChangesReport) {
    EXPECT_EQ(run("setoption name Clear Hash"), "info string Clearing Hash\n");
    EXPECT_EQ(run("setoption name clear hash value whatever"), "info string Clearing Hash\n");
    EXPECT_NE(run("setoption name Threads value 2").find("info string Threads now set to 2\n"), std::string::npos);
}

TEST_F(OptionTest, OptionLinesShowCurrentValues) {
    run("setoption name MultiPV value 4");
    EXPECT_EQ(optionLine("MultiPV", uciOptions.at("MultiPV")), "option name MultiPV type spin default 4 min 1 max 218");
    run("setoption name Ponder value false");
    EXPECT_EQ(optionLine("Ponder", uciOptions.at("Ponder")), "option name Ponder type check default false");
    run("setoption name Hash File Name value a b");
    EXPECT_EQ(optionLine("Hash File Name", uciOptions.at("Hash File Name")),
              "option name Hash File Name type string default a b");

    // A 64-bit spin is listed as a spin and clamped to its bounds.
    std::atomic<uint64_t> wide{7};
    UCIOption option;
    option.type = "spin64";
    option.value64 = &wide;
    option.min = 5;
    option.max = 1000;
    EXPECT_EQ(optionLine("Wide", option), "option name Wide type spin default 7 min 5 max 1000");
    setOptionUint64(option, 5000000000ULL);
    EXPECT_EQ(wide.load(), 1000u);
    setOptionUint64(option, 1);
    EXPECT_EQ(wide.load(), 5u);
}

// While a search runs, option changes that would replace memory the search uses wait for its end;
// a new thread count waits for the next search, which applies it.
TEST_F(OptionTest, TableWorkWaitsForTheSearchToEnd) {
    ASSERT_EQ(poolThreadSetting(), 1);
    const uint64_t evalEntries = evalCacheMask + 1;
    searching = true;
    std::string during = run({"setoption name Clear Hash", "setoption name Threads value 2", "isready"});
    searching = false;
    EXPECT_EQ(during, "readyok\n");
    EXPECT_EQ(optThreads, 2); // the value itself is stored at once

    testing::internal::CaptureStdout();
    runDeferredCommands();
    std::string after = testing::internal::GetCapturedStdout();
    EXPECT_EQ(after, "info string Clearing Hash\n");
    EXPECT_EQ(poolThreadSetting(), 1);

    testing::internal::CaptureStdout();
    runDeferredCommands(); // nothing is run twice
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");

    // The table memory is re-allocated once the search has ended, and the pool restarted with it
    // takes the requested thread count along.
    searching = true;
    run("setoption name Table Memory value 16");
    EXPECT_EQ(evalCacheMask + 1, evalEntries);
    searching = false;
    testing::internal::CaptureStdout();
    runDeferredCommands();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "info string Threads now set to 2\n");
    EXPECT_EQ(poolThreadSetting(), 2);
    EXPECT_EQ(evalCacheMask + 1, evaluationCacheSizes(16, 2).eval);
}

} // namespace
