#pragma once
// Colour coding of the view text in one pass for all searches together.
// The result equals running the searches one by one, in this order, each
// taking its non-overlapping case-insensitive matches from left to right and
// painting over earlier searches: "RECEIVED:" blue, "MESSAGE-ID:" green
// (options 1 and 3), then every interesting item in list order red (options 2
// and 3). It also gives the found-any flag and where the caret ends.

#include <QString>
#include <QStringList>

#include <memory>
#include <string_view>
#include <vector>

namespace jl {

enum class TextColour : unsigned char { Default = 0, Blue, Green, Red };

enum ColourOption : int { NoColour = 0, LabelsOnly = 1, ItemsOnly = 2, Everything = 3 };

struct ColourSpan {
    int start = 0;
    int length = 0;
    TextColour colour = TextColour::Default;
    bool operator==(const ColourSpan&) const = default;
};

struct ColourResult {
    // Non-default runs, sorted by start, not overlapping, adjacent runs of one
    // colour merged.
    std::vector<ColourSpan> spans;
    bool foundAny = false;
    int caret = 0; // after the last match of the last search made, or 0
};

// The automaton over the two labels and the items; build once per change of
// the items list and reuse for every file. The constructor builds the items'
// trie; the automaton itself is built by the first query that needs it (any
// thread may ask). containsAnyItem on Latin-1 text needs only the trie.
class ColourMatcher {
public:
    // Transition rows are dense for the shallow states, as deep as denseBytes
    // allows (the root's always); deeper states keep only
    // their own edges.
    static constexpr size_t DefaultDenseBytes = size_t{4} * 1024 * 1024;
    explicit ColourMatcher(const QStringList& items = {}, size_t denseBytes = DefaultDenseBytes);
    ~ColourMatcher();
    ColourMatcher(ColourMatcher&&) noexcept;
    ColourMatcher& operator=(ColourMatcher&&) noexcept;

    const QStringList& items() const;
    ColourResult colour(const QString& text, int option) const;
    // True as soon as any non-empty item occurs in text (no colouring).
    bool containsAnyItem(const QString& text) const;
    bool containsAnyItem(std::string_view latin1Text) const;
    // For each item (by index), whether it occurs in text.
    std::vector<bool> itemsPresent(std::string_view latin1Text) const;
    // Bytes held by the automaton (states, classes and tables).
    size_t memoryBytes() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// Case folding of one character of the Basic Multilingual Plane.
QChar foldCase(QChar c);

// The case fold of the unit at i of a UTF-16 text, as the matcher compares
// it: a character outside the Basic Multilingual Plane is folded whole, each
// of its two units standing for the same unit of the folded character (so
// "\U00010400" matches "\U00010428", as the view's find has it); half a
// character without its other half stays as it is.
char16_t foldedUnit(const char16_t* text, size_t i, size_t size);

} // namespace jl
