#include "uci/protocol.h"

#include <cstdio>

#include "board/perft.h"
#include "eval/evaluate.h"
#include "search/search_state.h"
#include "uci/deferred.h"
#include "uci/game.h"
#include "uci/go.h"
#include "uci/input.h"
#include "uci/options.h"

namespace {

constexpr const char* ENGINE_VERSION = "9";
constexpr int MAX_PERFT_DEPTH = 20;

void infoString(const std::string& text) {
    printf("info string %s\n", text.c_str());
    fflush(stdout);
}

void handleUci() {
    printf("id name Tarvolo %s 64-bit \n", ENGINE_VERSION);
    printf("id author Quelbrin\n");
    for (const auto& [name, option] : optionsInOrder()) printf("%s\n", optionLine(name, *option).c_str());
    printf("uciok\n");
    fflush(stdout);
}

// "setoption name <words> value <text>": the name is the words after "name" joined by single
// blanks; the value is the rest of the line after the keyword "value" and one separator, inner
// blanks kept. Words before "name" are ignored.
void handleSetOption(const std::string& line, const std::vector<Token>& tokens) {
    enum { BEFORE_NAME, NAME, VALUE } mode = BEFORE_NAME;
    std::string name;
    std::string value;
    size_t valueKeywordEnd = 0;
    for (size_t i = 1; i < tokens.size(); ++i) {
        const std::string& word = tokens[i].text;
        if (mode == VALUE) {
            value = line.substr(valueKeywordEnd + 1);
            break;
        }
        if (word == "name") {
            mode = NAME;
        } else if (word == "value") {
            mode = VALUE;
            valueKeywordEnd = tokens[i].end;
        } else if (mode == NAME) {
            if (!name.empty()) name += ' ';
            name += word;
        }
    }
    applySetOption(name, value);
}

void handlePerft(const std::vector<std::string>& words) {
    int depth = 0;
    if (words.size() < 2 || !parseOptionInt(words[1], depth) || depth < 1 || depth > MAX_PERFT_DEPTH) {
        infoString("perft needs a depth from 1 to " + std::to_string(MAX_PERFT_DEPTH));
        return;
    }
    perftDivide(currentPosition(), depth);
    fflush(stdout);
}

void handleEval() {
    // The report may fill scratch fields of the position; the game record keeps its own.
    Position position = currentPosition();
    printEvaluationReport(position);
    fflush(stdout);
}

} // namespace

std::vector<Token> tokenize(const std::string& line) {
    std::vector<Token> tokens;
    const char* separators = " \t\n\r";
    size_t pos = line.find_first_not_of(separators);
    while (pos != std::string::npos) {
        size_t end = line.find_first_of(separators, pos);
        if (end == std::string::npos) end = line.size();
        tokens.push_back(Token{line.substr(pos, end - pos), pos, end});
        pos = line.find_first_not_of(separators, end);
    }
    return tokens;
}

void executeCommand(const std::string& rawLine) {
    // A line ends at its first line feed, carriage return, form feed or NUL, and is never longer
    // than MAX_COMMAND_LENGTH.
    std::string line = rawLine.substr(0, MAX_COMMAND_LENGTH);
    size_t cut = line.find_first_of(std::string("\n\r\f\0", 4));
    if (cut != std::string::npos) line.resize(cut);
    if (line.empty()) return;

    std::vector<Token> tokens = tokenize(line);
    if (tokens.empty()) return;
    std::vector<std::string> words;
    words.reserve(tokens.size());
    for (const Token& token : tokens) words.push_back(token.text);
    const std::string& command = words[0];

    if (command == "uci") {
        handleUci();
    } else if (command == "isready") {
        printf("readyok\n");
        fflush(stdout);
    } else if (command == "ponderhit") {
        handlePonderhit();
    } else if (command == "position") {
        // The running search starts from the game record and refers back into it: a new position
        // waits until the search has ended.
        if (searching) deferUntilSearchEnds([words] { handlePosition(words); });
        else handlePosition(words);
    } else if (command == "quit") {
        requestQuit();
    } else if (command == "go") {
        handleGo(words, currentPosition(), gamePly);
    } else if (command == "ucinewgame") {
        // Nothing to reset: every search starts afresh from the game record.
    } else if (command == "setoption") {
        handleSetOption(line, tokens);
    } else if (command == "stop") {
        handleStop();
    } else if (command == "perft") {
        if (searching) infoString("perft is not available during a search");
        else handlePerft(words);
    } else if (command == "eval") {
        if (searching) infoString("eval is not available during a search");
        else handleEval();
    }
    // Any other first word is not a command: ignored without a reply.
}
