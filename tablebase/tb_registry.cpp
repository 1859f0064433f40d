#include "tablebase/tb_registry.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "board/position.h"
#include "tablebase/tablebase.h"

namespace {

constexpr int TB_BUCKETS = 1 << TB_HASH_BITS;
constexpr char PIECE_LETTERS[] = "QRBNP";  // strongest first, after the king

struct HashSlot {
    uint64_t key;
    TbEntry* entry;
};

struct DistanceSlot {
    TbEntry* owner = nullptr;   // null when the slot is free
    TbMapping mapping;
    std::unique_ptr<TbEncodedTable> table;
    uint64_t lastUse = 0;
};

std::mutex registryMutex;
TbEntry pieceEntries[TBMAX_PIECE];
TbEntry pawnEntries[TBMAX_PAWN];
int pieceEntryCount = 0;
int pawnEntryCount = 0;
int largestPieceCount = 0;
HashSlot keyHash[TB_BUCKETS][HSHMAX];
std::vector<std::string> directories;
DistanceSlot distanceCache[TB_DTZ_CACHE_SIZE];
uint64_t distanceClock = 0;

// One line to the interface; a single write so that lines from several threads do not mix.
void tbPrintLine(const char* format, ...) {
    char line[512];
    va_list args;
    va_start(args, format);
    vsnprintf(line, sizeof line, format, args);
    va_end(args);
    fputs(line, stdout);
    fflush(stdout);
}

[[noreturn]] void fatal(const char* message) {
    tbPrintLine("%s\n", message);
    std::exit(1);
}

void resetEntry(TbEntry& e) {
    tbUnmap(e.wdlMapping);
    e.wdl.reset();
    e.state.store(TB_UNLOADED, std::memory_order_relaxed);
    e.distanceUnusable = false;
    e.name[0] = 0;
    e.key = e.swappedKey = 0;
    e.material = TbMaterial{};
    e.pieceCount = 0;
    e.hasPawns = e.symmetric = false;
}

void releaseDistanceSlot(DistanceSlot& slot) {
    tbUnmap(slot.mapping);
    slot.table.reset();
    slot.owner = nullptr;
    slot.lastUse = 0;
}

void releaseAll() {
    for (int i = 0; i < pieceEntryCount; i++) resetEntry(pieceEntries[i]);
    for (int i = 0; i < pawnEntryCount; i++) resetEntry(pawnEntries[i]);
    for (DistanceSlot& slot : distanceCache) releaseDistanceSlot(slot);
    pieceEntryCount = pawnEntryCount = largestPieceCount = 0;
    std::memset(keyHash, 0, sizeof keyHash);
    directories.clear();
}

int bucketOf(uint64_t key) { return int(key >> (64 - TB_HASH_BITS)); }

void addToHash(uint64_t key, TbEntry* entry) {
    HashSlot* bucket = keyHash[bucketOf(key)];
    for (int i = 0; i < HSHMAX; i++) {
        if (bucket[i].entry == nullptr) {
            bucket[i] = {key, entry};
            return;
        }
    }
    fatal("HSHMAX too low!");
}

// Registers the table named `name` ("KQvKR"): pieces before the "v" are the first side.
void registerTable(const std::string& name) {
    TbMaterial material;
    int side = 0;
    for (char ch : name) {
        if (ch == 'v') {
            side = 1;
            continue;
        }
        static constexpr char letters[] = " PNBRQK";
        const char* at = std::strchr(letters + 1, ch);
        if (at) material.count[side][at - letters]++;
    }
    const bool hasPawns = material.count[0][PAWN] + material.count[1][PAWN] > 0;
    TbEntry* e;
    if (hasPawns) {
        if (pawnEntryCount == TBMAX_PAWN) fatal("TBMAX_PAWN limit too low!");
        e = &pawnEntries[pawnEntryCount++];
    } else {
        if (pieceEntryCount == TBMAX_PIECE) fatal("TBMAX_PIECE limit too low!");
        e = &pieceEntries[pieceEntryCount++];
    }
    std::snprintf(e->name, sizeof e->name, "%s", name.c_str());
    e->material = material;
    e->hasPawns = hasPawns;
    e->pieceCount = 0;
    for (int s = 0; s < 2; s++)
        for (int t = PAWN; t <= KING; t++) e->pieceCount += material.count[s][t];
    e->symmetric = std::memcmp(material.count[0], material.count[1], sizeof material.count[0]) == 0;
    e->key = tbMaterialKey(material, false);
    e->swappedKey = tbMaterialKey(material, true);
    e->state.store(TB_UNLOADED, std::memory_order_relaxed);
    if (e->pieceCount > largestPieceCount) largestPieceCount = e->pieceCount;
    addToHash(e->key, e);
    if (!e->symmetric) addToHash(e->swappedKey, e);
}

} // namespace

