#include "tablebase/tb_format.h"

#include <algorithm>
#include <new>
#include <vector>

#include "board/bitboard.h"
#include "tablebase/tb_constants.h"

using namespace tbconst;

namespace {

constexpr uint32_t WDL_MAGIC = 0x5d23e871;
constexpr uint32_t DTZ_MAGIC = 0xa50c66d7;
constexpr size_t TRAILER_BYTES = 16;
constexpr uint8_t FLAG_SPLIT = 0x01;
constexpr uint8_t FLAG_HAS_PAWNS = 0x02;
constexpr uint8_t PAIRS_CONSTANT = 0x80;
constexpr uint16_t LEAF = 0xfff;
constexpr uint8_t NO_SECOND_PAWN_GROUP = 0x0f;
// Limits of sound files (the generator uses 64..1024-byte blocks and 2^15..2^20 values per index
// entry); anything beyond them is treated as damage.
constexpr int MAX_BLOCK_SIZE_LOG = 24;
constexpr int MAX_INDEX_BITS = 40;

uint16_t readU16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t readU32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
size_t align2(size_t x) { return x + (x & 1); }
size_t align64(size_t x) { return (x + 63) & ~size_t(63); }

// Bounds-checked walk through the file header.
struct Cursor {
    const uint8_t* data;
    size_t size;
    size_t pos;
    bool ok = true;

