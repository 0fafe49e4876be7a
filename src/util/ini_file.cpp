#include "util/ini_file.h"

#include "util/atomic_file.h"
#include "util/failure.h"
#include "util/file_helpers.h"
#include "util/text_helpers.h"

#include <QFile>

#include <algorithm>
#include <limits>

namespace jl {

namespace {

enum class LineKind { Other, Comment, Section, Key };

struct Parsed {
    LineKind kind = LineKind::Other;
    QString name;  // section or key name, trimmed
    QString value; // key lines: the text after "=", untrimmed
    qsizetype equals = -1;
};

Parsed parseLine(const QString& text) {
    Parsed p;
    const QString t = text.trimmed();
    if (t.isEmpty())
        return p;
    if (t.startsWith(QLatin1Char(';')) || t.startsWith(QLatin1Char('#'))) {
        p.kind = LineKind::Comment;
        return p;
    }
    if (t.startsWith(QLatin1Char('['))) {
        const qsizetype close = t.indexOf(QLatin1Char(']'));
        if (close > 0) {
            p.kind = LineKind::Section;
            p.name = t.mid(1, close - 1).trimmed();
        }
        return p;
    }
    const qsizetype eq = text.indexOf(QLatin1Char('='));
    if (eq < 0)
        return p;
    const QString key = text.left(eq).trimmed();
    if (key.isEmpty())
        return p;
    p.kind = LineKind::Key;
    p.name = key;
    p.value = text.mid(eq + 1);
    p.equals = eq;
    return p;
}

bool sameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QString unquote(const QString& value) {
    QString t = value.trimmed();
    if (t.size() >= 2 && t.front() == QLatin1Char('"') && t.back() == QLatin1Char('"'))
        t = t.mid(1, t.size() - 2);
    return t;
}

QString encodeValue(QString value) {
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] == QLatin1Char('\r') || value[i] == QLatin1Char('\n')) {
            value.truncate(i);
            break;
        }
    }
    const bool enclosed =
        value.size() >= 2 && value.front() == QLatin1Char('"') && value.back() == QLatin1Char('"');
    if (enclosed || value != value.trimmed())
        return QLatin1Char('"') + value + QLatin1Char('"');
    return value;
}

int hexDigit(QChar c) {
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

} // namespace

bool IniFile::parseInteger(const QString& text, int* value) {
    const QString t = text.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == QLatin1Char('+') || t[i] == QLatin1Char('-'))) {
        negative = t[i] == QLatin1Char('-');
        ++i;
    }
    int base = 10;
    if (t.mid(i, 2).compare(QLatin1String("0x"), Qt::CaseInsensitive) == 0) {
        base = 16;
        i += 2;
    } else if (i < t.size() && t[i] == QLatin1Char('$')) {
        base = 16;
        ++i;
    }
    if (i >= t.size())
        return false;
    // The magnitude may reach 2^31 for the most negative int.
    const qint64 limit = negative ? qint64(std::numeric_limits<int>::max()) + 1
                                  : qint64(std::numeric_limits<int>::max());
    qint64 magnitude = 0;
    for (; i < t.size(); ++i) {
        const int d = hexDigit(t[i]);
        if (d < 0 || d >= base)
            return false;
        magnitude = magnitude * base + d;
        if (magnitude > limit)
            return false;
    }
    *value = static_cast<int>(negative ? -magnitude : magnitude);
    return true;
}

IniFile IniFile::load(const QString& path, QString* error) {
    const RegularFileContents file = readRegularFile(path, kSizeLimit, LinkRule::OwnFile);
    if (file.status == RegularFileRead::TooLarge || file.status == RegularFileRead::RefusedLink)
        failWith(error, file.error);
    return file.status == RegularFileRead::Ok ? fromBytes(file.bytes) : IniFile();
}

