// The command processor: one line of the UCI protocol (and the engine's own extra commands).
#pragma once

#include <string>
#include <vector>

// Longest line handled; anything after it is cut off.
constexpr size_t MAX_COMMAND_LENGTH = 4095;

// A word of a command line with its place in the line.
struct Token {
    std::string text;
    size_t begin;
    size_t end; // one past the last character
};

// Splits at blanks, tabs, line feeds and carriage returns; runs of separators count as one.
std::vector<Token> tokenize(const std::string& line);

// Executes one line. Re-entrant: the search runs "go" inside it and serves further lines from
// its poll, on the same thread.
void executeCommand(const std::string& line);
