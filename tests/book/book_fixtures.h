// Small helpers for the book tests: book files built from records, and in-memory book streams whose
// reads can be watched or made to fail.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "board/types.h"

struct Position;

struct RawRecord {
    uint64_t key;
    uint16_t move;
    uint16_t weight;
};

// The book encoding of a coordinate move ("e2e4", "e7e8q"; castling as king takes rook, "e1h1").
uint16_t bookMove(const std::string& text);

// The bytes of a book file holding the records in the given order (learn fields 0).
std::string bookBytes(const std::vector<RawRecord>& records);

// Writes bytes to a fresh file in the test's temporary directory and returns its path.
std::string writeTempFile(const std::string& name, const std::string& bytes);

std::string readFileBytes(const std::string& path);

// An in-memory stream over `bytes` that remembers how far reads went.
struct WatchedStream {
    std::string bytes;
    long long position = 0;
    long long furthestRead = 0; // end offset of the furthest byte handed out
    long long failSeekTo = -1;  // a seek to this offset from the start fails
    bool failSeekToEnd = false; // a seek relative to the end fails
    long long failReadAt = -1;  // a read starting at this offset fails
    FILE* file = nullptr;
};

// Every legal move of the position, as the move generator writes them (flags included).
std::vector<Move> legalMoves(const Position& pos);

// Opens the stream (read-only, seekable); close it with fclose(stream.file).
void openWatchedStream(WatchedStream& stream);
