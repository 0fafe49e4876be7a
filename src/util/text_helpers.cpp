#include "util/text_helpers.h"

#include "util/failure.h"

#include <QStringDecoder>
#include <QStringList>

#include <algorithm>

namespace jl {

namespace {

const QString& marker() {
    static const QString m = QString::fromLatin1("\x01\x02\x03\x04\x05\x01", 6);
    return m;
}

// Replaces the leftmost occurrence of search, then searches again from the
// start of the new text, until none is left. An occurrence that a replacement
// forms together with the text around it is therefore replaced too.
//
// The text is kept as out + pending + subject[i..]: out holds no occurrence
// and is final except for its last (m - 1) characters, pending is text that a
// replacement put back in front of the rest. Since everything before the
// leftmost occurrence stays as it is, the next search only needs to look from
// (m - 1) characters before the end of out, which keeps the work in proportion
// to the text for ordinary inputs (runs of separators collapsing, and so on).
QString replaceRescanning(const QString& subject, const QString& search,
                          const QString& replacement) {
    const qsizetype m = search.size();
    QString out;
    out.reserve(subject.size());
    QString pending;
    QString window; // reused, so a long run of rescans does not allocate each time
    qsizetype i = 0;
    for (;;) {
        const qsizetype k = std::max<qsizetype>(0, out.size() - (m - 1));
        const qsizetype head = out.size() - k + pending.size();
        if (head > 0) {
            window.clear();
            window += QStringView(out).mid(k);
            window += pending;
            window += QStringView(subject).mid(i, m - 1);
            const qsizetype p = window.indexOf(search);
            if (p >= 0 && p < head) {
                // The leftmost occurrence starts in the tail of out or in
                // pending: put the replacement and everything after the
                // occurrence back in front of the rest and look again.
                const qsizetype fromSubject = window.size() - head;
                out.truncate(k);
                out += QStringView(window).left(p);
                pending.clear();
                pending += replacement;
                pending += QStringView(window).mid(p + m);
                i += fromSubject;
                continue;
            }
            out += pending;
            pending.clear();
        }
        const qsizetype q = subject.indexOf(search, i);
        if (q < 0) {
            out += QStringView(subject).mid(i);
            return out;
        }
        out += QStringView(subject).mid(i, q - i);
        pending = replacement;
        i = q + m;
    }
}

} // namespace

QString Replace_All_Text(const QString& subject, const QString& search,
                         const QString& replacement) {
    if (search.isEmpty())
        return subject;
    if (replacement.contains(search)) {
        // Rescanning would never end: go through a marker the subject is not
        // expected to hold, so the replacement's own copies of search stay.
        // Should the marker itself hold search, or the replacement hold the
        // marker, a round is done as a single left-to-right pass instead of
        // recursing for ever.
        const QString& mk = marker();
        QString marked = mk.contains(search) ? QString(subject).replace(search, mk)
                                             : replaceRescanning(subject, search, mk);
        return replacement.contains(mk) ? marked.replace(mk, replacement)
                                        : replaceRescanning(marked, mk, replacement);
    }
    if (subject.isEmpty())
        return subject;
    return replaceRescanning(subject, search, replacement);
}

QString Get_File_Name(const QString& path) {
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QString Get_File_Base_Name(const QString& path) {
    QString name = Get_File_Name(path);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot < 0)
        return name;
    // Every occurrence of the extension text goes, not only the last one.
    return Replace_All_Text(name, name.mid(dot), QString());
}

QString Trim_Control(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin].unicode() <= 32)
        ++begin;
    while (end > begin && text[end - 1].unicode() <= 32)
        --end;
    return text.mid(begin, end - begin);
}

namespace {

QString directoryWithSeparator(const QString& directory, bool trim) {
    static const QStringList none = {QString(),
                                     QStringLiteral("/"),
                                     QStringLiteral("."),
                                     QStringLiteral(".."),
                                     QStringLiteral("./"),
                                     QStringLiteral("../")};
    if (directory.isEmpty() || none.contains(directory))
        return QString();
    return Replace_All_Text((trim ? Trim_Control(directory) : directory) + QLatin1Char('/'),
                            QStringLiteral("//"), QStringLiteral("/"));
}

} // namespace

QString Directory_With_Separator(const QString& directory) {
    return directoryWithSeparator(directory, true);
}

QString Untrimmed_Directory_With_Separator(const QString& directory) {
    return directoryWithSeparator(directory, false);
}

int Parse_Signed_Digits(const QString& text) {
    QString reduced;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if ((u >= '0' && u <= '9') || u == '+' || u == '-') {
            if ((u == '+' || u == '-') && !reduced.isEmpty())
                continue; // only a sign in first position is kept
            reduced += c;
        }
    }
    if (reduced.isEmpty())
        return 0;
    const bool negative = reduced[0] == QLatin1Char('-');
    const qsizetype first =
        (reduced[0] == QLatin1Char('-') || reduced[0] == QLatin1Char('+')) ? 1 : 0;
    auto invalid = [&reduced] {
        return Failure(QStringLiteral("'%1' is not a valid integer value").arg(reduced));
    };
    if (first == reduced.size())
        throw invalid();
    // Accumulate as a negative number: its range reaches one further.
    const qint64 limit = negative ? -qint64(2147483648LL) : -qint64(2147483647LL);
    qint64 value = 0;
    for (qsizetype k = first; k < reduced.size(); ++k) {
        value = value * 10 - (reduced[k].unicode() - '0');
        if (value < limit)
            throw invalid();
    }
    return static_cast<int>(negative ? value : -value);
}

int Get_Field_As_Integer(const QString& line, const QString& separator, int n) {
    QString rest = line;
    if (!separator.isEmpty()) {
        for (int k = 1; k < n; ++k) {
            const qsizetype at = rest.indexOf(separator);
            if (at < 0)
                break; // past the last field: the last field again
            rest.remove(0, at + separator.size());
        }
        const qsizetype at = rest.indexOf(separator);
        if (at >= 0)
            rest.truncate(at);
    }
    return Parse_Signed_Digits(rest);
}

namespace {

// Windows-1252 differs from Latin-1 only in 0x80..0x9F; the five unassigned
// codes map to the C1 controls of the same value, as the platform does.
constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool isValidUtf8(QByteArrayView bytes) {
    const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype n = bytes.size();
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

} // namespace

QString decodeUtf8OrWindows1252(QByteArrayView bytes) {
    if (isValidUtf8(bytes)) {
        QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless |
                                                        QStringConverter::Flag::ConvertInitialBom);
        return utf8.decode(bytes);
    }
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        *out++ = (b >= 0x80 && b < 0xA0) ? QChar(kWindows1252High[b - 0x80]) : QChar(b);
    }
    return text;
}

} // namespace jl
