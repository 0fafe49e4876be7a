#pragma once
// Widening a caret position to the whole item around it: the run of item
// characters before the caret, the character right after the caret (always,
// unless the caret is at the end), and the run of item characters after it.
// Characters are whole: the result never splits a surrogate pair.

#include <QString>

namespace jl {

// When the view widens a selection by itself (the items of the
// selection-expansion option).
enum ExpandSelectionOption : int {
    ExpandOnKeyPress = 0,
    ExpandOnLeftClick = 1,
    ExpandOnEither = 2,
    ExpandManually = 3,
};

// "-" "." "0".."9" "@" "A".."Z" "_" "a".."z"
bool Is_Item_Character(QChar c);

// True when position lies between the two halves (UTF-16 units) of one
// character outside the Basic Multilingual Plane.
bool Splits_Character(const QString& text, qsizetype position);

struct SelectionRange {
    int start = 0;
    int length = 0;
    bool operator==(const SelectionRange&) const = default;
};

// The selection the expansion makes for a caret at position caret in text.
// When nothing can be selected (caret at the end after a delimiter) the
// result is {text.size(), 0}.
SelectionRange Expand_Selection(const QString& text, int caret);

} // namespace jl