    bool has(size_t n) {
        if (ok && (n > size || pos > size - n)) ok = false;
        return ok;
    }
    uint8_t u8() {
        if (!has(1)) return 0;
        return data[pos++];
    }
    uint16_t u16() {
        if (!has(2)) return 0;
        uint16_t v = readU16(data + pos);
        pos += 2;
        return v;
    }
    void skip(uint64_t n) {
        if (ok && (pos > size || n > size - pos)) ok = false;
        if (ok) pos += size_t(n);
    }
};

bool validCode(uint8_t code) {
    int type = code & 7;
    return type >= PAWN && type <= KING && (code & ~uint8_t(15)) == 0;
}

// Whether the piece list holds exactly the material `count` for table colours (code bit 8 set =
// the second table colour).
bool listMatches(const uint8_t* codes, int n, const uint8_t (&white)[7], const uint8_t (&black)[7]) {
    uint8_t seen[2][7] = {};
    for (int i = 0; i < n; i++) {
        if (!validCode(codes[i])) return false;
        seen[codes[i] >> 3][codes[i] & 7]++;
    }
    for (int t = PAWN; t <= KING; t++)
        if (seen[0][t] != white[t] || seen[1][t] != black[t]) return false;
    return true;
}

// Splits the piece list into index groups and computes their multipliers and the table size.
bool setupGroups(const TbEncodedTable& t, TbSubTable& st, int fileClass, int order, int order2) {
    const int n = t.pieceCount;
    uint64_t placements[TB_MAX_PIECES] = {};
    int g = 0;
    int j;
    if (t.hasPawns) {
        const int lead = t.leadPawns;
        for (int i = 0; i < lead; i++)
            if (st.codes[i] != st.codes[0] || (st.codes[i] & 7) != PAWN) return false;
        st.groupLength[g] = uint8_t(lead);
        placements[g++] = PAWN_TABLES.factor[lead - 1][fileClass];
        j = lead;
        if (t.otherPawns > 0) {
            for (int i = lead; i < lead + t.otherPawns; i++)
                if (st.codes[i] != (st.codes[0] ^ 8)) return false;
            st.groupLength[g] = uint8_t(t.otherPawns);
            placements[g++] = BINOMIAL[t.otherPawns][48 - lead];
            j = lead + t.otherPawns;
        }
    } else {
        if (t.leadingGroup == 3) {
            if (st.codes[0] == st.codes[1] || st.codes[0] == st.codes[2] || st.codes[1] == st.codes[2])
                return false;
            placements[g] = THREE_UNIQUE_PLACEMENTS;
        } else {
            if ((st.codes[0] & 7) != KING || (st.codes[1] & 7) != KING || st.codes[0] == st.codes[1])
                return false;
            placements[g] = KING_PAIRS;
        }
        st.groupLength[g++] = uint8_t(t.leadingGroup);
        j = t.leadingGroup;
    }
    while (j < n) {
        int m = 1;
        while (j + m < n && st.codes[j + m] == st.codes[j]) m++;
        st.groupLength[g] = uint8_t(m);
        placements[g++] = BINOMIAL[m][64 - j];
        j += m;
    }
    st.groups = g;

    // Significance order, least significant first: the leading group sits at position `order`,
    // the second pawn group at `order2`, the other groups fill the rest in list order.
    const int firstOther = t.otherPawns > 0 ? 2 : 1;
    int nextOther = firstOther;
    bool placedLead = false, placedSecond = t.otherPawns == 0;
    uint64_t mult = 1;
    for (int k = 0; nextOther < g || k == order || k == order2; k++) {
        if (k >= TB_MAX_PIECES) return false;
        int group;
        if (k == order) {
            group = 0;
            placedLead = true;
        } else if (k == order2) {
            if (t.otherPawns == 0) return false;
            group = 1;
            placedSecond = true;
        } else {
            group = nextOther++;
        }
        st.factor[group] = mult;
        if (placements[group] != 0 && mult > UINT64_MAX / placements[group]) return false;
        mult *= placements[group];
    }
    if (!placedLead || !placedSecond || nextOther != g) return false;
    st.size = mult;
    return st.size > 0;
}

// Parses a pairs header at the cursor; fills the header fields and leaves the cursor after it.
bool parsePairsHeader(Cursor& c, TbPairs& p, uint64_t tableSize, uint8_t* flags) {
    *flags = c.u8();
    if (!c.ok) return false;
    if (*flags & PAIRS_CONSTANT) {
        p.constant = true;
        p.constantValue = c.u8();
        return c.ok;
    }
    p.blockSizeLog = c.u8();
    p.indexBits = c.u8();
    uint8_t extra = c.u8();
    if (!c.has(4)) return false;
    p.blocks = readU32(c.data + c.pos);
    c.pos += 4;
    p.maxLength = c.u8();
    p.minLength = c.u8();
    if (!c.ok) return false;
    if (p.blockSizeLog > MAX_BLOCK_SIZE_LOG || p.indexBits < 1 || p.indexBits > MAX_INDEX_BITS) return false;
    if (p.minLength < 1 || p.maxLength < p.minLength || p.maxLength > TB_MAX_CODE_LENGTHS) return false;
    const int h = p.maxLength - p.minLength + 1;
    for (int i = 0; i < h; i++) p.first[i] = c.u16();
    p.symbolTotal = c.u16();
    if (!c.ok || p.symbolTotal == 0) return false;
    p.symbols = c.data + c.pos;
    c.skip(3 * uint64_t(p.symbolTotal) + (p.symbolTotal & 1));
    if (!c.ok) return false;

    p.indexEntries = (tableSize + (uint64_t(1) << p.indexBits) - 1) >> p.indexBits;
    p.sizeEntries = p.blocks + extra;
    if (p.sizeEntries < p.blocks || p.blocks == 0) return false;

    // Canonical code: longer codes are numerically smaller. b[i] is the smallest code of length
    // minLength + i; first[i] - first[i + 1] codes have length minLength + i + 1.
    int64_t b[TB_MAX_CODE_LENGTHS];
    b[h - 1] = 0;
    for (int i = h - 2; i >= 0; i--) {
        b[i] = (b[i + 1] + int64_t(p.first[i]) - int64_t(p.first[i + 1])) / 2;
        if (b[i] < 0) return false;
    }
    for (int i = 0; i < h; i++) {
        const int length = p.minLength + i;
        if (uint64_t(b[i]) >> length) return false;  // would not fit its own length
        p.base[i] = uint64_t(b[i]) << (64 - length);
    }
    return true;
}

// Counts the values each symbol stands for, without recursion; rejects references outside the
// symbol table and cycles.
bool computeSymbolCounts(const TbPairs& p, uint32_t* count) {
    const int n = p.symbolTotal;
    std::vector<uint8_t> state(n, 0);  // 0 new, 1 children pending, 2 done
    std::vector<uint16_t> stack;
    stack.reserve(64);
    auto left = [&](int s) { return uint16_t(p.symbols[3 * s] | ((p.symbols[3 * s + 1] & 0x0f) << 8)); };
    auto right = [&](int s) { return uint16_t((p.symbols[3 * s + 1] >> 4) | (p.symbols[3 * s + 2] << 4)); };
    for (int root = 0; root < n; root++) {
        if (state[root] == 2) continue;
        stack.push_back(uint16_t(root));
        while (!stack.empty()) {
            const int s = stack.back();
            if (state[s] == 2) {
                stack.pop_back();
                continue;
            }
            if (right(s) == LEAF) {
                count[s] = 1;
                state[s] = 2;
                stack.pop_back();
                continue;
            }
            const int l = left(s), r = right(s);
            if (l >= n || r >= n) return false;
            if (state[s] == 0) {
                state[s] = 1;
                for (int child : {l, r}) {
                    if (state[child] == 1) return false;  // a symbol that contains itself
                    if (state[child] == 0) stack.push_back(uint16_t(child));
                }
                continue;
            }
            const uint64_t total = uint64_t(count[l]) + count[r];
            if (total > UINT32_MAX) return false;
            count[s] = uint32_t(total);
            state[s] = 2;
            stack.pop_back();
        }
    }
    return true;
}

// Reads the value maps of a distance sub-table at the cursor.
bool parseMaps(Cursor& c, TbSubTable& st) {
    const bool wide = st.dtzFlags & TB_DTZ_WIDE_MAPS;
    if (wide) c.pos = align2(c.pos);
    for (int m = 0; m < 4; m++) {
        uint16_t n = wide ? c.u16() : c.u8();
        if (!c.ok) return false;
        st.map[m] = c.data + c.pos;
        st.mapSize[m] = n;
        c.skip(uint64_t(n) * (wide ? 2 : 1));
        if (!c.ok) return false;
    }
    return true;
}

// Lays out the index tables, size tables and data blocks of the sub-tables, in file order.
bool layoutSections(Cursor& c, TbPairs* const* order, int count) {
    for (int i = 0; i < count; i++) {
        TbPairs& p = *order[i];
        if (p.constant) continue;
        p.indexTable = c.data + c.pos;
        c.skip(6 * p.indexEntries);
    }
    for (int i = 0; i < count; i++) {
        TbPairs& p = *order[i];
        if (p.constant) continue;
        p.sizeTable = c.data + c.pos;
        c.skip(2 * uint64_t(p.sizeEntries));
    }
    for (int i = 0; i < count; i++) {
        TbPairs& p = *order[i];
        c.pos = align64(c.pos);
        if (p.constant) continue;
        if (c.pos > c.size) c.ok = false;
        p.data = c.data + c.pos;
        c.skip(uint64_t(p.blocks) << p.blockSizeLog);
    }
    return c.ok;
}

int decodeAt(const TbEncodedTable& t, const TbPairs& p, uint64_t index);

} // namespace

