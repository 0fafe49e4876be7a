#include "view/selection_expansion.h"

#include <algorithm>

namespace jl {

bool Is_Item_Character(QChar c) {
    const char16_t u = c.unicode();
    return u == '-' || u == '.' || (u >= '0' && u <= '9') || (u >= '@' && u <= 'Z') || u == '_' ||
           (u >= 'a' && u <= 'z');
}

SelectionRange Expand_Selection(const QString& text, int caret) {
    const int n = int(text.size());
    const int s = std::clamp(caret, 0, n);
    // Leftward: the run of item characters that ends just before the caret.
    int left = s;
    while (left > 0 && Is_Item_Character(text[left - 1]))
        --left;
    // Rightward: the character at the caret whatever it is, then the run of
    // item characters after it.
    int right = std::min(s + 1, n);
    while (right < n && Is_Item_Character(text[right]))
        ++right;
    if (left < right)
        return {left, right - left};
    return {n, 0}; // caret at the end after a delimiter: nothing to select
}

} // namespace jl
