#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "board/movetext.h"
#include "search/search_state.h"
#include "test_support.h"
#include "tt/hashfile.h"
#include "tt/tt.h"
#include "uci/settings.h"

namespace {
std::string tempPath(const std::string& name) {
    std::string dir = ::testing::TempDir();
    if (!dir.empty() && dir.back() != '/') dir += '/';
    return dir + "tarvolo-" + std::to_string(getpid()) + "-" + name;
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

std::string randomBytes(size_t size, uint64_t seed) {
    std::mt19937_64 random(seed);
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; i += 8) {
        uint64_t word = random();
        std::memcpy(&bytes[i], &word, std::min<size_t>(8, size - i));
    }
    return bytes;
}

std::string tableBytes() { return std::string(reinterpret_cast<const char*>(tt.buckets), ttSizeBytes()); }

std::string run(void (*action)()) {
    testing::internal::CaptureStdout();
    action();
    return testing::internal::GetCapturedStdout();
}

class HashFile : public ::testing::Test {
  protected:
    void SetUp() override {
        testing::internal::CaptureStdout();
        ttResize(1);
        testing::internal::GetCapturedStdout();
        ASSERT_GT(ttSizeBytes(), 0u);
        ASSERT_NE(tt.buckets, nullptr);
    }
    void TearDown() override {
        optHashFileName.clear();
        searching = false;
        testing::internal::CaptureStdout();
        ttResize(128);
        testing::internal::GetCapturedStdout();
    }
    // Fills the table as searches would: stores of every kind over several generations.
    static void fillTable(uint64_t seed) {
        ttClear();
        std::mt19937_64 random(seed);
        const uint64_t stores = tt.bucketCount * 8;
        for (uint64_t i = 0; i < stores; ++i) {
            if (i % (stores / 5) == 0) ttNewSearch();
            const int flags[] = {BOUND_UPPER, BOUND_LOWER, BOUND_EXACT, BOUND_EXACT | BOUND_TERMINAL};
            ttStore(random() | 1, int(random() % 120) - 10, int(random() % 65001) - 32500,
                    flags[random() % 4], Move(random() & 0x7fff), int(random() % 2));
        }
    }
};
} // namespace

TEST_F(HashFile, SaveThenLoadRestoresEveryByte) {
    fillTable(1);
    const std::string saved = tableBytes();
    optHashFileName = tempPath("table.hash");
    EXPECT_EQ(run(saveHashFile), "info string Saving Hash\ninfo string Hash Saved\n");

    std::ifstream in(optHashFileName, std::ios::binary | std::ios::ate);
    EXPECT_EQ(uint64_t(in.tellg()), ttSizeBytes());

    fillTable(2);
    tt.generation = 17;
    tt.filledCount = 1234;
    EXPECT_EQ(run(loadHashFile),
              "info string Loading Hash from " + optHashFileName + "\ninfo string Hash Loaded\n");
    EXPECT_TRUE(tableBytes() == saved);
    // The counters belong to the running table, not to the file.
    EXPECT_EQ(tt.generation, 17u);
    EXPECT_EQ(tt.filledCount, 1234u);
    unlink(optHashFileName.c_str());
}

// Every failure gives its line and leaves the table as it was.
// A file may hold anything: it loads, and only entries the table could never have written (the key
// word reserved for entries being written, scores outside the stored range) are left out.
TEST_F(HashFile, GarbageOfTheRightSizeLoads) {
    std::string bytes = randomBytes(ttSizeBytes(), 10);
    // A few entries with the reserved key word and with extreme scores, and one sound entry.
    auto putEntry = [&](size_t index, uint64_t key, int16_t score) {
        std::memcpy(&bytes[index * 16], &key, 8);
        std::memcpy(&bytes[index * 16 + 8], &score, 2);
    };
    putEntry(0, ~0ULL, 0);
    putEntry(1, 0x1234, 32767);
    putEntry(2, 0x5678, -32768);
    putEntry(3, 0x9abc, 32500);
    putEntry(4, 0xdef0, -32500);
    optHashFileName = tempPath("garbage.hash");
    writeFile(optHashFileName, bytes);
    EXPECT_EQ(run(loadHashFile),
              "info string Loading Hash from " + optHashFileName + "\ninfo string Hash Loaded\n");

    const std::string loaded = tableBytes();
    size_t dropped = 0;
    for (size_t i = 0; i < loaded.size() / 16; ++i) {
        std::string entry = loaded.substr(i * 16, 16), original = bytes.substr(i * 16, 16);
        uint64_t key;
        int16_t score;
        std::memcpy(&key, original.data(), 8);
        std::memcpy(&score, original.data() + 8, 2);
        bool impossible = key == ~0ULL || score > 32500 || score < -32500;
        EXPECT_EQ(entry, impossible ? std::string(16, '\0') : original) << "entry " << i;
        dropped += impossible;
    }
    EXPECT_GE(dropped, size_t(3));
    unlink(optHashFileName.c_str());
}

