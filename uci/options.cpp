#include "uci/options.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>

#include "book/book.h"
#include "eval/evaluate.h"
#include "search/search_state.h"
#include "search/thread_data.h"
#include "search/thread_pool.h"
#include "tablebase/tablebase.h"
#include "tt/hashfile.h"
#include "tt/tt.h"
#include "uci/deferred.h"
#include "uci/log.h"
#include "uci/settings.h"

OptionTable uciOptions;
int appliedTableMemory = 64;

namespace {
// How the option listing shows an empty string value.
constexpr const char* EMPTY_STRING_TEXT = "<empty>";
} // namespace

bool CILess::operator()(const std::string& a, const std::string& b) const {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
    });
}

namespace {

// Actions. Those that release or replace memory the search threads use wait for the search to end.

void hashAction(int megabytes, std::atomic<int>* variable) {
    variable->store(megabytes);
    if (searching) {
        deferUntilSearchEnds([megabytes] { ttResize(megabytes); });
        return;
    }
    ttResize(megabytes);
}

void clearHashNow() {
    ttClear();
    printf("info string Clearing Hash\n");
    fflush(stdout);
}

void clearHashAction() {
    if (searching) deferUntilSearchEnds(clearHashNow);
    else clearHashNow();
}

void saveHashAction() {
    if (searching) deferUntilSearchEnds(saveHashFile);
    else saveHashFile();
}

void loadHashAction() {
    if (searching) deferUntilSearchEnds(loadHashFile);
    else loadHashFile();
}

void bookFileAction(const std::string& name, std::string*) { setBookFile(name); }

void logFileAction(const std::string& name, std::string*) { setLogFile(name); }

void syzygyPathAction(const std::string& path, std::string*) {
    if (searching) deferUntilSearchEnds([path] { setSyzygyPath(path); });
    else setSyzygyPath(path);
}

void syzygyProbeLimitAction(int limit, std::atomic<int>*) { setSyzygyProbeLimit(limit); }

// Builders: each creates the next option in listing order and sets its variable to the default.

UCIOption& addOption(const std::string& name, const char* type) {
    UCIOption& option = uciOptions[name];
    option = UCIOption{};
    option.index = uciOptions.size() - 1;
    option.type = type;
    return option;
}

void addCheck(const std::string& name, std::atomic<int>& variable, bool defaultValue) {
    UCIOption& option = addOption(name, "check");
    option.intValue = &variable;
    option.max = 1;
    variable = defaultValue ? 1 : 0;
}

UCIOption& addSpin(const std::string& name, std::atomic<int>& variable, int defaultValue, int min, int max,
                   IntAction action = nullptr) {
    UCIOption& option = addOption(name, "spin");
    option.intValue = &variable;
    option.min = min;
    option.max = max;
    option.intAction = action;
    variable = defaultValue;
    return option;
}

void addString(const std::string& name, std::string& variable, const char* defaultValue,
               StringAction action = nullptr) {
    UCIOption& option = addOption(name, "string");
    option.stringValue = &variable;
    option.stringAction = action;
    variable = defaultValue;
}

void addButton(const std::string& name, ButtonAction action) {
    UCIOption& option = addOption(name, "button");
    option.buttonAction = action;
}

int clampInt(int value, int min, int max) { return value < min ? min : value > max ? max : value; }

// Value text of a check or spin option without the blanks a GUI may leave at its end.
std::string trimmedRight(const std::string& text) {
    size_t end = text.find_last_not_of(" \t");
    return end == std::string::npos ? std::string() : text.substr(0, end + 1);
}

} // namespace