bool tbSetupTable(TbEncodedTable& t, TbFileKind kind, const uint8_t* data, size_t size, const TbMaterial& material) {
    t = TbEncodedTable{};
    t.distance = kind == TbFileKind::Dtz;
    if (data == nullptr || size < 5 + TRAILER_BYTES || size % 64 != TRAILER_BYTES) return false;
    if (readU32(data) != (t.distance ? DTZ_MAGIC : WDL_MAGIC)) return false;
    t.end = data + size;

    int pawns[2] = {material.count[0][PAWN], material.count[1][PAWN]};
    for (int side = 0; side < 2; side++)
        for (int type = PAWN; type <= KING; type++) t.pieceCount += material.count[side][type];
    if (t.pieceCount < 3 || t.pieceCount > TB_MAX_PIECES) return false;
    if (material.count[0][KING] != 1 || material.count[1][KING] != 1) return false;
    t.symmetric = std::equal(material.count[0], material.count[0] + 7, material.count[1]);

    const uint8_t flags = data[4];
    t.hasPawns = flags & FLAG_HAS_PAWNS;
    t.split = !t.distance && (flags & FLAG_SPLIT);
    if (t.hasPawns != (pawns[0] + pawns[1] > 0)) return false;
    t.fileClasses = t.hasPawns ? 4 : 1;
    const int sides = t.split ? 2 : 1;
    const int n = t.pieceCount;

    if (t.hasPawns) {
        // The name's first side leads when it has pawns and, with pawns on both sides, when it
        // has no more of them than the other side.
        const bool firstLeads = pawns[0] > 0 && (pawns[1] == 0 || pawns[0] <= pawns[1]);
        t.leadPawns = firstLeads ? pawns[0] : pawns[1];
        t.otherPawns = firstLeads ? pawns[1] : pawns[0];
        if (t.leadPawns > MAX_LEADING_PAWNS) return false;
    } else {
        int unique = 0;
        for (int side = 0; side < 2; side++)
            for (int type = PAWN; type <= KING; type++) unique += material.count[side][type] == 1;
        t.leadingGroup = unique >= 3 ? 3 : 2;
    }

    // Piece records.
    Cursor c{data, size, 5};
    int order[4][2] = {}, order2[4][2] = {};
    for (int f = 0; f < t.fileClasses; f++) {
        const uint8_t orderByte = c.u8();
        const uint8_t order2Byte = t.otherPawns > 0 ? c.u8() : uint8_t(0xff);
        if (!c.has(n)) return false;
        for (int s = 0; s < 2; s++) {
            order[f][s] = s ? orderByte >> 4 : orderByte & 15;
            order2[f][s] = s ? order2Byte >> 4 : order2Byte & 15;
            for (int i = 0; i < n; i++) t.sub[f][s].codes[i] = s ? data[c.pos + i] >> 4 : data[c.pos + i] & 15;
        }
        c.pos += n;
    }
    if (!c.ok) return false;
    c.pos = align2(c.pos);

    // Which table colour is which side of the name: from the header for pawnless tables, from
    // the name (first side = first colour) for tables with pawns.
    const TbSubTable& reference = t.sub[0][0];
    if (listMatches(reference.codes, n, material.count[0], material.count[1])) {
        t.headerSwapped = false;
    } else if (!t.hasPawns && listMatches(reference.codes, n, material.count[1], material.count[0])) {
        t.headerSwapped = true;
    } else {
        return false;
    }
    const auto& tableWhite = material.count[t.headerSwapped ? 1 : 0];
    const auto& tableBlack = material.count[t.headerSwapped ? 0 : 1];
    const uint8_t leadCode = reference.codes[0];
    for (int f = 0; f < t.fileClasses; f++) {
        for (int s = 0; s < sides; s++) {
            TbSubTable& st = t.sub[f][s];
            if (!listMatches(st.codes, n, tableWhite, tableBlack)) return false;
            if (t.hasPawns && st.codes[0] != leadCode) return false;
            if (!setupGroups(t, st, f, order[f][s], t.otherPawns > 0 ? order2[f][s] : NO_SECOND_PAWN_GROUP))
                return false;
        }
    }

    // Pairs headers, then (distance files) value maps, then the sections.
    TbPairs* sectionOrder[8];
    int sections = 0;
    for (int f = 0; f < t.fileClasses; f++) {
        for (int s = 0; s < sides; s++) {
            TbSubTable& st = t.sub[f][s];
            uint8_t pairsFlags = 0;
            if (!parsePairsHeader(c, st.pairs, st.size, &pairsFlags)) return false;
            if (t.distance) st.dtzFlags = pairsFlags & 0x7f;
            // A constant distance sub-table stores 0 whatever its second byte says.
            if (st.pairs.constant && t.distance) st.pairs.constantValue = 0;
            if (st.pairs.constant && !t.distance && st.pairs.constantValue > 4) return false;
            sectionOrder[sections++] = &st.pairs;
        }
    }
    if (t.distance) {
        for (int f = 0; f < t.fileClasses; f++) {
            TbSubTable& st = t.sub[f][0];
            if ((st.dtzFlags & TB_DTZ_MAPPED) && !parseMaps(c, st)) return false;
        }
        c.pos = align2(c.pos);
    }
    if (!layoutSections(c, sectionOrder, sections)) return false;

    // Symbol counts for every compressed sub-table, in one allocation.
    uint64_t totalSymbols = 0;
    for (int i = 0; i < sections; i++) totalSymbols += sectionOrder[i]->constant ? 0 : sectionOrder[i]->symbolTotal;
    t.counts.reset(new (std::nothrow) uint32_t[totalSymbols + 1]);
    if (!t.counts) return false;
    uint32_t* next = t.counts.get();
    for (int i = 0; i < sections; i++) {
        TbPairs& p = *sectionOrder[i];
        if (p.constant) continue;
        if (!computeSymbolCounts(p, next)) return false;
        p.symbolCount = next;
        next += p.symbolTotal;
    }
    return true;
}

