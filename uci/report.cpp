// The "info" lines that report a search to the interface, and their copy in the log.
#include "uci/report.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "board/movetext.h"
#include "search/search_state.h"
#include "search/thread_data.h"
#include "tt/tt.h"
#include "uci/clock.h"
#include "uci/log.h"

namespace {

constexpr int NO_TB_ROOT_SCORE = 2147483647;
constexpr int MATE_REPORT_THRESHOLD = 31800; // at and beyond this a score is a mate in n
constexpr int TB_REPORT_THRESHOLD = 31700;   // with a tablebase result fixed at the root
constexpr int TB_MATE_REPORT = 1000;         // "mate 1000": won or lost by the tablebase
constexpr int CP_REPORT_LIMIT = 25000;
constexpr int MAX_REPORTED_MOVES = 64;
constexpr size_t LOG_VARIATION_CHARS = 31;

const char* const BOUND_WORDS[3] = {"", " lowerbound", " upperbound"};
const char* const BOUND_MARKS[3] = {"--", "FH", "FL"};

int boundIndex(int bound) { return bound == 1 || bound == 2 ? bound : 0; }

void emit(const std::string& line) {
    fputs(line.c_str(), stdout);
    fflush(stdout);
}

// Time, nodes and speed of the running search, as the reports print them.
struct Progress {
    unsigned long long milliseconds;
    unsigned long long nodes;
    unsigned long long nps;
};

Progress progress() {
    const double elapsed = elapsedSeconds();
    const uint64_t nodes = totalNodes();
    return {(unsigned long long)(elapsed * 1000), (unsigned long long)nodes,
            (unsigned long long)(double(nodes) / elapsed)};
}

std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* fmt, ...) {
    char buffer[160];
    va_list args;
    va_start(args, fmt);
    vsnprintf(buffer, sizeof buffer, fmt, args);
    va_end(args);
    return buffer;
}

} // namespace

std::string logVariationText(const std::string& variation) {
    // At most 31 characters, cut at the last blank no later than the second-to-last character.
    std::string cut = variation.substr(0, LOG_VARIATION_CHARS);
    if (cut.size() >= 2) {
        size_t blank = cut.rfind(' ', cut.size() - 2);
        if (blank != std::string::npos) cut.resize(blank);
    }
    return cut;
}

double elapsedSeconds() {
    const double elapsed = nowSeconds() - searchStart;
    return elapsed >= 0.001 ? elapsed : 0.001;
}

std::string scoreText(int score, int bound, int* used) {
    if (tbRootScore != NO_TB_ROOT_SCORE) {
        // A result fixed by the tablebases at the root overrides ordinary scores, without bounds.
        bound = 0;
        if (std::abs(score) < MATE_REPORT_THRESHOLD) score = tbRootScore;
    }
    if (used) *used = score;
    const int a = std::abs(score);
    std::string text;
    if (a >= MATE_REPORT_THRESHOLD) {
        const int movesToMate = score < 0 ? -((31999 - a) / 2) - 1 : (MATE_SCORE - score) / 2 + 1;
        text = "mate " + std::to_string(movesToMate);
    } else if (tbRootScore == NO_TB_ROOT_SCORE || a < TB_REPORT_THRESHOLD) {
        const int cp = score < -CP_REPORT_LIMIT ? -CP_REPORT_LIMIT : score > CP_REPORT_LIMIT ? CP_REPORT_LIMIT : score;
        text = "cp " + std::to_string(cp);
    } else {
        text = "mate " + std::to_string(score < 0 ? -TB_MATE_REPORT : TB_MATE_REPORT);
    }
    return text + BOUND_WORDS[boundIndex(bound)];
}

std::string variationText(const Move* pv) {
    std::string text;
    if (!pv) return text;
    char move[8];
    for (int i = 0; i < MAX_REPORTED_MOVES && pv[i] != NO_MOVE; ++i) {
        moveToText(pv[i], move);
        text += move;
        text += ' ';
    }
    return text;
}

void reportIterationStart(int depth) {
    if (depth < 1) return;
    const Progress p = progress();
    emit(format("info depth %d time %llu nodes %llu nps %llu hashfull %d\n", depth, p.milliseconds, p.nodes, p.nps,
                hashfull()));
}

void reportFinal() {
    const Progress p = progress();
    emit(format("info time %llu nodes %llu nps %llu hashfull %d\n", p.milliseconds, p.nodes, p.nps, hashfull()));
}

void reportPv(int depth, int score, int bound, const Move* pv) {
    if (depth < 1) return;
    const Progress p = progress();
    int used = score;
    const std::string scoreWords = scoreText(score, bound, &used);
    const std::string variation = variationText(pv);
    emit(format("info depth %d time %llu nodes %llu score ", depth, p.milliseconds, p.nodes) + scoreWords +
         format(" nps %llu hashfull %d tbhits %llu pv ", p.nps, hashfull(),
                (unsigned long long)tbHits.load(std::memory_order_relaxed)) +
         variation + "\n");
    if (logIsOpen())
        logPrintf("info: %3d %8.2f %8d %s  %s\n", depth, elapsedSeconds(), used, BOUND_MARKS[boundIndex(bound)],
                  logVariationText(variation).c_str());
}

void reportMultiPv(int line, int depth, int score, const Move* pv) {
    if (depth < 1) return;
    const Progress p = progress();
    emit(format("info multipv %d depth %d time %llu nodes %llu score ", line, depth, p.milliseconds, p.nodes) +
         scoreText(score, 0) +
         format(" nps %llu tbhits %llu pv ", p.nps, (unsigned long long)tbHits.load(std::memory_order_relaxed)) +
         variationText(pv) + "\n");
}

void reportCurrMove(Move move, int number) {
    char text[8];
    moveToText(move, text);
    emit(format("info currmove %s currmovenumber %d\n", text, number));
}