void buildOptionTable() {
    uciOptions.clear();
    addCheck("Ponder", optPonder, true);
    addSpin("Hash", optHash, 128, 1, 65536, hashAction);
    addCheck("OwnBook", optOwnBook, true);
    addSpin("MultiPV", optMultiPV, 1, 1, 218);
    addString("Book File", optBookFile, "tarvolo.bin", bookFileAction);
    addString("Log File", optLogFile, "", logFileAction);
    addButton("Clear Hash", clearHashAction);
    addString("Hash File Name", optHashFileName, "");
    addButton("Save Hash to File", saveHashAction);
    addButton("Load Hash from File", loadHashAction);
    addCheck("UCI_Chess960", optChess960, false);
    addCheck("UCI_AnalyseMode", optAnalyseMode, false);
    addCheck("Use Lmr", optUseLmr, true);
    addCheck("Null Move Pruning", optNullMovePruning, true);
    addCheck("Best Book Line", optBestBookLine, false);
    addCheck("Minimal Reporting", optMinimalReporting, false);
    addSpin("Table Memory", optTableMemory, 64, 1, 256);
    addSpin("Threads", optThreads, 1, 1, 64);
    addSpin("Overhead ms", optOverheadMs, 30, 0, 50000);
    addSpin("Drawscore", optDrawscore, -7, -200, 200);
    addSpin("Time Usage", optTimeUsage, 0, -9, 9);
    addCheck("Use Syzygy", optUseSyzygy, true);
    addString("SyzygyPath", optSyzygyPath, "", syzygyPathAction);
    addSpin("Syzygy Probe Depth", optSyzygyProbeDepth, 2, 0, 99);
    addSpin("Syzygy Probe Limit", optSyzygyProbeLimit, 6, 0, 6, syzygyProbeLimitAction);
    addCheck("Syzygy 50 Move Rule", optSyzygy50MoveRule, true);
    addSpin("King Safety", optKingSafety, 65, 0, 200);
    addSpin("Selectivity", optSelectivity, 80, 10, 200);
    addSpin("Reduction", optReduction, 0, -1000, 150);
}

std::vector<std::pair<std::string, const UCIOption*>> optionsInOrder() {
    std::vector<std::pair<std::string, const UCIOption*>> list;
    for (const auto& [name, option] : uciOptions) list.emplace_back(name, &option);
    std::sort(list.begin(), list.end(), [](const auto& a, const auto& b) { return a.second->index < b.second->index; });
    return list;
}

int optionIntValue(const UCIOption& option) {
    if (option.type != "check" && option.type != "spin") return 0;
    if (option.getter) return option.getter();
    return option.intValue ? option.intValue->load() : 0;
}

std::string optionLine(const std::string& name, const UCIOption& option) {
    // A 64-bit spin is shown to the GUI as an ordinary spin.
    std::string shownType = option.type == "spin64" ? "spin" : option.type;
    std::string line = "option name " + name + " type " + shownType;
    if (option.type == "check") {
        line += optionIntValue(option) ? " default true" : " default false";
    } else if (option.type == "spin") {
        line += " default " + std::to_string(optionIntValue(option)) + " min " + std::to_string(option.min) +
                " max " + std::to_string(option.max);
    } else if (option.type == "spin64") {
        uint64_t value = option.value64 ? option.value64->load() : 0;
        line += " default " + std::to_string(value) + " min " + std::to_string(option.min) + " max " +
                std::to_string(option.max);
    } else if (option.type == "string") {
        const std::string& value = option.stringValue ? *option.stringValue : std::string();
        line += " default " + (value.empty() ? std::string(EMPTY_STRING_TEXT) : value);
    }
    return line;
}

void setOptionInt(UCIOption& option, int value) {
    if (option.type == "check") {
        if (option.intAction) option.intAction(value, option.intValue);
        else if (option.intValue) option.intValue->store(value != 0 ? 1 : 0);
    } else if (option.type == "spin") {
        if (option.intAction) option.intAction(value, option.intValue);
        else if (option.intValue) option.intValue->store(clampInt(value, option.min, option.max));
    }
}

void setOptionUint64(UCIOption& option, uint64_t value) {
    if (option.type != "spin64" || !option.value64) return;
    // The bounds are 32-bit; a negative lower bound admits every unsigned value from 0.
    uint64_t low = option.min < 0 ? 0 : uint64_t(option.min);
    uint64_t high = option.max < 0 ? 0 : uint64_t(option.max);
    option.value64->store(std::clamp(value, low, std::max(low, high)));
}

void setOptionString(UCIOption& option, const std::string& value) {
    if (option.type != "string") return;
    // "uci" lists an empty string as "<empty>", and interfaces send that text back: it stands for
    // the empty string in every string option.
    const std::string text = value == EMPTY_STRING_TEXT ? std::string() : value;
    if (option.stringAction) option.stringAction(text, option.stringValue);
    else if (option.stringValue) *option.stringValue = text;
}

