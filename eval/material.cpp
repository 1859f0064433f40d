#include "eval/material.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <string>

#include "board/bitboard.h"
#include "eval/caches.h"
#include "eval/eval_tables.h"
#include "eval/kpk.h"

namespace {
// Imbalance corrections, per colour.
constexpr PackedScore KNIGHT_PER_PAWN = pack(22, 22);    // per knight, per own pawn above five
constexpr PackedScore ROOK_PER_PAWN = pack(-21, -21);    // per rook, per own pawn above five
constexpr PackedScore QUEEN_PER_PAWN = pack(-5, -5);     // per queen, per own pawn above five
constexpr PackedScore BISHOP_PAIR = pack(320, 515);
constexpr PackedScore ROOK_PAIR = pack(-210, -120);      // two or more rooks, once
constexpr PackedScore QUEEN_AND_ROOK = pack(-155, -105);
constexpr PackedScore MINOR_MAJORITY_BISHOPS = pack(25, 50);
constexpr PackedScore PIECE_MAJORITY = pack(620, 250);

// Piece weights in eighths of a pawn, for the drawishness rules.
constexpr int pieceWeight[7] = {0, 0, 24, 28, 40, 72, 0};
constexpr int OPPOSITE_BISHOPS_ONLY_WEIGHT = 28;

constexpr double PAWN_ENDING_SCALE = 1.3;
constexpr double OPPOSITE_BISHOPS_ALONE_SCALE = 0.6;
constexpr double OPPOSITE_BISHOPS_SCALE = 0.95;
constexpr double FEW_PAWNS_SCALE[5] = {0.4, 0.55, 0.7, 0.8, 0.9};

// The special table: 65536 slots by the low 16 bits of the material key, each holding 0 (empty)
// or 1 + the number of a configuration in a short dense list. The slots take 64 KB, so a lookup
// (made on every material-cache miss) stays in the processor's cache.
constexpr int SPECIAL_SLOTS = 65536;
constexpr int MAX_SPECIAL_ENTRIES = 255;
uint8_t specialSlots[SPECIAL_SLOTS];
SpecialEntry specialEntries[MAX_SPECIAL_ENTRIES];
int specialEntryCount = 0;
int slotCollisions = 0;

int distance(Square a, Square b) { return std::max(std::abs(fileOf(a) - fileOf(b)), std::abs(rankOf(a) - rankOf(b))); }
bool darkSquare(Square s) { return ((fileOf(s) + rankOf(s)) & 1) == 0; }

// The configuration list: material besides the kings, upper case White, lower case Black
// ("B" a bishop on a light square, "C" on a dark one), score in millipawns for White.
struct Configuration {
    const char* name;
    int score;
    EndgameKind evaluator;
};

constexpr Configuration configurations[] = {
    {"", 0, EndgameKind::NONE},
    {"B", 10, EndgameKind::NONE}, {"C", 10, EndgameKind::NONE}, {"N", 10, EndgameKind::NONE},
    {"BCb", 60, EndgameKind::NONE}, {"BCc", 60, EndgameKind::NONE},
    {"BC", 6000, EndgameKind::NONE},
    {"BCn", 1000, EndgameKind::NONE},
    {"BN", 5000, EndgameKind::BISHOP_KNIGHT_MATE}, {"CN", 5000, EndgameKind::BISHOP_KNIGHT_MATE},
    {"BNb", 50, EndgameKind::NONE}, {"CNb", 50, EndgameKind::NONE},
    {"BNc", 50, EndgameKind::NONE}, {"CNc", 50, EndgameKind::NONE},
    {"BNn", 60, EndgameKind::NONE}, {"CNn", 60, EndgameKind::NONE},
    {"NP", 2000, EndgameKind::KNIGHT_PAWN},
    {"Bb", 0, EndgameKind::NONE}, {"Cb", 0, EndgameKind::NONE}, {"Bc", 0, EndgameKind::NONE},
    {"Cc", 0, EndgameKind::NONE}, {"Bn", 0, EndgameKind::NONE}, {"Cn", 0, EndgameKind::NONE},
    {"Bp", -20, EndgameKind::NONE}, {"Cp", -20, EndgameKind::NONE},
    {"Bpp", -125, EndgameKind::NONE}, {"Cpp", -125, EndgameKind::NONE},
    {"Bppp", -400, EndgameKind::NONE}, {"Cppp", -400, EndgameKind::NONE},
    {"NN", 25, EndgameKind::NONE},
    {"NNb", 20, EndgameKind::NONE}, {"NNc", 20, EndgameKind::NONE}, {"NNn", 20, EndgameKind::NONE},
    {"NNp", 400, EndgameKind::NONE},
    {"Nn", 0, EndgameKind::NONE},
    {"Np", -80, EndgameKind::NONE},
    {"Npp", -700, EndgameKind::NONE},
    {"P", 0, EndgameKind::KING_PAWN},
    {"Q", 8000, EndgameKind::NONE},
    {"Qb", 6000, EndgameKind::NONE}, {"Qc", 6000, EndgameKind::NONE},
    {"Qn", 5000, EndgameKind::NONE},
    {"Qq", 0, EndgameKind::NONE},
    {"Qr", 3000, EndgameKind::NONE},
    {"R", 7000, EndgameKind::NONE},
    {"RPr", 500, EndgameKind::ROOK_PAWN_ROOK},
    {"RNr", 400, EndgameKind::NONE},
    {"RNrp", 200, EndgameKind::NONE},
    {"RBr", 500, EndgameKind::NONE}, {"RCr", 500, EndgameKind::NONE},
    {"RBrp", 250, EndgameKind::NONE}, {"RCrp", 250, EndgameKind::NONE},
    {"Rbp", 150, EndgameKind::NONE}, {"Rcp", 150, EndgameKind::NONE},
    {"Rnp", 125, EndgameKind::NONE},
    {"Rb", 300, EndgameKind::NONE}, {"Rc", 300, EndgameKind::NONE},
    {"Rn", 250, EndgameKind::NONE},
    {"Rr", 0, EndgameKind::NONE},
};

// Material key of a configuration: the pieces are put on arbitrary free squares of the right
// shade (only the count of each kind and the bishops' shades enter the key).
uint64_t configurationKey(const std::string& name) {
    Position pos{};
    auto place = [&](Color c, PieceType t, int shade) {
        for (Square s = 8; s < 56; ++s) {
            if (pos.board[s] || (shade == 1 && !darkSquare(s)) || (shade == 0 && darkSquare(s))) continue;
            pos.board[s] = pieceCode(c, t);
            pos.pieces[c][t] |= Bitboard(1) << s;
            pos.pieces[c][0] |= Bitboard(1) << s;
            return;
        }
    };
    place(WHITE, KING, -1);
    place(BLACK, KING, -1);
    for (char ch : name) {
        Color c = (ch >= 'a' && ch <= 'z') ? BLACK : WHITE;
        switch (ch | 0x20) {
        case 'p': place(c, PAWN, -1); break;
        case 'n': place(c, KNIGHT, -1); break;
        case 'b': place(c, BISHOP, 0); break;
        case 'c': place(c, BISHOP, 1); break;
        case 'r': place(c, ROOK, -1); break;
        case 'q': place(c, QUEEN, -1); break;
        default: break;
        }
    }
    pos.occupied = pos.pieces[WHITE][0] | pos.pieces[BLACK][0];
    return computeMaterialKey(pos);
}

std::string exchangeColours(const std::string& name) {
    std::string out = name;
    for (char& ch : out) ch = char(ch ^ 0x20);
    return out;
}

} // namespace

