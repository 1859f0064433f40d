#include "uci/log.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>

#include "uci/clock.h"
#include "uci/settings.h"

namespace {
constexpr size_t LOG_MESSAGE_BYTES = 256; // a message is cut to 255 characters

FILE* logFile = nullptr;
std::mutex logMutex; // the input thread and the main thread both write
} // namespace

void logPrintf(const char* format, ...) {
    std::lock_guard<std::mutex> lock(logMutex);
    if (!logFile) return;
    char buffer[LOG_MESSAGE_BYTES];
    va_list args;
    va_start(args, format);
    int length = vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    // A message cut to the buffer still ends its line, so that the next entry starts a line of
    // its own.
    if (length >= int(sizeof buffer)) buffer[sizeof buffer - 2] = '\n';
    fprintf(logFile, "%10.3f %s", nowSeconds() - startTime, buffer);
    fflush(logFile);
}

void setLogFile(const std::string& name) {
    std::lock_guard<std::mutex> lock(logMutex);
    optLogFile = name == "<empty>" ? std::string() : name;
    if (logFile) {
        fclose(logFile);
        logFile = nullptr;
    }
    if (optLogFile.empty()) return;
    printf("info string Log file is %s\n", optLogFile.c_str());
    fflush(stdout);
    logFile = fopen(optLogFile.c_str(), "a+");
}

bool logIsOpen() {
    std::lock_guard<std::mutex> lock(logMutex);
    return logFile != nullptr;
}
