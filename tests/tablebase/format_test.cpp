// Decoding of single table files: constant tables, header layout, index computation and the
// defences against damaged files.
#include <gtest/gtest.h>

#include <random>

#include "tablebase/tablebase.h"
#include "tablebase/tb_constants.h"
#include "tablebase/tb_format.h"
#include "tablebase/tb_registry.h"
#include "tb_test_util.h"
#include "test_support.h"

namespace {

std::string tableFile(const std::string& name) { return dataPath("syzygy/" + name); }

TEST(TbConstants, PawnIndexTablesMatchPublishedValues) {
    // Rows for three and four leading pawns are used by no table available here, so they are
    // checked against the published values instead.
    const uint64_t index[4][24] = {
        {0, 1, 2, 3, 4, 5, 0, 1, 2, 3, 4, 5, 0, 1, 2, 3, 4, 5, 0, 1, 2, 3, 4, 5},
        {0, 47, 92, 135, 176, 215, 0, 35, 68, 99, 128, 155, 0, 23, 44, 63, 80, 95, 0, 11, 20, 27, 32, 35},
        {0, 1081, 2071, 2974, 3794, 4535, 0, 595, 1123, 1588, 1994, 2345,
         0, 253,  463,  634,  770,  875,  0, 55,  91,   112,  122,  125},
        {0, 16215, 30405, 42746, 53406, 62545, 0, 6545, 12001, 16496, 20150, 23075,
         0, 1771,  3101,  4070,  4750,  5205,  0, 165,  249,   284,   294,   295},
    };
    const uint64_t factor[5][4] = {
        {6, 6, 6, 6}, {252, 180, 108, 36}, {5201, 2645, 953, 125}, {70315, 25375, 5491, 295},
        {700336, 178696, 23176, 496}};
    for (int t = 0; t < 4; t++)
        for (int j = 0; j < 24; j++) EXPECT_EQ(tbconst::PAWN_TABLES.index[t][j], index[t][j]) << t << " " << j;
    for (int t = 0; t < 5; t++)
        for (int f = 0; f < 4; f++) EXPECT_EQ(tbconst::PAWN_TABLES.factor[t][f], factor[t][f]) << t << " " << f;
}

TEST(TbFormat, ParsesTheHeaderOfAKnownFile) {
    REQUIRE_DATA("syzygy/KQvK.rtbw");
    const std::vector<uint8_t> bytes = readBytes(tableFile("KQvK.rtbw"));
    ASSERT_EQ(bytes.size(), 272u);
    TbEncodedTable t;
    ASSERT_TRUE(tbSetupTable(t, TbFileKind::Wdl, bytes.data(), bytes.size(), materialOf("KQvK")));
    EXPECT_TRUE(t.split);
    EXPECT_FALSE(t.hasPawns);
    EXPECT_EQ(t.leadingGroup, 3);

    // White to move always wins: a constant sub-table.
    EXPECT_TRUE(t.sub[0][0].pairs.constant);
    EXPECT_EQ(t.sub[0][0].pairs.constantValue, 4);

    const TbSubTable& black = t.sub[0][1];
    const TbPairs& p = black.pairs;
    EXPECT_EQ(black.size, 31332u);
    EXPECT_EQ(p.blockSizeLog, 6);
    EXPECT_EQ(p.indexBits, 15);
    EXPECT_EQ(p.blocks, 2u);
    EXPECT_EQ(p.maxLength, 8);
    EXPECT_EQ(p.minLength, 1);
    EXPECT_EQ(p.symbolTotal, 24);
    const uint16_t first[8] = {20, 20, 20, 18, 10, 3, 2, 0};
    const uint64_t base[8] = {0x8000000000000000ULL, 0x8000000000000000ULL, 0x8000000000000000ULL,
                              0x6000000000000000ULL, 0x2000000000000000ULL, 0x0400000000000000ULL,
                              0x0200000000000000ULL, 0};
    for (int i = 0; i < 8; i++) {
        EXPECT_EQ(p.first[i], first[i]) << i;
        EXPECT_EQ(p.base[i], base[i]) << i;
    }
    EXPECT_EQ(p.indexTable - bytes.data(), 112);
    EXPECT_EQ(p.sizeTable - bytes.data(), 118);
    EXPECT_EQ(p.data - bytes.data(), 128);
    EXPECT_EQ(p.symbolCount[4], 18u);  // the first symbol of block 1
    // Index 30657 lies in block 1 (the first block holds 23514 values) and is a loss.
    EXPECT_EQ(tbDecompress(t, p, 30657), 0);
}

TEST(TbFormat, TableSizesFollowFromThePieceLists) {
    REQUIRE_DATA("syzygy/KPvKP.rtbw");
    struct Case {
        const char* file;
        int fileClass;
        uint64_t size;
    } cases[] = {
        {"KQvK.rtbw", 0, 31332},   {"KRRvK.rtbw", 0, 873642}, {"KRvKN.rtbw", 0, 1911252},
        {"KPvK.rtbw", 0, 23436},   {"KPvK.rtbw", 3, 23436},   {"KPvKP.rtbw", 3, 1066524},
    };
    for (const Case& c : cases) {
        const std::string name(c.file);
        const std::vector<uint8_t> bytes = readBytes(tableFile(name));
        TbEncodedTable t;
        ASSERT_TRUE(tbSetupTable(t, TbFileKind::Wdl, bytes.data(), bytes.size(), materialOf(name.substr(0, name.size() - 5))))
            << name;
        EXPECT_EQ(t.sub[c.fileClass][0].size, c.size) << name;
    }
}

TEST(TbFormat, EveryAvailableFileSetsUp) {
    REQUIRE_DATA("syzygy/KQvK.rtbw");
    const char* names[] = {"KBvK",   "KNvK",   "KPvK",   "KQvK",   "KRvK",   "KBBvK",  "KBNvK",  "KBPvK",
                           "KNNvK",  "KNPvK",  "KPPvK",  "KQBvK",  "KQNvK",  "KQPvK",  "KQQvK",  "KQRvK",
                           "KRBvK",  "KRNvK",  "KRPvK",  "KRRvK",  "KBvKB",  "KBvKN",  "KBvKP",  "KNvKN",
                           "KNvKP",  "KPvKP",  "KQvKB",  "KQvKN",  "KQvKP",  "KQvKQ",  "KQvKR",  "KRvKB",
                           "KRvKN",  "KRvKP",  "KRvKR",  "KBBvKN", "KQRvKR", "KRBvKR", "KRNvKR", "KRPvKR",
                           "KRRvKR"};
    for (const char* name : names) {
        for (TbFileKind kind : {TbFileKind::Wdl, TbFileKind::Dtz}) {
            const std::string file = std::string(name) + (kind == TbFileKind::Wdl ? ".rtbw" : ".rtbz");
            if (!dataAvailable("syzygy/" + file)) continue;
            const std::vector<uint8_t> bytes = readBytes(tableFile(file));
            TbEncodedTable t;
            EXPECT_TRUE(tbSetupTable(t, kind, bytes.data(), bytes.size(), materialOf(name))) << file;
            // The same bytes under another material are refused.
            EXPECT_FALSE(tbSetupTable(t, kind, bytes.data(), bytes.size(), materialOf("KQQvKN"))) << file;
        }
    }
}

// Index and stored value of hand-computed positions: three unique pieces with the diagonal
// cases, the king pair with identical pieces, a diagonal flip decided by the first piece, a
// colour-swapped table with a value map, and a pawn file class with a file flip.
TEST(TbFormat, IndexesAndValuesOfWorkedPositions) {
    REQUIRE_DATA("syzygy/KQvKR.rtbz");
    tbLoadAll(dataPath("syzygy"));
    struct Case {
        const char* fen;
        const char* table;
        TbFileKind kind;
        uint64_t index;
        int value;  // win/draw/loss, or the table distance for the listed result
        int wdl;
    } cases[] = {
        {"8/2Q5/8/8/4K3/8/6k1/8 b - - 0 1", "KQvK", TbFileKind::Wdl, 30657, -2, 0},
        {"7k/1R6/5K2/8/8/8/8/R7 w - - 0 1", "KRRvK", TbFileKind::Wdl, 851918, 2, 0},
        {"7k/1R6/5K2/8/8/8/8/R7 w - - 0 1", "KRRvK", TbFileKind::Dtz, 851907, 0, 2},
        {"3B4/K7/8/k3N3/8/8/8/8 b - - 0 1", "KBNvK", TbFileKind::Dtz, 89001, 52, -2},
        {"1R6/3k4/8/8/8/1K6/8/2q5 b - - 0 1", "KQvKR", TbFileKind::Dtz, 772409, 2, 2},
        {"4k3/8/4K3/4P3/8/8/8/8 w - - 0 1", "KPvK", TbFileKind::Wdl, 15351, 2, 0},
        {"4k3/8/4K3/4P3/8/8/8/8 w - - 0 1", "KPvK", TbFileKind::Dtz, 15351, 2, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fen);
        const Position pos = positionFromFen(c.fen);
        bool swapped = false;
        ASSERT_NE(tbFindEntry(pos.materialCountKey, &swapped), nullptr);
        const std::string file = std::string(c.table) + (c.kind == TbFileKind::Wdl ? ".rtbw" : ".rtbz");
        const std::vector<uint8_t> bytes = readBytes(tableFile(file));
        TbEncodedTable t;
        ASSERT_TRUE(tbSetupTable(t, c.kind, bytes.data(), bytes.size(), materialOf(c.table)));
        uint64_t index = 0;
        int side;
        ASSERT_NE(tbLocate(t, pos.pieces, sideToMove(pos), swapped, &index, &side), nullptr);
        EXPECT_EQ(index, c.index);
        if (c.kind == TbFileKind::Wdl)
            EXPECT_EQ(tbReadWdl(t, pos.pieces, sideToMove(pos), swapped), c.value);
        else
            EXPECT_EQ(tbReadDtz(t, pos.pieces, sideToMove(pos), swapped, c.wdl), c.value);
    }
    // KQvK stores only White to move; KBNvK only Black to move.
    const Position notStored = positionFromFen("8/2Q5/8/8/4K3/8/6k1/8 b - - 0 1");
    const std::vector<uint8_t> bytes = readBytes(tableFile("KQvK.rtbz"));
    TbEncodedTable t;
    ASSERT_TRUE(tbSetupTable(t, TbFileKind::Dtz, bytes.data(), bytes.size(), materialOf("KQvK")));
    EXPECT_EQ(tbReadDtz(t, notStored.pieces, BLACK, false, -2), TB_NOT_STORED);
    tbLoadAll("");
}

// Random placements of a table's material, both colour assignments and both sides to move.
struct RandomPlacement {
    Bitboard pieces[2][7] = {};
    Color stm = WHITE;
    bool swapped = false;
};

RandomPlacement randomPlacement(const TbMaterial& m, std::mt19937_64& rng) {
    RandomPlacement p;
    p.swapped = rng() & 1;
    p.stm = Color(rng() & 1);
    Bitboard used = 0;
    for (int side = 0; side < 2; side++) {
        const Color colour = Color(side ^ int(p.swapped));
        for (int type = PAWN; type <= KING; type++) {
            for (int n = 0; n < m.count[side][type]; n++) {
                Square sq;
                do sq = Square(type == PAWN ? 8 + rng() % 48 : rng() % 64);
                while (used & (Bitboard(1) << sq));
                used |= Bitboard(1) << sq;
                p.pieces[colour][type] |= Bitboard(1) << sq;
                p.pieces[colour][0] |= Bitboard(1) << sq;
            }
        }
    }
    return p;
}

// Damaged copies of real files: bytes overwritten in the header and in the data, and truncated
// copies. Each copy ends at an inaccessible page, so a read past the end crashes the test. A
// damaged table may be refused at set-up or give wrong values, but every read stays inside
// the copy and ends with a value in range, "cannot index" or "damaged".
TEST(TbFormat, DamagedFilesNeverReadOutsideTheirBytes) {
    REQUIRE_DATA("syzygy/KRPvKR.rtbz");
    const char* names[] = {"KQvK.rtbw", "KQvKR.rtbz", "KRvKN.rtbw", "KPvKP.rtbw", "KPvKP.rtbz", "KBvKP.rtbz",
                           "KRRvK.rtbw", "KBBvKN.rtbz"};
    std::mt19937_64 rng(20240611);
    int refused = 0, damagedReads = 0;
    for (const char* name : names) {
        SCOPED_TRACE(name);
        const std::string file(name);
        const TbFileKind kind = file.back() == 'w' ? TbFileKind::Wdl : TbFileKind::Dtz;
        const TbMaterial material = materialOf(file.substr(0, file.size() - 5));
        const std::vector<uint8_t> original = readBytes(tableFile(file));
        ASSERT_FALSE(original.empty());

        // Every shorter copy is refused.
        for (size_t cut = 0; cut < original.size(); cut += 1 + original.size() / 97) {
            std::vector<uint8_t> truncated(original.begin(), original.begin() + long(cut));
            GuardedCopy copy(truncated);
            TbEncodedTable t;
            EXPECT_FALSE(tbSetupTable(t, kind, copy.data(), copy.size(), material)) << "cut at " << cut;
        }

        for (int round = 0; round < 60; round++) {
            std::vector<uint8_t> bytes = original;
            const int changes = 1 + int(rng() % 4);
            for (int k = 0; k < changes; k++) {
                // Mostly the header and tables at the front, sometimes anywhere.
                const size_t span = (rng() & 1) ? std::min<size_t>(bytes.size(), 400) : bytes.size();
                const size_t at = 4 + rng() % (span - 4);  // keep the magic
                bytes[at] = uint8_t(rng());
            }
            GuardedCopy copy(bytes);
            TbEncodedTable t;
            if (!tbSetupTable(t, kind, copy.data(), copy.size(), material)) {
                refused++;
                continue;
            }
            for (int i = 0; i < 300; i++) {
                RandomPlacement p = randomPlacement(material, rng);
                const int v = kind == TbFileKind::Wdl
                                  ? tbReadWdl(t, p.pieces, p.stm, p.swapped)
                                  : tbReadDtz(t, p.pieces, p.stm, p.swapped, int(rng() % 2) ? 2 : -2);
                const bool inRange = kind == TbFileKind::Wdl ? (v >= -2 && v <= 2) : (v >= 0 && v < 2 * 65536);
                EXPECT_TRUE(inRange || v == TB_READ_FAILED || v == TB_NOT_STORED || v == TB_DAMAGED) << v;
                damagedReads += v == TB_DAMAGED;
            }
        }
    }
    // The mutations did reach both defences.
    EXPECT_GT(refused, 0);
    EXPECT_GT(damagedReads, 0);
}

TEST(TbFormat, IndexEntryPointingPastTheBlocksIsDamage) {
    REQUIRE_DATA("syzygy/KQvK.rtbw");
    std::vector<uint8_t> bytes = readBytes(tableFile("KQvK.rtbw"));
    // The single index entry of the Black-to-move sub-table (offset 112) names block 0xffffffff.
    std::memset(&bytes[112], 0xff, 4);
    GuardedCopy copy(bytes);
    TbEncodedTable t;
    ASSERT_TRUE(tbSetupTable(t, TbFileKind::Wdl, copy.data(), copy.size(), materialOf("KQvK")));
    const Position pos = positionFromFen("8/2Q5/8/8/4K3/8/6k1/8 b - - 0 1");
    EXPECT_EQ(tbReadWdl(t, pos.pieces, BLACK, false), TB_DAMAGED);
    // White to move is a constant sub-table and still reads.
    EXPECT_EQ(tbReadWdl(t, pos.pieces, WHITE, false), 2);
}

TEST(TbFormat, SymbolTreeWithACycleIsRefused) {
    REQUIRE_DATA("syzygy/KQvK.rtbw");
    std::vector<uint8_t> bytes = readBytes(tableFile("KQvK.rtbw"));
    // Symbol 23 (the last of the Black-to-move symbol table at offset 40) made a pair of itself.
    const size_t at = 40 + 3 * 23;
    bytes[at] = 23;
    bytes[at + 1] = uint8_t((23 & 0x0f) << 4);
    bytes[at + 2] = uint8_t(23 >> 4);
    TbEncodedTable t;
    EXPECT_FALSE(tbSetupTable(t, TbFileKind::Wdl, bytes.data(), bytes.size(), materialOf("KQvK")));
}

} // namespace
