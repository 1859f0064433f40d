// The benchmark: a fixed set of positions searched at increasing depths, printing node counts,
// times and the growth factor from depth to depth. With one thread its node count is the
// engine's signature: any change to the search or evaluation shows up in it.
#include "uci/bench.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "board/position.h"
#include "eval/evaluate.h"
#include "search/search.h"
#include "search/search_state.h"
#include "search/thread_data.h"
#include "search/thread_pool.h"
#include "uci/clock.h"
#include "uci/settings.h"

namespace {

constexpr int FIRST_DEPTH = 5;
constexpr int DEFAULT_MAX_DEPTH = 12;
constexpr int DEFAULT_REPETITIONS = 1;

// Placement, side to move, castling rights and en-passant square of each position.
const char* const BENCH_POSITIONS[] = {
    "r4qnk/p1p5/5r1b/3P1b1p/2p2N2/2N4P/PP1QB3/2K2RR1 w - -",
    "5rk1/1npbnppp/3p4/1p1Pp1b1/1P2P3/2P1N3/2BB1PPP/q3RNK1 w - -",
    "2b1q3/p3b1k1/1p2B2p/4Pp2/1P1r1Pp1/P3N1P1/3Q2P1/6K1 w - -",
    "8/8/pr1ppk1p/R4pP1/8/3K2P1/P3PP2/8 b - -",
    "2rr2k1/1pqnbppp/p2p1n2/Pb2p3/4P3/2NNBB2/1PPQ1PPP/R2R2K1 b - -",
    "3qk2r/1brn1ppp/pp2pn2/8/3N4/Q1N3P1/PP2PPBP/R2R2K1 b k -",
    "3r2k1/1p3ppp/p1q5/P2rpP2/5nPP/5NQ1/1PP2R2/R6K w - -",
    "r5k1/1b1nqp1p/1Pr3p1/p1pp1n2/N7/Q1N1P1P1/P4PBP/2RR2K1 b - -",
    "1r2qrk1/1b1nb1pp/1p1ppn2/p4p2/N1PB4/1P3PP1/P1Q1P1BP/3RNRK1 b - -",
    "rnbqk2r/ppp2ppp/4pn2/3pP1B1/1b1P4/2N5/PPP2PPP/R2QKBNR b KQkq -",
    "2rqk2r/p3bppp/bpn2n2/2pp4/3P4/1PN2NP1/PB2PPBP/2RQ1RK1 b k -",
    "r1bqkbnr/1pp2ppp/p1p5/4p3/4P3/5N2/PPPP1PPP/RNBQK2R w KQkq -",
    "r1bqr1k1/1p3pbp/2pp1np1/p1nPp3/2P1P3/2N2N2/PP3PPP/1RBQRBK1 w - -",
    "2k1r3/4rpBp/2p5/p2p4/8/1PPR4/Pb1K1PPP/3R4 w - -",
    "6k1/3n1pp1/b6p/1n1Pp3/4PP2/rB4PP/3N1B2/2R3K1 b - -",
    "r2q1rk1/pb1n1pb1/1p5p/6p1/1PNPp3/6B1/P3BPPP/2RQ1RK1 b - -",
    "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3",
    "1R5Q/5p1p/6p1/6k1/1P2r2P/4qPK1/6P1/8 b - h3",
    "8/p4r2/1p2k3/3prp1p/3R4/1P3K1P/P2R2P1/8 b - -",
    "r2qr1k1/pp3ppp/5b2/1bNp4/3Bn3/1P4P1/P3PPBP/2RQR1K1 b - -",
    "1r6/5pk1/2pN4/2Pb2p1/1P4P1/5p2/5P1K/1R6 b - -",
    "4r3/5k1p/p1b1p3/1pBpP3/1Pn2qP1/3B2K1/P3R3/8 w - -",
    "r2qr1k1/pbpn2pp/4pB2/2Pp1p2/8/4QNP1/PP2PPBP/R2R2K1 b - -",
    "6kr/p1r5/q1b1p1p1/Pp1pPn1p/1QpB1P2/2P2BP1/2P1K2P/R5R1 w - -",
    "4rr2/4Nk1p/B2Pb1p1/2p1QN2/4p3/8/1PP2qPP/R3R2K b - -",
    "r2qb2r/4n2k/1pn1p1pp/p2pPp2/P1pP1P1N/B1P4R/2P1B1PP/R2Q3K b - -",
    "r6k/p6p/1n3r1q/1b1pQ3/3Pp1p1/4P1P1/P2NNP1P/2R2RK1 w - -",
    "r3qbk1/1npr1pp1/1p2p2p/p3P3/2PN4/2N2QP1/PP3P1P/3RR1K1 b - -",
    "rnbqkb1r/pp1p1ppp/5n2/1N2p3/2P5/8/PP2PPPP/RNBQKB1R b KQkq -",
    "r2q1r1k/n1p3pp/p4b2/P7/1p1PRB2/1B3b2/1P3PPP/R2Q2K1 w - -",
    "rnbqkb1r/1p2pppp/p2p1n2/6B1/3NP3/2N5/PPP2PPP/R2QKB1R b KQkq -",
    "rnbqkbnr/pp1ppppp/8/2p5/4P3/8/PPPP1PPP/RNBQKBNR w KQkq c6",
    "2R2b1B/p3k3/1p2P3/5Pp1/1P2n3/P5P1/3r3p/7K w - -",
    "rnb1k2r/pp4pp/4pp2/q1Pn4/3QP3/P1P2P2/6PP/R1B1KBNR b KQkq e3",
    "rn2k2r/2p2ppp/p3pn2/1P6/4b3/3q1NP1/P4PBP/1RBQK2R w Kkq -",
    "r1bq1rk1/pp2bppp/2n1pn2/2pp4/2P5/1P3NP1/PB1PPPBP/RN1Q1RK1 w - -",
    "r3k2r/p1qbnpp1/1p2p2p/n1ppP2P/P2P4/B1P2N2/2PQ1PP1/R3KB1R w KQkq -",
    "rnbqkbnr/pppppppp/8/8/3P4/8/PPP1PPPP/RNBQKBNR b KQkq d3",
    "8/R5K1/8/8/1p6/1k6/p6P/8 b - -",
    "rnbqk2r/ppp1ppbp/5np1/3p4/2PP4/2N3P1/PP2PPBP/R1BQK1NR b KQkq -",
    "6k1/1p3p2/p2p2bp/P1rPr3/3QPp2/7P/4R1P1/6K1 w - -",
    "1r3rk1/2qbbnnp/3p1pp1/1p1Pp3/2p1P1P1/1PP2NNP/1BB2P1K/R2Q2R1 w - -",
    "5n1k/6b1/1p3p1p/p1p1p1p1/2P1P1B1/P1Br2P1/5P1P/2R3K1 w - -",
    "2b5/8/p1p5/1P3kpp/P1P5/3NK3/7P/8 b - -",
    "rnbqkbnr/pp2pppp/3p4/2p5/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq -",
    "r4rk1/p4pp1/1p1q3p/2nPp3/2B5/2P1Q3/P4PPP/2R2RK1 w - -",
    "r2r2k1/4q1p1/2nNp2p/p3p3/4P3/2PQP3/P5PP/3R1RK1 w - -",
    "7k/p3bprp/4p3/qp1pP2R/3P4/2r2NP1/P2Q1PK1/7R b - -",
    "6k1/5pp1/8/1P6/3N4/4P3/3N4/4K2r w - -",
    "3r4/q2np1k1/6pp/2pPp1b1/2N1N3/1P4PQ/r3RP2/3R2K1 w - -",
};

// A decimal argument; text that is not a number reads as 0.
int argumentValue(const char* text) { return int(std::strtol(text, nullptr, 10)); }

// The four FEN fields of a list entry joined by single blanks; false with fewer than four.
bool benchFen(const char* entry, std::string& fen) {
    std::istringstream in(entry);
    std::vector<std::string> fields;
    for (std::string field; fields.size() < 4 && in >> field;) fields.push_back(field);
    if (fields.size() < 4) return false;
    fen = fields[0] + " " + fields[1] + " " + fields[2] + " " + fields[3];
    return true;
}

} // namespace