void pressOptionButton(UCIOption& option) {
    if (option.type == "button" && option.buttonAction) option.buttonAction();
}

bool parseOptionInt(const std::string& text, int& value) {
    size_t i = text.find_first_not_of(" \t");
    if (i == std::string::npos) return false;
    bool negative = false;
    if (text[i] == '+' || text[i] == '-') negative = text[i++] == '-';
    if (i >= text.size() || !std::isdigit(static_cast<unsigned char>(text[i]))) return false;
    long long magnitude = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i)
        magnitude = std::min(magnitude * 10 + (text[i] - '0'), (long long)INT_MAX + 1);
    long long signedValue = negative ? -magnitude : magnitude;
    value = int(std::clamp(signedValue, (long long)INT_MIN, (long long)INT_MAX));
    return true;
}

bool parseOptionUint64(const std::string& text, uint64_t& value) {
    size_t i = text.find_first_not_of(" \t");
    if (i == std::string::npos || !std::isdigit(static_cast<unsigned char>(text[i]))) return false;
    uint64_t result = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        uint64_t digit = uint64_t(text[i] - '0');
        result = result > (UINT64_MAX - digit) / 10 ? UINT64_MAX : result * 10 + digit;
    }
    value = result;
    return true;
}

void applySetOption(const std::string& name, const std::string& value) {
    auto found = uciOptions.find(name);
    if (found == uciOptions.end()) {
        printf("info string %s not recognized\n", name.c_str());
        fflush(stdout);
        return;
    }
    UCIOption& option = found->second;
    const std::string& type = option.type;
    if (type == "button") {
        pressOptionButton(option);
    } else if (type == "check" || type == "spin") {
        std::string text = trimmedRight(value);
        int number = 0;
        if (type == "check" && text == "true") number = 1;
        else if (type == "check" && text == "false") number = 0;
        else if (!parseOptionInt(text, number)) {
            // A missing or non-numeric value would silently become 0 (a zero-sized hash table, no
            // threads); leave the option as it is instead.
            printf("info string %s needs a number, \"%s\" ignored\n", found->first.c_str(), value.c_str());
            fflush(stdout);
            return;
        }
        setOptionInt(option, number);
    } else if (type == "spin64") {
        uint64_t number = 0;
        if (!parseOptionUint64(trimmedRight(value), number)) {
            printf("info string %s needs a number, \"%s\" ignored\n", found->first.c_str(), value.c_str());
            fflush(stdout);
            return;
        }
        setOptionUint64(option, number);
    } else if (type == "string") {
        setOptionString(option, value);
    }

    // The per-thread tables never get more memory than the transposition table. A "Hash" below 1
    // (handed to its action unclamped) still leaves them their smallest size.
    int tableMemoryCap = std::max(optHash.load(), 1);
    if (optTableMemory > tableMemoryCap) optTableMemory = tableMemoryCap;

    if (searching) deferOptionEffects();
    else applyOptionEffects();
}

namespace {

// Restarts the thread pool when the thread count (if `threadCountNow`) or the per-thread table
// memory differs from what runs, and says so when the number of threads changed. A restart for
// the table memory alone takes the requested thread count with it.
void resizePoolIfNeeded(bool threadCountNow) {
    const int running = poolThreadSetting();
    const bool threadsChanged = threadCountNow && std::clamp(optThreads.load(), 1, MAX_THREADS) != running;
    const bool memoryChanged = optTableMemory != appliedTableMemory;
    if (!threadsChanged && !memoryChanged) return;
    appliedTableMemory = optTableMemory;
    resizePool();
    if (poolThreadSetting() != running) {
        printf("info string Threads now set to %d\n", poolThreadSetting());
        fflush(stdout);
    }
}

} // namespace

void applyOptionEffects() {
    buildEvaluationTables();
    resizePoolIfNeeded(true);
}

void applyOptionEffectsAfterSearch() {
    buildEvaluationTables();
    // A thread count changed during the search is applied by the next search's start.
    resizePoolIfNeeded(false);
}
