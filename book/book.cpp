// The opening book: the process-wide book file, its options, and the probe that picks a move.
#include "book/book.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "board/makemove.h"
#include "board/movegen.h"
#include "board/movetext.h"
#include "book/book_format.h"
#include "book/book_reader.h"
#include "uci/regular_file.h"
#include "uci/settings.h"

namespace {
// The open book; only the main thread touches it (option actions and the driver's probe).
FILE* bookFile = nullptr;
// Set while no open of the named file has been tried with "OwnBook" on (before start-up opens the
// book, or after the name was set with "OwnBook" off): the next probe with "OwnBook" on opens it.
bool openPostponed = true;

[[noreturn]] void bookFailure(const char* message, bool withSystemText) {
    if (withSystemText) std::perror("");
    std::fputs(message, stderr);
    std::exit(1);
}

void seekRecord(FILE* file, int64_t index, const char* failureMessage) {
    if (fseeko(file, off_t(index) * BOOK_ENTRY_BYTES, SEEK_SET) != 0) bookFailure(failureMessage, true);
}

BookEntry readRecord(FILE* file) {
    unsigned char bytes[BOOK_ENTRY_BYTES];
    if (std::fread(bytes, 1, BOOK_ENTRY_BYTES, file) != BOOK_ENTRY_BYTES)
        bookFailure("Error with fread opening book\n", false);
    return decodeBookEntry(bytes);
}

BookEntry recordAt(FILE* file, int64_t index, const char* seekFailureMessage) {
    seekRecord(file, index, seekFailureMessage);
    return readRecord(file);
}

struct LegalMoves {
    Move moves[MAX_MOVES];
    char text[MAX_MOVES][6];
    int count = 0;
};

void listLegalMoves(const Position& pos, LegalMoves& legal) {
    Move list[MAX_MOVES];
    int generated = generateAll(pos, list);
    Position child;
    for (int i = 0; i < generated; ++i) {
        Move move = moveOnly(list[i]);
        if (!makeMove(pos, child, move)) continue;
        legal.moves[legal.count] = move;
        moveToText(move, legal.text[legal.count]);
        ++legal.count;
    }
}

int findText(const LegalMoves& legal, const char* text) {
    for (int i = 0; i < legal.count; ++i)
        if (!std::strcmp(legal.text[i], text)) return i;
    return -1;
}

// Keeps only the heaviest candidates, in the order an exchange sort by falling weight leaves them;
// returns how many remain.
int keepHeaviest(BookCandidate* candidates, int count) {
    for (int i = 0; i < count; ++i)
        for (int j = i + 1; j < count; ++j)
            if (candidates[j].weight > candidates[i].weight) {
                BookCandidate swapped = candidates[i];
                candidates[i] = candidates[j];
                candidates[j] = swapped;
            }
    int kept = 1;
    while (kept < count && candidates[kept].weight == candidates[0].weight) ++kept;
    return kept;
}
} // namespace

void closeBook() {
    if (bookFile) std::fclose(bookFile);
    bookFile = nullptr;
}

void openBook() {
    closeBook();
    openPostponed = !optOwnBook;
    if (optOwnBook) bookFile = openRegularFile(optBookFile.c_str());
}

void setBookFile(const std::string& name) {
    optBookFile = name;
    std::printf("info string Book file is %s\n", name.c_str());
    openBook();
}

Move probeBook(const Position& pos) {
    if (!optOwnBook) return 0;
    if (!bookFile && openPostponed) openBook();
    return probeBookStream(bookFile, pos);
}

int readBookCandidates(FILE* file, const Position& pos, BookCandidate* candidates) {
    const uint64_t key = polyglotKey(pos);
    if (!file) return 0;

    std::puts("Checking book");
    if (fseeko(file, 0, SEEK_END) != 0) bookFailure("Error with initial fseek of opening book\n", true);
    const off_t size = ftello(file);
    if (size < 0) bookFailure("Error with initial fseek of opening book\n", true);
    // A trailing partial record is ignored: no read ever goes past the last whole record.
    const int64_t count = size / BOOK_ENTRY_BYTES;
    if (count == 0) return 0;

    std::puts("Still Checking book");
    int64_t low = 0, high = count - 1, mid = 0;
    bool found = false;
    while (low <= high) {
        mid = low + (high - low) / 2;
        uint64_t probed = recordAt(file, mid, "Error with fseek in binary search\n").key;
        if (probed == key) {
            found = true;
            break;
        }
        if (key > probed)
            low = mid + 1;
        else
            high = mid - 1;
    }
    if (!found) return 0;

    std::puts("Found entry or entries");
    LegalMoves legal;
    listLegalMoves(pos, legal);

    // The search may land on any record of the position: back up to its first one.
    int64_t first = mid;
    while (first > 0 && recordAt(file, first - 1, "Error with fseek in back up\n").key == key) {
        --first;
        std::printf("found record %lld\n", (long long)first);
    }

    int candidateCount = 0;
    for (int64_t index = first; index < count; ++index) {
        BookEntry entry = recordAt(file, index, "Error with fseek in collection\n");
        if (entry.key != key) break;
        if (entry.weight == 0) continue;
        // One record that names no legal move means the position's records cannot be trusted:
        // none of them is played.
        char text[6];
        if (!bookMoveText(entry.move, pos, text)) return 0;
        int legalIndex = findText(legal, text);
        if (legalIndex < 0) return 0;
        if (candidateCount == MAX_BOOK_CANDIDATES) return 0;
        candidates[candidateCount++] = {legal.moves[legalIndex], entry.weight};
    }
    return candidateCount;
}

Move chooseBookMove(BookCandidate* candidates, int count, bool heaviestOnly) {
    if (count <= 0) return 0;
    if (heaviestOnly) count = keepHeaviest(candidates, count);
    int total = 0;
    for (int i = 0; i < count; ++i) total += candidates[i].weight;
    int draw = randomBelow(total);
    int runningSum = 0;
    for (int i = 0; i < count; ++i) {
        runningSum += candidates[i].weight;
        if (draw < runningSum) return candidates[i].move;
    }
    return 0;
}

Move probeBookStream(FILE* file, const Position& pos) {
    BookCandidate candidates[MAX_BOOK_CANDIDATES];
    int count = readBookCandidates(file, pos, candidates);
    return count ? chooseBookMove(candidates, count, optBestBookLine != 0) : 0;
}

int randomBelow(int n) {
    if (n <= 1) return 0;
    // Draw from the smallest all-ones mask that covers n - 1 and retry above it, so every value
    // below n is equally likely and fewer than half of the draws are retried.
    unsigned mask = unsigned(n - 1);
    mask |= mask >> 1;
    mask |= mask >> 2;
    mask |= mask >> 4;
    mask |= mask >> 8;
    mask |= mask >> 16;
    for (;;) {
        int value = int(unsigned(std::rand()) & mask);
        if (value < n) return value;
    }
}