namespace {

// Bit reader over one block: most significant bit first, never reading beyond `limit`.
struct BitReader {
    const uint8_t* ptr;
    const uint8_t* limit;

    uint32_t next32() {
        uint32_t v = 0;
        for (int i = 0; i < 4; i++) v = (v << 8) | (ptr + i < limit ? ptr[i] : 0);
        ptr += 4;
        return v;
    }
};

int decodeAt(const TbEncodedTable& t, const TbPairs& p, uint64_t index) {
    if (p.constant) return p.constantValue;

    // The index entry names the block and position of the value in the middle of its run.
    const uint64_t k = index >> p.indexBits;
    if (k >= p.indexEntries) return -1;
    const uint8_t* entry = p.indexTable + 6 * k;
    int64_t block = readU32(entry);
    int64_t pos = int64_t(readU16(entry + 4)) + int64_t(index & ((uint64_t(1) << p.indexBits) - 1)) -
                  (int64_t(1) << (p.indexBits - 1));
    if (block >= p.sizeEntries) return -1;
    while (pos < 0) {
        if (--block < 0) return -1;
        pos += int64_t(readU16(p.sizeTable + 2 * block)) + 1;
    }
    while (pos > readU16(p.sizeTable + 2 * block)) {
        pos -= int64_t(readU16(p.sizeTable + 2 * block)) + 1;
        if (++block >= p.blocks) return -1;
    }
    if (block >= p.blocks) return -1;

    // Decode symbols from the block start until the one that covers `pos`.
    const uint8_t* start = p.data + (uint64_t(block) << p.blockSizeLog);
    BitReader reader{start, t.end};
    uint64_t code = uint64_t(reader.next32()) << 32;
    code |= reader.next32();
    int bitCount = 0;
    const uint64_t blockBits = uint64_t(8) << p.blockSizeLog;
    uint64_t consumed = 0;
    int sym;
    for (;;) {
        int i = 0;
        while (code < p.base[i]) i++;
        const int length = p.minLength + i;
        sym = p.first[i] + int((code - p.base[i]) >> (64 - length));
        if (sym >= p.symbolTotal) return -1;
        if (pos < p.symbolCount[sym]) break;
        pos -= p.symbolCount[sym];
        consumed += length;
        if (consumed > blockBits) return -1;
        code <<= length;
        bitCount += length;
        if (bitCount >= 32) {
            bitCount -= 32;
            code |= uint64_t(reader.next32()) << bitCount;
        }
    }

    // Walk down the pair tree to the leaf that holds the value.
    for (;;) {
        const uint8_t* s = p.symbols + 3 * sym;
        const int left = s[0] | ((s[1] & 0x0f) << 8);
        const int right = (s[1] >> 4) | (s[2] << 4);
        if (right == LEAF) return left;
        if (pos < p.symbolCount[left]) {
            sym = left;
        } else {
            pos -= p.symbolCount[left];
            sym = right;
        }
    }
}

// Insertion sort for the few squares of one group.
template <typename Less>
void sortSquares(int* first, int* last, Less less) {
    for (int* i = first + 1; i < last; i++) {
        const int x = *i;
        int* j = i;
        for (; j > first && less(x, j[-1]); j--) *j = j[-1];
        *j = x;
    }
}
bool ascending(int a, int b) { return a < b; }

// Squares of the pieces matching table code `code` in the position.
Bitboard piecesOf(const Bitboard (&pieces)[2][7], uint8_t code, bool swap) {
    const bool black = ((code & 8) != 0) != swap;
    return pieces[black ? BLACK : WHITE][code & 7];
}

// Fills sq[from..n-1] from the list, run by run; false when a run's piece count is wrong.
bool collectSquares(const TbSubTable& st, int from, int n, const Bitboard (&pieces)[2][7], bool swap, int flip,
                    int* sq) {
    int i = from;
    while (i < n) {
        int j = i;
        while (j < n && st.codes[j] == st.codes[i]) j++;
        Bitboard b = piecesOf(pieces, st.codes[i], swap);
        if (popcount(b) != j - i) return false;
        while (b) sq[i++] = popLsb(b) ^ flip;
    }
    return true;
}

// Index of the groups after the leading ones, each in the combinatorial number system over the
// squares not taken by earlier pieces.
uint64_t encodeOtherGroups(const TbSubTable& st, int* sq, int firstGroup, int j) {
    uint64_t index = 0;
    for (int g = firstGroup; g < st.groups; g++) {
        const int m = st.groupLength[g];
        sortSquares(sq + j, sq + j + m, ascending);
        uint64_t s = 0;
        for (int k = 0; k < m; k++) {
            int r = sq[j + k];
            for (int i = 0; i < j; i++) r -= sq[i] < sq[j + k];
            s += BINOMIAL[k + 1][r];
        }
        index += s * st.factor[g];
        j += m;
    }
    return index;
}

bool encodePawnless(const TbEncodedTable& t, const TbSubTable& st, int* sq, uint64_t* index) {
    const int n = t.pieceCount;
    if (fileOf(sq[0]) >= 4)
        for (int i = 0; i < n; i++) sq[i] ^= 7;
    if (rankOf(sq[0]) >= 4)
        for (int i = 0; i < n; i++) sq[i] ^= 56;
    for (int i = 0; i < t.leadingGroup; i++) {
        if (offDiagonal(sq[i]) == 0) continue;
        if (offDiagonal(sq[i]) > 0)
            for (int k = 0; k < n; k++) sq[k] = flipDiagonal(sq[k]);
        break;
    }

    uint64_t lead;
    if (t.leadingGroup == 3) {
        const int a = sq[0], b = sq[1], c = sq[2];
        const int bi = b > a;
        const int ci = (c > a) + (c > b);
        if (offDiagonal(a) != 0)
            lead = uint64_t(TRIANGLE[a]) * 3906 + uint64_t(b - bi) * 62 + uint64_t(c - ci);
        else if (offDiagonal(b) != 0)
            lead = 23436 + uint64_t(DIAG[a]) * 1736 + uint64_t(LOWER[b]) * 62 + uint64_t(c - ci);
        else if (offDiagonal(c) != 0)
            lead = 30380 + uint64_t(DIAG[a]) * 196 + uint64_t(DIAG[b] - bi) * 28 + uint64_t(LOWER[c]);
        else
            lead = 31164 + uint64_t(DIAG[a]) * 42 + uint64_t(DIAG[b] - bi) * 6 + uint64_t(DIAG[c] - ci);
    } else {
        const int pair = KK_IDX[TRIANGLE[sq[0]]][sq[1]];
        if (pair < 0) return false;
        lead = uint64_t(pair);
    }
    *index = lead * st.factor[0] + encodeOtherGroups(st, sq, 1, t.leadingGroup);
    return true;
}

uint64_t encodePawnful(const TbEncodedTable& t, const TbSubTable& st, int* sq) {
    const int n = t.pieceCount;
    const int lead = t.leadPawns;
    if (fileOf(sq[0]) >= 4)
        for (int i = 0; i < n; i++) sq[i] ^= 7;
    sortSquares(sq + 1, sq + lead, [](int x, int y) { return PTWIST[x] > PTWIST[y]; });
    uint64_t leadIndex = PAWN_TABLES.index[lead - 1][FLAP[sq[0]]];
    for (int i = 1; i < lead; i++) leadIndex += BINOMIAL[lead - i][PTWIST[sq[i]]];
    uint64_t index = leadIndex * st.factor[0];
    int firstGroup = 1;
    int j = lead;
    if (t.otherPawns > 0) {
        const int m = t.otherPawns;
        sortSquares(sq + j, sq + j + m, ascending);
        uint64_t s = 0;
        for (int k = 0; k < m; k++) {
            int r = sq[j + k] - 8;
            for (int i = 0; i < lead; i++) r -= sq[i] < sq[j + k];
            s += BINOMIAL[k + 1][r];
        }
        index += s * st.factor[1];
        firstGroup = 2;
        j += m;
    }
    return index + encodeOtherGroups(st, sq, firstGroup, j);
}

constexpr Bitboard PAWN_RANKS = 0x00ffffffffffff00ULL;

} // namespace