bool IniFile::loadForUpdate(const QString& path, IniFile* document, QString* error) {
    const RegularFileContents file = readRegularFile(path, kSizeLimit, LinkRule::OwnFile);
    switch (file.status) {
    case RegularFileRead::Ok:
        *document = fromBytes(file.bytes);
        return true;
    case RegularFileRead::Missing:
        *document = IniFile();
        return true;
    case RegularFileRead::Directory:
    case RegularFileRead::NotRegular:
    case RegularFileRead::TooLarge:
    case RegularFileRead::RefusedLink:
    case RegularFileRead::Failed:
        break;
    }
    return failWith(error, file.error);
}

IniFile IniFile::fromBytes(const QByteArray& bytes) {
    IniFile doc;
    qsizetype start = 0;
    const qsizetype n = bytes.size();
    while (start < n) {
        qsizetype end = start;
        while (end < n && bytes[end] != '\r' && bytes[end] != '\n')
            ++end;
        Line line;
        line.raw = bytes.mid(start, end - start);
        if (end < n) {
            const qsizetype endingLength =
                (bytes[end] == '\r' && end + 1 < n && bytes[end + 1] == '\n') ? 2 : 1;
            line.ending = bytes.mid(end, endingLength);
            end += endingLength;
        }
        QByteArray content = line.raw;
        if (doc.m_lines.empty() && content.startsWith("\xEF\xBB\xBF"))
            content.remove(0, 3);
        line.text = decodeUtf8OrWindows1252(content);
        line.changed = false;
        doc.m_lines.push_back(std::move(line));
        start = end;
    }
    return doc;
}

QByteArray IniFile::newLineEnding() const {
    for (const Line& line : m_lines) {
        if (!line.ending.isEmpty())
            return line.ending;
    }
    return QByteArrayLiteral("\r\n");
}

QByteArray IniFile::toBytes() const {
    QByteArray out;
    const QByteArray ending = newLineEnding();
    for (size_t i = 0; i < m_lines.size(); ++i) {
        const Line& line = m_lines[i];
        out += line.changed ? line.text.toUtf8() : line.raw;
        QByteArray end = line.ending;
        if (end.isEmpty() && i + 1 < m_lines.size())
            end = ending;
        // A line of ours that ends in a lone CR in front of an empty line
        // ending in LF: written as is, the two would read back as one CR LF
        // and the empty line would be lost.
        if (end == "\r" && i + 1 < m_lines.size()) {
            const Line& next = m_lines[i + 1];
            const bool nextEmpty = next.changed ? next.text.isEmpty() : next.raw.isEmpty();
            if (nextEmpty && next.ending.startsWith('\n'))
                end = QByteArrayLiteral("\r\n");
        }
        out += end;
    }
    return out;
}

bool IniFile::save(const QString& path, QString* error) const {
    return writeFileAtomically(path, toBytes(), error);
}

int IniFile::findSection(const QString& section) const {
    for (size_t i = 0; i < m_lines.size(); ++i) {
        const Parsed p = parseLine(m_lines[i].text);
        if (p.kind == LineKind::Section && sameName(p.name, section))
            return static_cast<int>(i);
    }
    return -1;
}

int IniFile::sectionEnd(int header) const {
    size_t i = static_cast<size_t>(header) + 1;
    while (i < m_lines.size() && parseLine(m_lines[i].text).kind != LineKind::Section)
        ++i;
    return static_cast<int>(i);
}

int IniFile::findKey(const QString& section, const QString& key) const {
    const int header = findSection(section);
    if (header < 0)
        return -1;
    const int end = sectionEnd(header);
    for (int i = header + 1; i < end; ++i) {
        const Parsed p = parseLine(m_lines[static_cast<size_t>(i)].text);
        if (p.kind == LineKind::Key && sameName(p.name, key))
            return i;
    }
    return -1;
}

bool IniFile::hasSection(const QString& section) const {
    return findSection(section) >= 0;
}

bool IniFile::hasKey(const QString& section, const QString& key) const {
    return findKey(section, key) >= 0;
}

QStringList IniFile::sections() const {
    QStringList names;
    for (const Line& line : m_lines) {
        const Parsed p = parseLine(line.text);
        if (p.kind == LineKind::Section)
            names << p.name;
    }
    return names;
}

