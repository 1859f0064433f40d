// Decoding of one mapped Syzygy file (".rtbw" win/draw/loss or ".rtbz" distance to zeroing):
// header parsing, the index of a position inside a sub-table, and pair/Huffman decompression.
//
// Everything read from the file is checked against the mapping when the table is set up, and
// the few values that can only be checked while probing (block numbers, symbol numbers, map
// entries, the bit stream's end) are checked on every read: a damaged file makes the read fail,
// it never makes the decoder leave the mapping.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "board/types.h"

constexpr int TB_MAX_PIECES = 6;        // kings included
constexpr int TB_MAX_CODE_LENGTHS = 32; // Huffman codes are at most 32 bits long

// Material of a table as its file name gives it: count[0] is the side written first.
struct TbMaterial {
    uint8_t count[2][7] = {};  // [name side][PieceType]
};

// Compression data of one sub-table.
struct TbPairs {
    const uint8_t* indexTable = nullptr;   // 6-byte entries: u32 block, u16 value within block
    const uint8_t* sizeTable = nullptr;    // u16 entries: values in the block minus one
    const uint8_t* data = nullptr;         // the blocks
    const uint8_t* symbols = nullptr;      // 3 bytes per symbol: two 12-bit halves
    const uint32_t* symbolCount = nullptr; // number of values each symbol stands for
    uint64_t base[TB_MAX_CODE_LENGTHS] = {};  // smallest code of each length, left-aligned
    uint16_t first[TB_MAX_CODE_LENGTHS] = {}; // lowest symbol of each length
    uint64_t indexEntries = 0;
    uint32_t blocks = 0;       // blocks that hold data
    uint32_t sizeEntries = 0;  // entries in the size table (blocks plus unused ones)
    uint16_t symbolTotal = 0;
    uint8_t blockSizeLog = 0;
    uint8_t indexBits = 0;
    uint8_t minLength = 0;
    uint8_t maxLength = 0;
    bool constant = false;
    uint8_t constantValue = 0;
};

// One sub-table: a piece list with its index groups and compressed values.
struct TbSubTable {
    uint8_t codes[TB_MAX_PIECES] = {};     // piece codes (colour bit 8, type 1..6) in list order
    uint8_t groupLength[TB_MAX_PIECES] = {};
    uint64_t factor[TB_MAX_PIECES] = {};   // multiplier of each group
    int groups = 0;
    uint64_t size = 0;                     // number of positions indexed
    TbPairs pairs;
    // Distance tables only.
    uint8_t dtzFlags = 0;
    const uint8_t* map[4] = {};            // value maps: win, loss, cursed win, blessed loss
    uint16_t mapSize[4] = {};
};

// DTZ flag bits (first byte of a distance table's pairs header).
constexpr uint8_t TB_DTZ_BLACK_STORED = 0x01;
constexpr uint8_t TB_DTZ_MAPPED = 0x02;
constexpr uint8_t TB_DTZ_WIN_EXACT = 0x04;
constexpr uint8_t TB_DTZ_LOSS_EXACT = 0x08;
constexpr uint8_t TB_DTZ_WIDE_MAPS = 0x10;

struct TbEncodedTable {
    bool distance = false;      // ".rtbz"
    bool hasPawns = false;
    bool split = false;         // win/draw/loss file holds both sides to move
    bool symmetric = false;     // both sides have the same pieces
    bool headerSwapped = false; // pawnless: the header's first colour is the name's second side
    int pieceCount = 0;
    int leadingGroup = 0;       // pawnless: 3 (three unique pieces) or 2 (the kings)
    int leadPawns = 0;
    int otherPawns = 0;
    int fileClasses = 1;
    TbSubTable sub[4][2];       // [file class][side index]
    const uint8_t* end = nullptr;  // end of the mapping
    std::unique_ptr<uint32_t[]> counts;  // storage for every sub-table's symbol counts
};

enum class TbFileKind { Wdl, Dtz };

// Sets `table` up from the mapped file. False when the file is not a sound table of that
// material (wrong magic, truncated, inconsistent header or symbol tree).
bool tbSetupTable(TbEncodedTable& table, TbFileKind kind, const uint8_t* data, size_t size,
                  const TbMaterial& material);

// Finds the sub-table and index of a position. `pieces` are the position's piece sets
// [colour][PieceType]; `nameSwapped` tells whether the position's White pieces are the second
// side of the table's name. Returns null when the position cannot be indexed (touching kings,
// pawns on the first or last rank, piece counts that do not fit the table).
const TbSubTable* tbLocate(const TbEncodedTable& table, const Bitboard (&pieces)[2][7], Color sideToMove,
                           bool nameSwapped, uint64_t* index, int* sideIndex);

// Decompressed value at `index` of a sub-table, or -1 when the data is damaged.
int tbDecompress(const TbEncodedTable& table, const TbPairs& pairs, uint64_t index);

// Results of a table read besides a value: the position cannot be indexed (TB_READ_FAILED), the
// distance file holds the other side to move (TB_NOT_STORED), the file's data is damaged
// (TB_DAMAGED).
constexpr int TB_READ_FAILED = 1000;
constexpr int TB_NOT_STORED = 1001;
constexpr int TB_DAMAGED = 1002;

// Raw win/draw/loss value (-2..2) of the position.
int tbReadWdl(const TbEncodedTable& table, const Bitboard (&pieces)[2][7], Color sideToMove, bool nameSwapped);
// Table distance of a position whose win/draw/loss value is `wdl` (nonzero): the number of
// plies beyond the immediate zeroing move (|DTZ| - 1, or |DTZ| - 101 for cursed results).
int tbReadDtz(const TbEncodedTable& table, const Bitboard (&pieces)[2][7], Color sideToMove, bool nameSwapped,
              int wdl);
