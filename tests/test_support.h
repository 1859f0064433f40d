// Shared helpers of the unit tests: reference data location, positions from FEN, and a driver for
// the engine program as a child process.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "board/position.h"

// Directory of the reference data: $TARVOLO_DATA_DIR, else ../shared/data beside the repository.
std::string dataDir();
std::string dataPath(const std::string& relative);
bool dataAvailable(const std::string& relative);

#define REQUIRE_DATA(relative)                                                                       \
    do {                                                                                             \
        if (!dataAvailable(relative))                                                                \
            GTEST_SKIP() << "reference data not found: " << dataPath(relative)                        \
                         << " (set TARVOLO_DATA_DIR to the data directory)";                         \
    } while (0)

// Reads a text file into lines (without line ends).
std::vector<std::string> readLines(const std::string& path);

// A position set from FEN; fails the current test when the FEN is refused.
Position positionFromFen(const std::string& fen);

// Path of the built engine program.
std::string enginePath();

// The engine program as a child process with pipes on its standard input and output.
class EngineProcess {
  public:
    explicit EngineProcess(const std::vector<std::string>& args = {});
    ~EngineProcess();
    EngineProcess(const EngineProcess&) = delete;
    EngineProcess& operator=(const EngineProcess&) = delete;

    void send(const std::string& line);  // appends a newline
    void closeInput();
    // Next output line, or false when none arrives within the timeout or the output ended.
    bool readLine(std::string& line, double timeoutSeconds = 10);
    // Reads lines until one starts with `prefix`; every line read is appended to `seen` if given.
    bool waitFor(const std::string& prefix, std::string* found = nullptr, double timeoutSeconds = 10,
                 std::vector<std::string>* seen = nullptr);
    // Waits for the process to end; returns its exit status, or -1 on timeout (then kills it).
    int wait(double timeoutSeconds = 10);

  private:
    int pid_ = -1;
    int toChild_ = -1;
    int fromChild_ = -1;
    std::string buffer_;
    bool exited_ = false;
    int status_ = -1;
};

// Runs the engine with the given input closed after it and returns everything it printed.
struct EngineResult {
    std::string output;
    int status = -1;
};
EngineResult runEngine(const std::string& input, const std::vector<std::string>& args = {},
                       double timeoutSeconds = 30);
