#pragma once
// The counts that `hits` gives, in three forms, and the adding up of partial
// counts made by many runs over parts of one pile.
//
// text: per item "COUNT<TAB>ITEM", then one line with the files holding none.
// tsv:  a header "kind<TAB>number<TAB>item<TAB>item_kind", then rows of four
//       fields: "filter N", "files N" (files examined), "without N" (files
//       holding no item), "unreadable N" (names that could not be examined),
//       "decoded 1" when MIME parts were decoded, and one "item COUNT ITEM
//       KIND" per item (backslash, TAB, CR and LF in an item are written \\ \t
//       \r \n; KIND as items/item_kind names it), then "check N", a sum of
//       hashes of the rows before it. Every row stands alone, so partial
//       results add up line by line, in any order, after any shuffle that
//       keeps lines; the checks show a row repeated, lost or changed on the
//       way.
// json: one object {"filter", "files", "without", "unreadable",
//       "items": [{"item", "kind", "count"}...]}, and "decoded": true when
//       MIME parts were decoded.

#include "cli/options.h"
#include "items/scan_tally.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <vector>

namespace jl::cli {

// The counts of hits (the tally's files examined are its "files").
QByteArray formatTally(const ScanTally& tally, TallyFormat format);

// The items as hits counts them: in the order of the window's items list
// (names equal under its comparison keep code point order), each text once.
QStringList itemsInListOrder(const QStringList& items);

// Adds up partial results in the tsv and json forms, mixed as they come.
class TallySum {
public:
    // Takes the next line of an input (without its line end); where names
    // the place in messages ("FILE:LINE"). False, with the problem in
    // *error, when the line does not fit.
    bool addLine(const QByteArray& line, const QString& where, QString* error = nullptr);
    // Ends one input; a json object left open is a problem.
    bool endInput(const QString& where, QString* error = nullptr);
    // The sum into tally; false, with the problem in *error, when the partial
    // results do not fit together.
    bool result(ScanTally& tally, QString* error = nullptr) const;

private:
    bool addRow(const QByteArray& line, QString* error);
    bool addJson(const QByteArray& text, QString* error);
    bool addItem(const QString& item, qint64 count, QString* error);
    bool setFilter(qint64 filter, QString* error);
    void addHash(quint64 hash);

    struct ItemSum {
        qint64 count = 0;
        qint64 partials = 0; // partial results naming the item
    };
    qint64 m_partials = 0; // one per "files" entry
    qint64 m_filterRows = 0, m_withoutRows = 0, m_unreadableRows = 0;
    qint64 m_tsvParts = 0, m_checkRows = 0;
    quint64 m_hashes = 0, m_checks = 0; // of the TSV rows, modulo 2^63
    qint64 m_decodedRows = 0;           // partial results made with --decode
    int m_filter = -1;
    qint64 m_files = 0, m_without = 0, m_unreadable = 0;
    QHash<QString, ItemSum> m_items;
    QStringList m_order; // items as first met
    QByteArray m_json;   // a json object in the making
    int m_depth = 0;
    bool m_inString = false, m_escaped = false;
    QString m_jsonStart;
};

} // namespace jl::cli
