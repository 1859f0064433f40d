// The transposition table: sizing, resizing, the store and replacement rules, mate-score
// conversion, the fill statistic, the memory image and concurrent access.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "tt/tt.h"
#include "uci/settings.h"

namespace {

// A 1 MB table (16384 buckets), emptied, generation 0, analysis mode off.
class TTTest : public ::testing::Test {
  protected:
    void SetUp() override {
        testing::internal::CaptureStdout();
        ttResize(1);
        testing::internal::GetCapturedStdout();
        ttClear();
        optAnalyseMode = 0;
    }
    void TearDown() override { optAnalyseMode = 0; }

    // The i-th key that falls into bucket `bucket`.
    static uint64_t keyInBucket(uint64_t bucket, uint64_t i) { return bucket + (i + 1) * tt.bucketCount; }

    static TTEntry probe(uint64_t key) {
        TTEntry e{};
        EXPECT_TRUE(ttProbe(key, e)) << "key " << key << " not found";
        return e;
    }
};

const Move MOVE_A = encodeMove(12, 28, DOUBLE_PUSH);
const Move MOVE_B = encodeMove(6, 21);

TEST(TTSizing, BucketCountFollowsTheHalfPowerOfTwoRule) {
    struct Case {
        int megabytes;
        uint64_t buckets;
    };
    const Case cases[] = {
        {1, 16384},       {2, 32768},      {100, 1048576}, {125, 1048576}, {126, 2097152},
        {128, 2097152},   {250, 2097152},  {251, 4194304}, {1000, 8388608}, {65536, 1ULL << 30},
    };
    for (const Case& c : cases) EXPECT_EQ(ttBucketCountFor(c.megabytes), c.buckets) << c.megabytes << " MB";
}

TEST(TTResize, SameValueOnlyClearsAndOutOfRangeKeepsAMinimalTable) {
    testing::internal::CaptureStdout();
    ttResize(2);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "info string Hash table size is now 2 meg\n");
    EXPECT_EQ(tt.bucketCount, 32768u);
    EXPECT_EQ(ttSizeBytes(), 2u * 1048576);
    EXPECT_EQ(optHash.load(), 2);

    ttStore(12345, 8, 50, BOUND_EXACT, MOVE_A, 0);
    TTBucket* before = tt.buckets;
    testing::internal::CaptureStdout();
    ttResize(2);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(tt.buckets, before) << "the same value must not reallocate";
    TTEntry e;
    EXPECT_FALSE(ttProbe(12345, e)) << "the same value must clear";

    for (int bad : {0, -3, 65537}) {
        testing::internal::CaptureStdout();
        ttResize(bad);
        std::string out = testing::internal::GetCapturedStdout();
        EXPECT_NE(out.find("info string"), std::string::npos) << bad;
        EXPECT_EQ(tt.bucketCount, 4u) << bad;
        EXPECT_EQ(optHash.load(), bad);
        ttStore(777, 4, -20, BOUND_LOWER, MOVE_B, 0);
        ASSERT_TRUE(ttProbe(777, e)) << "the minimal table must still work for Hash " << bad;
        EXPECT_EQ(e.score, -20);
        EXPECT_GE(hashfull(), 0);
    }

    // Back to the value applied before the out-of-range ones: it must allocate again, not just
    // clear the minimal table.
    testing::internal::CaptureStdout();
    ttResize(2);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "info string Hash table size is now 2 meg\n");
    EXPECT_EQ(tt.bucketCount, 32768u);
}

TEST_F(TTTest, EntryImageIsTheDocumentedLittleEndianLayout) {
    const uint64_t key = 0x0123456789abcdefULL;
    tt.generation = 9;
    ttStore(key, -3, -1234, 7, MOVE_A, 1);
    const TTEntry* entries = tt.buckets[key & tt.mask].entries;
    unsigned char bytes[16];
    std::memcpy(bytes, &entries[0], 16);
    const unsigned char expected[16] = {
        0xef, 0xcd, 0xab, 0x89, 0x67, 0x45, 0x23, 0x01, // raw key
        0x2e, 0xfb,                                     // score -1234
        uint8_t(MOVE_A), uint8_t(MOVE_A >> 8),          // move
        0xfd, 0xff,                                     // depth -3
        0x17,                                           // flags 7, keepBias 1
        9,                                              // generation
    };
    EXPECT_EQ(std::memcmp(bytes, expected, 16), 0);

    TTEntry e = probe(key);
    EXPECT_EQ(e.key, key);
    EXPECT_EQ(e.score, -1234);
    EXPECT_EQ(e.move, MOVE_A);
    EXPECT_EQ(e.depth, -3);
    EXPECT_EQ(e.flags, 0x17);
    EXPECT_EQ(e.generation, 9);
}

