#include "eval/eval_tables.h"

int tempoBonus[97];
PackedScore spanBonus[9];
uint8_t pawnSpanTable[256];
int materialPhaseCurve[97];
double scaleByPhase[97];

namespace {
constexpr int TEMPO_MG = 116;
constexpr int TEMPO_EG = 50;
constexpr PackedScore SPAN_BONUS_BASE = pack(0, 2);

// Span multiplier: a quadratic approach to the break-even span of 4 files, linear beyond 6.
constexpr int spanMultiplier(int span) { return span < 6 ? span * span - 16 : 9 * span - 36; }
} // namespace

void initDriverTables() {
    pawnSpanTable[0] = 0;
    for (int mask = 1; mask < 256; ++mask) {
        int low = __builtin_ctz(unsigned(mask));
        int high = 31 - __builtin_clz(unsigned(mask));
        pawnSpanTable[mask] = uint8_t(high - low + 1);
    }
    // Up to phase 32 (roughly two rooks a side) the curve climbs faster, then more slowly, so
    // that 32 maps to 38 and 96 to 96.
    for (int p = 0; p <= 96; ++p) {
        materialPhaseCurve[p] = p <= 32 ? int(p * 38 / 32.0 + 0.499) : int((p - 32) * 58 / 64.0 + 38.499);
        scaleByPhase[p] = 0.95 + 0.2 * p / 96;
    }
}

void buildDriverTables() {
    for (int p = 0; p <= 96; ++p) tempoBonus[p] = (TEMPO_EG * 96 + 48 + p * (TEMPO_MG - TEMPO_EG)) / 96;
    for (int i = 0; i <= 8; ++i) spanBonus[i] = packedMulCount(SPAN_BONUS_BASE, spanMultiplier(i));
}