TEST_F(HashFile, FailuresAreReportedAndLeaveTheTable) {
    const std::string missing = tempPath("missing.hash");
    const std::string halfSize = tempPath("half.hash");
    const std::string oneByteMore = tempPath("more.hash");
    writeFile(halfSize, randomBytes(ttSizeBytes() / 2, 3));
    writeFile(oneByteMore, randomBytes(ttSizeBytes() + 1, 4));
    struct Case {
        void (*action)();
        std::string name;
        std::string output;
    } cases[] = {
        {saveHashFile, "", "info string failed to open \n"},
        {saveHashFile, "/no/such/dir/table.hash", "info string failed to open /no/such/dir/table.hash\n"},
        {saveHashFile, dataDir(), "info string failed to open " + dataDir() + "\n"},
        {saveHashFile, "/dev/full", "info string Saving Hash\ninfo string error writing file /dev/full\n"},
        {loadHashFile, "", "info string no such file \n"},
        {loadHashFile, missing, "info string no such file " + missing + "\n"},
        {loadHashFile, dataDir(), "info string no such file " + dataDir() + "\n"},
        {loadHashFile, halfSize,
         "info string Loading Hash from " + halfSize + "\ninfo string File size does not match Hash size\n"},
        {loadHashFile, oneByteMore,
         "info string Loading Hash from " + oneByteMore +
             "\ninfo string File size does not match Hash size\n"},
    };
    fillTable(5);
    const std::string before = tableBytes();
    for (const Case& c : cases) {
        optHashFileName = c.name;
        EXPECT_EQ(run(c.action), c.output);
        EXPECT_TRUE(tableBytes() == before) << c.name;
    }
    unlink(halfSize.c_str());
    unlink(oneByteMore.c_str());
}

// A file saved with one "Hash" size does not load into a table of another.
TEST_F(HashFile, FileOfAnotherTableSizeIsRefused) {
    optHashFileName = tempPath("small-table.hash");
    fillTable(6);
    run(saveHashFile);
    testing::internal::CaptureStdout();
    ttResize(2);
    testing::internal::GetCapturedStdout();
    fillTable(7);
    const std::string before = tableBytes();
    EXPECT_EQ(run(loadHashFile), "info string Loading Hash from " + optHashFileName +
                                     "\ninfo string File size does not match Hash size\n");
    EXPECT_TRUE(tableBytes() == before);
    unlink(optHashFileName.c_str());
}

TEST_F(HashFile, LoadWaitsForNoSearch) {
    optHashFileName = tempPath("during-search.hash");
    fillTable(8);
    run(saveHashFile);
    fillTable(9);
    const std::string before = tableBytes();
    searching = true;
    std::string output = run(loadHashFile);
    EXPECT_EQ(output.rfind("info string ", 0), 0u) << output;
    EXPECT_EQ(output.find('\n'), output.size() - 1) << output;
    EXPECT_TRUE(tableBytes() == before);
    searching = false;
    EXPECT_EQ(run(loadHashFile),
              "info string Loading Hash from " + optHashFileName + "\ninfo string Hash Loaded\n");
    unlink(optHashFileName.c_str());
}

// Through the engine program: whatever a loaded file holds, the engine searches and plays legal moves.
namespace {
const std::vector<std::string> SEARCH_FENS = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    "4k3/8/8/8/8/8/4P3/4K3 w - - 0 1",
};

