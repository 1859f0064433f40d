#include "board/zobrist.h"

namespace {

// The tables are built at compile time from a fixed-seed generator (splitmix64), so every build and
// every run use the same numbers. The seed was picked so that the material signatures of the
// special endgame configurations of the evaluation fall into distinct 16-bit slots.
struct Generator {
    uint64_t state;
    constexpr uint64_t next() {
        uint64_t z = (state += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }
};

constexpr uint64_t ZOBRIST_SEED = 0x5461727630313031ULL;

constexpr ZobristTables buildTables() {
    ZobristTables t{};
    Generator g{ZOBRIST_SEED};
    for (int c = 0; c < 2; ++c)
        for (int type = 0; type < 8; ++type)
            for (int s = 0; s < 64; ++s) t.piece[c][type][s] = g.next();
    for (auto& k : t.castling) k = g.next();
    for (auto& k : t.enPassant) k = g.next();
    for (int c = 0; c < 2; ++c)
        for (int type = 0; type < 8; ++type)
            for (int s = 0; s < 64; ++s) {
                uint64_t v = g.next();
                t.pawnKing[c][type][s] = (type == PAWN || type == KING) ? v : 0;
            }
    for (int c = 0; c < 2; ++c)
        for (int type = 0; type < 8; ++type) {
            uint64_t light = g.next(), dark = g.next();
            bool counted = type >= PAWN && type <= QUEEN;
            t.material[c][type][0] = counted ? light : 0;
            t.material[c][type][1] = counted ? (type == BISHOP ? dark : light) : 0;
        }
    return t;
}

} // namespace

constexpr ZobristTables zobrist = buildTables();
