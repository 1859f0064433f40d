#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <random>
#include <sstream>

#include "board/movetext.h"
#include "book/book.h"
#include "book/book_reader.h"
#include "book_fixtures.h"
#include "test_support.h"
#include "uci/settings.h"

namespace {
const char* const AFTER_E4 = "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1";

uint64_t startKey() { return polyglotKey(positionFromFen(startFen)); }

// The probe prints progress lines; the tests keep them out of their own output and may read them.
struct ProbeResult {
    int count = 0;
    std::vector<BookCandidate> candidates;
    std::string output;
};

ProbeResult candidatesOf(FILE* file, const Position& pos) {
    ProbeResult result;
    BookCandidate buffer[MAX_BOOK_CANDIDATES];
    testing::internal::CaptureStdout();
    result.count = readBookCandidates(file, pos, buffer);
    result.output = testing::internal::GetCapturedStdout();
    result.candidates.assign(buffer, buffer + result.count);
    return result;
}

Move probeQuietly(FILE* file, const Position& pos) {
    testing::internal::CaptureStdout();
    Move move = probeBookStream(file, pos);
    testing::internal::GetCapturedStdout();
    return move;
}

// Probes `bytes` as a book through a watched stream.
struct StreamProbe {
    ProbeResult result;
    long long furthestRead = 0;
};

StreamProbe probeBytes(const std::string& bytes, const Position& pos) {
    WatchedStream stream;
    stream.bytes = bytes;
    openWatchedStream(stream);
    StreamProbe probe;
    probe.result = candidatesOf(stream.file, pos);
    probe.furthestRead = stream.furthestRead;
    fclose(stream.file);
    return probe;
}

std::string movesText(const std::vector<BookCandidate>& candidates) {
    std::string text;
    for (const BookCandidate& c : candidates)
        text += moveToString(c.move) + ":" + std::to_string(c.weight) + " ";
    return text;
}

struct BestBookLine {
    explicit BestBookLine(int on) : saved(optBestBookLine.load()) { optBestBookLine = on; }
    ~BestBookLine() { optBestBookLine = saved; }
    int saved;
};
} // namespace

// Every listed position of the real book gives exactly its records as candidates, in file order,
// with castling returned as the engine's castling move.
TEST(BookProbe, SmallBookGivesTheListedCandidates) {
    REQUIRE_DATA("book/small.bin");
    REQUIRE_DATA("book/expected.tsv");
    // FEN -> expected "move:weight " list, in the order of the file.
    std::vector<std::string> order;
    std::map<std::string, std::string> expected;
    for (const std::string& line : readLines(dataPath("book/expected.tsv"))) {
        std::istringstream fields(line);
        std::string fen, move, weight;
        std::getline(fields, fen, '\t');
        std::getline(fields, move, '\t');
        std::getline(fields, weight, '\t');
        if (!expected.count(fen)) order.push_back(fen);
        expected[fen] += move + ":" + weight + " ";
    }
    ASSERT_EQ(order.size(), size_t(32));

    FILE* book = fopen(dataPath("book/small.bin").c_str(), "rb");
    ASSERT_NE(book, nullptr);
    for (const std::string& fen : order) {
        Position pos = positionFromFen(fen);
        ProbeResult probe = candidatesOf(book, pos);
        EXPECT_EQ(movesText(probe.candidates), expected[fen]) << fen;
        std::vector<Move> legal = legalMoves(pos);
        for (const BookCandidate& c : probe.candidates)
            EXPECT_NE(std::find(legal.begin(), legal.end(), c.move), legal.end()) << fen;
    }
    fclose(book);
}

TEST(BookProbe, CastlingRecordGivesTheCastlingMove) {
    REQUIRE_DATA("book/castle.bin");
    REQUIRE_DATA("book/castle.fen");
    std::string line = readLines(dataPath("book/castle.fen")).at(0);
    std::string fen = line.substr(0, line.find('\t'));
    std::string expectedText = line.substr(line.find('\t') + 1);

    FILE* book = fopen(dataPath("book/castle.bin").c_str(), "rb");
    ASSERT_NE(book, nullptr);
    Move move = probeQuietly(book, positionFromFen(fen));
    fclose(book);
    EXPECT_EQ(moveToString(move), expectedText);
    EXPECT_EQ(moveFlag(move), CASTLING);
}