TEST_F(TTTest, ProbeFindsOnlyTheExactKeyInItsBucket) {
    const uint64_t key = keyInBucket(5, 0);
    ttStore(key, 6, 10, BOUND_EXACT, MOVE_A, 0);
    TTEntry e;
    EXPECT_TRUE(ttProbe(key, e));
    EXPECT_FALSE(ttProbe(keyInBucket(5, 1), e)) << "same bucket, other key";
    EXPECT_FALSE(ttProbe(key ^ (1ULL << 63), e)) << "keys differ only in the high bits";
    EXPECT_FALSE(ttProbe(0, e)) << "key 0 marks empty entries";
}

TEST_F(TTTest, FullBucketReplacesOlderThenShallowerEntries) {
    struct Slot {
        int depth;
        int keepBias;
        bool old; // stored by the previous search
    };
    struct Case {
        const char* what;
        Slot slots[4];
        int replaced;
    };
    const Case cases[] = {
        {"shallowest of the current search", {{8, 0, false}, {4, 0, false}, {6, 0, false}, {10, 0, false}}, 1},
        {"an older entry goes before a shallower current one", {{2, 0, false}, {20, 0, true}, {3, 0, false}, {4, 0, false}}, 1},
        {"shallowest of the older entries", {{2, 0, false}, {12, 0, true}, {3, 0, false}, {9, 0, true}}, 3},
        {"keepBias counts as extra depth", {{6, 1, false}, {6, 0, false}, {8, 0, false}, {9, 0, false}}, 1},
        {"earliest on ties", {{5, 0, false}, {7, 0, false}, {5, 0, false}, {5, 0, false}}, 0},
        {"negative depths", {{-2, 0, false}, {0, 0, false}, {-4, 0, false}, {3, 0, false}}, 2},
    };
    const uint64_t bucket = 77;
    for (const Case& c : cases) {
        ttClear();
        for (int i = 0; i < 4; ++i) {
            tt.generation = c.slots[i].old ? 1 : 2;
            ttStore(keyInBucket(bucket, i), c.slots[i].depth, 100 + i, BOUND_EXACT, MOVE_A, c.slots[i].keepBias);
        }
        tt.generation = 2;
        const uint64_t newKey = keyInBucket(bucket, 10);
        ttStore(newKey, 1, -5, BOUND_UPPER, NO_MOVE, 0);

        TTEntry e{};
        ASSERT_TRUE(ttProbe(newKey, e)) << c.what;
        EXPECT_EQ(e.move, NO_MOVE) << c.what << ": a replacing store writes its move even when 0";
        EXPECT_EQ(e.generation, 2) << c.what;
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(ttProbe(keyInBucket(bucket, i), e), i != c.replaced) << c.what << ", entry " << i;
        EXPECT_EQ(tt.buckets[bucket].entries[c.replaced].key, newKey) << c.what << ": replaced in place";
    }
}