void addSpecialEntry(uint64_t key, int score, EndgameKind evaluator) {
    double scale = std::abs(score) < 2000 ? std::sqrt(std::abs(score) / 2000.0) : 1.0;
    unsigned slot = unsigned(key & (SPECIAL_SLOTS - 1));
    bool collided = false;
    // Open addressing: a configuration whose low 16 bits meet a different one takes the next
    // free slot, so both stay reachable by their full key. The same key replaces its entry.
    while (specialSlots[slot] && specialEntries[specialSlots[slot] - 1].key != key) {
        collided = true;
        slot = (slot + 1) & (SPECIAL_SLOTS - 1);
    }
    if (!specialSlots[slot]) {
        if (specialEntryCount == MAX_SPECIAL_ENTRIES) return;
        if (collided) ++slotCollisions;
        specialSlots[slot] = uint8_t(++specialEntryCount);
    }
    specialEntries[specialSlots[slot] - 1] = SpecialEntry{key, score, scale, evaluator};
}

namespace {

// Squares seen from the strong side: mirrored vertically when Black is strong.
Square fromStrongSide(Color strong, Square s) { return strong == WHITE ? s : s ^ 56; }
Square onlySquare(const Position& pos, Color c, PieceType t) { return lsb(pos.pieces[c][t]); }
Color pawnOwner(const Position& pos) { return pos.pieces[WHITE][PAWN] ? WHITE : BLACK; }
int signFor(Color strong) { return strong == WHITE ? 1 : -1; }
} // namespace

