// Expansion of the term weights into lookup tables.
#include "eval/term_tables.h"

#include <cmath>

#include "eval/pieces.h"
#include "uci/settings.h"

PackedScore doubledPawns[9];
PackedScore defendedPhalanx[9];
PackedScore pushSquareAttacked[9];
PackedScore phalanx[9];
PackedScore defendedPawns[9];
PackedScore knightBlockade[9];
PackedScore doubledIsolatedUnopposed[9];
PackedScore doubledIsolatedOpposed[9];
PackedScore isolatedOpposed[9];
PackedScore isolatedUnopposed[9];
PackedScore backwardCovered[9];
PackedScore backwardHalfOpen[9];
PackedScore bishopOwnPawnsSameShade[9];
PackedScore bishopPawnsOtherShade[9];
PackedScore blockedPawn[9];
PackedScore blockedCentralPawn[9];
PackedScore passerFreeDefended[9];
PackedScore passerFree[9];
PackedScore passerContested[9];
PackedScore passerNoOwnBlocker[9];
PackedScore passerBase[9];
PackedScore passerBaseQueens[9];
PackedScore minorBehindPawn[18];
PackedScore threatCount[18];
PackedScore attackedDefendedByPieces[18];
PackedScore pawnDefendedPiece[18];
PackedScore knightOutpost[18];
PackedScore pawnLever[18];
PackedScore pieceSafeFromPawns[18];
PackedScore pawnControl[18];
PackedScore undefendedPawns[16];

PackedScore knightKingDistance[8];
PackedScore passerKingCloseness[8];

PackedScore supportedPasser[2][64];
PackedScore candidatePasser[2][64];

PackedScore shelterWeight[8];
PackedScore stormOpposed[8];
PackedScore stormUnopposed[8];
PackedScore openKingFiles[8];

PackedScore kingAttackCurve[256];

PackedScore knightMobility[16];
PackedScore bishopMobility[16];
PackedScore bishopPawnMobility[16];
PackedScore rookMobility[16];
PackedScore queenMobility[32];

PackedScore passerOwnKingGrid[9][9];
PackedScore passerEnemyKingGrid[9][9];

int32_t sqrtGrid[17][15];

// King-attack value by attack units before scaling by "King Safety"; flat from 127 on.
const int kingAttackBase[256] = {
    0,    1,    3,    6,    11,   17,   25,   34,   44,   55,   68,   81,   96,   112,  129,  147,
    166,  185,  205,  227,  248,  270,  293,  317,  340,  364,  388,  413,  438,  463,  487,  512,
    537,  562,  587,  611,  636,  660,  684,  708,  731,  754,  777,  799,  821,  842,  863,  884,
    904,  924,  943,  962,  980,  998,  1016, 1033, 1049, 1065, 1081, 1096, 1111, 1125, 1139, 1152,
    1165, 1178, 1190, 1201, 1213, 1224, 1234, 1245, 1254, 1264, 1273, 1282, 1291, 1299, 1307, 1314,
    1322, 1329, 1336, 1342, 1349, 1355, 1360, 1366, 1371, 1377, 1382, 1387, 1391, 1396, 1400, 1404,
    1408, 1412, 1415, 1419, 1422, 1425, 1428, 1431, 1434, 1437, 1439, 1442, 1444, 1447, 1449, 1451,
    1453, 1455, 1457, 1459, 1460, 1462, 1464, 1465, 1467, 1468, 1469, 1471, 1472, 1473, 1474, 1475,
    1476, 1476, 1476, 1476, 1476, 1476, 1476, 1476, 1476, 1476, 1476, 1476, 1476, 1476, 1476, 1476,
    1476, 1476, 1476, 1476, 1476, 1476, 1476, 1476, 1476, 1476, 1476, 1476, 1476, 1476, 1476, 1476,
    1476, 1476, 1476, 1476, 1476, 1476, 1476, 1476, 1476, 1476, 1476, 1476, 1476, 1476, 1476, 1476,
    1476, 1476, 1476, 1476, 1476, 1476, 1476, 1476, 1476, 1476, 1476, 1476, 1476, 1476, 1476, 1476,
    1476, 1476, 1476, 1476, 1476, 1476, 1476, 1476, 1476, 1476, 1476, 1476, 1476, 1476, 1476, 1476,
    1476, 1476, 1476, 1476, 1476, 1476, 1476, 1476, 1476, 1476, 1476, 1476, 1476, 1476, 1476, 1476,
    1476, 1476, 1476, 1476, 1476, 1476, 1476, 1476, 1476, 1476, 1476, 1476, 1476, 1476, 1476, 1476,
    1476, 1476, 1476, 1476, 1476, 1476, 1476, 1476, 1476, 1476, 1476, 1476, 1476, 1476, 1476, 1476,
};

