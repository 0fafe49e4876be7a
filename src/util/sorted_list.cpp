#include "util/sorted_list.h"

#include <algorithm>
#include <iterator>
#include <numeric>
#include <string_view>
#include <tuple>

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

// Through the sort keys in every locale: the list keeps keys, and a direct
// compare() can disagree with them (texts made only of ignorable characters
// against the empty text), which would break the bisection.
int ListCollator::compare(const QString& a, const QString& b) const {
    return key(a).compare(key(b));
}

namespace {

// The C locale's key of text: the case-folded text's UTF-8 bytes, compared as
// C strings (up to the first zero byte). Plain ASCII folds to lower case here,
// without a folded copy.
void appendFoldedKey(const QString& text, QByteArray& keys) {
    const qsizetype start = keys.size();
    const bool ascii =
        std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
    if (ascii) {
        keys.resize(start + text.size());
        char* out = keys.data() + start;
        for (const QChar c : text) {
            const char byte = char(c.unicode());
            *out++ = byte >= 'A' && byte <= 'Z' ? char(byte + ('a' - 'A')) : byte;
        }
    } else {
        keys += text.toCaseFolded().toUtf8();
    }
    const qsizetype zero = keys.indexOf('\0', start);
    if (zero >= 0)
        keys.truncate(zero);
}

} // namespace

std::vector<qsizetype> ListCollator::sortedOrder(const QStringList& texts) const {
    std::vector<qsizetype> order(size_t(texts.size()));
    std::iota(order.begin(), order.end(), 0);
    if (texts.size() < 2)
        return order;
    auto tieBreak = [&texts](qsizetype a, qsizetype b) { return texts.at(a) < texts.at(b); };
    if (!m_foldCase) {
        std::vector<QCollatorSortKey> keys;
        keys.reserve(size_t(texts.size()));
        for (const QString& text : texts)
            keys.push_back(key(text));
        std::sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) {
            const int c = keys[size_t(a)].compare(keys[size_t(b)]);
            return c != 0 ? c < 0 : tieBreak(a, b);
        });
        return order;
    }

    // The same keys as key() gives, in one block, compared from where they
    // first differ: the names of one folder share a long beginning.
    QByteArray keys;
    std::vector<qsizetype> ends;
    ends.reserve(size_t(texts.size()));
    for (const QString& text : texts) {
        appendFoldedKey(text, keys);
        ends.push_back(keys.size());
    }
    auto whole = [&](qsizetype i) {
        const qsizetype start = i == 0 ? 0 : ends[size_t(i - 1)];
        return std::string_view(keys.constData() + start, size_t(ends[size_t(i)] - start));
    };
    const std::string_view first = whole(0);
    size_t shared = first.size();
    for (qsizetype i = 1; i < texts.size() && shared > 0; ++i) {
        const std::string_view other = whole(i);
        size_t same = 0;
        while (same < shared && same < other.size() && other[same] == first[same])
            ++same;
        shared = same;
    }
    auto keyOf = [&](qsizetype i) { return whole(i).substr(shared); };
    std::sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) {
        const int c = keyOf(a).compare(keyOf(b));
        return c != 0 ? c < 0 : tieBreak(a, b);
    });
    return order;
}

// --- SortedList -----------------------------------------------------------------

namespace {
// A block is split when it grows past kBlockMax; blocks built in bulk start
// half full, so that insertions do not split them at once.
constexpr size_t kBlockMax = 1024;
constexpr size_t kBlockFill = 512;
} // namespace

SortedList::SortedList(Selection selection, QObject* parent)
    : SortedList(selection, QLocale(), parent) {}

SortedList::SortedList(Selection selection, const QLocale& locale, QObject* parent)
    : QAbstractListModel(parent), m_selectionKind(selection), m_collator(locale),
      m_selection(std::make_unique<QItemSelectionModel>(this)) {}

SortedList::~SortedList() = default;

std::pair<size_t, int> SortedList::locate(int index) const {
    const auto it = std::upper_bound(m_blockStart.begin(), m_blockStart.end(), index);
    const size_t block = static_cast<size_t>(it - m_blockStart.begin()) - 1;
    return {block, index - m_blockStart[block]};
}

const SortedList::Entry& SortedList::entry(int index) const {
    const auto [block, offset] = locate(index);
    return m_blocks[block][static_cast<size_t>(offset)];
}

void SortedList::recountFrom(size_t block) {
    for (size_t k = block; k < m_blocks.size(); ++k)
        m_blockStart[k] =
            k == 0 ? 0 : m_blockStart[k - 1] + static_cast<int>(m_blocks[k - 1].size());
}

void SortedList::insertEntryAt(int row, Entry e) {
    if (m_blocks.empty()) {
        m_blocks.emplace_back();
        m_blockStart.push_back(0);
    }
    size_t block = m_blocks.size() - 1;
    int offset = static_cast<int>(m_blocks[block].size());
    if (row < m_count)
        std::tie(block, offset) = locate(row);
    Block& b = m_blocks[block];
    b.insert(b.begin() + offset, std::move(e));
    ++m_count;
    if (b.size() > kBlockMax) {
        const auto half = b.begin() + static_cast<std::ptrdiff_t>(b.size() / 2);
        Block tail(std::make_move_iterator(half), std::make_move_iterator(b.end()));
        b.erase(half, b.end());
        m_blocks.insert(m_blocks.begin() + static_cast<std::ptrdiff_t>(block) + 1, std::move(tail));
        m_blockStart.insert(m_blockStart.begin() + static_cast<std::ptrdiff_t>(block) + 1, 0);
    }
    recountFrom(block + 1);
}