// Runs "go depth N" on each position after `setup`; checks bestmove and ponder move are legal.
void expectLegalPlay(const std::vector<std::string>& setup, int depth) {
    EngineProcess engine;
    for (const std::string& command : setup) engine.send(command);
    for (const std::string& fen : SEARCH_FENS) {
        engine.send("position fen " + fen);
        engine.send("go depth " + std::to_string(depth));
        std::string line;
        ASSERT_TRUE(engine.waitFor("bestmove", &line, 60)) << fen;
        std::istringstream words(line);
        std::string keyword, best, ponderWord, ponder;
        words >> keyword >> best >> ponderWord >> ponder;
        Position pos = positionFromFen(fen), child;
        ASSERT_TRUE(executeMoveText(pos, child, best)) << fen << ": " << line;
        if (ponderWord == "ponder") {
            Position grandchild;
            EXPECT_TRUE(executeMoveText(child, grandchild, ponder)) << fen << ": " << line;
        }
    }
    engine.send("quit");
    EXPECT_EQ(engine.wait(), 0);
}

std::vector<std::string> loadCommands(const std::string& path) {
    return {"setoption name Hash value 1", "setoption name Hash File Name value " + path,
            "setoption name Load Hash from File", "isready"};
}
} // namespace

TEST(HashFileProtocol, RandomBytesLoadAndPlayGoesOn) {
    const std::string path = tempPath("random-protocol.hash");
    writeFile(path, randomBytes(ttBucketCountFor(1) * sizeof(TTBucket), 12));
    {
        EngineProcess engine;
        for (const std::string& command : loadCommands(path)) engine.send(command);
        std::vector<std::string> seen;
        EXPECT_TRUE(engine.waitFor("readyok", nullptr, 10, &seen));
        EXPECT_NE(std::find(seen.begin(), seen.end(), "info string Hash Loaded"), seen.end());
        engine.send("quit");
        engine.wait();
    }
    expectLegalPlay(loadCommands(path), 6);
    unlink(path.c_str());
}

// A table saved from real searches, then every stored move replaced by a random word and every
// entry made a deep exact result: the positions' keys match, so the search meets these entries.
TEST(HashFileProtocol, EntriesWithIllegalMovesAreNeverPlayed) {
    const std::string path = tempPath("scrambled-protocol.hash");
    {
        EngineProcess engine;
        engine.send("setoption name Hash value 1");
        engine.send("setoption name Hash File Name value " + path);
        for (const std::string& fen : SEARCH_FENS) {
            engine.send("position fen " + fen);
            engine.send("go depth 7");
            ASSERT_TRUE(engine.waitFor("bestmove", nullptr, 60));
        }
        engine.send("setoption name Save Hash to File");
        engine.send("isready");
        std::vector<std::string> seen;
        EXPECT_TRUE(engine.waitFor("readyok", nullptr, 30, &seen));
        EXPECT_NE(std::find(seen.begin(), seen.end(), "info string Hash Saved"), seen.end());
        engine.send("quit");
        engine.wait();
    }
    std::string bytes;
    {
        std::ifstream in(path, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    ASSERT_EQ(bytes.size(), ttBucketCountFor(1) * sizeof(TTBucket));
    std::mt19937 random(13);
    int scrambled = 0;
    for (size_t at = 0; at < bytes.size(); at += 16) {
        uint64_t key;
        std::memcpy(&key, &bytes[at], 8);
        if (!key) continue;
        uint16_t move = uint16_t(random());
        int16_t depth = 200;
        int16_t score = int16_t(int(random() % 65001) - 32500);
        std::memcpy(&bytes[at + 8], &score, 2);
        std::memcpy(&bytes[at + 10], &move, 2);
        std::memcpy(&bytes[at + 12], &depth, 2);
        bytes[at + 14] = char(BOUND_EXACT);
        ++scrambled;
    }
    EXPECT_GT(scrambled, 1000);
    writeFile(path, bytes);
    expectLegalPlay(loadCommands(path), 7);
    unlink(path.c_str());
}
