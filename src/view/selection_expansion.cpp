#include "view/selection_expansion.h"

#include <algorithm>

namespace jl {

bool Is_Item_Character(QChar c) {
    const char16_t u = c.unicode();
    return u == '-' || u == '.' || (u >= '0' && u <= '9') || (u >= '@' && u <= 'Z') || u == '_' ||
           (u >= 'a' && u <= 'z');
}

bool Splits_Character(const QString& text, qsizetype position) {
    return position > 0 && position < text.size() && text[position - 1].isHighSurrogate() &&
           text[position].isLowSurrogate();
}

SelectionRange Expand_Selection(const QString& text, int caret) {
    const int n = int(text.size());
    int s = std::clamp(caret, 0, n);
    // A caret between the halves of a character stands before that character.
    if (Splits_Character(text, s))
        --s;
    // Leftward: the run of item characters that ends just before the caret.
    int left = s;
    while (left > 0 && Is_Item_Character(text[left - 1]))
        --left;
    // Rightward: the character at the caret whatever it is (both halves of a
    // character outside the Basic Multilingual Plane), then the run of item
    // characters after it. Item characters are all single units.
    int right = std::min(s + 1, n);
    if (Splits_Character(text, right))
        ++right;
    while (right < n && Is_Item_Character(text[right]))
        ++right;
    if (left < right)
        return {left, right - left};
    return {n, 0}; // caret at the end after a delimiter: nothing to select
}

} // namespace jl
