#pragma once
// Shared pieces of the fuzz targets: a check that reports a model mismatch
// and aborts (libFuzzer then keeps the input as a crash), and helpers that
// turn fuzzer bytes into texts.

#include <fuzzer/FuzzedDataProvider.h>

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace jl::fuzz {

[[noreturn]] inline void mismatch(const char* file, int line, const char* what,
                                  const std::string& detail) {
    std::fprintf(stderr, "\n*** model mismatch at %s:%d: %s\n%s\n", file, line, what,
                 detail.c_str());
    std::fflush(stderr);
    std::abort();
}

// A printable form of bytes for mismatch reports: C escapes, cut after max bytes.
inline std::string printable(std::string_view bytes, size_t max = 400) {
    std::string out = "\"";
    for (size_t i = 0; i < bytes.size() && i < max; ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c == '\\' || c == '"') {
            out += '\\';
            out += char(c);
        } else if (c >= 0x20 && c < 0x7F) {
            out += char(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    if (bytes.size() > max)
        out += "...(" + std::to_string(bytes.size()) + " bytes)";
    return out + "\"";
}

inline std::string printable(const QString& text, size_t max = 400) {
    std::string out = "u\"";
    for (qsizetype i = 0; i < text.size() && size_t(i) < max; ++i) {
        const char16_t u = text[i].unicode();
        if (u >= 0x20 && u < 0x7F && u != '\\' && u != '"') {
            out += char(u);
        } else {
            char hex[12];
            std::snprintf(hex, sizeof hex, "\\u%04X", unsigned(u));
            out += hex;
        }
    }
    if (size_t(text.size()) > max)
        out += "...(" + std::to_string(text.size()) + " units)";
    return out + "\"";
}

// A text of up to maxUnits UTF-16 units. Most units come from a small
// alphabet (so that matches and separators happen often); the rest are any
// unit, lone surrogates included, unless validUnicode asks for whole
// characters only.
inline QString consumeText(FuzzedDataProvider& in, size_t maxUnits, std::u16string_view alphabet,
                           bool validUnicode = false) {
    const size_t n = in.ConsumeIntegralInRange<size_t>(0, maxUnits);
    QString text;
    text.reserve(qsizetype(n));
    for (size_t i = 0; i < n && in.remaining_bytes() > 0; ++i) {
        const uint8_t pick = in.ConsumeIntegral<uint8_t>();
        if (pick < 224 && !alphabet.empty()) {
            text += QChar(alphabet[pick % alphabet.size()]);
            continue;
        }
        text += QChar(char16_t(in.ConsumeIntegral<uint16_t>()));
    }
    if (validUnicode) {
        // Keep to whole characters: a surrogate not in a pair becomes a letter.
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
                ++i;
            else if (text[i].isSurrogate())
                text[i] = QChar(u'\u00E9');
        }
    }
    return text;
}

} // namespace jl::fuzz

#define FUZZ_CHECK(condition, detail)                                                              \
    do {                                                                                           \
        if (!(condition))                                                                          \
            ::jl::fuzz::mismatch(__FILE__, __LINE__, #condition, (detail));                        \
    } while (false)
