// The commands that start and steer a search: "go", "stop", "ponderhit".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Position;

// The values of one "go" command; times in seconds.
struct SearchLimits {
    double wtime = 0, btime = 0;
    double winc = 0, binc = 0;
    int movestogo = 0;
    int depth = 0;
    double movetime = 0;
    uint64_t nodes = ~0ULL; // all ones: no node limit
    bool infinite = false;
    bool ponder = false;
    std::string searchmoves; // each listed move followed by one blank
};

// Reads the words after "go" (tokens[0] is "go"). A keyword whose number is missing or not a
// number keeps its default and leaves the next word to be read as a keyword; any other word
// ends the reading unless a "searchmoves" list is open.
SearchLimits parseGoLimits(const std::vector<std::string>& tokens);

// The search's arguments for a "go" other than infinite, depth, movetime or nodes.
struct SearchTimes {
    int depthLimit;
    double targetSeconds;
    double hardSeconds;
};
// Chooses depth and times by precedence: infinite, depth, movetime, nodes, moves to go, sudden
// death; sets maxPercent through the clock allocation. gamePly is the position's ply counter.
SearchTimes chooseSearchTimes(const SearchLimits& limits, bool whiteToMove, int gamePly);

// tokens[0] is "go". Runs the whole search (prints bestmove) unless a search is running.
void handleGo(const std::vector<std::string>& tokens, Position& current, int gamePly);
void handleStop();
void handlePonderhit();