void initSpecialEndgames() {
    std::fill(std::begin(specialSlots), std::end(specialSlots), 0);
    specialEntryCount = 0;
    slotCollisions = 0;
    for (const Configuration& config : configurations) {
        std::string name = config.name;
        addSpecialEntry(configurationKey(name), config.score, config.evaluator);
        addSpecialEntry(configurationKey(exchangeColours(name)), -config.score, config.evaluator);
    }
}

const SpecialEntry* findSpecialEntry(uint64_t materialKey) {
    unsigned slot = unsigned(materialKey & (SPECIAL_SLOTS - 1));
    while (specialSlots[slot]) {
        const SpecialEntry& entry = specialEntries[specialSlots[slot] - 1];
        if (entry.key == materialKey) return &entry;
        slot = (slot + 1) & (SPECIAL_SLOTS - 1);
    }
    return nullptr;
}

int specialSlotCollisions() { return slotCollisions; }

int evaluateBishopKnightMate(const Position& pos, double& scale) {
    scale = 0;
    Color strong = pos.pieces[WHITE][BISHOP] ? WHITE : BLACK;
    Square bishop = fromStrongSide(strong, onlySquare(pos, strong, BISHOP));
    Square knight = fromStrongSide(strong, onlySquare(pos, strong, KNIGHT));
    Square strongKing = fromStrongSide(strong, onlySquare(pos, strong, KING));
    Square weakKing = fromStrongSide(strong, onlySquare(pos, ~strong, KING));
    // Mate is forced only in a corner of the bishop's shade.
    Square cornerA = darkSquare(bishop) ? 0 : 56;
    Square cornerB = darkSquare(bishop) ? 63 : 7;
    auto manhattan = [](Square a, Square b) {
        return std::abs(fileOf(a) - fileOf(b)) + std::abs(rankOf(a) - rankOf(b));
    };
    int cornerDist = std::min(manhattan(weakKing, cornerA), manhattan(weakKing, cornerB));
    int score = 5000 - 200 * cornerDist - 80 * distance(strongKing, weakKing) - 40 * distance(knight, weakKing);
    return signFor(strong) * score;
}

int evaluateKnightPawn(const Position& pos, double& scale) {
    scale = 0;
    Color strong = pawnOwner(pos);
    Square pawn = fromStrongSide(strong, onlySquare(pos, strong, PAWN));
    Square knight = fromStrongSide(strong, onlySquare(pos, strong, KNIGHT));
    Square strongKing = fromStrongSide(strong, onlySquare(pos, strong, KING));
    Square weakKing = fromStrongSide(strong, onlySquare(pos, ~strong, KING));
    Square promotion = makeSquare(fileOf(pawn), 7);
    int score;
    // A rook pawn on the seventh with the defending king at the corner cannot be forced through.
    if ((fileOf(pawn) == 0 || fileOf(pawn) == 7) && rankOf(pawn) == 6 && distance(weakKing, promotion) <= 1) {
        score = 5 * (10 - distance(strongKing, promotion));
    } else {
        score = 4200 + 10 * (-5 * distance(strongKing, pawn) - 10 * (7 - rankOf(pawn)) +
                             5 * distance(weakKing, pawn) - 3 * distance(knight, pawn));
    }
    return signFor(strong) * score;
}

