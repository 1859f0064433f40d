#include <gtest/gtest.h>

#include "board/movetext.h"
#include "book/book.h"
#include "book_fixtures.h"
#include "test_support.h"
#include "uci/settings.h"

namespace {
class BookOptions : public ::testing::Test {
  protected:
    void TearDown() override {
        optOwnBook = 1;
        optBestBookLine = 0;
        testing::internal::CaptureStdout();
        setBookFile("tarvolo.bin");
        testing::internal::GetCapturedStdout();
        closeBook();
    }

    static std::string setQuietly(const std::string& name) {
        testing::internal::CaptureStdout();
        setBookFile(name);
        return testing::internal::GetCapturedStdout();
    }

    // The probe's move text ("0000" for none) and what it printed.
    static std::pair<std::string, std::string> probe(const Position& pos) {
        testing::internal::CaptureStdout();
        Move move = probeBook(pos);
        std::string output = testing::internal::GetCapturedStdout();
        return {moveToString(move), output};
    }
};
} // namespace

TEST_F(BookOptions, BookFileOpensTheNamedBook) {
    REQUIRE_DATA("book/two-moves.bin");
    REQUIRE_DATA("book/castle.bin");
    const std::string path = dataPath("book/two-moves.bin");
    EXPECT_EQ(setQuietly(path), "info string Book file is " + path + "\n");
    EXPECT_EQ(optBookFile, path);
    optBestBookLine = 1;
    auto [move, output] = probe(positionFromFen(startFen));
    EXPECT_EQ(move, "e2e4");
    EXPECT_EQ(output, "Checking book\nStill Checking book\nFound entry or entries\n");

    // Another name closes the first book.
    setQuietly(dataPath("book/castle.bin"));
    EXPECT_EQ(probe(positionFromFen(startFen)).first, "0000");
}

TEST_F(BookOptions, OwnBookOffMeansNoBookMove) {
    REQUIRE_DATA("book/two-moves.bin");
    setQuietly(dataPath("book/two-moves.bin"));
    optOwnBook = 0;
    auto [move, output] = probe(positionFromFen(startFen));
    EXPECT_EQ(move, "0000");
    EXPECT_EQ(output, "");

    // Switched on again, the same book plays.
    optOwnBook = 1;
    EXPECT_NE(probe(positionFromFen(startFen)).first, "0000");
}

// A book named while "OwnBook" was off opens once it is switched on.
TEST_F(BookOptions, BookNamedWhileOffOpensWhenSwitchedOn) {
    REQUIRE_DATA("book/two-moves.bin");
    optOwnBook = 0;
    setQuietly(dataPath("book/two-moves.bin"));
    EXPECT_EQ(probe(positionFromFen(startFen)).first, "0000");
    optOwnBook = 1;
    EXPECT_NE(probe(positionFromFen(startFen)).first, "0000");
}

// Names that give no readable regular file leave the book closed, silently: probes print nothing.
TEST_F(BookOptions, UnusableNamesLeaveTheBookClosed) {
    REQUIRE_DATA("book/two-moves.bin");
    const std::string names[] = {"", "/no/such/dir/book.bin", dataDir(), "/dev/null"};
    for (const std::string& name : names) {
        setQuietly(dataPath("book/two-moves.bin"));
        EXPECT_EQ(setQuietly(name), "info string Book file is " + name + "\n");
        auto [move, output] = probe(positionFromFen(startFen));
        EXPECT_EQ(move, "0000") << name;
        EXPECT_EQ(output, "") << name;
    }
}
