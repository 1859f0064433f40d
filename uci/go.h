// The commands that start and steer a search: "go", "stop", "ponderhit".
#pragma once

#include <string>
#include <vector>

struct Position;

// tokens[0] is "go". Runs the whole search (prints bestmove) unless a search is running.
void handleGo(const std::vector<std::string>& tokens, Position& current, int gamePly);
void handleStop();
void handlePonderhit();
