#include "mime/encoded_words.h"

#include "mime/charset_decoder.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <optional>

namespace jl {

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

constexpr std::array<signed char, 256> makeBase64Table() {
    std::array<signed char, 256> t{};
    for (auto& v : t)
        v = -1;
    constexpr std::string_view alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (size_t i = 0; i < alphabet.size(); ++i)
        t[size_t(static_cast<unsigned char>(alphabet[i]))] = static_cast<signed char>(i);
    return t;
}
constexpr std::array<signed char, 256> kBase64 = makeBase64Table();

// Base64 as senders write it: characters outside the alphabet are passed
// over, padding may be missing, and decoding ends at the first '='.
std::string decodeB(std::string_view text) {
    std::string out;
    unsigned bits = 0;
    int count = 0;
    for (const char c : text) {
        if (c == '=')
            break;
        const signed char v = kBase64[size_t(static_cast<unsigned char>(c))];
        if (v < 0)
            continue;
        bits = (bits << 6) | static_cast<unsigned char>(v);
        count += 6;
        if (count >= 8) {
            count -= 8;
            out.push_back(char((bits >> count) & 0xFF));
        }
    }
    return out;
}

// Q: '_' is a blank, "=XX" a byte; an '=' without two hex digits stands.
std::string decodeQ(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '_') {
            out.push_back(' ');
        } else if (c == '=' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
                   hexValue(text[i + 2]) >= 0) {
            out.push_back(char(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2])));
            i += 2;
        } else {
            out.push_back(c);
        }
    }
    return out;
}

struct EncodedWord {
    size_t length = 0; // of the whole word in the value
    std::string charset;
    std::string bytes; // decoded, still in the charset
};

bool sameCharset(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The encoded word that starts at value[at] ("=?"), if one does.
std::optional<EncodedWord> encodedWordAt(std::string_view value, size_t at) {
    const size_t charsetEnd = value.find('?', at + 2);
    if (charsetEnd == std::string_view::npos || charsetEnd == at + 2 ||
        charsetEnd + 3 >= value.size() || value[charsetEnd + 2] != '?')
        return std::nullopt;
    const char encoding = value[charsetEnd + 1];
    if (encoding != 'B' && encoding != 'b' && encoding != 'Q' && encoding != 'q')
        return std::nullopt;
    const size_t textStart = charsetEnd + 3;
    const size_t textEnd = value.find("?=", textStart);
    if (textEnd == std::string_view::npos)
        return std::nullopt;
    const std::string_view charset = value.substr(at + 2, charsetEnd - at - 2);
    const std::string_view text = value.substr(textStart, textEnd - textStart);
    for (const char c : charset)
        if (isBlank(c) || c == '=')
            return std::nullopt;
    for (const char c : text)
        if (isBlank(c))
            return std::nullopt;
    EncodedWord word;
    word.length = textEnd + 2 - at;
    // A language after '*' (=?utf-8*en?Q?...?=) is not part of the charset.
    word.charset = std::string(charset.substr(0, charset.find('*')));
    word.bytes = (encoding == 'B' || encoding == 'b') ? decodeB(text) : decodeQ(text);
    return word;
}

// Appends the text of words in one charset, with control characters blanked.
void appendWords(const std::string& charset, const std::string& bytes, std::string& out) {
    std::string text = CharsetDecoder::toUtf8(bytes, charset);
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t')
            c = ' ';
    out += text;
}

} // namespace

std::string decodeEncodedWords(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    std::string runCharset; // words in one charset read but not yet written
    std::string runBytes;
    bool inRun = false;
    bool afterWord = false; // the last thing read was an encoded word
    auto flush = [&] {
        if (inRun)
            appendWords(runCharset, runBytes, out);
        inRun = false;
    };
    size_t i = 0;
    for (size_t at = value.find("=?"); at != std::string_view::npos; at = value.find("=?", i)) {
        const std::optional<EncodedWord> word = encodedWordAt(value, at);
        if (!word) {
            // Not a word: "=?" stands as text.
            flush();
            out.append(value.substr(i, at + 2 - i));
            i = at + 2;
            afterWord = false;
            continue;
        }
        const std::string_view between = value.substr(i, at - i);
        // Blanks and folds between two words go; anything else stands.
        const bool joins =
            afterWord && between.find_first_not_of(" \t\r\n") == std::string_view::npos;
        if (!(joins && sameCharset(word->charset, runCharset)))
            flush();
        if (!joins)
            out.append(between);
        if (!inRun) {
            runCharset = word->charset;
            runBytes.clear();
            inRun = true;
        }
        runBytes += word->bytes;
        i = at + word->length;
        afterWord = true;
    }
    flush();
    out.append(value.substr(i));
    return out;
}

std::string decodeHeaderFields(std::string_view header, size_t longest) {
    std::string out;
    out.reserve(header.size());
    size_t at = 0;
    while (at < header.size()) {
        // The field's first line, then its continuation lines.
        size_t end = header.find('\n', at);
        end = end == std::string_view::npos ? header.size() : end + 1;
        const size_t firstLineEnd = end;
        while (end < header.size() && (header[end] == ' ' || header[end] == '\t')) {
            const size_t next = header.find('\n', end);
            end = next == std::string_view::npos ? header.size() : next + 1;
        }
        const std::string_view field = header.substr(at, end - at);
        const size_t colon = field.find(':');
        if (colon < firstLineEnd - at && field.size() <= longest &&
            field.find("=?") != std::string_view::npos) {
            out.append(field.substr(0, colon + 1));
            out += decodeEncodedWords(field.substr(colon + 1));
        } else {
            out.append(field);
        }
        at = end;
    }
    return out;
}

} // namespace jl
