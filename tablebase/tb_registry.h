// The registry of tables found on the tablebase path: one record per material, a hash from
// material keys to records, win/draw/loss files mapped on first use, and a small cache of
// distance files. One mutex guards first use and the cache; a record whose win/draw/loss table
// is ready is read without it.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tablebase/tb_files.h"
#include "tablebase/tb_format.h"

constexpr int TBMAX_PIECE = 254;       // tables without pawns
constexpr int TBMAX_PAWN = 256;        // tables with pawns
constexpr int TB_HASH_BITS = 10;       // buckets chosen by the top bits of the material key
constexpr int HSHMAX = 5;              // slots per bucket
constexpr int TB_DTZ_CACHE_SIZE = 64;  // distance files kept mapped

enum TbState : uint8_t { TB_UNLOADED = 0, TB_READY = 1, TB_UNUSABLE = 2 };

struct TbEntry {
    char name[16] = {};            // material as in the file name, e.g. "KQvKR"
    uint64_t key = 0;              // material key with the name's first side as White
    uint64_t swappedKey = 0;       // the same material with colours exchanged
    TbMaterial material;
    int pieceCount = 0;
    bool hasPawns = false;
    bool symmetric = false;
    std::atomic<uint8_t> state{TB_UNLOADED};  // of the win/draw/loss table
    TbMapping wdlMapping;
    std::unique_ptr<TbEncodedTable> wdl;
    bool distanceUnusable = false;            // guarded by the mutex
};

// Every material of up to six pieces, in the file-name form: each side's pieces strongest
// first, the side with more (or, equally many, stronger) pieces first.
std::vector<std::string> tbCandidateNames();

// Material key of a table's material, as the board computes it for a position.
uint64_t tbMaterialKey(const TbMaterial& material, bool swapped);

// The record registered under a position's material key, or null. `nameSwapped` tells whether
// the key is the colour-exchanged one. Read without a lock: the hash changes only in tbLoadAll.
TbEntry* tbFindEntry(uint64_t materialKey, bool* nameSwapped);

// The record's win/draw/loss table, mapped and set up on first use; null when it is unusable.
const TbEncodedTable* tbWdlTable(TbEntry* entry);

// Marks a table whose data turned out damaged while probing: "Corrupted table." once, and the
// table is not probed again.
void tbMarkWdlDamaged(TbEntry* entry);

// Reads the distance table of the record (through the cache, under the mutex). Returns the
// table distance, TB_NOT_STORED, TB_READ_FAILED or TB_DAMAGED (the last also when the file is
// missing or unusable).
int tbReadDistance(TbEntry* entry, const Bitboard (&pieces)[2][7], Color sideToMove, bool nameSwapped, int wdl);

// Number of registered tables.
int tbRegisteredCount();
