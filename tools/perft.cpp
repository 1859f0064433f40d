// Measures move generation: perft [--chess960] <depth> [fen...] prints the node count, the time
// and the speed.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "board/attacks.h"
#include "board/perft.h"
#include "board/position.h"
#include "uci/settings.h"

int main(int argc, char** argv) {
    int arg = 1;
    if (arg < argc && std::strcmp(argv[arg], "--chess960") == 0) {
        optChess960 = 1;
        ++arg;
    }
    if (arg >= argc) {
        std::fprintf(stderr, "usage: perft [--chess960] <depth> [fen...]\n");
        return 2;
    }
    int depth = std::atoi(argv[arg++]);
    std::string fen;
    for (; arg < argc; ++arg) {
        if (!fen.empty()) fen += ' ';
        fen += argv[arg];
    }

    initAttackTables();
    Position pos;
    std::string error;
    if (!setFromFen(pos, fen, &error)) {
        std::fprintf(stderr, "FEN refused: %s\n", error.c_str());
        return 1;
    }
    auto start = std::chrono::steady_clock::now();
    uint64_t nodes = perft(pos, depth);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("nodes %llu\ntime %.3f s\nnps %.0f\n", (unsigned long long)nodes, seconds,
                seconds > 0 ? double(nodes) / seconds : 0.0);
    return 0;
}
