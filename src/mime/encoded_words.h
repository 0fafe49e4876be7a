#pragma once
// Decodes the encoded words of a header value (=?charset?B?...?= and
// =?charset?Q?...?=) into UTF-8 and leaves everything else as it stands, line
// breaks of folded fields included, so that a field keeps its lines. Blanks
// and folds between two encoded words go, as the words are one text; words
// in one charset are joined before their charset is read, so a character
// split across two words comes out whole. Line breaks and other control
// characters that a word decodes to become blanks: an encoded word never
// makes a line of its own. A word whose charset is unknown is read as UTF-8.

#include <string>
#include <string_view>

namespace jl {

std::string decodeEncodedWords(std::string_view value);

// The fields of a header, each with the encoded words of its value decoded
// (a field is a line with a colon and the lines after it that begin with a
// blank or a tab). Lines without a colon, and fields longer than longest
// bytes, stay as they are.
std::string decodeHeaderFields(std::string_view header, size_t longest);

} // namespace jl