void SortedList::eraseRange(int first, int last) {
    auto [block, offset] = locate(first);
    const size_t firstBlock = block;
    int remaining = last - first + 1;
    m_count -= remaining;
    while (remaining > 0) {
        Block& b = m_blocks[block];
        const int n = std::min(remaining, static_cast<int>(b.size()) - offset);
        b.erase(b.begin() + offset, b.begin() + offset + n);
        remaining -= n;
        if (b.empty()) {
            m_blocks.erase(m_blocks.begin() + static_cast<std::ptrdiff_t>(block));
            m_blockStart.erase(m_blockStart.begin() + static_cast<std::ptrdiff_t>(block));
        } else {
            ++block;
        }
        offset = 0;
    }
    recountFrom(firstBlock);
}

void SortedList::replaceAll(std::vector<Entry> entries) {
    m_blocks.clear();
    m_blockStart.clear();
    m_count = static_cast<int>(entries.size());
    for (size_t i = 0; i < entries.size(); i += kBlockFill) {
        const size_t end = std::min(entries.size(), i + kBlockFill);
        m_blockStart.push_back(static_cast<int>(i));
        m_blocks.emplace_back(
            std::make_move_iterator(entries.begin() + static_cast<std::ptrdiff_t>(i)),
            std::make_move_iterator(entries.begin() + static_cast<std::ptrdiff_t>(end)));
    }
}

QStringList SortedList::entries() const {
    QStringList out;
    out.reserve(count());
    for (const Block& b : m_blocks)
        for (const Entry& e : b)
            out.append(e.text);
    return out;
}

template <typename IsPast> int SortedList::firstPast(IsPast isPast) const {
    // The first block whose last entry is past holds the place.
    const auto block = std::partition_point(m_blocks.begin(), m_blocks.end(),
                                            [&](const Block& b) { return !isPast(b.back()); });
    if (block == m_blocks.end())
        return m_count;
    const auto it = std::partition_point(block->begin(), block->end(),
                                         [&](const Entry& e) { return !isPast(e); });
    const size_t b = static_cast<size_t>(block - m_blocks.begin());
    return m_blockStart[b] + static_cast<int>(it - block->begin());
}

int SortedList::upperBound(const QCollatorSortKey& key) const {
    return firstPast([&key](const Entry& e) { return key.compare(e.key) < 0; });
}

int SortedList::lowerBound(const QCollatorSortKey& key) const {
    return firstPast([&key](const Entry& e) { return e.key.compare(key) >= 0; });
}

std::pair<int, int> SortedList::equalRange(const QString& text) const {
    return equalRange(m_collator.key(text));
}

std::pair<int, int> SortedList::equalRange(const QCollatorSortKey& key) const {
    return {lowerBound(key), upperBound(key)};
}

int SortedList::indexOfExact(const QString& text) const {
    return indexOfExact(text, m_collator.key(text));
}

int SortedList::indexOfExact(const QString& text, const QCollatorSortKey& key) const {
    // The text itself compares equal to itself, so only equal entries count.
    const auto [first, last] = equalRange(key);
    for (int i = first; i < last; ++i) {
        if (at(i) == text)
            return i;
    }
    return -1;
}

int SortedList::insert(const QString& text) {
    QCollatorSortKey k = m_collator.key(text);
    const int row = upperBound(k);
    beginInsertRows(QModelIndex(), row, row);
    insertEntryAt(row, Entry{text, k});
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
    std::vector<Entry> old;
    old.reserve(static_cast<size_t>(m_count));
    for (Block& b : m_blocks)
        for (Entry& e : b)
            old.push_back(std::move(e));
    std::vector<Entry> merged;
    merged.reserve(old.size() + added.size());
    std::vector<int> newRowOfOld(old.size());
    size_t i = 0;
    size_t j = 0;
    // Existing entries go before new ones that compare equal (upper bound).
    while (i < old.size() || j < added.size()) {
        const bool takeOld =
            j == added.size() || (i < old.size() && added[j].key.compare(old[i].key) >= 0);
        if (takeOld) {
            newRowOfOld[i] = static_cast<int>(merged.size());
            merged.push_back(std::move(old[i++]));
        } else {
            merged.push_back(std::move(added[j++]));
        }
    }
    replaceAll(std::move(merged));
    endResetModel();

    if (!selectedBefore.empty()) {
        QItemSelection sel;
        int runStart = -1;
        int runEnd = -1;
        for (int was : selectedBefore) {
            const int row = newRowOfOld[static_cast<size_t>(was)];
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
    eraseRange(index, index);
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
            eraseRange(first, last);
            endRemoveRows();
        }
        end = begin;
    }
}

void SortedList::clear() {
    beginResetModel();
    m_blocks.clear();
    m_blockStart.clear();
    m_count = 0;
    endResetModel();
}

int SortedList::compareWithEntry(const QString& text, int index) const {
    return compareWithEntry(m_collator.key(text), index);
}

int SortedList::compareWithEntry(const QCollatorSortKey& key, int index) const {
    return key.compare(entry(index).key);
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
