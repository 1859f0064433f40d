#include "test_support.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "uci/startup.h"

namespace {
class EngineEnvironment : public ::testing::Environment {
  public:
    void SetUp() override { initializeEngine(); }
};
const auto* const environment = ::testing::AddGlobalTestEnvironment(new EngineEnvironment);

double monotonicSeconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}
} // namespace

std::string dataDir() {
    const char* env = std::getenv("TARVOLO_DATA_DIR");
    return env && *env ? std::string(env) : std::string(TARVOLO_DEFAULT_DATA_DIR);
}

std::string dataPath(const std::string& relative) { return dataDir() + "/" + relative; }

bool dataAvailable(const std::string& relative) { return access(dataPath(relative).c_str(), R_OK) == 0; }

std::vector<std::string> readLines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

Position positionFromFen(const std::string& fen) {
    Position pos{};
    std::string error;
    bool ok = setFromFen(pos, fen, &error);
    EXPECT_TRUE(ok) << "FEN refused: " << fen << ": " << error;
    return pos;
}

std::string enginePath() {
    const char* env = std::getenv("TARVOLO_ENGINE");
    return env && *env ? std::string(env) : std::string(TARVOLO_ENGINE_PATH);
}

EngineProcess::EngineProcess(const std::vector<std::string>& args) {
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0) return;
    signal(SIGPIPE, SIG_IGN);
    pid_ = fork();
    if (pid_ == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        close(in[0]);
        close(in[1]);
        close(out[0]);
        close(out[1]);
        std::string path = enginePath();
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(path.c_str()));
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(path.c_str(), argv.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    toChild_ = in[1];
    fromChild_ = out[0];
}

EngineProcess::~EngineProcess() {
    if (toChild_ >= 0) close(toChild_);
    if (pid_ > 0 && !exited_) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    if (fromChild_ >= 0) close(fromChild_);
}

void EngineProcess::send(const std::string& line) {
    if (toChild_ < 0) return;
    std::string data = line + "\n";
    ssize_t written = write(toChild_, data.data(), data.size());
    (void)written;
}

void EngineProcess::closeInput() {
    if (toChild_ >= 0) close(toChild_);
    toChild_ = -1;
}

bool EngineProcess::readLine(std::string& line, double timeoutSeconds) {
    double deadline = monotonicSeconds() + timeoutSeconds;
    for (;;) {
        size_t nl = buffer_.find('\n');
        if (nl != std::string::npos) {
            line = buffer_.substr(0, nl);
            buffer_.erase(0, nl + 1);
            return true;
        }
        double left = deadline - monotonicSeconds();
        if (left <= 0 || fromChild_ < 0) return false;
        pollfd pfd{fromChild_, POLLIN, 0};
        int r = poll(&pfd, 1, int(left * 1000) + 1);
        if (r <= 0) continue;
        char chunk[4096];
        ssize_t n = read(fromChild_, chunk, sizeof chunk);
        if (n <= 0) {
            if (!buffer_.empty()) {
                line = buffer_;
                buffer_.clear();
                return true;
            }
            return false;
        }
        buffer_.append(chunk, size_t(n));
    }
}

bool EngineProcess::waitFor(const std::string& prefix, std::string* found, double timeoutSeconds,
                            std::vector<std::string>* seen) {
    double deadline = monotonicSeconds() + timeoutSeconds;
    std::string line;
    while (readLine(line, deadline - monotonicSeconds())) {
        if (seen) seen->push_back(line);
        if (line.compare(0, prefix.size(), prefix) == 0) {
            if (found) *found = line;
            return true;
        }
    }
    return false;
}

int EngineProcess::wait(double timeoutSeconds) {
    if (exited_) return status_;
    double deadline = monotonicSeconds() + timeoutSeconds;
    while (monotonicSeconds() < deadline) {
        int st = 0;
        pid_t r = waitpid(pid_, &st, WNOHANG);
        if (r == pid_) {
            exited_ = true;
            status_ = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
            return status_;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    exited_ = true;
    return -1;
}

EngineResult runEngine(const std::string& input, const std::vector<std::string>& args, double timeoutSeconds) {
    EngineProcess engine(args);
    engine.send(input);
    engine.closeInput();
    EngineResult result;
    std::string line;
    double deadline = monotonicSeconds() + timeoutSeconds;
    while (engine.readLine(line, deadline - monotonicSeconds())) result.output += line + "\n";
    result.status = engine.wait(std::max(0.1, deadline - monotonicSeconds()));
    return result;
}
