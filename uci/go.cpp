// The "go", "stop" and "ponderhit" commands.
#include "uci/go.h"

#include <charconv>
#include <climits>

#include "board/position.h"
#include "search/search.h"
#include "search/search_state.h"
#include "search/thread_data.h"
#include "uci/input.h"
#include "uci/settings.h"
#include "uci/timeman.h"

namespace {

constexpr int NO_DEPTH_LIMIT = 99;
constexpr int PONDER_BONUS_GOES = 2; // the ponder search and the search after it are stretched
// A "movetime" below this (zero excepted, negative included) is raised to it.
constexpr double MIN_MOVETIME = 0.001;

enum class Keyword { None, Infinite, Ponder, Wtime, Btime, Winc, Binc, Movestogo, Depth, Movetime, Nodes, Searchmoves };

Keyword keywordOf(const std::string& word) {
    static const struct {
        const char* text;
        Keyword keyword;
    } table[] = {
        {"infinite", Keyword::Infinite}, {"ponder", Keyword::Ponder},       {"wtime", Keyword::Wtime},
        {"btime", Keyword::Btime},       {"winc", Keyword::Winc},           {"binc", Keyword::Binc},
        {"movestogo", Keyword::Movestogo}, {"depth", Keyword::Depth},       {"movetime", Keyword::Movetime},
        {"nodes", Keyword::Nodes},       {"searchmoves", Keyword::Searchmoves},
    };
    for (const auto& entry : table)
        if (word == entry.text) return entry.keyword;
    return Keyword::None;
}

bool takesNumber(Keyword k) { return k != Keyword::None && k != Keyword::Infinite && k != Keyword::Ponder && k != Keyword::Searchmoves; }

// A whole word read as a decimal integer with an optional sign; values beyond the 64-bit range
// saturate.
bool readInteger(const std::string& word, long long& value) {
    const char* begin = word.data();
    const char* end = begin + word.size();
    if (begin != end && *begin == '+') ++begin;
    auto [stop, error] = std::from_chars(begin, end, value);
    if (stop != end || begin == end) return false;
    if (error == std::errc::result_out_of_range) value = *begin == '-' ? LLONG_MIN : LLONG_MAX;
    else if (error != std::errc()) return false;
    return true;
}

int clampToInt(long long v) { return v < INT_MIN ? INT_MIN : v > INT_MAX ? INT_MAX : int(v); }

} // namespace

SearchLimits parseGoLimits(const std::vector<std::string>& tokens) {
    SearchLimits limits;
    bool moveList = false;
    for (size_t i = 1; i < tokens.size(); ++i) {
        const Keyword k = keywordOf(tokens[i]);
        if (k == Keyword::None) {
            if (!moveList) break;
            limits.searchmoves += tokens[i] + " ";
            continue;
        }
        moveList = k == Keyword::Searchmoves;
        long long n = 0;
        if (takesNumber(k)) {
            if (i + 1 >= tokens.size() || !readInteger(tokens[i + 1], n)) continue;
            ++i;
        }
        switch (k) {
        case Keyword::Infinite: limits.infinite = true; break;
        case Keyword::Ponder: limits.ponder = true; break;
        case Keyword::Wtime: limits.wtime = double(n) / 1000; break;
        case Keyword::Btime: limits.btime = double(n) / 1000; break;
        case Keyword::Winc: limits.winc = double(n) / 1000; break;
        case Keyword::Binc: limits.binc = double(n) / 1000; break;
        case Keyword::Movestogo: limits.movestogo = clampToInt(n); break;
        case Keyword::Depth: limits.depth = clampToInt(n); break;
        case Keyword::Movetime: limits.movetime = double(clampToInt(n)) / 1000; break;
        case Keyword::Nodes: limits.nodes = n < 0 ? 0 : uint64_t(n); break;
        case Keyword::Searchmoves:
        case Keyword::None: break;
        }
    }
    return limits;
}

SearchTimes chooseSearchTimes(const SearchLimits& limits, bool whiteToMove, int gamePly) {
    if (limits.infinite) return {NO_DEPTH_LIMIT, NO_TIME_LIMIT, NO_TIME_LIMIT};
    if (limits.depth > 0) return {limits.depth, NO_TIME_LIMIT, NO_TIME_LIMIT};
    if (limits.movetime != 0)
        return {NO_DEPTH_LIMIT, limits.movetime > MIN_MOVETIME ? limits.movetime : MIN_MOVETIME, NO_TIME_LIMIT};
    if (limits.nodes != ~0ULL) return {NO_DEPTH_LIMIT, NO_TIME_LIMIT, NO_TIME_LIMIT};
    const double time = whiteToMove ? limits.wtime : limits.btime;
    const double increment = whiteToMove ? limits.winc : limits.binc;
    const TimeBudget budget = limits.movestogo > 0 ? allocateMovesToGo(time, limits.movestogo)
                                                   : allocateSuddenDeath(time, increment, gamePly);
    return {NO_DEPTH_LIMIT, budget.target, budget.hard};
}

void handleGo(const std::vector<std::string>& tokens, Position& current, int) {
    // A "go" read by the running search's poll is ignored whole, so that it cannot change the
    // draw score under that search either.
    if (searching.load()) return;
    drawScore = optDrawscore.load(std::memory_order_relaxed);
    if (ponderBonusCount > 0) --ponderBonusCount;
    const SearchLimits limits = parseGoLimits(tokens);
    if (limits.ponder) ponderBonusCount = PONDER_BONUS_GOES;
    pondering = limits.ponder;
    infiniteSearch = limits.infinite;
    nodeLimit = limits.nodes;
    fixedMoveTime = !limits.infinite && limits.depth <= 0 && limits.movetime != 0;
    // Analysis sees draws as they are, without the engine's own preference.
    if (limits.infinite) drawScore = 0;

    const SearchTimes times = chooseSearchTimes(limits, sideToMove(current) == WHITE, current.ply);
    think(current, times.depthLimit, limits.searchmoves, times.targetSeconds, times.hardSeconds);

    drawScore = optDrawscore.load(std::memory_order_relaxed);
    infiniteSearch = false;
    nodeLimit = ~0ULL;
    fixedMoveTime = false;
    runDeferredCommands();
}

void handleStop() { stopFlags[0].value.store(1, std::memory_order_relaxed); }

void handlePonderhit() { pondering.store(false); }
