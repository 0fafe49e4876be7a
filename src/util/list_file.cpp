#include "util/list_file.h"

#include "util/file_helpers.h"
#include "util/text_helpers.h"

#include <utility>

namespace jl {

namespace {

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

QStringList splitText(const QString& text) {
    QStringList out;
    splitLines(text, [&](qsizetype start, qsizetype len) { out.append(text.mid(start, len)); });
    return out;
}

// 8-bit text, line by line (the line ends are the same bytes in every
// reading, and no copy of the whole text is made).
QStringList splitEightBit(QByteArrayView bytes) {
    QStringList out;
    splitLines(bytes, [&](qsizetype start, qsizetype len) {
        out.append(decodeUtf8OrWindows1252(bytes.sliced(start, len)));
    });
    return out;
}

// UTF-16 text up to its first NUL or undecodable unit; *stop says which.
QString utf16Prefix(QByteArrayView bytes, bool bigEndian, QString* stop) {
    QString text;
    text.reserve(bytes.size() / 2);
    const qsizetype units = bytes.size() / 2;
    auto unit = [&](qsizetype i) {
        const auto a = static_cast<unsigned char>(bytes[2 * i]);
        const auto b = static_cast<unsigned char>(bytes[2 * i + 1]);
        return char16_t(bigEndian ? (a << 8) | b : (b << 8) | a);
    };
    for (qsizetype i = 0; i < units; ++i) {
        const char16_t u = unit(i);
        if (u == 0) {
            *stop = QStringLiteral("a NUL character");
            return text;
        }
        if (QChar::isHighSurrogate(u) && i + 1 < units && QChar::isLowSurrogate(unit(i + 1))) {
            text += QChar(u);
            text += QChar(unit(++i));
            continue;
        }
        if (QChar::isSurrogate(u)) {
            *stop = QStringLiteral("half of a character");
            return text;
        }
        text += QChar(u);
    }
    if (bytes.size() % 2 != 0)
        *stop = QStringLiteral("a last byte that is half of a UTF-16 character");
    return text;
}

bool endsInLineBreak(QStringView text) {
    return text.endsWith(u'\r') || text.endsWith(u'\n');
}

QString stoppedAt(qsizetype line, const QString& what) {
    return QStringLiteral("reading stopped at line %1, which holds %2").arg(line).arg(what);
}

} // namespace

EntryFault listEntryFault(const QString& text) {
    EntryFault fault = EntryFault::None;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n'))
            return EntryFault::LineBreak;
        if (c.isNull()) {
            fault = EntryFault::Nul;
        } else if (c.isHighSurrogate() && i + 1 < n && text[i + 1].isLowSurrogate()) {
            ++i;
        } else if (c.isSurrogate() && fault == EntryFault::None) {
            fault = EntryFault::BrokenCharacter;
        }
    }
    return fault;
}

DecodedListFile decodeListFileText(const QByteArray& raw) {
    DecodedListFile out;
    // The line a stop falls on: past the last entry read, or on it when the
    // text breaks off in its middle.
    auto stopLine = [&out](bool atLineStart) { return out.entries.size() + (atLineStart ? 1 : 0); };
    const bool littleEndian = raw.startsWith("\xFF\xFE");
    if (littleEndian || raw.startsWith("\xFE\xFF")) {
        QString stop;
        const QString text = utf16Prefix(QByteArrayView(raw).sliced(2), !littleEndian, &stop);
        out.entries = splitText(text);
        if (!stop.isEmpty())
            out.shortfall = stoppedAt(stopLine(text.isEmpty() || endsInLineBreak(text)), stop);
        return out;
    }
    QByteArrayView bytes(raw);
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes = bytes.sliced(3);
    const qsizetype nul = bytes.indexOf('\0');
    if (nul >= 0)
        bytes = bytes.first(nul);
    out.entries = splitEightBit(bytes);
    if (nul >= 0) {
        const bool atLineStart = bytes.isEmpty() || bytes.endsWith('\r') || bytes.endsWith('\n');
        out.shortfall = stoppedAt(stopLine(atLineStart), QStringLiteral("a NUL character"));
    }
    return out;
}

QStringList decodeListFile(const QByteArray& bytes) {
    return decodeListFileText(bytes).entries;
}

QByteArray encodeListFile(const QStringList& entries) {
    QByteArray out;
    qsizetype size = 3;
    for (const QString& e : entries)
        size += e.size() + 2;
    out.reserve(size);
    if (!entries.isEmpty() && entries.front().startsWith(QChar(0xFEFF)))
        out += "\xEF\xBB\xBF";
    for (const QString& e : entries) {
        out += e.toUtf8();
        out += "\r\n";
    }
    return out;
}

ListFileContents readListFile(const QString& path) {
    ListFileContents result;
    RegularFileContents file = readRegularFile(path, kListFileSizeLimit, LinkRule::OwnFile);
    result.stamp = file.stamp;
    switch (file.status) {
    case RegularFileRead::Ok: {
        DecodedListFile decoded = decodeListFileText(file.bytes);
        result.status = decoded.shortfall.isEmpty() ? ListFileRead::Ok : ListFileRead::Partial;
        result.entries = std::move(decoded.entries);
        result.shortfall = std::move(decoded.shortfall);
        break;
    }
    case RegularFileRead::Missing:
    case RegularFileRead::Directory:
        // Nothing there (or only a directory): an empty list, no failure.
        result.status = ListFileRead::Missing;
        break;
    case RegularFileRead::TooLarge:
        result.status = ListFileRead::TooLarge;
        result.error = std::move(file.error);
        break;
    case RegularFileRead::RefusedLink:
        result.status = ListFileRead::Refused;
        result.error = std::move(file.error);
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
