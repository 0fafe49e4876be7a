#include "cli/tally.h"

#include "cli/file_walk.h"
#include "items/item_kind.h"
#include "util/failure.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QSet>

#include <limits>
#include <optional>

namespace jl::cli {

namespace {

const QByteArray kTsvHeader = "kind\tnumber\titem\titem_kind";

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

bool unescapeTsv(const QByteArray& field, QString& text, QString* error) {
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
            return failWith(
                error, QStringLiteral("a backslash in an item must be followed by \\, t, r or n"));
        }
    }
    text = QString::fromUtf8(out);
    return true;
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

// Decimal digits only, exact up to the largest count a sum can hold.
std::optional<qint64> parseCount(const QByteArray& field) {
    if (field.isEmpty())
        return std::nullopt;
    qint64 value = 0;
    for (const char c : field) {
        if (c < '0' || c > '9' || __builtin_mul_overflow(value, 10, &value) ||
            __builtin_add_overflow(value, c - '0', &value))
            return std::nullopt;
    }
    return value;
}

// The parser keeps a whole number as an integer, so every count up to the
// largest is read exactly; fractions, negatives and larger numbers are none.
std::optional<qint64> jsonCount(const QJsonValue& value) {
    if (!value.isDouble())
        return std::nullopt;
    const qint64 count = value.toInteger(-1);
    if (count < 0)
        return std::nullopt;
    return count;
}

// The keys (strings followed by a colon) of a JSON text, however nested. The
// parser keeps only the last of two equal keys in one object, so a text with
// more keys than the parsed objects hold names a member twice.
qsizetype countJsonKeys(const QByteArray& text) {
    qsizetype keys = 0;
    bool inString = false;
    bool escaped = false;
    bool afterString = false;
    for (const char c : text) {
        if (inString) {
            if (escaped)
                escaped = false;
            else if (c == '\\')
                escaped = true;
            else if (c == '"')
                inString = false;
            afterString = !inString;
            continue;
        }
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n')
            continue;
        if (c == ':' && afterString)
            ++keys;
        afterString = false;
        if (c == '"')
            inString = true;
    }
    return keys;
}

// Every TSV part ends in a "check" row: the sum of a hash of each of its other
// rows. The rows of many parts may be mixed in any way; summed together, the
// hashes of all rows still equal the sum of all checks, unless a row was
// repeated, lost or changed on the way, which counts alone cannot show (a row
// twice in one part makes up for the row missing from another). Hashes are odd,
// so that no number of copies of one row adds up to nothing.
constexpr quint64 kCheckModulus = quint64(1) << 63;

quint64 rowHash(QByteArrayView kind, qint64 number, QByteArrayView item) {
    quint64 h = 0xcbf29ce484222325ULL; // FNV-1a, then a final mix
    auto mix = [&h](QByteArrayView bytes) {
        for (const char c : bytes) {
            h ^= static_cast<unsigned char>(c);
            h *= 0x100000001b3ULL;
        }
    };
    mix(kind);
    mix("\t");
    mix(QByteArray::number(number));
    mix("\t");
    mix(item);
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdULL;
    h ^= h >> 33;
    h *= 0xc4ceb3fe1a85ec53ULL;
    h ^= h >> 33;
    return (h | 1) % kCheckModulus;
}

QByteArray itemKindOf(const QString& item) {
    return itemKindToken(classifyItem(item)).toUtf8();
}

// Writes TSV rows and the check that closes them. The item's kind follows
// from its text, so the check leaves it out and sum recomputes it.
class TsvWriter {
public:
    explicit TsvWriter(QByteArray& out) : m_out(out) {}
    void row(QByteArrayView kind, qint64 number, const QByteArray& item = {},
             const QByteArray& itemKind = {}) {
        m_out += kind;
        m_out += '\t' + QByteArray::number(number) + '\t' + item + '\t' + itemKind + '\n';
        m_check = (m_check + rowHash(kind, number, item)) % kCheckModulus;
    }
    void finish() { m_out += "check\t" + QByteArray::number(m_check) + "\t\t\n"; }

private:
    QByteArray& m_out;
    quint64 m_check = 0;
};

bool addTo(qint64& sum, qint64 value, QString* error) {
    if (__builtin_add_overflow(sum, value, &sum))
        return failWith(
            error, QStringLiteral("a sum grows beyond %1").arg(std::numeric_limits<qint64>::max()));
    return true;
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

QByteArray formatTally(const ScanTally& tally, TallyFormat format) {
    QByteArray out;
    const size_t count = size_t(tally.items.size());
    switch (format) {
    case TallyFormat::Text:
        for (size_t k = 0; k < count; ++k)
            out += QByteArray::number(tally.files[k]) + '\t' +
                   tally.items.at(qsizetype(k)).toUtf8() + '\n';
        out += QByteArray::number(tally.without) + '\n';
        break;
    case TallyFormat::Tsv: {
        out += kTsvHeader + '\n';
        TsvWriter rows(out);
        rows.row("filter", tally.filter);
        rows.row("files", tally.examined);
        rows.row("without", tally.without);
        rows.row("unreadable", tally.unreadable);
        if (tally.decoded)
            rows.row("decoded", 1);
        for (size_t k = 0; k < count; ++k)
            rows.row("item", tally.files[k], escapeTsv(tally.items.at(qsizetype(k))),
                     itemKindOf(tally.items.at(qsizetype(k))));
        rows.finish();
        break;
    }
    case TallyFormat::Json:
        out += "{\n  \"filter\": " + QByteArray::number(tally.filter) +
               ",\n  \"files\": " + QByteArray::number(tally.examined) +
               ",\n  \"without\": " + QByteArray::number(tally.without) +
               ",\n  \"unreadable\": " + QByteArray::number(tally.unreadable) +
               (tally.decoded ? ",\n  \"decoded\": true" : "") + ",\n  \"items\": [";
        for (size_t k = 0; k < count; ++k)
            out += QByteArray(k == 0 ? "\n" : ",\n") +
                   "    {\"item\": " + quoteJson(tally.items.at(qsizetype(k))) + ", \"kind\": \"" +
                   itemKindOf(tally.items.at(qsizetype(k))) +
                   "\", \"count\": " + QByteArray::number(tally.files[k]) + "}";
        out += count == 0 ? "]\n}\n" : "\n  ]\n}\n";
        break;
    }
    return out;
}

bool TallySum::addLine(const QByteArray& rawLine, const QString& where, QString* error) {
    QByteArray line = rawLine;
    if (line.endsWith('\r'))
        line.chop(1);
    qsizetype i = 0;
    if (m_depth == 0) {
        if (line.trimmed().isEmpty())
            return true;
        if (!line.trimmed().startsWith('{')) {
            if (QString problem; !addRow(line, &problem))
                return failWith(error, where + QStringLiteral(": ") + problem);
            return true;
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
        return true;
    }
    m_json += line.left(i + 1);
    if (!line.mid(i + 1).trimmed().isEmpty())
        return failWith(error, where + QStringLiteral(": text after the end of a JSON object"));
    if (QString problem; !addJson(m_json, &problem))
        return failWith(error, m_jsonStart + QStringLiteral(": ") + problem);
    m_json.clear();
    return true;
}

bool TallySum::endInput(const QString& where, QString* error) {
    if (m_depth == 0)
        return true;
    m_depth = 0;
    m_json.clear();
    return failWith(
        error,
        where + QStringLiteral(": the JSON object begun at %1 does not end").arg(m_jsonStart));
}

bool TallySum::setFilter(qint64 filter, QString* error) {
    if (filter > 2)
        return failWith(error, QStringLiteral("the filter must be 0, 1 or 2"));
    if (m_filter >= 0 && m_filter != filter)
        return failWith(error,
                        QStringLiteral("made with filter %1, the results before with filter %2")
                            .arg(filter)
                            .arg(m_filter));
    m_filter = int(filter);
    ++m_filterRows;
    return true;
}

void TallySum::addHash(quint64 hash) {
    m_hashes = (m_hashes + hash) % kCheckModulus;
}

bool TallySum::addItem(const QString& item, qint64 count, QString* error) {
    auto it = m_items.find(item);
    if (it == m_items.end()) {
        it = m_items.insert(item, ItemSum{});
        m_order.append(item);
    }
    ++it->partials;
    return addTo(it->count, count, error);
}

bool TallySum::addRow(const QByteArray& line, QString* error) {
    if (line == kTsvHeader)
        return true;
    const QList<QByteArray> fields = line.split('\t');
    if (fields.size() != 4)
        return failWith(
            error, QStringLiteral("a row must have four fields separated by tabs (kind, number, "
                                  "item, item_kind), not %1")
                       .arg(fields.size()));
    const QByteArray& kind = fields[0];
    const std::optional<qint64> number = parseCount(fields[1]);
    if (!number)
        return failWith(error,
                        QStringLiteral("'%1' is no count").arg(QString::fromUtf8(fields[1])));
    if (kind == "item") {
        QString item;
        if (!unescapeTsv(fields[2], item, error))
            return false;
        if (fields[3] != itemKindOf(item))
            return failWith(error, QStringLiteral("the kind of the item '%1' is %2, not %3")
                                       .arg(item, QString::fromUtf8(itemKindOf(item)),
                                            QString::fromUtf8(fields[3])));
        addHash(rowHash(kind, *number, fields[2]));
        return addItem(item, *number, error);
    }
    if (!fields[2].isEmpty() || !fields[3].isEmpty())
        return failWith(error,
                        QStringLiteral("a '%1' row has no item").arg(QString::fromUtf8(kind)));
    if (kind == "check") {
        ++m_checkRows;
        m_checks = (m_checks + quint64(*number)) % kCheckModulus;
        return true;
    }
    addHash(rowHash(kind, *number, {}));
    if (kind == "filter")
        return setFilter(*number, error);
    if (kind == "files") {
        ++m_partials;
        ++m_tsvParts;
        return addTo(m_files, *number, error);
    }
    if (kind == "without") {
        ++m_withoutRows;
        return addTo(m_without, *number, error);
    }
    if (kind == "unreadable") {
        ++m_unreadableRows;
        return addTo(m_unreadable, *number, error);
    }
    if (kind == "decoded") {
        if (*number != 1)
            return failWith(error, QStringLiteral("a 'decoded' row holds 1"));
        ++m_decodedRows;
        return true;
    }
    return failWith(error, QStringLiteral("unknown kind of row '%1'").arg(QString::fromUtf8(kind)));
}

bool TallySum::addJson(const QByteArray& text, QString* error) {
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(text, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return failWith(error, QStringLiteral("not JSON: %1").arg(parseError.errorString()));
    const QJsonObject object = document.object();
    const QJsonArray items = object.value(QStringLiteral("items")).toArray();
    if (countJsonKeys(text) > object.size() + 3 * items.size())
        return failWith(error, QStringLiteral("a member is there twice in one object"));
    const QStringList keys{"filter", "files", "without", "unreadable", "items", "decoded"};
    for (const QString& key : object.keys())
        if (!keys.contains(key))
            return failWith(error, QStringLiteral("unknown key \"%1\"").arg(key));
    std::optional<qint64> numbers[4];
    for (int k = 0; k < 4; ++k) {
        numbers[k] = jsonCount(object.value(keys[k]));
        if (!numbers[k])
            return failWith(error, QStringLiteral("\"%1\" must be a count").arg(keys[k]));
    }
    const QJsonValue decoded = object.value(QStringLiteral("decoded"));
    if (!decoded.isUndefined() && !decoded.isBool())
        return failWith(error, QStringLiteral("\"decoded\" must be true or false"));
    if (!object.value(QStringLiteral("items")).isArray())
        return failWith(error, QStringLiteral("\"items\" must be an array"));
    QSet<QString> seen;
    for (const QJsonValue value : items) {
        const QJsonObject entry = value.toObject();
        const std::optional<qint64> count = jsonCount(entry.value(QStringLiteral("count")));
        if (entry.size() != 3 || !entry.value(QStringLiteral("item")).isString() ||
            !entry.value(QStringLiteral("kind")).isString() || !count)
            return failWith(
                error, QStringLiteral("every entry of \"items\" must be {\"item\": TEXT, \"kind\": "
                                      "KIND, \"count\": N}"));
        const QString item = entry.value(QStringLiteral("item")).toString();
        const QString kind = entry.value(QStringLiteral("kind")).toString();
        if (kind.toUtf8() != itemKindOf(item))
            return failWith(error, QStringLiteral("the kind of the item '%1' is %2, not %3")
                                       .arg(item, QString::fromUtf8(itemKindOf(item)), kind));
        if (seen.contains(item))
            return failWith(error, QStringLiteral("the item \"%1\" is there twice").arg(item));
        seen.insert(item);
    }
    if (!setFilter(*numbers[0], error))
        return false;
    if (decoded.toBool())
        ++m_decodedRows;
    ++m_partials;
    ++m_withoutRows;
    ++m_unreadableRows;
    for (auto [sum, number] : {std::pair{&m_files, numbers[1]}, std::pair{&m_without, numbers[2]},
                               std::pair{&m_unreadable, numbers[3]}})
        if (!addTo(*sum, *number, error))
            return false;
    for (const QJsonValue value : items) {
        const QJsonObject entry = value.toObject();
        if (!addItem(entry.value(QStringLiteral("item")).toString(),
                     *jsonCount(entry.value(QStringLiteral("count"))), error))
            return false;
    }
    return true;
}

bool TallySum::result(ScanTally& tally, QString* error) const {
    if (m_partials == 0)
        return failWith(error, QStringLiteral("no partial results in the input"));
    const std::pair<const char*, qint64> rows[] = {
        {"filter", m_filterRows}, {"without", m_withoutRows}, {"unreadable", m_unreadableRows}};
    for (const auto& [kind, count] : rows)
        if (count != m_partials)
            return failWith(
                error, QStringLiteral("the partial results are incomplete: %1 'files' rows, but %2 "
                                      "'%3' rows")
                           .arg(m_partials)
                           .arg(count)
                           .arg(QLatin1String(kind)));
    if (m_checkRows != m_tsvParts)
        return failWith(
            error,
            QStringLiteral("the partial results are incomplete: %1 'files' rows in TSV, but %2 "
                           "'check' rows (a part may be cut short, or made by an older "
                           "junkloupe-cli)")
                .arg(m_tsvParts)
                .arg(m_checkRows));
    if (m_hashes != m_checks)
        return failWith(
            error, QStringLiteral("the rows do not add up to the checks of their parts: a row is "
                                  "there twice, missing or changed"));
    // Decoded and raw texts differ, so their counts do not add up.
    if (m_decodedRows != 0 && m_decodedRows != m_partials)
        return failWith(
            error,
            QStringLiteral("the partial results were made with and without --decode: %1 of %2 "
                           "decoded")
                .arg(m_decodedRows)
                .arg(m_partials));
    for (const QString& item : m_order) {
        const qint64 seen = m_items.value(item).partials;
        if (seen != m_partials)
            return failWith(
                error, QStringLiteral("the partial results were made with different items: '%1' is "
                                      "in %2 of %3")
                           .arg(item)
                           .arg(seen)
                           .arg(m_partials));
    }
    QStringList items = m_order;
    sortInListOrder(items);
    tally = ScanTally(items, m_filter, m_decodedRows > 0);
    tally.examined = m_files;
    tally.without = m_without;
    tally.unreadable = m_unreadable;
    for (qsizetype k = 0; k < items.size(); ++k)
        tally.files[size_t(k)] = m_items.value(items.at(k)).count;
    return true;
}

} // namespace jl::cli
