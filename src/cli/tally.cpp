#include "cli/tally.h"

#include "cli/file_walk.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QSet>

#include <cmath>

namespace jl::cli {

namespace {

const QByteArray kTsvHeader = "kind\tnumber\titem";

QByteArray escapeTsv(const QString& text) {
    QByteArray out;
    for (const char c : text.toUtf8()) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\n':
            out += "\\n";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::optional<QString> unescapeTsv(const QByteArray& field, QString& text) {
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] != '\\') {
            out += field[i];
            continue;
        }
        const char next = i + 1 < field.size() ? field[++i] : '\0';
        switch (next) {
        case '\\':
            out += '\\';
            break;
        case 't':
            out += '\t';
            break;
        case 'r':
            out += '\r';
            break;
        case 'n':
            out += '\n';
            break;
        default:
            return QStringLiteral("a backslash in an item must be followed by \\, t, r or n");
        }
    }
    text = QString::fromUtf8(out);
    return std::nullopt;
}

QByteArray quoteJson(const QString& text) {
    QByteArray out = "\"";
    for (const char c : text.toUtf8()) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (u < 0x20) {
            out += "\\u00" + QByteArray::number(u, 16).rightJustified(2, '0');
        } else {
            out += c;
        }
    }
    return out + '"';
}

std::optional<qint64> parseCount(const QByteArray& field) {
    if (field.isEmpty() || field.size() > 18)
        return std::nullopt;
    qint64 value = 0;
    for (const char c : field) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

std::optional<qint64> jsonCount(const QJsonValue& value) {
    if (!value.isDouble())
        return std::nullopt;
    const double d = value.toDouble();
    if (d < 0 || d > 9007199254740992.0 || std::floor(d) != d)
        return std::nullopt;
    return qint64(d);
}

std::optional<QString> addTo(qint64& sum, qint64 value) {
    if (__builtin_add_overflow(sum, value, &sum))
        return QStringLiteral("a sum grows beyond %1").arg(std::numeric_limits<qint64>::max());
    return std::nullopt;
}

} // namespace

QStringList itemsInListOrder(const QStringList& items) {
    QStringList unique;
    QSet<QString> seen;
    for (const QString& item : items) {
        if (!seen.contains(item)) {
            seen.insert(item);
            unique.append(item);
        }
    }
    sortInListOrder(unique);
    return unique;
}

QByteArray formatTally(const Tally& tally, TallyFormat format) {
    QByteArray out;
    const size_t count = size_t(tally.items.size());
    switch (format) {
    case TallyFormat::Text:
        for (size_t k = 0; k < count; ++k)
            out += QByteArray::number(tally.counts[k]) + '\t' +
                   tally.items.at(qsizetype(k)).toUtf8() + '\n';
        out += QByteArray::number(tally.without) + '\n';
        break;
    case TallyFormat::Tsv:
        out += kTsvHeader + '\n';
        out += "filter\t" + QByteArray::number(tally.filter) + "\t\n";
        out += "files\t" + QByteArray::number(tally.files) + "\t\n";
        out += "without\t" + QByteArray::number(tally.without) + "\t\n";
        out += "unreadable\t" + QByteArray::number(tally.unreadable) + "\t\n";
        for (size_t k = 0; k < count; ++k)
            out += "item\t" + QByteArray::number(tally.counts[k]) + '\t' +
                   escapeTsv(tally.items.at(qsizetype(k))) + '\n';
        break;
    case TallyFormat::Json:
        out += "{\n  \"filter\": " + QByteArray::number(tally.filter) +
               ",\n  \"files\": " + QByteArray::number(tally.files) +
               ",\n  \"without\": " + QByteArray::number(tally.without) +
               ",\n  \"unreadable\": " + QByteArray::number(tally.unreadable) + ",\n  \"items\": [";
        for (size_t k = 0; k < count; ++k)
            out += QByteArray(k == 0 ? "\n" : ",\n") +
                   "    {\"item\": " + quoteJson(tally.items.at(qsizetype(k))) +
                   ", \"count\": " + QByteArray::number(tally.counts[k]) + "}";
        out += count == 0 ? "]\n}\n" : "\n  ]\n}\n";
        break;
    }
    return out;
}

std::optional<QString> TallySum::addLine(const QByteArray& rawLine, const QString& where) {
    QByteArray line = rawLine;
    if (line.endsWith('\r'))
        line.chop(1);
    qsizetype i = 0;
    if (m_depth == 0) {
        if (line.trimmed().isEmpty())
            return std::nullopt;
        if (!line.trimmed().startsWith('{')) {
            if (auto problem = addRow(line))
                return where + QStringLiteral(": ") + *problem;
            return std::nullopt;
        }
        m_jsonStart = where;
        m_json.clear();
        m_inString = m_escaped = false;
    }
    // Follow the object's braces outside strings until it closes.
    for (; i < line.size(); ++i) {
        const char c = line[i];
        if (m_inString) {
            if (m_escaped)
                m_escaped = false;
            else if (c == '\\')
                m_escaped = true;
            else if (c == '"')
                m_inString = false;
        } else if (c == '"') {
            m_inString = true;
        } else if (c == '{' || c == '[') {
            ++m_depth;
        } else if (c == '}' || c == ']') {
            if (--m_depth == 0)
                break;
        }
    }
    if (m_depth > 0) {
        m_json += line + '\n';
        return std::nullopt;
    }
    m_json += line.left(i + 1);
    if (!line.mid(i + 1).trimmed().isEmpty())
        return where + QStringLiteral(": text after the end of a JSON object");
    if (auto problem = addJson(m_json))
        return m_jsonStart + QStringLiteral(": ") + *problem;
    m_json.clear();
    return std::nullopt;
}

