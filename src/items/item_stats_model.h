#pragma once
// The items table of the statistics: one row per item with the files that
// hold it, the files that it alone covers, its kind (items/item_kind.h, as
// `hits --format tsv` names it) and the item itself; sortable by any column
// (ties keep the items list's order) and written out as CSV in the order
// shown.

#include "items/collection_stats.h"

#include <QAbstractTableModel>
#include <QString>
#include <QStringList>

#include <vector>

namespace jl {

class ItemStatsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column {
        FilesColumn = 0,
        AloneColumn = 1,
        KindColumn = 2,
        ItemColumn = 3,
        ColumnCount = 4
    };

    explicit ItemStatsModel(QObject* parent = nullptr);

    // Shows the items of stats in the current sort order.
    void setStats(const CollectionStats& stats);
    void clear();

    // The item index (into the stats' items) shown in a row.
    int itemAt(int row) const { return m_rows.at(size_t(row)); }
    const QString& itemText(int row) const { return m_items.at(itemAt(row)); }
    int sortColumn() const { return m_sortColumn; }
    Qt::SortOrder sortOrder() const { return m_sortOrder; }

    // The header and every row in the order shown, as CSV (RFC 4180: fields
    // holding a comma, a double quote or a line break are quoted, quotes
    // doubled, every line ended by CR LF; items a spreadsheet would take for
    // a formula are written as text, see csvField).
    QString toCsv() const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

private:
    void sortRows();
    qint64 number(int item, int column) const;

    QStringList m_items;
    std::vector<qint64> m_files;
    std::vector<int> m_alone;
    QStringList m_kinds;     // per item, its kind's name
    std::vector<int> m_rows; // item indices in the order shown
    int m_sortColumn = ItemColumn;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
};

// One CSV field, quoted when RFC 4180 asks for it. Text that begins with =,
// +, -, @, a tab or a carriage return gets a single quote in front, so that a
// spreadsheet opening the file shows it instead of evaluating it as a formula.
// Every CSV the tool writes goes through here.
QString csvField(const QString& text);

} // namespace jl
