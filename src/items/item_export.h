#pragma once
// The interesting items written for where they are used next: as rules of a
// mail filter, or as indicators with their kinds. One engine for the window
// and junkloupe-cli; the caller writes the bytes to a file.
//
// - spamassassin: a rules file, one rule per item: a "full" rule (the whole
//   message) for the view filter that shows all printable text, a header
//   rule over all header lines for the two header filters; each with a
//   describe line and a score. Rule names are "JL_<number>_<item's letters
//   and digits>", unique and valid whatever the item holds.
// - postfix: a regexp: table that serves as header_checks and body_checks
//   (an item never spans lines), one line per item with the action.
// - csv: "Kind,Item,Files", one row per item; json: an object with the
//   filter and the items with kind and files.
// In the rules and the table every item is escaped so that it matches its
// own text, letter case ignored, and nothing else: letters and digits stand
// for themselves, every other character is written so that the pattern
// language takes it literally.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace jl {

enum class ExportFormat { SpamAssassin, Postfix, Csv, Json };

// "spamassassin", "postfix", "csv", "json".
std::optional<ExportFormat> exportFormatFromName(const QString& name);
QString exportFormatName(ExportFormat format);
// The file-name suffix a saved export usually carries (".cf", ".regexp",
// ".csv", ".json").
QString exportFileSuffix(ExportFormat format);

struct ExportOptions {
    ExportFormat format = ExportFormat::SpamAssassin;
    int filter = 2;                          // the view filter whose text the rules look at
    double score = 0.1;                      // each SpamAssassin rule's score
    QString action = QStringLiteral("WARN"); // each Postfix line's action
    bool decoded = false;                    // the files were counted in their decoded text
};

// Whether the options can make an export; false, with the reason in *error,
// for a score that is not a finite number, an empty action or one holding a
// line break.
bool checkExportOptions(const ExportOptions& options, QString* error = nullptr);

// The export of items (in the order given). files, when given, holds per
// item the files whose view text holds it (csv and json show it). The
// options must have passed checkExportOptions.
QByteArray exportItems(const QStringList& items, const std::vector<qint64>* files,
                       const ExportOptions& options);

// One item as a literal of the two pattern languages (exposed for tests):
// Perl, as SpamAssassin reads it (no '#', no '/', no blank), and POSIX
// extended, as Postfix reads it between '/' delimiters.
QByteArray perlLiteral(const QString& item);
QByteArray posixLiteral(const QString& item);

} // namespace jl