const TbSubTable* tbLocate(const TbEncodedTable& t, const Bitboard (&pieces)[2][7], Color stm, bool nameSwapped,
                           uint64_t* index, int* sideIndex) {
    const bool swap = t.symmetric ? stm == BLACK : nameSwapped != t.headerSwapped;
    const int side = t.symmetric ? 0 : (int(stm) ^ int(swap));
    *sideIndex = side;
    const int sub = t.distance ? 0 : side;
    if (!t.distance && sub == 1 && !t.split) return nullptr;
    const int n = t.pieceCount;
    int sq[TB_MAX_PIECES] = {};
    const TbSubTable* st;
    if (!t.hasPawns) {
        st = &t.sub[0][sub];
        if (!collectSquares(*st, 0, n, pieces, swap, 0, sq)) return nullptr;
        if (!encodePawnless(t, *st, sq, index)) return nullptr;
    } else {
        if ((pieces[WHITE][PAWN] | pieces[BLACK][PAWN]) & ~PAWN_RANKS) return nullptr;
        const int flip = swap ? 56 : 0;
        Bitboard leaders = piecesOf(pieces, t.sub[0][0].codes[0], swap);
        if (popcount(leaders) != t.leadPawns) return nullptr;
        int i = 0;
        while (leaders) sq[i++] = popLsb(leaders) ^ flip;
        int best = 0;
        for (int k = 1; k < t.leadPawns; k++)
            if (FLAP[sq[k]] < FLAP[sq[best]]) best = k;
        std::swap(sq[0], sq[best]);
        const int fileClass = FILE_TO_FILE[fileOf(sq[0])];
        st = &t.sub[fileClass][sub];
        if (!collectSquares(*st, t.leadPawns, n, pieces, swap, flip, sq)) return nullptr;
        *index = encodePawnful(t, *st, sq);
    }
    if (*index >= st->size) return nullptr;
    return st;
}

