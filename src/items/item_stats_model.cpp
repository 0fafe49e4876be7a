#include "items/item_stats_model.h"

#include "items/item_kind.h"

#include <algorithm>
#include <numeric>

namespace jl {

namespace {

const QString kHeaders[ItemStatsModel::ColumnCount] = {
    QStringLiteral("Files"), QStringLiteral("Alone"), QStringLiteral("Kind"),
    QStringLiteral("Item")};

} // namespace

QString csvField(const QString& text) {
    // A spreadsheet takes a cell that begins with one of these for a formula
    // (or, after a tab or a carriage return, may), and evaluates it when the
    // file is opened; a leading single quote makes it text.
    static const QString kFormulaStarts = QStringLiteral("=+-@\t\r");
    const QString cell =
        !text.isEmpty() && kFormulaStarts.contains(text.front()) ? QLatin1Char('\'') + text : text;
    const bool quote = cell.contains(QLatin1Char(',')) || cell.contains(QLatin1Char('"')) ||
                       cell.contains(QLatin1Char('\r')) || cell.contains(QLatin1Char('\n'));
    if (!quote)
        return cell;
    QString quoted = cell;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

ItemStatsModel::ItemStatsModel(QObject* parent) : QAbstractTableModel(parent) {}

void ItemStatsModel::setStats(const CollectionStats& stats) {
    beginResetModel();
    m_items = stats.items;
    m_files = stats.files;
    m_alone = stats.alone;
    m_kinds.clear();
    m_kinds.reserve(m_items.size());
    for (const QString& item : std::as_const(m_items))
        m_kinds.append(itemKindToken(classifyItem(item)));
    m_rows.resize(size_t(m_items.size()));
    std::iota(m_rows.begin(), m_rows.end(), 0);
    sortRows();
    endResetModel();
}

void ItemStatsModel::clear() {
    setStats(CollectionStats{});
}

qint64 ItemStatsModel::number(int item, int column) const {
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
        if (column == KindColumn) {
            const int order = m_kinds.at(a).compare(m_kinds.at(b));
            if (order != 0)
                return descending ? order > 0 : order < 0;
            return a < b;
        }
        const qint64 x = number(a, column);
        const qint64 y = number(b, column);
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
        QStringList(std::begin(kHeaders), std::end(kHeaders)).join(QLatin1Char(',')) + lineEnd;
    for (const int item : m_rows)
        csv += QString::number(m_files.at(size_t(item))) + QLatin1Char(',') +
               QString::number(m_alone.at(size_t(item))) + QLatin1Char(',') + m_kinds.at(item) +
               QLatin1Char(',') + csvField(m_items.at(item)) + lineEnd;
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
    const bool numeric = index.column() == FilesColumn || index.column() == AloneColumn;
    switch (role) {
    case Qt::DisplayRole:
        if (numeric)
            return number(item, index.column());
        if (index.column() == KindColumn)
            return m_kinds.at(item);
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
    // A first click on a count sorts the largest first.
    if (orientation == Qt::Horizontal && role == Qt::InitialSortOrderRole &&
        (section == FilesColumn || section == AloneColumn))
        return int(Qt::DescendingOrder);
    return QAbstractTableModel::headerData(section, orientation, role);
}

} // namespace jl
