// The transposition table: sizing, clearing, probing, the replacement rule and mate-score
// conversion.
//
// Concurrency. Every search thread probes and stores without a lock. Each 16-byte entry is two
// 8-byte words, the raw key and the data word (score, move, depth, flags byte, generation), and
// both are only ever accessed atomically, so there is no data race. A writer claims an entry by
// swapping its key word to BUSY_KEY with a compare-exchange, writes the data word, then publishes
// the new key with release order. A reader loads the key, the data word, then the key again, and
// trusts the data only when both key reads equal the key it looks for; only a rewrite of the entry
// to another key and back again between those two reads could mislead it. A writer that finds its
// entry claimed or changed under it drops its store: losing an occasional store is harmless,
// waiting would not be. The memory image stays the plain entry layout of tt.h, so the hash file
// is still a raw copy of the buckets.
#include "tt/tt.h"

#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "uci/settings.h"

namespace {

static_assert(offsetof(TTEntry, key) == 0);
static_assert(offsetof(TTEntry, score) == 8);
static_assert(offsetof(TTEntry, move) == 10);
static_assert(offsetof(TTEntry, depth) == 12);
static_assert(offsetof(TTEntry, flags) == 14);
static_assert(offsetof(TTEntry, generation) == 15);
static_assert(alignof(TTBucket) == 64);

// A key word value no position is stored under: the entry is being written.
constexpr uint64_t BUSY_KEY = ~0ULL;
constexpr int ENTRIES_PER_BUCKET = 4;
constexpr int STORABLE_SCORE = 32500;
// Replacement preference for entries of the running search (in depth units).
constexpr int CURRENT_GENERATION_KEEP = 600;
// The smallest table the allocator accepts; also what stands in for a "Hash" value out of range.
constexpr uint64_t MIN_BUCKETS = 4;
constexpr int HASH_MIN_MB = 1;
constexpr int HASH_MAX_MB = 65536;
// Tables of at least this size are aligned for huge pages, which cut address-translation misses.
constexpr size_t HUGE_PAGE_BYTES = 2 * 1024 * 1024;

int lastAppliedHash = -5; // so that the first resize always allocates

// The minimal table: in place before the first allocation and for "Hash" values out of range,
// so that probes and stores always find buckets.
TTBucket minimalBuckets[MIN_BUCKETS];

using Word = std::atomic_ref<uint64_t>;

inline uint64_t* entryWords(TTEntry* e) { return reinterpret_cast<uint64_t*>(e); }

// The data word in the byte order of the entry layout (the engine runs little-endian).
inline uint64_t packData(int score, Move move, int depth, uint8_t flagsByte, uint8_t generation) {
    return uint64_t(uint16_t(int16_t(score))) | uint64_t(uint16_t(move)) << 16 |
           uint64_t(uint16_t(int16_t(depth))) << 32 | uint64_t(flagsByte) << 48 |
           uint64_t(generation) << 56;
}
inline int dataScore(uint64_t d) { return int16_t(uint16_t(d)); }
inline Move dataMove(uint64_t d) { return Move(uint16_t(d >> 16)); }
inline int dataDepth(uint64_t d) { return int16_t(uint16_t(d >> 32)); }
inline uint8_t dataFlags(uint64_t d) { return uint8_t(d >> 48); }
inline uint8_t dataGeneration(uint64_t d) { return uint8_t(d >> 56); }
inline int flagsBound(uint8_t flagsByte) { return flagsByte & 3; }
// keepBias is the signed high nibble of the flags byte.
inline int flagsKeepBias(uint8_t flagsByte) { return int(int8_t(flagsByte)) >> 4; }

void useMinimalBuckets() {
    if (tt.buckets != minimalBuckets) std::free(tt.buckets);
    tt.buckets = minimalBuckets;
    tt.bucketCount = MIN_BUCKETS;
    tt.mask = MIN_BUCKETS - 1;
}

// Physical memory; a request beyond it is treated like a failed reservation, because the
// system would grant it lazily and kill the process while the table is being cleared.
uint64_t physicalBytes() {
    long pages = sysconf(_SC_PHYS_PAGES);
    long pageSize = sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || pageSize <= 0) return ~0ULL;
    return uint64_t(pages) * uint64_t(pageSize);
}

