#include "items/item_stats_model.h"

#include <algorithm>
#include <numeric>

namespace jl {

namespace {

const QString kHeaders[ItemStatsModel::ColumnCount] = {
    QStringLiteral("Files"), QStringLiteral("Alone"), QStringLiteral("Item")};

} // namespace

QString csvField(const QString& text) {
    const bool quote = text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('"')) ||
                       text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n'));
    if (!quote)
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

ItemStatsModel::ItemStatsModel(QObject* parent) : QAbstractTableModel(parent) {}

void ItemStatsModel::setStats(const CollectionStats& stats) {
    beginResetModel();
    m_items = stats.items;
    m_files = stats.files;
    m_alone = stats.alone;
    m_rows.resize(size_t(m_items.size()));
    std::iota(m_rows.begin(), m_rows.end(), 0);
    sortRows();
    endResetModel();
}

void ItemStatsModel::clear() {
    setStats(CollectionStats{});
}

int ItemStatsModel::number(int item, int column) const {
    if (column == FilesColumn)
        return m_files.at(size_t(item));
    if (column == AloneColumn)
        return m_alone.at(size_t(item));
    return item; // the items list's order
}

void ItemStatsModel::sortRows() {
    const int column = m_sortColumn;
    const bool descending = m_sortOrder == Qt::DescendingOrder;
    // Ties keep the items list's order whichever way the column is sorted.
    std::stable_sort(m_rows.begin(), m_rows.end(), [&](int a, int b) {
        const int x = number(a, column);
        const int y = number(b, column);
        if (x != y)
            return descending ? x > y : x < y;
        return a < b;
    });
}

void ItemStatsModel::sort(int column, Qt::SortOrder order) {
    if (column < 0 || column >= ColumnCount)
        return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<int> itemsBefore;
    itemsBefore.reserve(size_t(before.size()));
    for (const QModelIndex& index : before)
        itemsBefore.push_back(itemAt(index.row()));
    m_sortColumn = column;
    m_sortOrder = order;
    sortRows();
    // Persistent indices (the view's current row and selection) follow
    // their items.
    std::vector<int> rowOf(m_rows.size());
    for (size_t row = 0; row < m_rows.size(); ++row)
        rowOf[size_t(m_rows[row])] = int(row);
    QModelIndexList after;
    after.reserve(before.size());
    for (qsizetype i = 0; i < before.size(); ++i)
        after.append(index(rowOf[size_t(itemsBefore[size_t(i)])], before[i].column()));
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

QString ItemStatsModel::toCsv() const {
    const QString lineEnd = QStringLiteral("\r\n");
    QString csv =
        kHeaders[0] + QLatin1Char(',') + kHeaders[1] + QLatin1Char(',') + kHeaders[2] + lineEnd;
    for (const int item : m_rows)
        csv += QString::number(m_files.at(size_t(item))) + QLatin1Char(',') +
               QString::number(m_alone.at(size_t(item))) + QLatin1Char(',') +
               csvField(m_items.at(item)) + lineEnd;
    return csv;
}

int ItemStatsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_rows.size());
}

int ItemStatsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ItemStatsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= int(m_rows.size()))
        return {};
    const int item = itemAt(index.row());
    const bool numeric = index.column() != ItemColumn;
    switch (role) {
    case Qt::DisplayRole:
        if (numeric)
            return number(item, index.column());
        return m_items.at(item);
    case Qt::ToolTipRole:
        return m_items.at(item);
    case Qt::TextAlignmentRole:
        return numeric ? int(Qt::AlignRight | Qt::AlignVCenter)
                       : int(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return {};
    }
}

QVariant ItemStatsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < ColumnCount)
        return kHeaders[section];
    return QAbstractTableModel::headerData(section, orientation, role);
}

} // namespace jl
