// Saving and loading the transposition table's bucket memory. The file is the raw image of the
// buckets in index order (the entry layout of tt/tt.h) with no header, so it can only be loaded
// into a table of the same size.
#include "tt/hashfile.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>

#include "search/search_state.h"
#include "tt/tt.h"
#include "uci/regular_file.h"
#include "uci/settings.h"

namespace {

using Word = std::atomic_ref<uint64_t>;

// A key word of all ones marks an entry that a search thread is writing; no position is stored
// under it.
constexpr uint64_t KEY_BEING_WRITTEN = ~0ULL;
// Scores outside this range are never stored.
constexpr int STORABLE_SCORE = 32500;

constexpr size_t ENTRIES_PER_CHUNK = 4096;
uint64_t chunk[ENTRIES_PER_CHUNK * 2]; // main thread only

// Writes the table's entries to the file. Search threads may be storing while "Save Hash to File"
// runs, so every word is read atomically and, as a probe does, an entry is taken only when its key
// reads the same before and after its data; an entry caught while being written is saved empty.
bool writeTable(FILE* file) {
    const uint64_t entryCount = tt.bucketCount * 4;
    uint64_t* words = reinterpret_cast<uint64_t*>(tt.buckets);
    for (uint64_t first = 0; first < entryCount; first += ENTRIES_PER_CHUNK) {
        const size_t count = size_t(std::min<uint64_t>(ENTRIES_PER_CHUNK, entryCount - first));
        for (size_t i = 0; i < count; ++i) {
            uint64_t* entry = words + 2 * (first + i);
            uint64_t key = Word(entry[0]).load(std::memory_order_acquire);
            uint64_t data = Word(entry[1]).load(std::memory_order_acquire);
            bool steady = key != KEY_BEING_WRITTEN && Word(entry[0]).load(std::memory_order_relaxed) == key;
            chunk[2 * i] = steady ? key : 0;
            chunk[2 * i + 1] = steady ? data : 0;
        }
        if (std::fwrite(chunk, sizeof(uint64_t), 2 * count, file) != 2 * count) return false;
    }
    return true;
}

// A loaded file may hold anything. Entries that the table could never have written (a key word
// reserved for entries being written, a score outside the stored range) are emptied, so the
// search only ever meets entries of the kind it stores itself.
void dropImpossibleEntries() {
    for (uint64_t b = 0; b < tt.bucketCount; ++b)
        for (TTEntry& entry : tt.buckets[b].entries)
            if (entry.key == KEY_BEING_WRITTEN || entry.score < -STORABLE_SCORE ||
                entry.score > STORABLE_SCORE)
                entry = TTEntry{};
}

bool fileLength(FILE* file, uint64_t& length) {
    if (fseeko(file, 0, SEEK_END) != 0) return false;
    off_t end = ftello(file);
    if (end < 0 || fseeko(file, 0, SEEK_SET) != 0) return false;
    length = uint64_t(end);
    return true;
}
} // namespace

void saveHashFile() {
    const std::string name = optHashFileName;
    FILE* file = std::fopen(name.c_str(), "wb");
    if (!file) {
        std::printf("info string failed to open %s\n", name.c_str());
        return;
    }
    std::printf("info string Saving Hash\n");
    bool written = writeTable(file);
    // Buffered bytes count as written only once they have reached the file.
    written = std::fflush(file) == 0 && written;
    if (written)
        std::printf("info string Hash Saved\n");
    else
        std::printf("info string error writing file %s\n", name.c_str());
    std::fclose(file);
}

void loadHashFile() {
    const std::string name = optHashFileName;
    // The search threads read and write the buckets without locks; overwriting them under a running
    // search would hand the search entries that change beneath it.
    if (searching) {
        std::printf("info string Hash not loaded: a search is running\n");
        return;
    }
    FILE* file = openRegularFile(name.c_str());
    if (!file) {
        std::printf("info string no such file %s\n", name.c_str());
        return;
    }
    std::printf("info string Loading Hash from %s\n", name.c_str());
    const uint64_t size = ttSizeBytes();
    uint64_t length = 0;
    if (!fileLength(file, length) || length != size || !tt.buckets) {
        std::printf("info string File size does not match Hash size\n");
        std::fclose(file);
        return;
    }
    if (std::fread(tt.buckets, 1, size, file) != size) {
        // Part of the table now holds file bytes and the rest the old entries, perhaps with an
        // entry cut in two: empty it rather than keep a mix.
        ttClear();
        std::printf("info string Error: could not read full file.\n");
    } else {
        dropImpossibleEntries();
        std::printf("info string Hash Loaded\n");
    }
    std::fclose(file);
}