namespace {

// Multipliers by index for the count tables.
int linear(int i) { return i; }
int fromTwo(int i) { return i - 2; }
int rankGrowth(int i) { return i * (i - 1); }
int threatGrowth(int i) { return i <= 1 ? i : i + 2; }

template <int N>
void fillCount(PackedScore (&table)[N], PackedScore base, int (*multiplier)(int)) {
    for (int i = 0; i < N; ++i) table[i] = packedMulCount(base, multiplier(i));
}

// Passed-pawn base value: the middlegame grows with i(i − 1), the endgame with i² + 1.
void fillPasserBase(PackedScore (&table)[9], PackedScore base) {
    for (int i = 0; i < 9; ++i) table[i] = packedMul(base, pack(i * (i - 1), i * i + 1));
}

// A mobility curve is zero at its centre count and rises with the given slope there; beyond it the
// gain per extra square shrinks like a square root.
int mobilityPoint(int x, int centre, int slope) {
    double g = std::sqrt(x + 1.5) - std::sqrt(1.5);
    double h = std::sqrt(centre + 2.0) - std::sqrt(centre + 1.0);
    return int(std::trunc(slope * g / h));
}

template <int N>
void fillMobility(PackedScore (&table)[N], int mgCentre, int mgSlope, int egCentre, int egSlope) {
    for (int x = 0; x < N; ++x)
        table[x] = pack(mobilityPoint(x, mgCentre, mgSlope) - mobilityPoint(mgCentre, mgCentre, mgSlope),
                        mobilityPoint(x, egCentre, egSlope) - mobilityPoint(egCentre, egCentre, egSlope));
}

// Passed-pawn rank vector by relative rank 0..7: b, b, b + s, b + 3s, b + 6s, b + 10s from rank 2 on.
PackedScore passerRankValue(int relRank) {
    constexpr PackedScore base = pack(31, 48), step = pack(90, 142);
    constexpr int steps[8] = {0, 0, 0, 1, 3, 6, 10, 0};
    if (relRank == 0 || relRank == 7) return 0;
    return packedAdd(base, packedMulCount(step, steps[relRank]));
}

PackedScore scaleSixteenths(PackedScore v, int sixteenths) {
    return pack(mgOf(v) * sixteenths / 16, egOf(v) * sixteenths / 16);
}

} // namespace

void initTermTables() {
    fillMobility(knightMobility, 9, 38, 9, 29);
    fillMobility(bishopMobility, 7, 34, 7, 32);
    fillMobility(bishopPawnMobility, 8, 18, 8, 26);
    fillMobility(rookMobility, 6, 18, 6, 34);
    fillMobility(queenMobility, 10, 30, 14, 30);

    for (int x = 0; x < 9; ++x)
        for (int y = 0; y < 9; ++y) {
            double t = (std::sqrt(y + 1.0) - 1.0) * x * (x - 1);
            passerOwnKingGrid[x][y] = pack(0, int(std::trunc(-42.0 * t + 0.5)));
            passerEnemyKingGrid[x][y] = pack(0, int(std::trunc(80.0 * t + 0.5)));
        }

    for (int a = 0; a < 17; ++a)
        for (int b = 0; b < 15; ++b) sqrtGrid[a][b] = int32_t(std::trunc(std::sqrt(double(a)) * 5.0 * b));
}