std::vector<std::string> tbCandidateNames() {
    std::vector<std::string> names;
    auto name = [](std::initializer_list<int> white, std::initializer_list<int> black) {
        std::string s = "K";
        for (int i : white) s += PIECE_LETTERS[i];
        s += "vK";
        for (int i : black) s += PIECE_LETTERS[i];
        return s;
    };
    constexpr int N = 5;
    for (int i = 0; i < N; i++) names.push_back(name({i}, {}));
    for (int i = 0; i < N; i++)
        for (int j = i; j < N; j++) names.push_back(name({i}, {j}));
    for (int i = 0; i < N; i++)
        for (int j = i; j < N; j++) names.push_back(name({i, j}, {}));
    for (int i = 0; i < N; i++)
        for (int j = i; j < N; j++)
            for (int k = 0; k < N; k++) names.push_back(name({i, j}, {k}));
    for (int i = 0; i < N; i++)
        for (int j = i; j < N; j++)
            for (int k = j; k < N; k++) names.push_back(name({i, j, k}, {}));
    for (int i = 0; i < N; i++)
        for (int j = i; j < N; j++)
            for (int k = i; k < N; k++)
                for (int l = (k == i ? j : k); l < N; l++) names.push_back(name({i, j}, {k, l}));
    for (int i = 0; i < N; i++)
        for (int j = i; j < N; j++)
            for (int k = j; k < N; k++)
                for (int l = 0; l < N; l++) names.push_back(name({i, j, k}, {l}));
    for (int i = 0; i < N; i++)
        for (int j = i; j < N; j++)
            for (int k = j; k < N; k++)
                for (int l = k; l < N; l++) names.push_back(name({i, j, k, l}, {}));
    return names;
}

namespace {

// Maps and sets up one file of a record; prints the failure and returns false when it cannot.
bool loadFile(TbEntry* e, TbFileKind kind, TbMapping* mapping, std::unique_ptr<TbEncodedTable>* table) {
    const char* extension = kind == TbFileKind::Wdl ? ".rtbw" : ".rtbz";
    const std::string fileName = std::string(e->name) + extension;
    switch (tbMapFile(directories, fileName, mapping)) {
    case TbMapResult::NotFound:
        if (kind == TbFileKind::Wdl) tbPrintLine("Could not find %s\n", fileName.c_str());
        return false;
    case TbMapResult::MapFailed:
        tbPrintLine("Could not mmap() %s.\n", fileName.c_str());
        return false;
    case TbMapResult::Mapped:
        break;
    }
    table->reset(new (std::nothrow) TbEncodedTable);
    if (!*table || !tbSetupTable(**table, kind, mapping->data, mapping->size, e->material)) {
        tbPrintLine("Corrupted table.\n");
        table->reset();
        tbUnmap(*mapping);
        return false;
    }
    return true;
}

} // namespace

