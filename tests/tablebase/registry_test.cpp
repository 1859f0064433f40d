// The registry: finding tables on the path, the messages, first use of a table (missing,
// damaged or unmappable files), unregistering, the key hash, and first use from many threads.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <set>
#include <thread>

#include "search/search_state.h"
#include "tablebase/tablebase.h"
#include "tablebase/tb_registry.h"
#include "tb_test_util.h"
#include "test_support.h"
#include "uci/settings.h"

namespace {

const char* const KQK_BLACK = "8/2Q5/8/8/4K3/8/6k1/8 b - - 0 1";  // loss for Black
const char* const KRK_WHITE = "8/8/8/2R5/1K6/8/5k2/8 w - - 0 1";  // win for White

// Runs `action` and returns what it printed.
template <typename Action>
std::string printedBy(Action action) {
    testing::internal::CaptureStdout();
    action();
    return testing::internal::GetCapturedStdout();
}

int wdlOf(const char* fen, int* success) { return tbWdlProbe(positionFromFen(fen), success); }

class TbRegistry : public ::testing::Test {
  protected:
    void TearDown() override { printedBy([] { tbLoadAll(""); }); }
    void copyTables(ScratchDir& dir, std::initializer_list<const char*> names) {
        for (const char* name : names)
            for (const char* ext : {".rtbw", ".rtbz"})
                dir.put(std::string(name) + ext, readBytes(dataPath(std::string("syzygy/") + name + ext)));
    }
};

TEST_F(TbRegistry, SettingThePathReportsTablesAndProbeLimit) {
    REQUIRE_DATA("syzygy/KRPvKR.rtbw");
    optSyzygyProbeLimit = 6;
    std::string out = printedBy([] { setSyzygyPath(dataPath("syzygy")); });
    EXPECT_EQ(out, "info string Found 41 tablebases (up to 5-man).\n"
                   "info string Probing tablebases up to 5-man.\n");
    EXPECT_EQ(optSyzygyPath, dataPath("syzygy"));
    EXPECT_EQ(tbLargestPieceCount(), 5);

    out = printedBy([] { setSyzygyProbeLimit(4); });
    EXPECT_EQ(out, "info string Probing tablebases up to 4-man.\n");
    for (auto [set, stored] : {std::pair{9, 6}, {-3, 0}}) {
        printedBy([set = set] { setSyzygyProbeLimit(set); });
        EXPECT_EQ(optSyzygyProbeLimit, stored);
    }
    optSyzygyProbeLimit = 6;

    // Back to the empty path: nothing registered, nothing found, no count line.
    out = printedBy([] { setSyzygyPath(""); });
    EXPECT_EQ(out, "info string Probing tablebases up to 0-man.\n");
    EXPECT_EQ(tbLargestPieceCount(), 0);
    EXPECT_EQ(tbRegisteredCount(), 0);
    int success = -1;
    wdlOf(KRK_WHITE, &success);
    EXPECT_EQ(success, 0);
}

TEST_F(TbRegistry, PathPartsAreSearchedInOrderAndEmptyPartsSkipped) {
    REQUIRE_DATA("syzygy/KQvK.rtbw");
    ScratchDir a, b;
    copyTables(a, {"KQvK", "KRvK"});
    copyTables(b, {"KRvK", "KBNvK"});
    struct Case {
        std::string path;
        std::string found;
    } cases[] = {
        {a.path() + "::" + b.path(), "info string Found 3 tablebases (up to 4-man).\n"},
        {":" + a.path() + ":", "info string Found 2 tablebases (up to 3-man).\n"},
        {"/nonexistent-dir:" + b.path(), "info string Found 2 tablebases (up to 4-man).\n"},
        {":", "info string Found 0 tablebases (up to 0-man).\n"},
    };
    for (const Case& c : cases) EXPECT_EQ(printedBy([&] { tbLoadAll(c.path); }), c.found) << c.path;

    // A table present in both directories is read from the first one named.
    printedBy([&] { tbLoadAll(b.path() + ":" + a.path()); });
    std::vector<uint8_t> damaged = readBytes(dataPath("syzygy/KRvK.rtbw"));
    damaged[0] ^= 0xff;
    b.put("KRvK.rtbw", damaged);
    int success = -1;
    EXPECT_EQ(printedBy([&] { wdlOf(KRK_WHITE, &success); }), "Corrupted table.\n");
    EXPECT_EQ(success, 0);
}

TEST_F(TbRegistry, BadMagicIsReportedOnceAndTheTableIsNeverProbedAgain) {
    REQUIRE_DATA("syzygy/KQvK.rtbw");
    ScratchDir dir;
    copyTables(dir, {"KQvK", "KRvK"});
    std::vector<uint8_t> bytes = readBytes(dataPath("syzygy/KQvK.rtbw"));
    bytes[1] = 0;
    dir.put("KQvK.rtbw", bytes);
    printedBy([&] { tbLoadAll(dir.path()); });

    int success = -1;
    EXPECT_EQ(printedBy([&] { wdlOf(KQK_BLACK, &success); }), "Corrupted table.\n");
    EXPECT_EQ(success, 0);
    // Restoring the file does not bring the table back before the next reload.
    dir.put("KQvK.rtbw", readBytes(dataPath("syzygy/KQvK.rtbw")));
    EXPECT_EQ(printedBy([&] { wdlOf(KQK_BLACK, &success); }), "");
    EXPECT_EQ(success, 0);
    // Other tables are unaffected.
    EXPECT_EQ(wdlOf(KRK_WHITE, &success), 2);
    EXPECT_EQ(success, 1);
}

TEST_F(TbRegistry, DamageFoundWhileProbingDisablesTheTable) {
    REQUIRE_DATA("syzygy/KQvK.rtbw");
    ScratchDir dir;
    copyTables(dir, {"KQvK"});
    std::vector<uint8_t> bytes = readBytes(dataPath("syzygy/KQvK.rtbw"));
    std::fill(bytes.begin() + 112, bytes.begin() + 116, uint8_t(0xff));  // index entry: block 0xffffffff
    dir.put("KQvK.rtbw", bytes);
    printedBy([&] { tbLoadAll(dir.path()); });
    int success = -1;
    EXPECT_EQ(printedBy([&] { wdlOf(KQK_BLACK, &success); }), "Corrupted table.\n");
    EXPECT_EQ(success, 0);
    // White to move reads a constant sub-table, but the table is now out of use.
    EXPECT_EQ(printedBy([&] { wdlOf("8/2Q5/8/8/4K3/8/6k1/8 w - - 0 1", &success); }), "");
    EXPECT_EQ(success, 0);
}

TEST_F(TbRegistry, DamagedDistanceFileFailsOnlyTheDistanceProbe) {
    REQUIRE_DATA("syzygy/KQvK.rtbz");
    ScratchDir dir;
    copyTables(dir, {"KQvK"});
    std::vector<uint8_t> bytes = readBytes(dataPath("syzygy/KQvK.rtbz"));
    bytes[0] = 0;
    dir.put("KQvK.rtbz", bytes);
    printedBy([&] { tbLoadAll(dir.path()); });
    const Position pos = positionFromFen("8/2Q5/8/8/4K3/8/6k1/8 w - - 0 1");
    int success = -1;
    EXPECT_EQ(printedBy([&] { tbDtzProbe(pos, &success); }), "Corrupted table.\n");
    EXPECT_EQ(success, 0);
    EXPECT_EQ(printedBy([&] { tbDtzProbe(pos, &success); }), "");
    EXPECT_EQ(tbWdlProbe(pos, &success), 2);
    EXPECT_EQ(success, 1);
}

TEST_F(TbRegistry, VanishedOrUnmappableFilesFailTheirProbesOnly) {
    REQUIRE_DATA("syzygy/KQvK.rtbw");
    ScratchDir dir;
    copyTables(dir, {"KQvK", "KRvK"});
    // A directory where a table file should be: it opens, but cannot be mapped.
    const std::string fake = dir.file("KBNvK.rtbw");
    ASSERT_EQ(mkdir(fake.c_str(), 0700), 0);
    EXPECT_EQ(printedBy([&] { tbLoadAll(dir.path()); }), "info string Found 3 tablebases (up to 4-man).\n");
    unlink(dir.file("KQvK.rtbw").c_str());

    int success = -1;
    EXPECT_EQ(printedBy([&] { wdlOf(KQK_BLACK, &success); }), "Could not find KQvK.rtbw\n");
    EXPECT_EQ(success, 0);
    EXPECT_EQ(printedBy([&] { wdlOf(KQK_BLACK, &success); }), "");
    EXPECT_EQ(printedBy([&] { wdlOf("3B4/K7/8/k3N3/8/8/8/8 b - - 0 1", &success); }),
              "Could not mmap() KBNvK.rtbw.\n");
    EXPECT_EQ(success, 0);
    rmdir(fake.c_str());
    EXPECT_EQ(wdlOf(KRK_WHITE, &success), 2);
    EXPECT_EQ(success, 1);
}

TEST_F(TbRegistry, NamesMatchTheFilesAndEveryKeyFitsTheHash) {
    const std::vector<std::string> names = tbCandidateNames();
    // Every available file name is generated (so it can be found), each name once.
    const std::set<std::string> unique(names.begin(), names.end());
    EXPECT_EQ(unique.size(), names.size());
    for (const char* name : {"KQvK", "KBvKN", "KQvKR", "KBBvKN", "KRPvKR", "KPvKP", "KBvKP", "KQRvKR"})
        EXPECT_TRUE(unique.count(name)) << name;
    EXPECT_FALSE(unique.count("KNvKB"));
    EXPECT_FALSE(unique.count("KRvKQ"));

    // With the engine's material keys, the tables of up to six pieces fit the registry: no
    // bucket of the key hash overflows, no two materials share a key, and both arrays suffice.
    std::map<int, int> perBucket;
    std::set<uint64_t> keys;
    int pawnful = 0, pawnless = 0;
    for (const std::string& name : names) {
        const TbMaterial m = materialOf(name);
        const bool symmetric = std::equal(m.count[0], m.count[0] + 7, m.count[1]);
        (m.count[0][PAWN] + m.count[1][PAWN] ? pawnful : pawnless)++;
        for (bool swapped : {false, true}) {
            if (swapped && symmetric) continue;
            const uint64_t key = tbMaterialKey(m, swapped);
            EXPECT_TRUE(keys.insert(key).second) << name;
            perBucket[int(key >> (64 - TB_HASH_BITS))]++;
        }
    }
    for (auto [bucket, count] : perBucket) EXPECT_LE(count, HSHMAX) << "bucket " << bucket;
    EXPECT_LE(pawnful, TBMAX_PAWN);
    EXPECT_LE(pawnless, TBMAX_PIECE);

    // The registry finds a table under the position's key, either way round.
    REQUIRE_DATA("syzygy/KQvKR.rtbw");
    printedBy([] { tbLoadAll(dataPath("syzygy")); });
    bool swapped = true;
    TbEntry* e = tbFindEntry(positionFromFen("6k1/8/8/8/8/8/4r3/KQ6 w - - 0 1").materialCountKey, &swapped);
    ASSERT_NE(e, nullptr);
    EXPECT_STREQ(e->name, "KQvKR");
    EXPECT_FALSE(swapped);
    EXPECT_EQ(tbFindEntry(positionFromFen("6K1/8/8/8/8/8/4R3/kq6 w - - 0 1").materialCountKey, &swapped), e);
    EXPECT_TRUE(swapped);
}

// Many threads probing a freshly loaded registry at once: first use and the distance cache
// under the mutex, ready tables without it. Every thread gets the single-threaded answers.
TEST_F(TbRegistry, FirstUseFromManyThreadsGivesTheSameAnswers) {
    REQUIRE_DATA("syzygy/vectors.tsv");
    std::vector<Position> positions;
    for (const std::string& line : readLines(dataPath("syzygy/vectors.tsv")))
        if (positions.size() < 400 && !line.empty()) positions.push_back(positionFromFen(line.substr(0, line.find('\t'))));
    printedBy([] { tbLoadAll(dataPath("syzygy")); });
    std::vector<std::pair<int, int>> expected;
    for (const Position& p : positions) {
        int s1, s2;
        const int wdl = tbWdlProbe(p, &s1);
        const int dtz = tbDtzProbe(p, &s2);
        ASSERT_TRUE(s1 && s2) << toFen(p);
        expected.push_back({wdl, dtz});
    }

    // Odd threads also probe distances, so the cache is shared while tables are being mapped.
    printedBy([] { tbLoadAll(dataPath("syzygy")); });
    constexpr int THREADS = 4;
    std::vector<std::vector<std::pair<int, int>>> results(THREADS);
    std::vector<std::thread> threads;
    auto at = [&](int t, size_t k) { return (k + size_t(t) * 97) % positions.size(); };
    for (int t = 0; t < THREADS; t++) {
        threads.emplace_back([&, t] {
            for (size_t k = 0; k < positions.size(); k++) {
                const Position& p = positions[at(t, k)];
                int s;
                const int wdl = tbWdlProbe(p, &s);
                const int dtz = t % 2 ? tbDtzProbe(p, &s) : expected[at(t, k)].second;
                results[t].push_back({wdl, dtz});
            }
        });
    }
    for (std::thread& th : threads) th.join();
    for (int t = 0; t < THREADS; t++)
        for (size_t k = 0; k < positions.size(); k++)
            EXPECT_EQ(results[t][k], expected[at(t, k)]) << "thread " << t << ": " << toFen(positions[at(t, k)]);
}

} // namespace
