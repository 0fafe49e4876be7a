#pragma once
// The sorted list behind both list boxes: entries kept in list order
// (locale-aware, letter case ignored) in blocks of bounded size, with each
// entry's collation key cached, plus a selection. It is a QAbstractListModel so a QListView can
// show it, but it holds no widget: every list operation works on it directly.

#include <QAbstractListModel>
#include <QCollator>
#include <QItemSelectionModel>
#include <QLocale>
#include <QStringList>

#include <memory>
#include <utility>
#include <vector>

namespace jl {

// The one comparison that gives both the list order and list equality:
// locale-aware, letter case ignored. Keys and compare() always agree, also in
// the C locale, where the collator falls back to code points (there the text
// is case-folded before its key is taken).
class ListCollator {
public:
    explicit ListCollator(const QLocale& locale = QLocale());
    QCollatorSortKey key(const QString& text) const;
    // <0: a sorts before b, 0: equal, >0: after.
    int compare(const QString& a, const QString& b) const;
    QLocale locale() const { return m_collator.locale(); }
    // The indices of texts in list order; texts equal under it keep the order
    // of QString's own comparison, so the result does not depend on the order
    // they came in. The order of sorting by key(), in one go.
    std::vector<qsizetype> sortedOrder(const QStringList& texts) const;

private:
    QCollator m_collator;
    bool m_foldCase = false; // the collator itself would not ignore letter case
};

class SortedList : public QAbstractListModel {
    Q_OBJECT
public:
    enum class Selection { Single, Multiple };

    explicit SortedList(Selection selection, QObject* parent = nullptr);
    SortedList(Selection selection, const QLocale& locale, QObject* parent = nullptr);
    ~SortedList() override;

    Selection selectionKind() const { return m_selectionKind; }
    const ListCollator& collator() const { return m_collator; }

    // --- entries -------------------------------------------------------------
    int count() const { return m_count; }
    bool isEmpty() const { return m_count == 0; }
    const QString& at(int index) const { return entry(index).text; }
    QStringList entries() const;

    // Inserts at the sorted place (after entries that compare equal) and
    // returns the new index. The selection stays on the entries it was on.
    int insert(const QString& text);
    // Inserts many texts in one go: sorts them and merges them into the list
    // (one model reset). Duplicates are kept; uniqueness is the caller's job.
    void insertMany(const QStringList& texts);
    void removeAt(int index);
    // Removes the entries at the given indices (any order, duplicates allowed),
    // one model signal per run of neighbouring indices.
    void removeIndices(std::vector<int> indices);
    void clear();

    // Compares text with the entry at index by the list comparison
    // (<0: text sorts before the entry, 0: equal, >0: after).
    int compareWithEntry(const QString& text, int index) const;
    int compareWithEntry(const QCollatorSortKey& key, int index) const;
    // The half-open range [first, second) of entries equal to text.
    std::pair<int, int> equalRange(const QString& text) const;
    std::pair<int, int> equalRange(const QCollatorSortKey& key) const;
    // The index of an entry that is text itself, character for character
    // (letter case counts), or -1. key is text's key.
    int indexOfExact(const QString& text) const;
    int indexOfExact(const QString& text, const QCollatorSortKey& key) const;

    // --- selection -----------------------------------------------------------
    QItemSelectionModel* selectionModel() const { return m_selection.get(); }
    bool isSelected(int index) const;
    void setSelected(int index, bool selected);
    // Makes index the single selected entry.
    void selectOnly(int index);
    void clearSelection();
    // Selected indices in ascending order.
    std::vector<int> selectedIndices() const;

    // --- QAbstractListModel --------------------------------------------------
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    struct Entry {
        QString text;
        QCollatorSortKey key;
    };
    // The entries in list order, cut into blocks of bounded size so that an
    // insertion or removal moves at most one block's entries; blockStart[b]
    // is the index of block b's first entry.
    using Block = std::vector<Entry>;

    const Entry& entry(int index) const;
    // The block holding index and the index's offset inside it.
    std::pair<size_t, int> locate(int index) const;
    void insertEntryAt(int row, Entry entry);
    void eraseRange(int first, int last);
    void replaceAll(std::vector<Entry> entries);
    void recountFrom(size_t block);
    int upperBound(const QCollatorSortKey& key) const;
    int lowerBound(const QCollatorSortKey& key) const;
    // The first index whose entry isPast holds for (the entries it holds for
    // are a tail of the list), or count().
    template <typename IsPast> int firstPast(IsPast isPast) const;
    QModelIndex rowIndex(int row) const { return index(row, 0); }

    Selection m_selectionKind;
    ListCollator m_collator;
    std::vector<Block> m_blocks;
    std::vector<int> m_blockStart;
    int m_count = 0;
    std::unique_ptr<QItemSelectionModel> m_selection;
};

} // namespace jl
