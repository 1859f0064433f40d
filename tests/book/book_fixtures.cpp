#include "book_fixtures.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "board/makemove.h"
#include "board/movegen.h"
#include "board/position.h"

uint16_t bookMove(const std::string& text) {
    int from = (text[0] - 'a') + 8 * (text[1] - '1');
    int to = (text[2] - 'a') + 8 * (text[3] - '1');
    int promotion = 0;
    if (text.size() > 4) promotion = int(std::string(" nbrq").find(text[4]));
    return uint16_t(to | (from << 6) | (promotion << 12));
}

std::string bookBytes(const std::vector<RawRecord>& records) {
    std::string bytes;
    for (const RawRecord& r : records) {
        for (int shift = 56; shift >= 0; shift -= 8) bytes += char((r.key >> shift) & 0xff);
        bytes += char(r.move >> 8);
        bytes += char(r.move & 0xff);
        bytes += char(r.weight >> 8);
        bytes += char(r.weight & 0xff);
        bytes += std::string(4, '\0');
    }
    return bytes;
}

std::string writeTempFile(const std::string& name, const std::string& bytes) {
    std::string dir = ::testing::TempDir();
    if (!dir.empty() && dir.back() != '/') dir += '/';
    std::string path = dir + "tarvolo-" + std::to_string(getpid()) + "-" + name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    return path;
}

std::string readFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

std::vector<Move> legalMoves(const Position& pos) {
    Move list[MAX_MOVES];
    int generated = generateAll(pos, list);
    std::vector<Move> legal;
    Position child;
    for (int i = 0; i < generated; ++i)
        if (makeMove(pos, child, moveOnly(list[i]))) legal.push_back(moveOnly(list[i]));
    return legal;
}

namespace {
ssize_t watchedRead(void* cookie, char* buffer, size_t size) {
    auto* s = static_cast<WatchedStream*>(cookie);
    if (s->position == s->failReadAt) {
        errno = EIO;
        return -1;
    }
    long long available = (long long)s->bytes.size() - s->position;
    if (available <= 0) return 0;
    size_t n = std::min(size, size_t(available));
    std::memcpy(buffer, s->bytes.data() + s->position, n);
    s->position += (long long)n;
    s->furthestRead = std::max(s->furthestRead, s->position);
    return ssize_t(n);
}

int watchedSeek(void* cookie, off64_t* offset, int whence) {
    auto* s = static_cast<WatchedStream*>(cookie);
    long long base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? s->position : (long long)s->bytes.size();
    long long target = base + *offset;
    if ((whence == SEEK_END && s->failSeekToEnd) || (whence == SEEK_SET && target == s->failSeekTo)) {
        errno = EIO;
        return -1;
    }
    if (target < 0) {
        errno = EINVAL;
        return -1;
    }
    s->position = target;
    *offset = target;
    return 0;
}
} // namespace

void openWatchedStream(WatchedStream& stream) {
    cookie_io_functions_t functions{watchedRead, nullptr, watchedSeek, nullptr};
    stream.file = fopencookie(&stream, "rb", functions);
    ASSERT_NE(stream.file, nullptr);
    // Unbuffered, so every read the probe asks for reaches the stream and is seen.
    setvbuf(stream.file, nullptr, _IONBF, 0);
}