int tbDecompress(const TbEncodedTable& t, const TbPairs& pairs, uint64_t index) { return decodeAt(t, pairs, index); }

int tbReadWdl(const TbEncodedTable& t, const Bitboard (&pieces)[2][7], Color stm, bool nameSwapped) {
    uint64_t index;
    int side;
    const TbSubTable* st = tbLocate(t, pieces, stm, nameSwapped, &index, &side);
    if (!st) return TB_READ_FAILED;
    const int v = decodeAt(t, st->pairs, index);
    if (v < 0 || v > 4) return TB_DAMAGED;
    return v - 2;
}

int tbReadDtz(const TbEncodedTable& t, const Bitboard (&pieces)[2][7], Color stm, bool nameSwapped, int wdl) {
    uint64_t index;
    int side;
    const TbSubTable* st = tbLocate(t, pieces, stm, nameSwapped, &index, &side);
    if (!st) return TB_READ_FAILED;
    const uint8_t flags = st->dtzFlags;
    if ((t.hasPawns || !t.symmetric) && (flags & TB_DTZ_BLACK_STORED) != side) return TB_NOT_STORED;
    int raw = decodeAt(t, st->pairs, index);
    if (raw < 0) return TB_DAMAGED;
    if (flags & TB_DTZ_MAPPED) {
        static constexpr int mapOfWdl[5] = {1, 3, 0, 2, 0};  // indexed by wdl + 2
        const int m = mapOfWdl[wdl + 2];
        if (raw >= st->mapSize[m]) return TB_DAMAGED;
        raw = (flags & TB_DTZ_WIDE_MAPS) ? readU16(st->map[m] + 2 * raw) : st->map[m][raw];
    }
    const bool exact = (wdl == 2 && (flags & TB_DTZ_WIN_EXACT)) || (wdl == -2 && (flags & TB_DTZ_LOSS_EXACT));
    return exact ? raw : 2 * raw;
}
