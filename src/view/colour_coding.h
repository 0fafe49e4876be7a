#pragma once
// What colour coding gives the message view: the colour option, and the
// coloured runs of the text with the found-any flag and where the caret ends.
// The item matcher (items/item_matcher.h) makes them.

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

} // namespace jl
