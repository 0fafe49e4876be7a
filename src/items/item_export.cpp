#include "items/item_export.h"

#include "items/item_kind.h"
#include "items/item_stats_model.h"
#include "util/failure.h"
#include "util/product.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace jl {

namespace {

struct FormatName {
    ExportFormat format;
    const char* name;
    const char* suffix;
};
constexpr FormatName kFormats[] = {
    {ExportFormat::SpamAssassin, "spamassassin", ".cf"},
    {ExportFormat::Postfix, "postfix", ".regexp"},
    {ExportFormat::Csv, "csv", ".csv"},
    {ExportFormat::Json, "json", ".json"},
};

bool isAsciiAlnum(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

QByteArray hexEscape(unsigned char byte) {
    static const char digits[] = "0123456789abcdef";
    QByteArray out = "\\x";
    out += digits[byte >> 4];
    out += digits[byte & 15];
    return out;
}

// "JL_<number>_<up to 30 letters and digits of the item, upper case, runs of
// anything else as one underscore>": valid for SpamAssassin whatever the
// item holds, and unique through the number.
QByteArray ruleName(const QString& item, qsizetype number) {
    QByteArray name = "JL_" + QByteArray::number(number);
    QByteArray words;
    for (const char c : item.toUtf8()) {
        if (isAsciiAlnum(c))
            words += char(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
        else if (!words.isEmpty() && !words.endsWith('_'))
            words += '_';
        if (words.size() >= 30)
            break;
    }
    while (words.endsWith('_'))
        words.chop(1);
    if (!words.isEmpty())
        name += '_' + words;
    return name;
}

// The item for a describe line or a comment: one line, no comment sign,
// at most 80 characters.
QByteArray describeText(const QString& item) {
    QString text = item.trimmed();
    for (QChar& c : text)
        if (!c.isPrint())
            c = QLatin1Char('?');
    if (text.size() > 80)
        text = text.left(77) + QStringLiteral("...");
    QByteArray bytes = text.toUtf8();
    bytes.replace("#", "\\#"); // SpamAssassin reads "#" as the start of a comment
    return bytes;
}

QByteArray headerComment(const QStringList& items, const ExportOptions& options, const char* what) {
    return "# " + productCaption().toUtf8() + ": " + QByteArray::number(items.size()) +
           (items.size() == 1 ? " interesting item " : " interesting items ") + what +
           " (view filter " + QByteArray::number(options.filter) + ").\n";
}

// An empty item matches nothing in a message, while an empty pattern would
// match every message.
QByteArray emptyItemNote(qsizetype number) {
    return "# Item " + QByteArray::number(number) +
           " is empty: it matches nothing and has no rule.\n";
}

QByteArray spamAssassinRules(const QStringList& items, const ExportOptions& options) {
    const bool full = options.filter >= 2;
    QByteArray out = headerComment(items, options, "as SpamAssassin rules");
    out += full ? "# Each is a full rule: it looks at the whole message, as the view of all\n"
                  "# printable text does.\n"
                : "# Each is a header rule over all header lines, which the view's header\n"
                  "# stretches (Received ... Message-ID) are part of.\n";
    out += "# A rule matches its item's text, letter case ignored, and nothing else.\n";
    const QByteArray score = QByteArray::number(options.score, 'g', 6);
    for (qsizetype k = 0; k < items.size(); ++k) {
        const QString& item = items.at(k);
        if (item.isEmpty()) {
            out += "\n" + emptyItemNote(k + 1);
            continue;
        }
        const QByteArray name = ruleName(item, k + 1);
        const QByteArray pattern = '/' + perlLiteral(item) + "/i";
        out += '\n';
        out += full ? "full     " + name + ' ' + pattern + '\n'
                    : "header   " + name + " ALL =~ " + pattern + '\n';
        out += "describe " + name + " Junkloupe " + itemKindToken(classifyItem(item)).toUtf8() +
               ": " + describeText(item) + '\n';
        out += "score    " + name + ' ' + score + '\n';
    }
    return out;
}

// The action, and for the actions that take a text, which item matched.
QByteArray postfixResult(const QString& action, const QString& item, qsizetype number) {
    static const QStringList withText = {QStringLiteral("WARN"), QStringLiteral("INFO"),
                                         QStringLiteral("REJECT"), QStringLiteral("HOLD"),
                                         QStringLiteral("DISCARD")};
    QByteArray result = action.trimmed().toUtf8();
    if (withText.contains(action.trimmed(), Qt::CaseInsensitive))
        result += " Junkloupe item " + QByteArray::number(number) + " (" +
                  itemKindToken(classifyItem(item)).toUtf8() + ")";
    return result;
}

QByteArray postfixTable(const QStringList& items, const ExportOptions& options) {
    QByteArray out = headerComment(items, options, "as a Postfix regexp: table");
    out += "# For header_checks and body_checks alike: an item never spans lines.\n"
           "# A pattern matches its item's text, letter case ignored, and nothing else.\n";
    for (qsizetype k = 0; k < items.size(); ++k) {
        if (items.at(k).isEmpty())
            out += emptyItemNote(k + 1);
        else
            out += '/' + posixLiteral(items.at(k)) + "/ " +
                   postfixResult(options.action, items.at(k), k + 1) + '\n';
    }
    return out;
}

QByteArray csvTable(const QStringList& items, const std::vector<qint64>* files) {
    QString out = QStringLiteral("Kind,Item,Files\r\n");
    for (qsizetype k = 0; k < items.size(); ++k) {
        out += itemKindToken(classifyItem(items.at(k))) + QLatin1Char(',') + csvField(items.at(k)) +
               QLatin1Char(',');
        if (files)
            out += QString::number(files->at(size_t(k)));
        out += QStringLiteral("\r\n");
    }
    return out.toUtf8();
}

QByteArray jsonDocument(const QStringList& items, const std::vector<qint64>* files,
                        const ExportOptions& options) {
    QJsonArray rows;
    for (qsizetype k = 0; k < items.size(); ++k) {
        QJsonObject row{{QStringLiteral("kind"), itemKindToken(classifyItem(items.at(k)))},
                        {QStringLiteral("item"), items.at(k)}};
        if (files)
            row.insert(QStringLiteral("files"), double(files->at(size_t(k))));
        rows.append(row);
    }
    QJsonObject root{{QStringLiteral("filter"), options.filter}, {QStringLiteral("items"), rows}};
    if (files && options.decoded)
        root.insert(QStringLiteral("decoded"), true);
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

} // namespace

std::optional<ExportFormat> exportFormatFromName(const QString& name) {
    for (const FormatName& entry : kFormats)
        if (name == QLatin1String(entry.name))
            return entry.format;
    return std::nullopt;
}

QString exportFormatName(ExportFormat format) {
    for (const FormatName& entry : kFormats)
        if (entry.format == format)
            return QLatin1String(entry.name);
    return {};
}

QString exportFileSuffix(ExportFormat format) {
    for (const FormatName& entry : kFormats)
        if (entry.format == format)
            return QLatin1String(entry.suffix);
    return {};
}

bool checkExportOptions(const ExportOptions& options, QString* error) {
    if (!std::isfinite(options.score))
        return failWith(error, QStringLiteral("the score must be a number"));
    if (options.action.trimmed().isEmpty())
        return failWith(error, QStringLiteral("the action must not be empty"));
    if (options.action.contains(QLatin1Char('\n')) || options.action.contains(QLatin1Char('\r')))
        return failWith(error, QStringLiteral("the action must be one line"));
    return true;
}

QByteArray exportItems(const QStringList& items, const std::vector<qint64>* files,
                       const ExportOptions& options) {
    switch (options.format) {
    case ExportFormat::SpamAssassin:
        return spamAssassinRules(items, options);
    case ExportFormat::Postfix:
        return postfixTable(items, options);
    case ExportFormat::Csv:
        return csvTable(items, files);
    case ExportFormat::Json:
        return jsonDocument(items, files, options);
    }
    return {};
}

QByteArray perlLiteral(const QString& item) {
    QByteArray out;
    for (const char c : item.toUtf8()) {
        if (isAsciiAlnum(c))
            out += c;
        else
            out += hexEscape(static_cast<unsigned char>(c));
    }
    return out;
}

QByteArray posixLiteral(const QString& item) {
    QByteArray out;
    for (const char c : item.toUtf8()) {
        const auto byte = static_cast<unsigned char>(c);
        if (isAsciiAlnum(c) || byte >= 0x80)
            out += c; // bytes past ASCII are never special
        else if (c == '\\' || c == '^' || c == '/')
            out += QByteArray("\\") + c;
        else if (c == ']')
            out += "[]]";
        else
            out += QByteArray("[") + c + ']';
    }
    return out;
}

} // namespace jl
