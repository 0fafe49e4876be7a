#include "util/list_ops.h"
#include "util/sorted_list.h"

#include <QAbstractItemModelTester>
#include <QRandomGenerator>
#include <QSignalSpy>

#include "qstring_printer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

namespace jl {
namespace {

const QLocale english(QLocale::English, QLocale::UnitedStates);

QStringList sample() {
    return {QStringLiteral("beta"),  QStringLiteral("Alpha"),  QStringLiteral("gamma"),
            QStringLiteral("ALPHA"), QStringLiteral("Beta2"),  QStringLiteral("delta"),
            QStringLiteral(""),      QStringLiteral("_under"), QStringLiteral("Zeta"),
            QStringLiteral("ärger"), QStringLiteral("alpha")};
}

// Order and equality must come from the same comparison in every locale the
// program may run under, the C locale of CI included.
class ListOrder : public testing::TestWithParam<const char*> {
protected:
    QLocale locale() const { return QLocale(QString::fromLatin1(GetParam())); }
};

TEST_P(ListOrder, KeysAndCompareAgreeAndIgnoreCase) {
    const ListCollator c(locale());
    const QStringList texts = sample();
    for (const QString& a : texts)
        for (const QString& b : texts) {
            const int byCompare = c.compare(a, b);
            const int byKeys = c.key(a).compare(c.key(b));
            EXPECT_EQ(byCompare < 0, byKeys < 0) << a.toStdString() << " " << b.toStdString();
            EXPECT_EQ(byCompare == 0, byKeys == 0) << a.toStdString() << " " << b.toStdString();
        }
    EXPECT_EQ(c.compare(QStringLiteral("abc"), QStringLiteral("ABC")), 0);
    EXPECT_LT(c.compare(QStringLiteral("a"), QStringLiteral("B")), 0);
    EXPECT_GT(c.compare(QStringLiteral("b"), QStringLiteral("A")), 0);
    EXPECT_LT(c.compare(QString(), QStringLiteral("a")), 0);
}

TEST_P(ListOrder, InsertKeepsTheListSortedAndFindSeesEveryEntry) {
    SortedList one(SortedList::Selection::Multiple, locale());
    for (const QString& t : sample())
        one.insert(t);
    SortedList batch(SortedList::Selection::Multiple, locale());
    batch.insertMany(sample());
    EXPECT_EQ(one.entries(), batch.entries()); // one by one and in a batch agree

    for (int i = 1; i < one.count(); ++i)
        EXPECT_LE(one.collator().compare(one.at(i - 1), one.at(i)), 0);
    for (const QString& t : sample()) {
        const int at = Find_List_Item(one, t.toUpper());
        ASSERT_GE(at, 0) << t.toStdString();
        EXPECT_EQ(one.collator().compare(one.at(at), t), 0);
    }
    EXPECT_EQ(Find_List_Item(one, QStringLiteral("missing")), -1);
}

// sortedOrder() against a sort by key(): texts with a shared beginning,
// letter case, non-ASCII (folding that changes the length), characters beyond
// 16 bits, zero characters, and random texts over the same alphabet.
TEST_P(ListOrder, SortedOrderIsTheOrderOfTheKeys) {
    const ListCollator c(locale());
    QStringList texts = sample();
    texts << QStringLiteral("/mail/box/MSG-2") << QStringLiteral("/mail/box/msg-10")
          << QStringLiteral("/mail/box/msg-2") << QStringLiteral("/mail/box/Straße")
          << QStringLiteral("/mail/box/STRASSE") << QStringLiteral("/mail/box/ΣΑΣ")
          << QStringLiteral("/mail/box/σας") << QStringLiteral("/mail/box/\U0001F600x")
          << QStringLiteral("/mail/box/\uFFFDx") << QStringLiteral("/mail/box") << QString()
          << QStringLiteral("/mail/a") + QChar(0) + QLatin1Char('a')
          << QStringLiteral("/mail/a") + QChar(0) + QLatin1Char('B') << QStringLiteral("/mail/a");
    const QString alphabet = QStringLiteral("aAbB_-.1\u00E4\u00C4\u00DF\u03A3\u03C2");
    QRandomGenerator rng(7);
    for (int i = 0; i < 300; ++i) {
        QString text = QStringLiteral("/mail/box/");
        for (int n = int(rng.bounded(6)); n > 0; --n)
            text += alphabet.at(int(rng.bounded(int(alphabet.size()))));
        texts << text;
    }

    auto byKeys = [&c](const QStringList& some) {
        std::vector<qsizetype> order(size_t(some.size()));
        std::iota(order.begin(), order.end(), 0);
        std::sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) {
            const int byKey = c.key(some.at(a)).compare(c.key(some.at(b)));
            return byKey != 0 ? byKey < 0 : some.at(a) < some.at(b);
        });
        return order;
    };
    EXPECT_EQ(c.sortedOrder(texts), byKeys(texts));
    // All with a shared beginning, which the keys may skip.
    const QStringList boxed = texts.filter(QStringLiteral("/mail/box/"));
    EXPECT_EQ(c.sortedOrder(boxed), byKeys(boxed));
    // Two texts, and nothing to sort.
    EXPECT_EQ(c.sortedOrder({QStringLiteral("b"), QStringLiteral("A")}),
              (std::vector<qsizetype>{1, 0}));
    EXPECT_EQ(c.sortedOrder({}), std::vector<qsizetype>{});
}

