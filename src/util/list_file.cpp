#include "util/list_file.h"

#include "util/file_helpers.h"

#include <QFile>
#include <QStringDecoder>

#include <utility>

namespace jl {

namespace {

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool isValidUtf8(const char* p, qsizetype n) {
    const auto* s = reinterpret_cast<const unsigned char*>(p);
    qsizetype i = 0;
    while (i < n) {
        const unsigned char c = s[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        int len = 0;
        unsigned char lo = 0x80;
        unsigned char hi = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) {
            len = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3;
            if (c == 0xE0)
                lo = 0xA0;
            else if (c == 0xED)
                hi = 0x9F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4;
            if (c == 0xF0)
                lo = 0x90;
            else if (c == 0xF4)
                hi = 0x8F;
        } else {
            return false;
        }
        if (i + len > n)
            return false;
        if (s[i + 1] < lo || s[i + 1] > hi)
            return false;
        for (int k = 2; k < len; ++k)
            if (s[i + k] < 0x80 || s[i + k] > 0xBF)
                return false;
        i += len;
    }
    return true;
}

// Splits at CR LF, lone CR and lone LF (LF CR is two line ends). A last line
// without a line end is still a line; a trailing line end adds nothing.
template <typename Text, typename OnLine> void splitLines(const Text& text, OnLine onLine) {
    const qsizetype n = text.size();
    qsizetype start = 0;
    qsizetype i = 0;
    while (i < n) {
        const auto c = text[i];
        if (c == '\r' || c == '\n') {
            onLine(start, i - start);
            if (c == '\r' && i + 1 < n && text[i + 1] == '\n')
                ++i;
            start = ++i;
        } else {
            ++i;
        }
    }
    if (start < n)
        onLine(start, n - start);
}

// A line of valid UTF-8 is read as it is: QString::fromUtf8 would drop a
// U+FEFF that begins the line as a byte-order mark, which only the start of
// the file may hold.
QString decodeLine(const char* p, qsizetype n, QStringDecoder& latin) {
    if (isValidUtf8(p, n)) {
        QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless |
                                                        QStringConverter::Flag::ConvertInitialBom);
        return utf8.decode(QByteArrayView(p, n));
    }
    latin.resetState();
    return latin.decode(QByteArrayView(p, n));
}

} // namespace

QStringList decodeListFile(const QByteArray& raw) {
    // A NUL byte ends the text.
    const qsizetype nul = raw.indexOf('\0');
    const QByteArray bytes = nul >= 0 ? raw.left(nul) : raw;
    QStringList out;
    if (isValidUtf8(bytes.constData(), bytes.size())) {
        const QString text = QString::fromUtf8(bytes);
        splitLines(text, [&](qsizetype start, qsizetype len) { out.append(text.mid(start, len)); });
        return out;
    }
    // Lists written by the Windows tool are 8-bit text: read each line that is
    // not valid UTF-8 as Windows-1252.
    QStringDecoder latin("Windows-1252", QStringDecoder::Flag::Stateless);
    // A byte-order mark at the start of the file is not part of the first entry.
    const qsizetype bom = bytes.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    splitLines(bytes, [&](qsizetype start, qsizetype len) {
        const qsizetype skip =
            start == 0 && len >= bom && isValidUtf8(bytes.constData(), len) ? bom : 0;
        out.append(decodeLine(bytes.constData() + start + skip, len - skip, latin));
    });
    return out;
}

QByteArray encodeListFile(const QStringList& entries) {
    QByteArray out;
    qsizetype size = 0;
    for (const QString& e : entries)
        size += e.size() + 2;
    out.reserve(size);
    for (const QString& e : entries) {
        out += e.toUtf8();
        out += "\r\n";
    }
    return out;
}

ListFileContents readListFile(const QString& path) {
    ListFileContents result;
    RegularFileContents file = readRegularFile(path);
    switch (file.status) {
    case RegularFileRead::Ok:
        result.status = ListFileRead::Ok;
        result.entries = decodeListFile(file.bytes);
        break;
    case RegularFileRead::Missing:
    case RegularFileRead::Directory:
        // Nothing there (or only a directory): an empty list, no failure.
        result.status = ListFileRead::Missing;
        break;
    case RegularFileRead::NotRegular:
    case RegularFileRead::Failed:
        result.status = ListFileRead::Unreadable;
        result.error = std::move(file.error);
        break;
    }
    return result;
}

} // namespace jl