int benchPositionCount() { return int(sizeof BENCH_POSITIONS / sizeof BENCH_POSITIONS[0]); }

const char* benchPosition(int index) {
    return index >= 0 && index < benchPositionCount() ? BENCH_POSITIONS[index] : nullptr;
}

uint64_t runBenchmarkDepth(int depth, bool printProgress) {
    uint64_t nodes = 0;
    Position pos;
    std::string fen;
    for (const char* entry : BENCH_POSITIONS) {
        if (!benchFen(entry, fen) || !setFromFen(pos, fen)) exit(1);
        think(pos, depth, "", NO_TIME_LIMIT, NO_TIME_LIMIT);
        nodes += totalNodes();
        if (printProgress) {
            printf(".");
            fflush(stdout);
        }
    }
    return nodes;
}

void runBenchmark(int argc, char** argv) {
    if (argc >= 1) {
        const int threads = argumentValue(argv[0]);
        if (threads >= 1 && threads <= MAX_THREADS) {
            optThreads = threads;
            resizePool();
        }
    }
    const int maxDepth = argc >= 2 ? argumentValue(argv[1]) : DEFAULT_MAX_DEPTH;
    const int repetitions = argc >= 3 ? argumentValue(argv[2]) : DEFAULT_REPETITIONS;

    for (int r = 0; r < repetitions; ++r) {
        benchMode = true;
        buildEvaluationTables();
        const double t0 = nowSeconds();
        double previous = 1e15;
        for (int depth = FIRST_DEPTH; depth <= maxDepth; ++depth) {
            printf("\n%2d ", depth);
            fflush(stdout);
            const uint64_t nodes = runBenchmarkDepth(depth, true);
            const double elapsed = nowSeconds() - t0;
            if (depth == FIRST_DEPTH)
                printf(" %14lld nds %7.2f sec", (long long)nodes, elapsed);
            else
                printf(" %14lld nds %7.2f sec  %6.2f bf", (long long)nodes, elapsed, elapsed / previous);
            fflush(stdout);
            previous = elapsed;
        }
        puts("\n");
        fflush(stdout);
    }
    benchMode = false;
}