TEST_F(TTTest, SamePositionStoreKeepsOrReplacesByBoundAndDepth) {
    struct Case {
        const char* what;
        int oldDepth, oldScore, oldFlags;
        bool oldGenerationIsCurrent;
        int newDepth, newScore, newFlags;
        bool kept;
    };
    const Case cases[] = {
        {"shallower store does not replace an exact entry", 10, 30, BOUND_EXACT, true, 8, 90, BOUND_LOWER, true},
        {"equal depth does not replace an exact entry", 10, 30, BOUND_EXACT, true, 10, 90, BOUND_EXACT, true},
        {"deeper store replaces an exact entry", 10, 30, BOUND_EXACT, true, 12, 90, BOUND_UPPER, false},
        {"exact entry of an older search is replaced", 10, 30, BOUND_EXACT, false, 4, 90, BOUND_UPPER, false},
        {"lower bound kept against a weaker lower bound", 10, 30, BOUND_LOWER, true, 8, 20, BOUND_LOWER, true},
        {"lower bound replaced by a stronger lower bound", 10, 30, BOUND_LOWER, true, 8, 40, BOUND_LOWER, false},
        {"lower bound replaced by a shallower upper bound", 10, 30, BOUND_LOWER, true, 8, 40, BOUND_UPPER, false},
        {"lower bound replaced by a shallower exact score", 10, 30, BOUND_LOWER, true, 8, 40, BOUND_EXACT, false},
        {"upper bound kept against a weaker upper bound", 10, 30, BOUND_UPPER, true, 8, 40, BOUND_UPPER, true},
        {"upper bound replaced by a stronger upper bound", 10, 30, BOUND_UPPER, true, 8, 20, BOUND_UPPER, false},
        {"upper bound replaced by a shallower lower bound", 10, 30, BOUND_UPPER, true, 8, 20, BOUND_LOWER, false},
        {"terminal entry counts as exact", 10, 0, BOUND_EXACT | BOUND_TERMINAL, true, 6, 5, BOUND_UPPER, true},
    };
    const uint64_t key = keyInBucket(300, 0);
    for (const Case& c : cases) {
        ttClear();
        tt.generation = c.oldGenerationIsCurrent ? 3 : 2;
        ttStore(key, c.oldDepth, c.oldScore, c.oldFlags, MOVE_A, 0);
        tt.generation = 3;
        ttStore(key, c.newDepth, c.newScore, c.newFlags, MOVE_B, 0);
        TTEntry e = probe(key);
        if (c.kept) {
            EXPECT_EQ(e.depth, c.oldDepth) << c.what;
            EXPECT_EQ(e.score, c.oldScore) << c.what;
            EXPECT_EQ(e.flags, c.oldFlags) << c.what;
            EXPECT_EQ(e.move, MOVE_A) << c.what;
        } else {
            EXPECT_EQ(e.depth, c.newDepth) << c.what;
            EXPECT_EQ(e.score, c.newScore) << c.what;
            EXPECT_EQ(e.flags, c.newFlags) << c.what;
            EXPECT_EQ(e.move, MOVE_B) << c.what;
            EXPECT_EQ(e.generation, 3) << c.what;
        }
        EXPECT_EQ(tt.filledCount, 1u) << c.what << ": one position fills one entry";
    }
}

TEST_F(TTTest, MoveZeroKeepsTheStoredMove) {
    const uint64_t key = 4242;
    ttStore(key, 4, 10, BOUND_LOWER, MOVE_A, 0);
    ttStore(key, 6, 15, BOUND_LOWER, NO_MOVE, 0);
    TTEntry e = probe(key);
    EXPECT_EQ(e.depth, 6);
    EXPECT_EQ(e.score, 15);
    EXPECT_EQ(e.move, MOVE_A);
}

TEST_F(TTTest, AnalysisModeKeepsDeeperExactEntryButRefreshesIt) {
    const uint64_t key = 999;
    tt.generation = 1;
    ttStore(key, 12, 44, BOUND_EXACT, MOVE_A, 0);
    optAnalyseMode = 1;
    tt.generation = 2;
    // Even across searches, where the normal rule would overwrite it.
    ttStore(key, 6, -70, BOUND_UPPER, MOVE_B, 1);
    TTEntry e = probe(key);
    EXPECT_EQ(e.depth, 12);
    EXPECT_EQ(e.score, 44);
    EXPECT_EQ(e.flags, BOUND_EXACT);
    EXPECT_EQ(e.generation, 2);
    EXPECT_EQ(e.move, MOVE_B);

    // A deeper result still replaces it, and a deeper lower bound is not protected.
    ttStore(key, 14, 60, BOUND_LOWER, NO_MOVE, 0);
    e = probe(key);
    EXPECT_EQ(e.depth, 14);
    EXPECT_EQ(e.move, MOVE_B);
    ttStore(key, 2, 10, BOUND_UPPER, MOVE_A, 0);
    EXPECT_EQ(probe(key).depth, 2);
}

TEST_F(TTTest, ScoresBeyondTheStorableRangeAreNotStored) {
    struct Case {
        int score;
        bool stored;
    };
    for (Case c : {Case{32500, true}, Case{-32500, true}, Case{32501, false}, Case{-32501, false}}) {
        ttClear();
        TTEntry e;
        ttStore(5555, 4, c.score, BOUND_EXACT, MOVE_A, 0);
        EXPECT_EQ(ttProbe(5555, e), c.stored) << c.score;
    }
}

