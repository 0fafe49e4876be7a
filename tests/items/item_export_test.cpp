// The exports' escaping against the pattern engines the filters use: Perl's
// (PCRE here, as SpamAssassin's rules are Perl patterns) and POSIX extended
// (glibc's regcomp, as Postfix's regexp: tables). Each hostile item must
// match its own text, letter case ignored, and nothing a character away.
// The real SpamAssassin and Postfix read the same exports in
// tests/scripts/filter_exports_test.sh.

#include "items/item_export.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <regex.h>

namespace jl {
namespace {

QStringList hostileItems() {
    QStringList items;
    for (char c = 0x21; c < 0x7f; ++c) {
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))
            continue;
        items << QString(QLatin1Char(c)) << QStringLiteral("a%1b").arg(QLatin1Char(c));
    }
    items << QStringLiteral("spam.example.com") << QStringLiteral("a+b@example.com")
          << QStringLiteral("$1.00 [offer] (now)") << QStringLiteral("\"quoted\" 'single'")
          << QStringLiteral("back\\slash\\\\") << QStringLiteral("# not a comment")
          << QStringLiteral("  blanks at the ends  ") << QStringLiteral("tab\there")
          << QStringLiteral("Grüße aus Zürich") << QStringLiteral("ПРИВЕТ")
          << QStringLiteral("^start$ .* end|or") << QStringLiteral("{1,2}\\d\\w\\x41")
          << QStringLiteral("/slashes/ and //") << QString(1000, QLatin1Char('x')) + "!";
    return items;
}

// Changes the character in the middle of item to one that differs from it
// whatever the letter case.
QString changedByOne(const QString& item) {
    QString changed = item;
    const qsizetype at = item.size() / 2;
    changed[at] = item.at(at) == QLatin1Char('q') || item.at(at) == QLatin1Char('Q')
                      ? QLatin1Char('z')
                      : QLatin1Char('q');
    return changed;
}

// The Perl pattern over the item's bytes, each byte a character (as Perl
// sees a message that it has not decoded).
bool perlMatches(const QString& item, const QString& text) {
    const QRegularExpression pattern(QString::fromLatin1(perlLiteral(item)),
                                     QRegularExpression::CaseInsensitiveOption);
    EXPECT_TRUE(pattern.isValid()) << item.toStdString();
    return pattern.match(QString::fromLatin1(text.toUtf8())).hasMatch();
}

bool posixMatches(const QString& item, const QString& text) {
    regex_t compiled;
    const QByteArray pattern = posixLiteral(item);
    const int error = regcomp(&compiled, pattern.constData(), REG_EXTENDED | REG_ICASE | REG_NOSUB);
    EXPECT_EQ(error, 0) << pattern.toStdString();
    if (error != 0)
        return false;
    const bool matched = regexec(&compiled, text.toUtf8().constData(), 0, nullptr, 0) == 0;
    regfree(&compiled);
    return matched;
}

TEST(ItemExport, EscapedItemsMatchTheirOwnTextAndNothingElse) {
    for (const QString& item : hostileItems()) {
        SCOPED_TRACE(item.toStdString());
        // Letter case is ignored for ASCII letters; other letters match as
        // their bytes are written.
        QString upper = item;
        for (QChar& c : upper)
            if (c >= u'a' && c <= u'z')
                c = c.toUpper();
        const QString inText = QStringLiteral("Subject: <<") + upper + ">> end";
        EXPECT_TRUE(perlMatches(item, inText));
        EXPECT_TRUE(posixMatches(item, inText));
        EXPECT_FALSE(perlMatches(item, changedByOne(item)));
        EXPECT_FALSE(posixMatches(item, changedByOne(item)));
        // Neither a rule file's comment sign, a delimiter nor a blank that a
        // reader of the file could trim is written as it is.
        const QByteArray perl = perlLiteral(item);
        EXPECT_FALSE(perl.contains('#') || perl.contains('/') || perl.contains(' '));
        EXPECT_FALSE(posixLiteral(item).replace("\\/", "").contains('/'));
    }
}

