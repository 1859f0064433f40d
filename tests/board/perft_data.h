// Reads the perft reference files (one-line EPD records and id/epd/perft blocks) into cases, and
// runs them with the right castling rules.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "board/perft.h"
#include "board/position.h"
#include "test_support.h"
#include "uci/settings.h"

struct PerftCase {
    std::string name;
    std::string fen;
    bool chess960 = false;
    std::vector<std::pair<int, uint64_t>> counts; // depth, leaves
};

inline std::string trimmed(const std::string& s) {
    size_t b = s.find_first_not_of(" \t"), e = s.find_last_not_of(" \t");
    return b == std::string::npos ? "" : s.substr(b, e - b + 1);
}

// "<FEN> ;D1 20 ;D2 400 ..."
inline std::vector<PerftCase> readEpdPerft(const std::string& relative, bool chess960) {
    std::vector<PerftCase> cases;
    int lineNumber = 0;
    for (const std::string& line : readLines(dataPath(relative))) {
        ++lineNumber;
        if (trimmed(line).empty()) continue;
        PerftCase c;
        c.name = relative + ":" + std::to_string(lineNumber);
        c.chess960 = chess960;
        std::stringstream fields(line);
        std::string field;
        std::getline(fields, field, ';');
        c.fen = trimmed(field);
        while (std::getline(fields, field, ';')) {
            std::stringstream depthAndCount(trimmed(field));
            std::string depth;
            uint64_t count = 0;
            depthAndCount >> depth >> count;
            c.counts.push_back({std::stoi(depth.substr(1)), count});
        }
        cases.push_back(c);
    }
    return cases;
}

// Blocks of "id <name>", "epd <four FEN fields>", "perft <depth> <count>"...
// `isChess960` tells from a block's name whether it follows Chess960 castling rules.
template <typename Rule> std::vector<PerftCase> readBlockPerft(const std::string& relative, Rule isChess960) {
    std::vector<PerftCase> cases;
    for (const std::string& line : readLines(dataPath(relative))) {
        std::stringstream words(line);
        std::string word;
        words >> word;
        if (word == "id") {
            PerftCase c;
            words >> c.name;
            c.chess960 = isChess960(c.name);
            cases.push_back(c);
        } else if (word == "epd" && !cases.empty()) {
            cases.back().fen = trimmed(line.substr(3)) + " 0 1";
        } else if (word == "perft" && !cases.empty()) {
            int depth = 0;
            uint64_t count = 0;
            words >> depth >> count;
            cases.back().counts.push_back({depth, count});
        }
    }
    return cases;
}

// Sets UCI_Chess960 for the life of the guard.
struct Chess960Setting {
    int saved;
    explicit Chess960Setting(bool on) : saved(optChess960.load()) { optChess960 = on ? 1 : 0; }
    ~Chess960Setting() { optChess960 = saved; }
};

// Checks every listed depth whose count is at most `leafLimit`.
inline void expectPerftCounts(const PerftCase& c, uint64_t leafLimit) {
    Chess960Setting rules(c.chess960);
    Position pos = positionFromFen(c.fen);
    for (auto [depth, expected] : c.counts) {
        if (expected > leafLimit) continue;
        EXPECT_EQ(perft(pos, depth), expected) << c.name << " " << c.fen << " depth " << depth;
    }
}

// The six positions every move generator is checked against, with their published counts.
inline const std::vector<PerftCase>& wellKnownPerftCases() {
    static const std::vector<PerftCase> cases = {
        {"start position", "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", false,
         {{1, 20}, {2, 400}, {3, 8902}, {4, 197281}, {5, 4865609}, {6, 119060324}}},
        {"kiwipete", "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1", false,
         {{1, 48}, {2, 2039}, {3, 97862}, {4, 4085603}, {5, 193690690}}},
        {"rook endgame", "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1", false,
         {{1, 14}, {2, 191}, {3, 2812}, {4, 43238}, {5, 674624}, {6, 11030083}}},
        {"promotions and pins", "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1", false,
         {{1, 6}, {2, 264}, {3, 9467}, {4, 422333}, {5, 15833292}}},
        {"discovered checks", "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8", false,
         {{1, 44}, {2, 1486}, {3, 62379}, {4, 2103487}, {5, 89941194}}},
        {"symmetric middlegame", "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10", false,
         {{1, 46}, {2, 2079}, {3, 89890}, {4, 3894594}, {5, 164075551}}},
    };
    return cases;
}

inline bool isChess960Name(const std::string& name) {
    return name.find("960") != std::string::npos || name.rfind("xfen-", 0) == 0 ||
           name == "asymmetrical-and-king-on-h";
}