TEST(TTScores, MateScoresAreStoredRelativeToTheNode) {
    EXPECT_EQ(scoreToTT(31990, 5), 31995);
    EXPECT_EQ(scoreFromTT(31995, 7), 31988);
    EXPECT_EQ(scoreToTT(-31990, 5), -31995);
    EXPECT_EQ(scoreFromTT(-31995, 7), -31988);
    struct Case {
        int score;
        int stored; // at ply 3
    };
    const Case cases[] = {{31799, 31799}, {31800, 31803}, {-31799, -31799}, {-31800, -31803},
                          {0, 0},         {25000, 25000}, {32000, 32003},   {-32000, -32003}};
    for (const Case& c : cases) {
        EXPECT_EQ(scoreToTT(c.score, 3), c.stored) << c.score;
        EXPECT_EQ(scoreFromTT(c.stored, 3), c.score) << c.score;
    }
}

TEST_F(TTTest, HashfullCountsEntriesFilledSinceTheLastClear) {
    EXPECT_EQ(hashfull(), 0);
    const uint64_t buckets = tt.bucketCount;
    // A quarter of all entries: one per bucket, then a second store to each changes nothing.
    for (int pass = 0; pass < 2; ++pass)
        for (uint64_t b = 0; b < buckets; ++b) ttStore(keyInBucket(b, 0), 4 + pass, 1, BOUND_EXACT, MOVE_A, 0);
    EXPECT_EQ(tt.filledCount, buckets);
    EXPECT_EQ(hashfull(), 250);
    // Another search does not reset the count.
    ttNewSearch();
    for (uint64_t b = 0; b < buckets / 2; ++b) ttStore(keyInBucket(b, 1), 4, 1, BOUND_EXACT, MOVE_A, 0);
    EXPECT_EQ(hashfull(), 375);
    ttClear();
    EXPECT_EQ(hashfull(), 0);
    EXPECT_EQ(tt.generation, 0u);
}

TEST_F(TTTest, GenerationWrapsAndClearMarksTheTableClean) {
    for (int i = 0; i < 256; ++i) ttNewSearch();
    EXPECT_EQ(tt.generation, 0u);
    ttNewSearch();
    EXPECT_EQ(tt.generation, 1u);
    ttDirty = true;
    ttClear();
    EXPECT_FALSE(ttDirty);
    EXPECT_EQ(tt.generation, 0u);
}

// Several threads store and probe a small table at once. Every stored entry is a function of its
// key, so a probe that returns data of another position's write shows a torn entry.
TEST_F(TTTest, ConcurrentStoresNeverYieldATornEntry) {
    auto mix = [](uint64_t key) { return (key ^ (key >> 29)) * 0xbf58476d1ce4e5b9ULL; };
    auto scoreOf = [&](uint64_t key) { return int(mix(key) % 20000) - 10000; };
    auto depthOf = [&](uint64_t key) { return int((mix(key) >> 20) % 100); };
    auto moveOf = [&](uint64_t key) { return Move((mix(key) >> 40) & 0x7fff) | 1; };
    std::atomic<uint64_t> torn{0}, hits{0};
    auto worker = [&](uint64_t seed) {
        uint64_t x = seed;
        for (int i = 0; i < 200000; ++i) {
            x ^= x << 13, x ^= x >> 7, x ^= x << 17;
            // 64 keys in 8 buckets: threads meet on the same entries and keep replacing them.
            uint64_t key = keyInBucket(x % 8, (x >> 3) % 8);
            if (i & 1) {
                ttStore(key, depthOf(key), scoreOf(key), BOUND_EXACT, moveOf(key), 0);
            } else {
                TTEntry e;
                if (ttProbe(key, e)) {
                    hits.fetch_add(1, std::memory_order_relaxed);
                    if (e.key != key || e.score != scoreOf(key) || e.depth != depthOf(key) ||
                        e.move != moveOf(key))
                        torn.fetch_add(1, std::memory_order_relaxed);
                }
            }
        }
    };
    std::vector<std::thread> threads;
    for (uint64_t t = 1; t <= 4; ++t) threads.emplace_back(worker, t * 0x1234567ULL);
    for (auto& t : threads) t.join();
    EXPECT_GT(hits.load(), 0u);
    EXPECT_EQ(torn.load(), 0u);
}

} // namespace
