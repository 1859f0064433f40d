// The table of UCI options. Each record points at the engine variable that holds the value
// (uci/settings.h), so the rest of the engine reads plain variables and never this table.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

// Orders option names case-insensitively: character by character after lower-casing, a name that
// is a prefix of another coming first. Lookups through the table therefore ignore case.
struct CILess {
    bool operator()(const std::string& a, const std::string& b) const;
};

using IntAction = void (*)(int value, std::atomic<int>* variable);
using StringAction = void (*)(const std::string& value, std::string* variable);
using ButtonAction = void (*)();
using IntGetter = int (*)();

// One option. `type` is "check", "spin", "spin64", "string" or "button"; exactly one value
// pointer is set to match it (none for a button). An action, when present, runs instead of the
// plain store; a getter, when present, runs instead of the plain read.
struct UCIOption {
    uint64_t index = 0; // creation order; "uci" lists the options in this order
    std::string type;
    std::atomic<int>* intValue = nullptr;       // check (0 or 1) and spin
    std::atomic<uint64_t>* value64 = nullptr;   // spin64
    std::string* stringValue = nullptr;         // string
    IntAction intAction = nullptr;
    StringAction stringAction = nullptr;
    ButtonAction buttonAction = nullptr;
    IntGetter getter = nullptr;
    int32_t min = 0;
    int32_t max = 0;
};

using OptionTable = std::map<std::string, UCIOption, CILess>;

extern OptionTable uciOptions;

// Creates every option in its listing order and sets each variable to its default.
void buildOptionTable();

// The options in creation order.
std::vector<std::pair<std::string, const UCIOption*>> optionsInOrder();

// The "option name ... type ..." line of one option (without a line end), showing its current
// value after "default".
std::string optionLine(const std::string& name, const UCIOption& option);

// Current integer value: the getter's or the variable's for check and spin, else 0.
int optionIntValue(const UCIOption& option);

// The plain setters: clamp or hand to the action as the option's type requires.
void setOptionInt(UCIOption& option, int value);
void setOptionUint64(UCIOption& option, uint64_t value);
void setOptionString(UCIOption& option, const std::string& value);
void pressOptionButton(UCIOption& option);

// The "setoption" command after its name and value have been collected: looks the name up,
// applies the value by type, then rebuilds the tables and re-sizes the thread pool as the new
// settings require (deferred while a search runs). Prints "info string ... not recognized" for an
// unknown name.
void applySetOption(const std::string& name, const std::string& value);

// Brings tables and threads in line with the options: rebuilds the evaluation and search tables
// and restarts the thread pool when "Threads" or "Table Memory" differ from what is running.
// Never while a search runs.
void applyOptionEffects();
// The same for option changes made during a search, once it has ended: a new "Threads" value
// alone waits for the next search to start, which applies it.
void applyOptionEffectsAfterSearch();

// The "Table Memory" value the running thread pool was sized with.
extern int appliedTableMemory;

// Reads a decimal integer the way option values are read: leading blanks skipped, an optional
// sign, at least one digit, trailing text ignored; values beyond 32 bits saturate. False when no
// digit follows.
bool parseOptionInt(const std::string& text, int& value);
bool parseOptionUint64(const std::string& text, uint64_t& value);
