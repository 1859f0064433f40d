// Tablebase probe speed: win/draw/loss (and distance) probes per second over the positions of the
// reference vector files, with every table already mapped.
//
//   tbbench <syzygy directory> [seconds per measurement]
//
// The directory must hold the tables and vectors.tsv / vectors5.tsv.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "board/position.h"
#include "tablebase/tablebase.h"
#include "uci/startup.h"

namespace {

double seconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

std::vector<Position> readPositions(const std::string& file) {
    std::vector<Position> positions;
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty()) continue;
        Position pos{};
        if (setFromFen(pos, line.substr(0, line.find('\t')))) positions.push_back(pos);
    }
    return positions;
}

// Probes every position at least once and repeatedly for about `budget` seconds; returns probes per second.
template <typename Probe>
double measure(const std::vector<Position>& positions, double budget, Probe probe, long* failures) {
    long probes = 0;
    *failures = 0;
    const double start = seconds();
    double now = start;
    do {
        for (const Position& pos : positions) {
            int success;
            probe(pos, &success);
            *failures += success == 0;
        }
        probes += long(positions.size());
        now = seconds();
    } while (now - start < budget);
    return double(probes) / (now - start);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <syzygy directory> [seconds]\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    const double budget = argc > 2 ? std::atof(argv[2]) : 2.0;
    initializeEngine();
    tbLoadAll(dir);

    struct Set {
        const char* name;
        std::vector<Position> positions;
    } sets[] = {{"3-4 pieces", readPositions(dir + "/vectors.tsv")}, {"5 pieces", readPositions(dir + "/vectors5.tsv")}};
    for (Set& s : sets) {
        if (s.positions.empty()) continue;
        long failures;
        measure(s.positions, 0.0, tbWdlProbe, &failures);  // maps every table once
        measure(s.positions, 0.0, tbDtzProbe, &failures);
        const double wdl = measure(s.positions, budget, tbWdlProbe, &failures);
        std::printf("%-10s %5zu positions  WDL %10.0f probes/s (%ld failed)\n", s.name, s.positions.size(), wdl,
                    failures);
        const double dtz = measure(s.positions, budget, tbDtzProbe, &failures);
        std::printf("%-10s %5zu positions  DTZ %10.0f probes/s (%ld failed)\n", s.name, s.positions.size(), dtz,
                    failures);
    }
    return 0;
}