std::optional<QString> TallySum::endInput(const QString& where) {
    if (m_depth == 0)
        return std::nullopt;
    m_depth = 0;
    m_json.clear();
    return where + QStringLiteral(": the JSON object begun at %1 does not end").arg(m_jsonStart);
}

std::optional<QString> TallySum::setFilter(qint64 filter) {
    if (filter > 2)
        return QStringLiteral("the filter must be 0, 1 or 2");
    if (m_filter >= 0 && m_filter != filter)
        return QStringLiteral("made with filter %1, the results before with filter %2")
            .arg(filter)
            .arg(m_filter);
    m_filter = int(filter);
    ++m_filterRows;
    return std::nullopt;
}

std::optional<QString> TallySum::addItem(const QString& item, qint64 count) {
    auto it = m_items.find(item);
    if (it == m_items.end()) {
        it = m_items.insert(item, ItemSum{});
        m_order.append(item);
    }
    ++it->partials;
    return addTo(it->count, count);
}

std::optional<QString> TallySum::addRow(const QByteArray& line) {
    if (line == kTsvHeader)
        return std::nullopt;
    const QList<QByteArray> fields = line.split('\t');
    if (fields.size() != 3)
        return QStringLiteral("a row must have three fields separated by tabs (kind, number, "
                              "item), not %1")
            .arg(fields.size());
    const QByteArray& kind = fields[0];
    const std::optional<qint64> number = parseCount(fields[1]);
    if (!number)
        return QStringLiteral("'%1' is no count").arg(QString::fromUtf8(fields[1]));
    if (kind == "item") {
        QString item;
        if (auto problem = unescapeTsv(fields[2], item))
            return problem;
        return addItem(item, *number);
    }
    if (!fields[2].isEmpty())
        return QStringLiteral("a '%1' row has no item").arg(QString::fromUtf8(kind));
    if (kind == "filter")
        return setFilter(*number);
    if (kind == "files") {
        ++m_partials;
        return addTo(m_files, *number);
    }
    if (kind == "without") {
        ++m_withoutRows;
        return addTo(m_without, *number);
    }
    if (kind == "unreadable") {
        ++m_unreadableRows;
        return addTo(m_unreadable, *number);
    }
    return QStringLiteral("unknown kind of row '%1'").arg(QString::fromUtf8(kind));
}

std::optional<QString> TallySum::addJson(const QByteArray& text) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text, &error);
    if (error.error != QJsonParseError::NoError)
        return QStringLiteral("not JSON: %1").arg(error.errorString());
    const QJsonObject object = document.object();
    const QStringList keys{"filter", "files", "without", "unreadable", "items"};
    for (const QString& key : object.keys())
        if (!keys.contains(key))
            return QStringLiteral("unknown key \"%1\"").arg(key);
    std::optional<qint64> numbers[4];
    for (int k = 0; k < 4; ++k) {
        numbers[k] = jsonCount(object.value(keys[k]));
        if (!numbers[k])
            return QStringLiteral("\"%1\" must be a count").arg(keys[k]);
    }
    if (!object.value(QStringLiteral("items")).isArray())
        return QStringLiteral("\"items\" must be an array");
    QSet<QString> seen;
    const QJsonArray items = object.value(QStringLiteral("items")).toArray();
    for (const QJsonValue value : items) {
        const QJsonObject entry = value.toObject();
        const std::optional<qint64> count = jsonCount(entry.value(QStringLiteral("count")));
        if (entry.size() != 2 || !entry.value(QStringLiteral("item")).isString() || !count)
            return QStringLiteral(
                "every entry of \"items\" must be {\"item\": TEXT, \"count\": N}");
        const QString item = entry.value(QStringLiteral("item")).toString();
        if (seen.contains(item))
            return QStringLiteral("the item \"%1\" is there twice").arg(item);
        seen.insert(item);
    }
    if (auto problem = setFilter(*numbers[0]))
        return problem;
    ++m_partials;
    ++m_withoutRows;
    ++m_unreadableRows;
    for (auto [sum, number] : {std::pair{&m_files, numbers[1]}, std::pair{&m_without, numbers[2]},
                               std::pair{&m_unreadable, numbers[3]}})
        if (auto problem = addTo(*sum, *number))
            return problem;
    for (const QJsonValue value : items) {
        const QJsonObject entry = value.toObject();
        if (auto problem = addItem(entry.value(QStringLiteral("item")).toString(),
                                   *jsonCount(entry.value(QStringLiteral("count")))))
            return problem;
    }
    return std::nullopt;
}

std::optional<QString> TallySum::result(Tally& tally) const {
    if (m_partials == 0)
        return QStringLiteral("no partial results in the input");
    const std::pair<const char*, qint64> rows[] = {
        {"filter", m_filterRows}, {"without", m_withoutRows}, {"unreadable", m_unreadableRows}};
    for (const auto& [kind, count] : rows)
        if (count != m_partials)
            return QStringLiteral("the partial results are incomplete: %1 'files' rows, but %2 "
                                  "'%3' rows")
                .arg(m_partials)
                .arg(count)
                .arg(QLatin1String(kind));
    for (const QString& item : m_order) {
        const qint64 seen = m_items.value(item).partials;
        if (seen != m_partials)
            return QStringLiteral("the partial results were made with different items: '%1' is "
                                  "in %2 of %3")
                .arg(item)
                .arg(seen)
                .arg(m_partials);
    }
    tally = Tally{};
    tally.filter = m_filter;
    tally.files = m_files;
    tally.without = m_without;
    tally.unreadable = m_unreadable;
    tally.items = m_order;
    sortInListOrder(tally.items);
    for (const QString& item : tally.items)
        tally.counts.push_back(m_items.value(item).count);
    return std::nullopt;
}

} // namespace jl::cli