// A synthetic book for each castling: the record (king takes rook) becomes the castling move,
// written with the king's destination in the standard game and as stored with Chess960 on.
TEST(BookProbe, EveryCastlingRecordIsMatched) {
    struct Case {
        const char* fen;
        const char* stored;
        bool chess960;
        const char* played;
    } cases[] = {
        {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", "e1h1", false, "e1g1"},
        {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", "e1a1", false, "e1c1"},
        {"r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1", "e8h8", false, "e8g8"},
        {"r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1", "e8a8", false, "e8c8"},
        {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", "e1h1", true, "e1h1"},
        {"r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1", "e8a8", true, "e8a8"},
    };
    for (const Case& c : cases) {
        optChess960 = c.chess960;
        Position pos = positionFromFen(c.fen);
        StreamProbe probe = probeBytes(bookBytes({{polyglotKey(pos), bookMove(c.stored), 1}}), pos);
        optChess960 = 0;
        ASSERT_EQ(probe.result.count, 1) << c.fen << " " << c.stored << " chess960 " << c.chess960;
        optChess960 = c.chess960;
        EXPECT_EQ(moveToString(probe.result.candidates[0].move), c.played);
        optChess960 = 0;
        EXPECT_EQ(moveFlag(probe.result.candidates[0].move), CASTLING);
    }
}

// One record that cannot be played discards every record of the position; a record of weight 0
// is skipped before it is looked at.
TEST(BookProbe, UnplayableRecordsDiscardThePosition) {
    const uint64_t key = startKey();
    const RawRecord good = {key, bookMove("e2e4"), 5};
    struct Case {
        const char* name;
        RawRecord other;
        int expectedCount;
    } cases[] = {
        {"illegal move", {key, bookMove("d2d5"), 1}, 0},
        {"origin equals destination", {key, bookMove("e2e2"), 1}, 0},
        {"promotion letter on a pawn push", {key, bookMove("e2e4q"), 1}, 0},
        {"promotion code 5", {key, uint16_t(bookMove("d2d4") | (5 << 12)), 1}, 0},
        {"promotion code 7", {key, uint16_t(bookMove("d2d4") | (7 << 12)), 1}, 0},
        {"bit 15 set", {key, uint16_t(bookMove("d2d4") | 0x8000), 1}, 0},
        {"castling without the right", {key, bookMove("e1h1"), 1}, 0},
        {"illegal move of weight 0", {key, bookMove("d2d5"), 0}, 1},
        {"garbage move of weight 0", {key, 0xffff, 0}, 1},
        {"playable second move", {key, bookMove("d2d4"), 1}, 2},
    };
    Position pos = positionFromFen(startFen);
    for (const Case& c : cases) {
        for (bool otherFirst : {false, true}) {
            std::vector<RawRecord> records = {good, c.other};
            if (otherFirst) std::swap(records[0], records[1]);
            StreamProbe probe = probeBytes(bookBytes(records), pos);
            EXPECT_EQ(probe.result.count, c.expectedCount)
                << c.name << (otherFirst ? " (first)" : " (second)");
        }
    }

    StreamProbe allZero =
        probeBytes(bookBytes({{key, bookMove("e2e4"), 0}, {key, bookMove("d2d4"), 0}}), pos);
    EXPECT_EQ(allZero.result.count, 0);
    EXPECT_EQ(probeQuietly(nullptr, pos), Move(0));
}

// Positions outside the book answer 0, and no probe reads past the last whole record, even when a
// trailing partial record would match.
TEST(BookProbe, NeverReadsPastTheLastWholeRecord) {
    REQUIRE_DATA("polyglot/keys.tsv");
    const uint64_t key = startKey();
    std::string tail = bookBytes({{key, bookMove("d2d4"), 1}}).substr(0, 15);
    std::string oneRecord = bookBytes({{key, bookMove("e2e4"), 1}}) + tail;

    Position start = positionFromFen(startFen);
    StreamProbe inBook = probeBytes(oneRecord, start);
    ASSERT_EQ(inBook.result.count, 1);
    EXPECT_EQ(moveToString(inBook.result.candidates[0].move), "e2e4");
    EXPECT_LE(inBook.furthestRead, 16);

    // The reference positions have keys on both sides of the start position's.
    int below = 0, above = 0;
    for (const std::string& line : readLines(dataPath("polyglot/keys.tsv"))) {
        Position pos = positionFromFen(line.substr(0, line.find('\t')));
        uint64_t probedKey = polyglotKey(pos);
        if (probedKey == key) continue;
        ++(probedKey < key ? below : above);
        StreamProbe probe = probeBytes(oneRecord, pos);
        EXPECT_EQ(probe.result.count, 0) << line;
        EXPECT_LE(probe.furthestRead, 16) << line;
        EXPECT_EQ(probe.result.output, "Checking book\nStill Checking book\n") << line;
    }
    EXPECT_GT(below, 0);
    EXPECT_GT(above, 0);

    // A book whose last records belong to the probed position: collecting stops at the end.
    std::string twoPositions =
        bookBytes({{0x0123, bookMove("e2e4"), 1}, {key, bookMove("e2e4"), 1}, {key, bookMove("g1f3"), 2}}) +
        tail;
    StreamProbe atEnd = probeBytes(twoPositions, start);
    EXPECT_EQ(movesText(atEnd.result.candidates), "e2e4:1 g1f3:2 ");
    EXPECT_LE(atEnd.furthestRead, 48);
}

TEST(BookProbe, PrintsItsProgressLines) {
    // Seven records of one position: the search lands on record 3 and backs up to record 0.
    const uint64_t key = startKey();
    std::vector<RawRecord> records;
    for (const char* move : {"a2a3", "b2b3", "c2c3", "d2d3", "e2e3", "f2f3", "g2g3"})
        records.push_back({key, bookMove(move), 1});
    StreamProbe probe = probeBytes(bookBytes(records), positionFromFen(startFen));
    EXPECT_EQ(probe.result.count, 7);
    EXPECT_EQ(probe.result.output, "Checking book\n"
                                   "Still Checking book\n"
                                   "Found entry or entries\n"
                                   "found record 2\n"
                                   "found record 1\n"
                                   "found record 0\n");

    StreamProbe empty = probeBytes("", positionFromFen(startFen));
    EXPECT_EQ(empty.result.count, 0);
    EXPECT_EQ(empty.result.output, "Checking book\n");
}

TEST(BookProbe, WeightsDecideTheChoice) {
    REQUIRE_DATA("book/two-moves.bin");
    FILE* book = fopen(dataPath("book/two-moves.bin").c_str(), "rb");
    ASSERT_NE(book, nullptr);
    Position start = positionFromFen(startFen);
    srand(20240611);

    const int probes = 4000;
    int e4 = 0;
    {
        BestBookLine off(0);
        for (int i = 0; i < probes; ++i) {
            std::string text = moveToString(probeQuietly(book, start));
            ASSERT_TRUE(text == "e2e4" || text == "d2d4") << text;
            e4 += text == "e2e4";
        }
    }
    // 3 in 4 expected; the bounds are about five standard deviations wide.
    EXPECT_NEAR(double(e4) / probes, 0.75, 0.035);

    {
        BestBookLine on(1);
        for (int i = 0; i < 200; ++i) ASSERT_EQ(moveToString(probeQuietly(book, start)), "e2e4");
    }
    fclose(book);

    // Equal heaviest weights all stay candidates with "Best Book Line"; lighter ones never come.
    BestBookLine on(1);
    uint64_t key = startKey();
    std::string bytes = bookBytes({{key, bookMove("g1f3"), 1},
                                   {key, bookMove("e2e4"), 2},
                                   {key, bookMove("c2c4"), 1},
                                   {key, bookMove("d2d4"), 2}});
    std::map<std::string, int> seen;
    for (int i = 0; i < 400; ++i) {
        WatchedStream stream;
        stream.bytes = bytes;
        openWatchedStream(stream);
        ++seen[moveToString(probeQuietly(stream.file, start))];
        fclose(stream.file);
    }
    EXPECT_EQ(seen.size(), size_t(2));
    EXPECT_GT(seen["e2e4"], 100);
    EXPECT_GT(seen["d2d4"], 100);
}

// Whatever the file holds, a probe answers 0 or one of the position's legal moves.
TEST(BookProbe, GarbageBooksGiveNoMoveOrALegalOne) {
    REQUIRE_DATA("book/small.bin");
    REQUIRE_DATA("book/expected.tsv");
    std::mt19937_64 random(7);
    auto randomBytes = [&](size_t n) {
        std::string bytes(n, '\0');
        for (char& b : bytes) b = char(random());
        return bytes;
    };
    std::vector<Position> positions = {positionFromFen(startFen), positionFromFen(AFTER_E4)};
    for (const std::string& line : readLines(dataPath("book/expected.tsv")))
        positions.push_back(positionFromFen(line.substr(0, line.find('\t'))));
    const uint64_t key = startKey();

    std::vector<std::pair<std::string, std::string>> books;
    for (size_t size : {1, 15, 17, 160, 1607})
        books.push_back({"random " + std::to_string(size), randomBytes(size)});

    // Every record carries the start position's key, with random moves and weights.
    std::vector<RawRecord> sameKey;
    for (int i = 0; i < 500; ++i) sameKey.push_back({key, uint16_t(random()), uint16_t(random() % 3)});
    books.push_back({"random records of one position", bookBytes(sameKey)});

    // More records of one position than it has moves: only a broken book has that.
    books.push_back(
        {"one record repeated", bookBytes(std::vector<RawRecord>(MAX_BOOK_CANDIDATES + 1, {key, bookMove("e2e4"), 1}))});

    // The real book with its records in reverse order, then shuffled.
    std::string small = readFileBytes(dataPath("book/small.bin"));
    std::string reversed;
    for (size_t at = small.size(); at >= 16; at -= 16) reversed += small.substr(at - 16, 16);
    books.push_back({"reversed", reversed});
    std::vector<std::string> records;
    for (size_t at = 0; at + 16 <= small.size(); at += 16) records.push_back(small.substr(at, 16));
    std::shuffle(records.begin(), records.end(), random);
    std::string shuffled;
    for (const std::string& r : records) shuffled += r;
    books.push_back({"shuffled", shuffled});

    for (const auto& [name, bytes] : books) {
        for (const Position& pos : positions) {
            WatchedStream stream;
            stream.bytes = bytes;
            openWatchedStream(stream);
            Move move = probeQuietly(stream.file, pos);
            fclose(stream.file);
            EXPECT_LE(stream.furthestRead, (long long)(bytes.size() / 16 * 16)) << name;
            if (move == 0) continue;
            std::vector<Move> legal = legalMoves(pos);
            EXPECT_NE(std::find(legal.begin(), legal.end(), move), legal.end())
                << name << ": " << moveToString(move) << " in " << toFen(pos);
        }
    }
    StreamProbe repeated = probeBytes(books[6].second, positions[0]);
    EXPECT_EQ(repeated.result.count, 0);
}

// A seek or read that fails on a book that opened well ends the program with status 1 and the
// failing step's message.
TEST(BookProbeDeathTest, StreamFailuresEndTheProgram) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const uint64_t key = startKey();
    // Record 0 belongs to another position, records 1 and 2 to the start position: the search lands
    // on record 1 (offset 16), backs up to record 0 (offset 0) and collects records 1 and 2.
    const std::string bytes =
        bookBytes({{0x0123, bookMove("e2e4"), 1}, {key, bookMove("e2e4"), 1}, {key, bookMove("d2d4"), 1}});
    struct Case {
        const char* name;
        bool failEnd;
        long long failSeekTo;
        long long failReadAt;
        const char* message;
    } cases[] = {
        {"size", true, -1, -1, "Input/output error\nError with initial fseek of opening book\n"},
        {"search seek", false, 16, -1, "Input/output error\nError with fseek in binary search\n"},
        {"back-up seek", false, 0, -1, "Input/output error\nError with fseek in back up\n"},
        {"collection seek", false, 32, -1, "Input/output error\nError with fseek in collection\n"},
        {"search read", false, -1, 16, "Error with fread opening book\n"},
        {"back-up read", false, -1, 0, "Error with fread opening book\n"},
        {"collection read", false, -1, 32, "Error with fread opening book\n"},
    };
    Position start = positionFromFen(startFen);
    for (const Case& c : cases) {
        WatchedStream stream;
        stream.bytes = bytes;
        stream.failSeekToEnd = c.failEnd;
        stream.failSeekTo = c.failSeekTo;
        stream.failReadAt = c.failReadAt;
        openWatchedStream(stream);
        EXPECT_EXIT(probeBookStream(stream.file, start), testing::ExitedWithCode(1), c.message) << c.name;
        fclose(stream.file);
    }
}

TEST(RandomBelow, StaysInRangeAndIsUniform) {
    srand(99);
    for (int n : {-3, 0, 1}) EXPECT_EQ(randomBelow(n), 0);
    for (int n : {2, 3, 5, 6, 1000, 65537, 16000000}) {
        for (int i = 0; i < 2000; ++i) {
            int value = randomBelow(n);
            ASSERT_GE(value, 0);
            ASSERT_LT(value, n);
        }
    }
    // Five values (mask 7, so three draws in eight are retried): each about a fifth of the time.
    const int draws = 50000;
    int counts[5] = {};
    for (int i = 0; i < draws; ++i) ++counts[randomBelow(5)];
    for (int count : counts) EXPECT_NEAR(double(count) / draws, 0.2, 0.01);
}