int evaluateKingPawn(const Position& pos, double& scale) {
    scale = 0;
    Color strong = pawnOwner(pos);
    Square pawn = onlySquare(pos, strong, PAWN);
    bool win = kpkWin(strong, onlySquare(pos, strong, KING), pawn, onlySquare(pos, ~strong, KING),
                      sideToMove(pos) == strong);
    int score = win ? 6500 + 160 * relativeRank(strong, pawn) : 30;
    return signFor(strong) * score;
}

int evaluateRookPawnRook(const Position& pos, double& scale) {
    scale = 1.0;
    Color strong = pawnOwner(pos);
    Square pawn = fromStrongSide(strong, onlySquare(pos, strong, PAWN));
    Square weakKing = fromStrongSide(strong, onlySquare(pos, ~strong, KING));
    Square weakRook = fromStrongSide(strong, onlySquare(pos, ~strong, ROOK));
    int score;
    if (fileOf(weakKing) != fileOf(pawn) || rankOf(weakKing) < 6) {
        // The defending king is not in front of the pawn.
        scale = 0.5;
        score = 500;
    } else if (rankOf(weakRook) <= 1 && rankOf(pawn) > 4) {
        scale = 0.158;
        score = 50;
    } else if (rankOf(pawn) <= 4 && rankOf(weakRook) == 5) {
        scale = 0.158;
        score = 50;
    } else {
        scale = 0.387;
        score = 300;
    }
    return signFor(strong) * score;
}

namespace {
int runEvaluator(EndgameKind kind, const Position& pos, double& scale) {
    switch (kind) {
    case EndgameKind::BISHOP_KNIGHT_MATE: return evaluateBishopKnightMate(pos, scale);
    case EndgameKind::KNIGHT_PAWN: return evaluateKnightPawn(pos, scale);
    case EndgameKind::KING_PAWN: return evaluateKingPawn(pos, scale);
    case EndgameKind::ROOK_PAWN_ROOK: return evaluateRookPawnRook(pos, scale);
    case EndgameKind::NONE: break;
    }
    scale = 1.0;
    return 0;
}

struct SideMaterial {
    PackedScore sum;
    int pawns, knights, bishops, rooks, queens;
    int weight; // eighths of a pawn
};

SideMaterial countSide(const Position& pos, Color c) {
    SideMaterial m;
    m.pawns = popcount(pos.pieces[c][PAWN]);
    m.knights = popcount(pos.pieces[c][KNIGHT]);
    m.bishops = popcount(pos.pieces[c][BISHOP]);
    m.rooks = popcount(pos.pieces[c][ROOK]);
    m.queens = popcount(pos.pieces[c][QUEEN]);
    int pawnsAboveFive = m.pawns - 5;
    PackedScore s = packedMulCount(PAWN_VALUE, m.pawns);
    s = packedAdd(s, packedMulCount(KNIGHT_VALUE, m.knights));
    s = packedAdd(s, packedMulCount(KNIGHT_PER_PAWN, pawnsAboveFive * m.knights));
    s = packedAdd(s, packedMulCount(BISHOP_VALUE, m.bishops));
    if (m.bishops > 1) s = packedAdd(s, BISHOP_PAIR);
    s = packedAdd(s, packedMulCount(ROOK_VALUE, m.rooks));
    if (m.rooks > 1) s = packedAdd(s, ROOK_PAIR);
    s = packedAdd(s, packedMulCount(ROOK_PER_PAWN, pawnsAboveFive * m.rooks));
    s = packedAdd(s, packedMulCount(QUEEN_VALUE, m.queens));
    if (m.queens >= 1 && m.rooks >= 1) s = packedAdd(s, QUEEN_AND_ROOK);
    s = packedAdd(s, packedMulCount(QUEEN_PER_PAWN, pawnsAboveFive * m.queens));
    m.sum = s;
    m.weight = m.knights * pieceWeight[KNIGHT] + m.bishops * pieceWeight[BISHOP] + m.rooks * pieceWeight[ROOK] +
               m.queens * pieceWeight[QUEEN];
    return m;
}

// A side with more minor pieces is better off when its extra ones are bishops.
void minorMajority(SideMaterial& more, const SideMaterial& fewer) {
    if (more.bishops > fewer.bishops) more.sum = packedAdd(more.sum, MINOR_MAJORITY_BISHOPS);
    if (more.knights > fewer.knights) more.sum = packedSub(more.sum, MINOR_MAJORITY_BISHOPS);
}
} // namespace

