#include "uci/input.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <thread>

#include "search/thread_data.h"
#include "search/thread_pool.h"
#include "uci/game.h"
#include "uci/log.h"
#include "uci/protocol.h"

std::atomic<bool> quitRequested{false};

namespace {

// The input queue and the wake-up of the main loop, shared with the input thread. They are never
// destroyed: the program may end (a fatal error, or a reader still waiting for input) while the
// reader thread runs, and it must never find them gone.
struct InputChannel {
    std::deque<std::string> queue;
    std::mutex inputMutex;
    // lineAvailable is one boolean: several queued lines may be signalled once, so the main loop
    // only waits while the queue is empty.
    std::mutex wakeMutex;
    std::condition_variable wakeCondition;
    bool lineAvailable = false;
    std::thread reader;
};
InputChannel& channel = *new InputChannel;

// Mirrors the queue's length so that the search's poll can test for a waiting line without
// taking the lock.
std::atomic<int> queuedLines{0};

// Set by the reader before it queues its last line or gives up on end of input, so that whoever
// acts on that line knows the reader is about to finish and can be joined.
std::atomic<bool> inputEnding{false};

bool firstCommand = true;
bool quitCommandSeen = false;
int commandDepth = 0; // nesting of processCommand: the search serves lines from inside a "go"

void wakeMainLoop() {
    std::lock_guard<std::mutex> lock(channel.wakeMutex);
    channel.lineAvailable = true;
    channel.wakeCondition.notify_one();
}

// Standard input is read with read(2), not through stdio: a reader blocked inside stdio holds the
// stream's lock, and exit() from another thread (a fatal error, or "quit") would wait for it.
struct RawInput {
    char buffer[4096];
    size_t start = 0;
    size_t end = 0;
    bool finished = false;
};

// Reads one line without its line feed, keeping at most MAX_COMMAND_LENGTH characters (and none
// from a NUL byte on). False at end of input, or on a read error, with nothing read.
bool readLine(RawInput& in, std::string& line) {
    line.clear();
    bool gotAny = false;
    bool cut = false;
    for (;;) {
        if (in.start == in.end) {
            if (in.finished) return gotAny;
            ssize_t n = read(STDIN_FILENO, in.buffer, sizeof in.buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                in.finished = true;
                return gotAny;
            }
            in.start = 0;
            in.end = size_t(n);
        }
        gotAny = true;
        const char* from = in.buffer + in.start;
        const char* lineFeed = static_cast<const char*>(memchr(from, '\n', in.end - in.start));
        size_t length = lineFeed ? size_t(lineFeed - from) : in.end - in.start;
        if (!cut) {
            size_t keep = std::min(length, MAX_COMMAND_LENGTH - line.size());
            const char* nul = static_cast<const char*>(memchr(from, '\0', keep));
            if (nul) {
                keep = size_t(nul - from);
                cut = true;
            }
            line.append(from, keep);
            if (line.size() == MAX_COMMAND_LENGTH) cut = true;
        }
        in.start += lineFeed ? length + 1 : length;
        if (lineFeed) return true;
    }
}

void readInput() {
    static RawInput in; // the buffer is large for a thread's stack
    std::string line;
    while (readLine(in, line)) {
        if (line.empty()) continue;
        bool last = line.compare(0, 4, "quit") == 0;
        if (last) inputEnding = true;
        {
            std::lock_guard<std::mutex> lock(channel.inputMutex);
            channel.queue.push_back(line);
            queuedLines.fetch_add(1, std::memory_order_release);
        }
        logPrintf("uci inp: %s\n", line.c_str());
        if (last) break;
        wakeMainLoop();
    }
    // "quit", end of input or a read error: the program ends, and a running search ends at once.
    inputEnding = true;
    quitRequested = true;
    wakeMainLoop();
    for (StopFlag& flag : stopFlags) flag.value.store(1, std::memory_order_relaxed);
}

[[noreturn]] void shutDown() {
    bool detached = false;
    if (channel.reader.joinable()) {
        if (inputEnding) {
            channel.reader.join();
        } else {
            // "quit" came as a command the reader did not take for one (it had a leading blank):
            // the reader still waits for input, and joining it would wait for ever.
            channel.reader.detach();
            detached = true;
        }
    }
    stopPool();
    fflush(stdout);
    fflush(stderr);
    if (!detached) exit(0);
    // The detached reader may still queue and log a line: end without closing the log or running
    // destructors under it.
    _Exit(0);
}

bool popLine(std::string& line) {
    std::lock_guard<std::mutex> lock(channel.inputMutex);
    if (channel.queue.empty()) return false;
    line = std::move(channel.queue.front());
    channel.queue.pop_front();
    queuedLines.fetch_sub(1, std::memory_order_release);
    return true;
}

} // namespace

void requestQuit() {
    quitCommandSeen = true;
    quitRequested = true;
}

bool inputPending() { return queuedLines.load(std::memory_order_acquire) > 0; }

void queueInputLine(const std::string& line) {
    {
        std::lock_guard<std::mutex> lock(channel.inputMutex);
        channel.queue.push_back(line);
        queuedLines.fetch_add(1, std::memory_order_release);
    }
    wakeMainLoop();
}

void processCommand() {
    if (firstCommand) {
        firstCommand = false;
        setStartPosition();
    }
    // After "quit" or the end of input, the lines read before it are still executed in order; the
    // program ends once they are done (or at once after a "quit" command).
    if (quitRequested && (quitCommandSeen || !inputPending())) shutDown();
    std::string line;
    if (!popLine(line)) return;
    ++commandDepth;
    executeCommand(line);
    --commandDepth;
    // Work a search deferred runs as soon as no search is in progress, whoever ended it.
    if (commandDepth == 0) runDeferredCommands();
}

void runInputLoop() {
    channel.reader = std::thread(readInput);
    for (;;) {
        if (!inputPending() && !quitRequested) {
            std::unique_lock<std::mutex> lock(channel.wakeMutex);
            channel.wakeCondition.wait(lock, [] { return channel.lineAvailable; });
            channel.lineAvailable = false;
        }
        processCommand();
    }
}