INSTANTIATE_TEST_SUITE_P(Locales, ListOrder, testing::Values("C", "en_US", "de_DE"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param).substr(0, 2);
                         });

TEST(SortedList, EqualEntriesKeepInsertionOrder) {
    SortedList list(SortedList::Selection::Multiple, english);
    list.insert(QStringLiteral("x"));
    EXPECT_EQ(list.insert(QStringLiteral("X")), 1); // after equal entries
    list.insertMany({QStringLiteral("x2"), QStringLiteral("X"), QStringLiteral("x")});
    EXPECT_EQ(list.entries(), (QStringList{"x", "X", "X", "x", "x2"}));
}

TEST(FindListItem, BisectionOverDuplicatesAndEmptyList) {
    SortedList list(SortedList::Selection::Multiple, english);
    EXPECT_EQ(Find_List_Item(list, QString()), -1);
    EXPECT_EQ(Find_List_Item(list, QStringLiteral("abc")), -1);
    list.insert(QStringLiteral("ABC"));
    EXPECT_EQ(Find_List_Item(list, QStringLiteral("abc")), 0);
    list.insertMany({QStringLiteral("x"), QStringLiteral("x"), QStringLiteral("X"),
                     QStringLiteral("a"), QStringLiteral("z")});
    // a ABC x x X z: the first of the equal entries.
    EXPECT_EQ(Find_List_Item(list, QStringLiteral("X")), 2);
    EXPECT_EQ(Find_List_Item(list, QStringLiteral("Z")), 5);
    EXPECT_EQ(Find_List_Item(list, QStringLiteral("b")), -1);
    EXPECT_EQ(Find_List_Item(list, QStringLiteral("")), -1);
}

TEST(SortedList, ModelSignalsAreConsistent) {
    SortedList list(SortedList::Selection::Multiple, english);
    QAbstractItemModelTester tester(&list, QAbstractItemModelTester::FailureReportingMode::Warning);
    QSignalSpy inserted(&list, &QAbstractItemModel::rowsInserted);
    QSignalSpy reset(&list, &QAbstractItemModel::modelReset);
    list.insert(QStringLiteral("m"));
    list.insert(QStringLiteral("a"));
    ASSERT_EQ(inserted.count(), 2);
    EXPECT_EQ(inserted.at(1).at(1).toInt(), 0);
    list.insertMany({QStringLiteral("b"), QStringLiteral("z"), QStringLiteral("c")});
    EXPECT_EQ(reset.count(), 1);
    EXPECT_EQ(list.data(list.index(2), Qt::DisplayRole).toString(), QStringLiteral("c"));
    list.removeIndices({0, 4, 1});
    EXPECT_EQ(list.entries(), (QStringList{"c", "m"}));
    list.clear();
    EXPECT_EQ(list.rowCount(), 0);
}

