#pragma once
// Finding a term in the view text, for the find bar: every place where the
// term occurs, letter case ignored as the colour coding ignores it (the view's
// case-insensitive find, so a term is found wherever it would be coloured as
// an item), and the next or previous of those places from the selection,
// going round at either end.

#include <QString>

#include <vector>

namespace jl {

struct FoundMatch {
    int start = -1;       // -1: the term occurs nowhere (or is empty)
    int number = 0;       // 1 for the first match of the text
    int count = 0;        // matches in the text
    bool wrapped = false; // went round an end of the text to get there
    bool operator==(const FoundMatch&) const = default;
};

class TextSearch {
public:
    // The text searched; an equal text keeps the matches already found.
    void setText(const QString& text);
    void setTerm(const QString& term);
    const QString& term() const { return m_term; }
    int count() const;

    // The first match at or after position; past the last one, the first.
    FoundMatch from(int position) const;
    // The match after the selection: when the selection is itself a match,
    // the next one after its start, otherwise the first at or after its
    // start; past the last match, the first.
    FoundMatch next(int selectionStart, int selectionLength) const;
    // The last match starting before the selection; before the first, the
    // last one.
    FoundMatch previous(int selectionStart) const;

private:
    const std::vector<int>& matches() const;
    FoundMatch at(std::vector<int>::const_iterator match, bool wrapped) const;

    QString m_text;
    QString m_term;
    // Starts of every match, overlapping ones included, in order; found when
    // first asked for after a change of text or term.
    mutable std::vector<int> m_matches;
    mutable bool m_valid = false;
};

} // namespace jl