void buildTermTables() {
    fillCount(doubledPawns, pack(-37, -58), linear);
    fillCount(defendedPhalanx, pack(1, -8), linear);
    fillCount(pushSquareAttacked, pack(-10, -10), linear);
    fillCount(phalanx, pack(22, 22), linear);
    fillCount(defendedPawns, pack(34, 29), linear);
    fillCount(knightBlockade, pack(22, 40), linear);
    fillCount(doubledIsolatedUnopposed, pack(-25, -48), linear);
    fillCount(doubledIsolatedOpposed, pack(-14, -7), linear);
    fillCount(isolatedOpposed, pack(-31, -32), linear);
    fillCount(isolatedUnopposed, pack(-118, -135), linear);
    fillCount(backwardCovered, pack(-35, -31), linear);
    fillCount(backwardHalfOpen, pack(-53, -94), linear);
    fillCount(bishopOwnPawnsSameShade, pack(-34, -24), fromTwo);
    fillCount(bishopPawnsOtherShade, pack(16, 20), fromTwo);
    fillCount(blockedPawn, pack(-36, -155), linear);
    fillCount(blockedCentralPawn, pack(17, 4), linear);
    fillCount(passerFreeDefended, pack(12, 64), rankGrowth);
    fillCount(passerFree, pack(10, 60), rankGrowth);
    fillCount(passerContested, pack(10, 38), rankGrowth);
    fillCount(passerNoOwnBlocker, pack(1, 3), rankGrowth);
    fillPasserBase(passerBase, pack(40, 34));
    fillPasserBase(passerBaseQueens, pack(48, 41));
    fillCount(minorBehindPawn, pack(27, 9), linear);
    fillCount(threatCount, pack(100, 110), threatGrowth);
    fillCount(attackedDefendedByPieces, pack(30, 37), linear);
    fillCount(pawnDefendedPiece, pack(60, 60), linear);
    fillCount(knightOutpost, pack(70, 82), linear);
    fillCount(pawnLever, pack(60, 60), linear);
    fillCount(pieceSafeFromPawns, pack(45, 29), linear);
    fillCount(pawnControl, pack(6, 8), linear);
    for (int k = 0; k < 16; ++k) undefendedPawns[k] = pack(-15 * k, -30 * k);

    constexpr int knightFactor[8] = {0, 8, 3, 0, -2, -3, -4, -5};
    constexpr int passerFactor[8] = {13, 9, 6, 4, 3, 2, 1, 0};
    for (int d = 0; d < 8; ++d) {
        knightKingDistance[d] = packedMulCount(pack(4, 2), knightFactor[d]);
        passerKingCloseness[d] = packedMulCount(pack(0, 27), passerFactor[d]);
    }

    for (Square sq = 0; sq < 64; ++sq)
        for (int c = WHITE; c <= BLACK; ++c) {
            PackedScore r = passerRankValue(relativeRank(Color(c), sq));
            candidatePasser[c][sq] = scaleSixteenths(r, 11);
            supportedPasser[c][sq] = scaleSixteenths(r, 4);
        }

    constexpr int shelter[8] = {0, 27, 22, 10, 5, 0, 0, 0};
    constexpr int storm[8] = {2, 0, 0, 6, 13, 40, 0, 0};
    for (int i = 0; i < 8; ++i) {
        shelterWeight[i] = pack(9 * shelter[i], 0);
        stormOpposed[i] = pack(8 * storm[i], 0);
        stormUnopposed[i] = pack(10 * storm[i], 0);
        openKingFiles[i] = pack(16 * (3 - i), 0);
    }

    const int kingSafety = optKingSafety.load(std::memory_order_relaxed);
    for (int i = 0; i < 256; ++i) kingAttackCurve[i] = pack(kingAttackBase[i] * kingSafety / 10, 0);
}
