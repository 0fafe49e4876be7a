#pragma once
// The counts that `hits` gives, in three forms, and the adding up of partial
// counts made by many runs over parts of one pile.
//
// text: per item "COUNT<TAB>ITEM", then one line with the files holding none.
// tsv:  a header "kind<TAB>number<TAB>item", then rows of three fields:
//       "filter N", "files N" (files examined), "without N" (files holding no
//       item), "unreadable N" (names that could not be examined) and one
//       "item COUNT ITEM" per item; backslash, TAB, CR and LF in an item are
//       written \\ \t \r \n. Every row stands alone, so partial results add
//       up line by line, in any order, after any shuffle that keeps lines.
// json: one object {"filter", "files", "without", "unreadable",
//       "items": [{"item", "count"}...]}.

#include "cli/options.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace jl::cli {

struct Tally {
    int filter = 1;
    qint64 files = 0;      // files examined (read, empty or in use)
    qint64 without = 0;    // of those, files whose shown text holds no item
    qint64 unreadable = 0; // names that could not be examined (unreadable files too)
    QStringList items;     // in the order of the window's items list
    std::vector<qint64> counts;
};

QByteArray formatTally(const Tally& tally, TallyFormat format);

// The items as hits counts them: in the order of the window's items list
// (names equal under its comparison keep code point order), each text once.
QStringList itemsInListOrder(const QStringList& items);

// Adds up partial results in the tsv and json forms, mixed as they come.
class TallySum {
public:
    // Takes the next line of an input (without its line end); where names
    // the place in messages ("FILE:LINE"). Returns the problem, if any.
    std::optional<QString> addLine(const QByteArray& line, const QString& where);
    // Ends one input; a json object left open is a problem.
    std::optional<QString> endInput(const QString& where);
    // The sum, or the problem when the partial results do not fit together.
    std::optional<QString> result(Tally& tally) const;

private:
    std::optional<QString> addRow(const QByteArray& line);
    std::optional<QString> addJson(const QByteArray& text);
    std::optional<QString> addItem(const QString& item, qint64 count);
    std::optional<QString> setFilter(qint64 filter);

    struct ItemSum {
        qint64 count = 0;
        qint64 partials = 0; // partial results naming the item
    };
    qint64 m_partials = 0; // one per "files" entry
    qint64 m_filterRows = 0, m_withoutRows = 0, m_unreadableRows = 0;
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