namespace {
struct Balance {
    SideMaterial white, black;
    int score; // blended units, before scaling
};

Balance balanceOf(const Position& pos) {
    SideMaterial w = countSide(pos, WHITE);
    SideMaterial b = countSide(pos, BLACK);

    int minorsW = w.knights + w.bishops, minorsB = b.knights + b.bishops;
    if (minorsW > minorsB) minorMajority(w, b);
    else if (minorsB > minorsW) minorMajority(b, w);

    int piecesW = minorsW + w.rooks + w.queens, piecesB = minorsB + b.rooks + b.queens;
    if (piecesW > piecesB + 1) w.sum = packedAdd(w.sum, PIECE_MAJORITY);
    else if (piecesB > piecesW + 1) b.sum = packedAdd(b.sum, PIECE_MAJORITY);

    PackedScore d = packedSub(w.sum, b.sum);
    int p = materialPhaseCurve[std::min<int>(pos.phase, 96)];
    return Balance{w, b, egOf(d) * (96 - p) + mgOf(d) * p};
}
} // namespace

int materialBalance(const Position& pos) { return balanceOf(pos).score; }

int evaluatePlainMaterial(const Position& pos, double& scale) {
    Balance balance = balanceOf(pos);
    const SideMaterial& w = balance.white;
    const SideMaterial& b = balance.black;
    const int m0 = balance.score;
    const int p = materialPhaseCurve[std::min<int>(pos.phase, 96)];

    double f = scaleByPhase[p];
    int pawns = w.pawns + b.pawns;
    if (pawns > 0 && w.weight == 0 && b.weight == 0) f = PAWN_ENDING_SCALE;
    if (w.bishops == 1 && b.bishops == 1 &&
        darkSquare(lsb(pos.pieces[WHITE][BISHOP])) != darkSquare(lsb(pos.pieces[BLACK][BISHOP]))) {
        if (w.weight == OPPOSITE_BISHOPS_ONLY_WEIGHT && b.weight == OPPOSITE_BISHOPS_ONLY_WEIGHT)
            f = OPPOSITE_BISHOPS_ALONE_SCALE;
        else
            f *= OPPOSITE_BISHOPS_SCALE;
    }
    if (pawns > 0) {
        // The leading side needs pawns to win; White counts as leading on an exact balance.
        int leaderPawns = m0 >= 0 ? w.pawns : b.pawns;
        if (leaderPawns < 5) f *= FEW_PAWNS_SCALE[leaderPawns];
    } else {
        int d8 = std::abs(w.weight / 8 - b.weight / 8);
        if (d8 < 3) f *= 0.1;
        else if (d8 == 3) f *= 0.2;
        else if (d8 == 4) f *= 0.5;
    }
    scale = f;
    return int(m0 * f);
}

int evaluateMaterial(const Position& pos, double& scale) {
    MaterialEntry* entry = pos.materialCache ? &pos.materialCache[pos.materialKey & materialCacheMask] : nullptr;
    if (entry && entry->key == pos.materialKey) {
        scale = entry->scale;
        return entry->score;
    }
    int score;
    if (const SpecialEntry* special = findSpecialEntry(pos.materialKey)) {
        if (special->evaluator != EndgameKind::NONE) return runEvaluator(special->evaluator, pos, scale) * 96;
        score = special->score * 96;
        scale = special->scale;
    } else {
        score = evaluatePlainMaterial(pos, scale);
    }
    if (entry) *entry = MaterialEntry{pos.materialKey, scale, score};
    return score;
}