TTBucket* reserve(uint64_t bucketCount) {
    uint64_t bytes = bucketCount * sizeof(TTBucket);
    if (bytes > physicalBytes()) return nullptr;
    size_t alignment = bytes >= HUGE_PAGE_BYTES ? HUGE_PAGE_BYTES : alignof(TTBucket);
    void* memory = nullptr;
    if (posix_memalign(&memory, alignment, bytes) != 0) return nullptr;
#ifdef MADV_HUGEPAGE
    if (bytes >= HUGE_PAGE_BYTES) madvise(memory, bytes, MADV_HUGEPAGE);
#endif
    return static_cast<TTBucket*>(memory);
}

// Reserves bucketCount buckets, halving on failure; fatal below the minimum.
void allocateBuckets(uint64_t bucketCount) {
    useMinimalBuckets();
    TTBucket* memory = nullptr;
    while (bucketCount >= MIN_BUCKETS && !(memory = reserve(bucketCount))) bucketCount /= 2;
    if (!memory) {
        fprintf(stderr, "Hash table must be bigger than 0\n");
        exit(1);
    }
    tt.buckets = memory;
    tt.bucketCount = bucketCount;
    tt.mask = bucketCount - 1;
    ttClear();
}

} // namespace

TranspositionTable tt{MIN_BUCKETS, MIN_BUCKETS - 1, 0, 0, minimalBuckets};
bool ttDirty = false;

uint64_t ttBucketCountFor(int megabytes) {
    uint64_t fit = uint64_t(megabytes) * 1048576 / sizeof(TTBucket);
    // Half the fitting buckets, rounded up to a power of two: a power-of-two size is met
    // exactly, any other size is rounded to the nearest power of two below or just above it.
    uint64_t wanted = uint64_t(double(fit) * 0.51);
    uint64_t count = 1;
    while (count < wanted) count <<= 1;
    return count;
}

void ttAllocate(int megabytes) {
    if (megabytes < HASH_MIN_MB || megabytes > HASH_MAX_MB) return; // the minimal table stays
    allocateBuckets(ttBucketCountFor(megabytes));
}

void ttResize(int megabytes) {
    optHash.store(megabytes, std::memory_order_relaxed);
    if (megabytes == lastAppliedHash) {
        ttClear();
        return;
    }
    lastAppliedHash = megabytes;
    if (megabytes < HASH_MIN_MB || megabytes > HASH_MAX_MB) {
        // Probes and stores need a table: keep the smallest one rather than none.
        useMinimalBuckets();
        ttClear();
        printf("info string Hash %d is out of range, using a minimal table\n", megabytes);
        fflush(stdout);
        return;
    }
    allocateBuckets(ttBucketCountFor(megabytes));
    printf("info string Hash table size is now %d meg\n", megabytes);
    fflush(stdout);
}

void ttClear() {
    std::memset(static_cast<void*>(tt.buckets), 0, tt.bucketCount * sizeof(TTBucket));
    tt.generation = 0;
    Word(tt.filledCount).store(0, std::memory_order_relaxed);
    ttDirty = false;
}

void ttNewSearch() { tt.generation = (tt.generation + 1) & 255; }

bool ttProbe(uint64_t key, TTEntry& out) {
    if (key == 0 || key == BUSY_KEY) return false;
    TTEntry* entries = tt.buckets[key & tt.mask].entries;
    for (int i = 0; i < ENTRIES_PER_BUCKET; ++i) {
        uint64_t* words = entryWords(&entries[i]);
        if (Word(words[0]).load(std::memory_order_acquire) != key) continue;
        // Acquire: should this be a newer writer's data word, the second key read below sees that
        // writer's claim or anything after it.
        uint64_t data = Word(words[1]).load(std::memory_order_acquire);
        // A writer changed the entry while it was read: it is not trusted.
        if (Word(words[0]).load(std::memory_order_relaxed) != key) return false;
        out.key = key;
        out.score = int16_t(dataScore(data));
        out.move = uint16_t(dataMove(data));
        out.depth = int16_t(dataDepth(data));
        out.flags = dataFlags(data);
        out.generation = dataGeneration(data);
        return true;
    }
    return false;
}

