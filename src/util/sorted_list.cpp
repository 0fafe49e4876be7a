#include "util/sorted_list.h"

#include <algorithm>

namespace jl {

// --- ListCollator -------------------------------------------------------------

ListCollator::ListCollator(const QLocale& locale) : m_collator(locale) {
    m_collator.setCaseSensitivity(Qt::CaseInsensitive);
    m_collator.setNumericMode(false);
    m_collator.setIgnorePunctuation(false);
    // In the C locale QCollator compares code points and its sort keys are the
    // plain UTF-8 bytes, which do not ignore letter case even when compare()
    // does. Folding the text first gives keys that order and match without
    // regard to case, and compare() below goes through the same keys.
    m_foldCase = m_collator.locale().language() == QLocale::C;
}

QCollatorSortKey ListCollator::key(const QString& text) const {
    return m_collator.sortKey(m_foldCase ? text.toCaseFolded() : text);
}

int ListCollator::compare(const QString& a, const QString& b) const {
    if (m_foldCase)
        return key(a).compare(key(b));
    return m_collator.compare(a, b);
}

// --- SortedList -----------------------------------------------------------------

SortedList::SortedList(Selection selection, QObject* parent)
    : SortedList(selection, QLocale(), parent) {}

SortedList::SortedList(Selection selection, const QLocale& locale, QObject* parent)
    : QAbstractListModel(parent), m_selectionKind(selection), m_collator(locale),
      m_selection(std::make_unique<QItemSelectionModel>(this)) {}

SortedList::~SortedList() = default;

QStringList SortedList::entries() const {
    QStringList out;
    out.reserve(count());
    for (const Entry& e : m_entries)
        out.append(e.text);
    return out;
}

int SortedList::upperBound(const QCollatorSortKey& key) const {
    const auto it = std::upper_bound(
        m_entries.begin(), m_entries.end(), key,
        [](const QCollatorSortKey& k, const Entry& e) { return k.compare(e.key) < 0; });
    return static_cast<int>(it - m_entries.begin());
}

int SortedList::lowerBound(const QCollatorSortKey& key) const {
    const auto it = std::lower_bound(
        m_entries.begin(), m_entries.end(), key,
        [](const Entry& e, const QCollatorSortKey& k) { return e.key.compare(k) < 0; });
    return static_cast<int>(it - m_entries.begin());
}

std::pair<int, int> SortedList::equalRange(const QString& text) const {
    const QCollatorSortKey k = m_collator.key(text);
    return {lowerBound(k), upperBound(k)};
}

int SortedList::insert(const QString& text) {
    QCollatorSortKey k = m_collator.key(text);
    const int row = upperBound(k);
    beginInsertRows(QModelIndex(), row, row);
    m_entries.insert(m_entries.begin() + row, Entry{text, std::move(k)});
    endInsertRows();
    return row;
}

void SortedList::insertMany(const QStringList& texts) {
    if (texts.isEmpty())
        return;
    if (texts.size() == 1) {
        insert(texts.front());
        return;
    }

    std::vector<Entry> added;
    added.reserve(static_cast<size_t>(texts.size()));
    for (const QString& t : texts)
        added.push_back(Entry{t, m_collator.key(t)});
    // Stable: texts that compare equal keep their given order, as if they had
    // been inserted one by one.
    std::stable_sort(added.begin(), added.end(),
                     [](const Entry& a, const Entry& b) { return a.key.compare(b.key) < 0; });

    // Remember the selection by entry, so it survives the reset.
    const std::vector<int> selectedBefore = selectedIndices();
    const int currentBefore = m_selection->currentIndex().row();

    beginResetModel();
    std::vector<Entry> merged;
    merged.reserve(m_entries.size() + added.size());
    std::vector<int> newRowOfOld(m_entries.size());
    size_t i = 0;
    size_t j = 0;
    // Existing entries go before new ones that compare equal (upper bound).
    while (i < m_entries.size() || j < added.size()) {
        const bool takeOld = j == added.size() ||
                             (i < m_entries.size() && added[j].key.compare(m_entries[i].key) >= 0);
        if (takeOld) {
            newRowOfOld[i] = static_cast<int>(merged.size());
            merged.push_back(std::move(m_entries[i++]));
        } else {
            merged.push_back(std::move(added[j++]));
        }
    }
    m_entries = std::move(merged);
    endResetModel();

    if (!selectedBefore.empty()) {
        QItemSelection sel;
        int runStart = -1;
        int runEnd = -1;
        for (int old : selectedBefore) {
            const int row = newRowOfOld[static_cast<size_t>(old)];
            if (runStart >= 0 && row == runEnd + 1) {
                runEnd = row;
                continue;
            }
            if (runStart >= 0)
                sel.select(rowIndex(runStart), rowIndex(runEnd));
            runStart = runEnd = row;
        }
        sel.select(rowIndex(runStart), rowIndex(runEnd));
        m_selection->select(sel, QItemSelectionModel::Select);
    }
    if (currentBefore >= 0 && static_cast<size_t>(currentBefore) < newRowOfOld.size())
        m_selection->setCurrentIndex(rowIndex(newRowOfOld[static_cast<size_t>(currentBefore)]),
                                     QItemSelectionModel::NoUpdate);
}

void SortedList::removeAt(int index) {
    if (index < 0 || index >= count())
        return;
    beginRemoveRows(QModelIndex(), index, index);
    m_entries.erase(m_entries.begin() + index);
    endRemoveRows();
}

void SortedList::removeIndices(std::vector<int> indices) {
    std::sort(indices.begin(), indices.end());
    indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
    // From the last run down, so earlier indices stay valid.
    size_t end = indices.size();
    while (end > 0) {
        size_t begin = end - 1;
        while (begin > 0 && indices[begin - 1] == indices[begin] - 1)
            --begin;
        const int first = indices[begin];
        const int last = indices[end - 1];
        if (first >= 0 && last < count()) {
            beginRemoveRows(QModelIndex(), first, last);
            m_entries.erase(m_entries.begin() + first, m_entries.begin() + last + 1);
            endRemoveRows();
        }
        end = begin;
    }
}

void SortedList::clear() {
    beginResetModel();
    m_entries.clear();
    endResetModel();
}

int SortedList::compareWithEntry(const QString& text, int index) const {
    return compareWithEntry(m_collator.key(text), index);
}

int SortedList::compareWithEntry(const QCollatorSortKey& key, int index) const {
    return key.compare(m_entries[static_cast<size_t>(index)].key);
}

// --- selection --------------------------------------------------------------------

bool SortedList::isSelected(int index) const {
    if (index < 0 || index >= count())
        return false;
    return m_selection->isSelected(rowIndex(index));
}

void SortedList::setSelected(int index, bool selected) {
    if (index < 0 || index >= count())
        return;
    if (selected && m_selectionKind == Selection::Single) {
        selectOnly(index);
        return;
    }
    m_selection->select(rowIndex(index),
                        selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect);
}

void SortedList::selectOnly(int index) {
    if (index < 0 || index >= count())
        return;
    m_selection->setCurrentIndex(rowIndex(index), QItemSelectionModel::ClearAndSelect);
}

void SortedList::clearSelection() {
    m_selection->clearSelection();
}

std::vector<int> SortedList::selectedIndices() const {
    std::vector<int> rows;
    for (const QItemSelectionRange& range : m_selection->selection()) {
        if (!range.isValid() || range.model() != this)
            continue;
        for (int r = range.top(); r <= range.bottom(); ++r)
            rows.push_back(r);
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

// --- QAbstractListModel -------------------------------------------------------

int SortedList::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : count();
}

QVariant SortedList::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= count() || index.column() != 0)
        return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return at(index.row());
    return {};
}

} // namespace jl