uint64_t tbMaterialKey(const TbMaterial& material, bool swapped) {
    // A position holding just this material; the key depends only on the piece counts.
    Position pos{};
    Square next = 8;
    for (int side = 0; side < 2; side++) {
        const Color colour = Color(swapped ? side ^ 1 : side);
        for (int type = PAWN; type <= KING; type++) {
            for (int n = 0; n < material.count[side][type]; n++) {
                const Bitboard bit = Bitboard(1) << next;
                pos.pieces[colour][type] |= bit;
                pos.pieces[colour][0] |= bit;
                pos.occupied |= bit;
                pos.board[next] = pieceCode(colour, PieceType(type));
                pos.pieceCount++;
                next++;
            }
        }
    }
    return computeMaterialCountKey(pos);
}

void tbLoadAll(const std::string& path) {
    std::lock_guard<std::mutex> lock(registryMutex);
    releaseAll();
    if (path.empty()) return;
    directories = tbSplitPath(path);
    for (const std::string& name : tbCandidateNames())
        if (tbFileExists(directories, name + ".rtbw")) registerTable(name);
    tbPrintLine("info string Found %d tablebases (up to %d-man).\n", pieceEntryCount + pawnEntryCount,
                largestPieceCount);
}

int tbLargestPieceCount() { return largestPieceCount; }

int tbRegisteredCount() { return pieceEntryCount + pawnEntryCount; }

TbEntry* tbFindEntry(uint64_t materialKey, bool* nameSwapped) {
    const HashSlot* bucket = keyHash[bucketOf(materialKey)];
    for (int i = 0; i < HSHMAX; i++) {
        if (bucket[i].entry && bucket[i].key == materialKey) {
            *nameSwapped = materialKey != bucket[i].entry->key;
            return bucket[i].entry;
        }
    }
    return nullptr;
}

const TbEncodedTable* tbWdlTable(TbEntry* e) {
    uint8_t state = e->state.load(std::memory_order_acquire);
    if (state == TB_READY) return e->wdl.get();
    if (state == TB_UNUSABLE) return nullptr;
    std::lock_guard<std::mutex> lock(registryMutex);
    state = e->state.load(std::memory_order_relaxed);
    if (state == TB_UNLOADED) {
        state = loadFile(e, TbFileKind::Wdl, &e->wdlMapping, &e->wdl) ? TB_READY : TB_UNUSABLE;
        e->state.store(state, std::memory_order_release);
    }
    return state == TB_READY ? e->wdl.get() : nullptr;
}

void tbMarkWdlDamaged(TbEntry* e) {
    // The mapping stays until the next reload: other threads may still be reading it.
    uint8_t expected = TB_READY;
    if (e->state.compare_exchange_strong(expected, TB_UNUSABLE, std::memory_order_acq_rel))
        tbPrintLine("Corrupted table.\n");
}

int tbReadDistance(TbEntry* e, const Bitboard (&pieces)[2][7], Color stm, bool nameSwapped, int wdl) {
    std::lock_guard<std::mutex> lock(registryMutex);
    if (e->distanceUnusable) return TB_DAMAGED;
    DistanceSlot* slot = nullptr;
    for (DistanceSlot& s : distanceCache)
        if (s.owner == e) slot = &s;
    if (!slot) {
        // Load into a free slot, or release the least recently used one.
        slot = &distanceCache[0];
        for (DistanceSlot& s : distanceCache) {
            if (!s.owner) {
                slot = &s;
                break;
            }
            if (s.lastUse < slot->lastUse) slot = &s;
        }
        releaseDistanceSlot(*slot);
        if (!loadFile(e, TbFileKind::Dtz, &slot->mapping, &slot->table)) {
            e->distanceUnusable = true;
            return TB_DAMAGED;
        }
        slot->owner = e;
    }
    slot->lastUse = ++distanceClock;
    const int d = tbReadDtz(*slot->table, pieces, stm, nameSwapped, wdl);
    if (d == TB_DAMAGED) {
        tbPrintLine("Corrupted table.\n");
        e->distanceUnusable = true;
        releaseDistanceSlot(*slot);
    }
    return d;
}