TEST(SortedList, SelectionFollowsEntriesThroughInsertions) {
    SortedList list(SortedList::Selection::Multiple, english);
    list.insertMany({QStringLiteral("b"), QStringLiteral("d"), QStringLiteral("f")});
    list.setSelected(0, true); // b
    list.setSelected(2, true); // f
    list.insert(QStringLiteral("a"));
    EXPECT_EQ(list.selectedIndices(), (std::vector<int>{1, 3}));
    list.insertMany({QStringLiteral("c"), QStringLiteral("e"), QStringLiteral("0")});
    // 0 a b c d e f
    EXPECT_EQ(list.selectedIndices(), (std::vector<int>{2, 6}));
    EXPECT_EQ(Get_First_Selected_Text(list), QStringLiteral("b"));
}

TEST(SortedList, SingleSelectionKeepsAtMostOne) {
    SortedList list(SortedList::Selection::Single, english);
    list.insertMany({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
    list.setSelected(0, true);
    list.setSelected(2, true);
    EXPECT_EQ(list.selectedIndices(), std::vector<int>{2});
    list.setSelected(2, false);
    EXPECT_EQ(Get_First_Selected_Index(list), -1);
    EXPECT_EQ(Get_First_Selected_Text(list), QString());
}

// Thousands of entries span many storage blocks: single insertions (which
// split blocks), batches, removals and searches must all agree with a plain
// sorted reference.
TEST(SortedList, LargeListsMatchASortedReference) {
    SortedList list(SortedList::Selection::Multiple, english);
    QStringList reference;
    QRandomGenerator rng(7);
    auto randomText = [&rng] {
        const int n = rng.bounded(1, 4);
        QString t;
        for (int k = 0; k < n; ++k)
            t += QLatin1Char("aAbBcC"[rng.bounded(6)]);
        return t;
    };
    auto insertReference = [&](const QString& t) {
        const auto at = std::upper_bound(
            reference.begin(), reference.end(), t,
            [&](const QString& a, const QString& b) { return list.collator().compare(a, b) < 0; });
        reference.insert(at, t);
    };
    for (int i = 0; i < 6000; ++i) {
        const QString t = randomText();
        list.insert(t);
        insertReference(t);
    }
    QStringList batch;
    for (int i = 0; i < 3000; ++i)
        batch << randomText();
    list.insertMany(batch);
    for (const QString& t : batch)
        insertReference(t);
    ASSERT_EQ(list.entries(), reference);
    for (int i = 0; i < list.count(); i += 37)
        EXPECT_EQ(list.at(i), reference[i]);

    // Every text of the alphabet is found, and its run of equal entries is
    // exactly where the reference has it.
    for (const QString& t : {QStringLiteral("a"), QStringLiteral("BC"), QStringLiteral("ccc")}) {
        const auto [first, last] = list.equalRange(t);
        int expectedFirst = -1;
        int expectedLast = -1;
        for (int i = 0; i < reference.size(); ++i)
            if (list.collator().compare(reference[i], t) == 0) {
                if (expectedFirst < 0)
                    expectedFirst = i;
                expectedLast = i + 1;
            }
        EXPECT_EQ(first, expectedFirst) << t.toStdString();
        EXPECT_EQ(last, expectedLast) << t.toStdString();
        const int found = Find_List_Item(list, t);
        EXPECT_TRUE(found >= first && found < last) << t.toStdString();
    }

    // Remove runs that cross block boundaries, and scattered single entries.
    std::vector<int> doomed;
    for (int i = 500; i < 2600; ++i)
        doomed.push_back(i);
    for (int i = 3000; i < list.count(); i += 11)
        doomed.push_back(i);
    list.removeIndices(doomed);
    // doomed is ascending: removed from the back, the indices stay valid.
    std::for_each(doomed.rbegin(), doomed.rend(), [&reference](int i) { reference.removeAt(i); });
    ASSERT_EQ(list.entries(), reference);
    while (list.count() > 0)
        list.removeAt(rng.bounded(list.count()));
    EXPECT_TRUE(list.isEmpty());
    list.insert(QStringLiteral("again"));
    EXPECT_EQ(list.entries(), QStringList{QStringLiteral("again")});
}

TEST(SortedList, CLocaleStillIgnoresCase) {
    SortedList list(SortedList::Selection::Multiple, QLocale::c());
    list.insertMany(
        {QStringLiteral("b"), QStringLiteral("A"), QStringLiteral("C"), QStringLiteral("a")});
    EXPECT_EQ(list.entries(), (QStringList{"A", "a", "b", "C"}));
    EXPECT_EQ(Find_List_Item(list, QStringLiteral("c")), 3);
}

} // namespace
} // namespace jl