void ttStore(uint64_t key, int depth, int score, int flags, Move move, int keepBias) {
    if (score < -STORABLE_SCORE || score > STORABLE_SCORE) return;
    if (key == 0 || key == BUSY_KEY) return;
    TTEntry* entries = tt.buckets[key & tt.mask].entries;
    const uint8_t g = uint8_t(tt.generation);
    const uint8_t flagsByte = uint8_t((flags & 15) | (keepBias << 4));
    move = moveOnly(move);

    uint64_t keys[ENTRIES_PER_BUCKET];
    for (int i = 0; i < ENTRIES_PER_BUCKET; ++i) {
        keys[i] = Word(entryWords(&entries[i])[0]).load(std::memory_order_relaxed);
        // Another thread is writing into this bucket; its entry may be ours.
        if (keys[i] == BUSY_KEY) return;
    }

    int slot = -1;
    for (int i = 0; i < ENTRIES_PER_BUCKET && slot < 0; ++i)
        if (keys[i] == 0 || keys[i] == key) slot = i;

    if (slot < 0) {
        // Replace the entry least worth keeping: older searches first, then the shallowest,
        // with keepBias counting as extra depth; the earliest on ties.
        int victim = 0;
        int bestValue = 0;
        for (int i = 0; i < ENTRIES_PER_BUCKET; ++i) {
            uint64_t d = Word(entryWords(&entries[i])[1]).load(std::memory_order_relaxed);
            uint8_t f = dataFlags(d);
            int value = (dataGeneration(d) == g ? -CURRENT_GENERATION_KEEP : 0) - dataDepth(d) -
                        flagsKeepBias(f);
            if (i == 0 || value > bestValue) {
                victim = i;
                bestValue = value;
            }
        }
        uint64_t* words = entryWords(&entries[victim]);
        uint64_t expected = keys[victim];
        if (!Word(words[0]).compare_exchange_strong(expected, BUSY_KEY, std::memory_order_acquire,
                                                    std::memory_order_relaxed))
            return;
        Word(words[1]).store(packData(score, move, depth, flagsByte, g), std::memory_order_release);
        Word(words[0]).store(key, std::memory_order_release);
        return;
    }

    uint64_t* words = entryWords(&entries[slot]);
    uint64_t k = keys[slot];
    if (!Word(words[0]).compare_exchange_strong(k, BUSY_KEY, std::memory_order_acquire,
                                                std::memory_order_relaxed))
        return;
    // The entry is ours now; its data word is the one its last writer published.
    const uint64_t old = Word(words[1]).load(std::memory_order_relaxed);
    uint64_t result = old;

    if (move == NO_MOVE) move = dataMove(old);
    const bool sameKey = k == key;
    const uint8_t oldFlags = dataFlags(old);
    const int oldBound = flagsBound(oldFlags);
    if (sameKey && optAnalyseMode.load(std::memory_order_relaxed) && dataDepth(old) > depth &&
        oldBound == BOUND_EXACT) {
        // Analysis keeps the deeper exact result, only marking it as used by this search.
        result = packData(dataScore(old), move, dataDepth(old), oldFlags, g);
    } else {
        if (k == 0) Word(tt.filledCount).fetch_add(1, std::memory_order_relaxed);
        bool keep = false;
        if (sameKey && dataGeneration(old) == g && depth <= dataDepth(old)) {
            const int newBound = flags & 3;
            const int oldScore = dataScore(old);
            keep = oldBound == BOUND_EXACT ||
                   (oldBound == BOUND_LOWER && newBound == BOUND_LOWER && score < oldScore) ||
                   (oldBound != BOUND_LOWER && newBound == BOUND_UPPER && score > oldScore);
        }
        if (!keep) result = packData(score, move, depth, flagsByte, g);
    }
    Word(words[1]).store(result, std::memory_order_release);
    Word(words[0]).store(key, std::memory_order_release);
}

int scoreToTT(int score, int ply) {
    if (score > 31799) return score + ply;
    if (score < -31799) return score - ply;
    return score;
}

int scoreFromTT(int score, int ply) {
    if (score > 31799) return score - ply;
    if (score < -31799) return score + ply;
    return score;
}

int hashfull() {
    return int(Word(tt.filledCount).load(std::memory_order_relaxed) * 250 / tt.bucketCount);
}

uint64_t ttSizeBytes() { return tt.bucketCount * sizeof(TTBucket); }