QStringList IniFile::keys(const QString& section) const {
    QStringList names;
    const int header = findSection(section);
    if (header < 0)
        return names;
    const int end = sectionEnd(header);
    for (int i = header + 1; i < end; ++i) {
        const Parsed p = parseLine(m_lines[static_cast<size_t>(i)].text);
        if (p.kind == LineKind::Key)
            names << p.name;
    }
    return names;
}

QString IniFile::readString(const QString& section, const QString& key) const {
    const int i = findKey(section, key);
    if (i < 0)
        return QString();
    return unquote(parseLine(m_lines[static_cast<size_t>(i)].text).value);
}

int IniFile::readInteger(const QString& section, const QString& key, int defaultValue) const {
    int value = 0;
    if (!hasKey(section, key) || !parseInteger(readString(section, key), &value))
        return defaultValue;
    return value;
}

bool IniFile::readBool(const QString& section, const QString& key, bool defaultValue) const {
    return readInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void IniFile::insertLine(int index, const QString& text) {
    Line line;
    line.text = text;
    line.ending = newLineEnding();
    line.changed = true;
    m_lines.insert(m_lines.begin() + index, std::move(line));
}

void IniFile::writeString(const QString& section, const QString& key, const QString& value) {
    const QString encoded = encodeValue(value);
    const int existing = findKey(section, key);
    if (existing >= 0) {
        Line& line = m_lines[static_cast<size_t>(existing)];
        const Parsed p = parseLine(line.text);
        // Keep the key as the file spells it, blanks before "=" included.
        line.text = line.text.left(p.equals + 1) + encoded;
        line.changed = true;
        return;
    }
    int header = findSection(section);
    if (header < 0) {
        int at = static_cast<int>(m_lines.size());
        if (at > 0 && !m_lines.back().text.trimmed().isEmpty())
            insertLine(at++, QString());
        insertLine(at, QLatin1Char('[') + section + QLatin1Char(']'));
        header = at;
    }
    int after = header;
    const int end = sectionEnd(header);
    for (int i = header + 1; i < end; ++i) {
        if (parseLine(m_lines[static_cast<size_t>(i)].text).kind == LineKind::Key)
            after = i;
    }
    insertLine(after + 1, key + QLatin1Char('=') + encoded);
}

void IniFile::writeInteger(const QString& section, const QString& key, int value) {
    writeString(section, key, QString::number(value));
}

void IniFile::writeBool(const QString& section, const QString& key, bool value) {
    writeString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

bool IniFile::removeKey(const QString& section, const QString& key) {
    const int i = findKey(section, key);
    if (i < 0)
        return false;
    m_lines.erase(m_lines.begin() + i);
    return true;
}

int IniFile::keepWithin(qint64 limit, const QString& keptSection) {
    qint64 size = toBytes().size();
    if (size <= limit)
        return 0;
    const int header = findSection(keptSection);
    std::vector<size_t> candidates;
    for (size_t i = 0; i < m_lines.size(); ++i) {
        if (!m_lines[i].changed && int(i) != header)
            candidates.push_back(i);
    }
    auto bytesOf = [this](size_t i) { return m_lines[i].raw.size() + m_lines[i].ending.size(); };
    std::stable_sort(candidates.begin(), candidates.end(),
                     [&bytesOf](size_t a, size_t b) { return bytesOf(a) > bytesOf(b); });
    // Left out one after the other until the rest fits; a line end may come
    // or go with the last line, so the size is taken again at the end.
    std::vector<bool> dropped(m_lines.size(), false);
    int count = 0;
    for (size_t i : candidates) {
        if (size <= limit)
            break;
        dropped[i] = true;
        size -= bytesOf(i);
        ++count;
    }
    std::vector<Line> kept;
    kept.reserve(m_lines.size() - size_t(count));
    for (size_t i = 0; i < m_lines.size(); ++i) {
        if (!dropped[i])
            kept.push_back(std::move(m_lines[i]));
    }
    m_lines = std::move(kept);
    if (toBytes().size() > limit && count < int(candidates.size()))
        return count + keepWithin(limit, keptSection);
    return count;
}

} // namespace jl
