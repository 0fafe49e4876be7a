// Finding a term for the find bar: next and previous from a selection, going
// round the ends, letter case ignored exactly where the colour coding ignores
// it (checked against the colour matcher on random texts).

#include "items/item_matcher.h"
#include "view/text_search.h"

#include <gtest/gtest.h>

#include <random>

namespace jl {
namespace {

TEST(TextSearch, NextAndPreviousFromTheSelection) {
    enum Ask { From, Next, Previous };
    struct Row {
        const char* what;
        QString text, term;
        Ask ask;
        int selectionStart, selectionLength;
        FoundMatch expected;
    };
    const QString text = QStringLiteral("Abc xABC abcabc");
    const Row rows[] = {
        {"from the caret", text, "abc", From, 1, 0, {5, 2, 4, false}},
        {"from a match keeps it", text, "ABC", From, 5, 3, {5, 2, 4, false}},
        {"next after a match", text, "abc", Next, 5, 3, {9, 3, 4, false}},
        {"next from a selection that is no match", text, "abc", Next, 5, 2, {5, 2, 4, false}},
        {"next round the end", text, "abc", Next, 12, 3, {0, 1, 4, true}},
        {"previous", text, "abc", Previous, 9, 3, {5, 2, 4, false}},
        {"previous round the start", text, "abc", Previous, 0, 3, {12, 4, 4, true}},
        {"the one match, round to itself", text, "x", Next, 4, 1, {4, 1, 1, true}},
        {"overlapping matches", "aaaa", "aa", Next, 0, 2, {1, 2, 3, false}},
        {"nowhere", text, "abd", Next, 0, 0, {}},
        {"an empty term", text, "", Previous, 3, 0, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        TextSearch search;
        search.setText(row.text);
        search.setTerm(row.term);
        const FoundMatch found = row.ask == From ? search.from(row.selectionStart)
                                 : row.ask == Next
                                     ? search.next(row.selectionStart, row.selectionLength)
                                     : search.previous(row.selectionStart);
        EXPECT_EQ(found, row.expected) << found.start << " " << found.number;
    }
}

// Where the colour coding paints a one-item list red: its matches from left
// to right without overlap, touching runs joined.
std::vector<ColourSpan> redRuns(const TextSearch& search, int textLength, int termLength) {
    std::vector<ColourSpan> runs;
    for (int position = 0; position < textLength;) {
        const FoundMatch match = search.from(position);
        if (match.start < 0 || match.wrapped)
            break;
        if (!runs.empty() && runs.back().start + runs.back().length == match.start)
            runs.back().length += termLength;
        else
            runs.push_back({match.start, termLength, TextColour::Red});
        position = match.start + termLength;
    }
    return runs;
}

TEST(TextSearch, FindsWhereTheColourCodingFindsTheItem) {
    // Letters whose case forms differ, inside and outside Latin-1 and the
    // Basic Multilingual Plane, and a character that only folds (the sign K).
    const QStringList alphabet = {"a",      "A",          "\u00e9",     "\u00c9",
                                  "\u03a3", "\u03c3",     "\u03c2",     "\u212a",
                                  "k",      "\U00010400", "\U00010428", " "};
    std::mt19937 random(21);
    auto pick = [&](int length) {
        QString text;
        for (int i = 0; i < length; ++i)
            text += alphabet[int(random() % alphabet.size())];
        return text;
    };
    for (int round = 0; round < 400; ++round) {
        const QString text = pick(int(random() % 40));
        const QString term = pick(1 + int(random() % 3));
        TextSearch search;
        search.setText(text);
        search.setTerm(term);
        const ItemMatcher matcher({term});
        EXPECT_EQ(redRuns(search, int(text.size()), int(term.size())),
                  matcher.colour(text, ItemsOnly).spans)
            << text.toStdString() << " / " << term.toStdString();
    }
}

} // namespace
} // namespace jl