TEST(ItemExport, RuleNamesAreValidAndUnique) {
    const QStringList items{QStringLiteral("a.b"), QStringLiteral("a-b"), QStringLiteral("#"),
                            QStringLiteral("Grüße"), QString(300, QLatin1Char('z'))};
    ExportOptions options;
    const QByteArray rules = exportItems(items, nullptr, options);
    const QRegularExpression fullRule(QStringLiteral("^full +(\\S+) /.*/i$"),
                                      QRegularExpression::MultilineOption);
    QStringList names;
    for (auto m = fullRule.globalMatch(QString::fromUtf8(rules)); m.hasNext();)
        names << m.next().captured(1);
    ASSERT_EQ(names.size(), items.size());
    for (const QString& name : names) {
        EXPECT_TRUE(
            QRegularExpression(QStringLiteral("^JL_[0-9]+(_[A-Z0-9_]+)?$")).match(name).hasMatch())
            << name.toStdString();
        EXPECT_LE(name.size(), 40);
        EXPECT_EQ(names.count(name), 1);
        EXPECT_TRUE(rules.contains("score    " + name.toUtf8() + " 0.1\n"));
        EXPECT_TRUE(rules.contains("describe " + name.toUtf8() + " Junkloupe "));
    }
    // The header filters look at the header lines.
    options.filter = 0;
    EXPECT_TRUE(exportItems(items, nullptr, options).contains(" ALL =~ /a\\x2eb/i\n"));
}

TEST(ItemExport, TablesCarryKindsAndCounts) {
    const QStringList items{QStringLiteral("=cmd|' /C calc'!A0"), QStringLiteral("192.0.2.1"),
                            QStringLiteral("a,\"b\"")};
    const std::vector<qint64> files{3, 0, 12};
    ExportOptions options;
    options.format = ExportFormat::Csv;
    const QString csv = QString::fromUtf8(exportItems(items, &files, options));
    EXPECT_TRUE(csv.startsWith(QStringLiteral("Kind,Item,Files\r\n")));
    EXPECT_TRUE(csv.contains(QStringLiteral("\r\nipv4,192.0.2.1,0\r\n")));
    EXPECT_TRUE(csv.contains(QStringLiteral("\r\nother,\"a,\"\"b\"\"\",12\r\n")));
    EXPECT_TRUE(csv.contains(QStringLiteral("\r\nother,'=cmd|' /C calc'!A0,3\r\n"))); // no formula

    options.format = ExportFormat::Json;
    const QJsonObject json = QJsonDocument::fromJson(exportItems(items, &files, options)).object();
    EXPECT_EQ(json.value("filter").toInt(), 2);
    const QJsonArray rows = json.value("items").toArray();
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[1].toObject().value("kind").toString(), "ipv4");
    EXPECT_EQ(rows[0].toObject().value("item").toString(), items[0]);
    EXPECT_EQ(rows[2].toObject().value("files").toInt(), 12);
    EXPECT_FALSE(QJsonDocument::fromJson(exportItems(items, nullptr, options))
                     .object()
                     .value("items")
                     .toArray()[0]
                     .toObject()
                     .contains("files"));

    options.format = ExportFormat::Postfix;
    options.action = QStringLiteral("REJECT");
    EXPECT_TRUE(exportItems(items, nullptr, options)
                    .contains("\n/192[.]0[.]2[.]1/ REJECT Junkloupe item 2 (ipv4)\n"));
}

TEST(ItemExport, OptionsThatMakeNoExportAreRefused) {
    ExportOptions options;
    EXPECT_TRUE(checkExportOptions(options));
    options.score = std::numeric_limits<double>::infinity();
    EXPECT_FALSE(checkExportOptions(options));
    options = {};
    options.action = QStringLiteral("WARN\nREJECT");
    EXPECT_FALSE(checkExportOptions(options));
    options.action = QStringLiteral("  ");
    EXPECT_FALSE(checkExportOptions(options));
}

} // namespace
} // namespace jl
