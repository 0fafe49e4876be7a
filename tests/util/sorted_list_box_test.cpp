#include "util/list_ops.h"
#include "util/widgets/short_text_delegate.h"
#include "util/widgets/sorted_list_box.h"

#include "qstring_printer.h"

#include <QApplication>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <functional>

namespace jl {
namespace {

class ListBox : public testing::Test {
protected:
    void SetUp() override {
        box.resize(200, 150);
        box.list().insertMany(
            {QStringLiteral("/m/c"), QStringLiteral("/m/a"), QStringLiteral("/m/b")});
        box.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    }
    QPoint centreOf(int row) { return box.visualRect(box.list().index(row)).center(); }

    SortedListBox box{SortedList::Selection::Single};
};

TEST_F(ListBox, UserSelectionIsSignalledCodeSelectionIsNot) {
    QSignalSpy spy(&box, &SortedListBox::userSelected);
    Select_List_Index(box.list(), 0);
    EXPECT_EQ(spy.count(), 0);
    EXPECT_EQ(box.currentIndex().row(), 0); // the view follows the list

    QTest::mouseClick(box.viewport(), Qt::LeftButton, {}, centreOf(2));
    EXPECT_EQ(spy.count(), 1);
    EXPECT_EQ(Get_First_Selected_Text(box.list()), QStringLiteral("/m/c"));

    box.setFocus();
    QTest::keyClick(&box, Qt::Key_Up);
    EXPECT_EQ(spy.count(), 2);
    EXPECT_EQ(Get_First_Selected_Index(box.list()), 1);
    QTest::keyClick(&box, Qt::Key_Home);
    EXPECT_EQ(spy.count(), 3);
    QTest::keyClick(&box, Qt::Key_Home); // nothing changes: no signal
    EXPECT_EQ(spy.count(), 3);
    EXPECT_EQ(box.list().selectedIndices(), std::vector<int>{0});

    // Dragging with the button held to another entry also counts.
    QTest::mousePress(box.viewport(), Qt::LeftButton, {}, centreOf(0));
    QTest::mouseMove(box.viewport(), centreOf(2));
    QTest::mouseRelease(box.viewport(), Qt::LeftButton, {}, centreOf(2));
    EXPECT_EQ(spy.count(), 5);
    EXPECT_EQ(Get_First_Selected_Index(box.list()), 2);

    // Clicking below the last entry selects nothing and says nothing.
    QTest::mouseClick(box.viewport(), Qt::LeftButton, {}, QPoint(5, box.viewport()->height() - 2));
    EXPECT_EQ(spy.count(), 5);
}

// Every way a user can act on the list either changes the selection and says
// so once, or leaves the selection (and the current entry) alone and says
// nothing; only a left click on an entry says so without a change.
TEST_F(ListBox, EveryUserActionReportsTheSelectionItMakes) {
    using Act = std::function<void()>;
    QWidget* port = box.viewport();
    auto at = [this](int row) { return centreOf(row); };
    auto click = [=](Qt::MouseButton button, int row, Qt::KeyboardModifiers mods = {}) {
        return Act([=] { QTest::mouseClick(port, button, mods, at(row)); });
    };
    // Press, release, the second press (a double click), release.
    auto doubleClick = [=](Qt::MouseButton button, int row) {
        return Act([=] {
            QTest::mouseClick(port, button, {}, at(row));
            QTest::mouseDClick(port, button, {}, at(row));
            QTest::mouseRelease(port, button, {}, at(row));
        });
    };
    auto key = [this](Qt::Key k, Qt::KeyboardModifiers mods = {}) {
        return Act([this, k, mods] { QTest::keyClick(&box, k, mods); });
    };
    auto drag = [=](Qt::MouseButton button, int from, int to) {
        return Act([=] {
            QTest::mousePress(port, button, {}, at(from));
            QMouseEvent move(QEvent::MouseMove, at(to), port->mapToGlobal(at(to)), Qt::NoButton,
                             button, {});
            QApplication::sendEvent(port, &move);
            QTest::mouseRelease(port, button, {}, at(to));
        });
    };
    auto wheel = [=](Qt::KeyboardModifiers mods) {
        return Act([=] {
            QWheelEvent event(at(1), port->mapToGlobal(at(1)), QPoint(), QPoint(0, -120),
                              Qt::NoButton, mods, Qt::NoScrollPhase, false);
            QApplication::sendEvent(port, &event);
        });
    };
    auto both = [](const Act& first, const Act& second) {
        return Act([=] {
            first();
            second();
        });
    };
    struct Case {
        const char* what;
        Act act;
        int selected; // the one selected row afterwards (row 0 was)
        int reports;
    };
    const Case cases[] = {
        {"right click", click(Qt::RightButton, 2), 0, 0},
        {"middle click", click(Qt::MiddleButton, 2), 0, 0},
        {"right double click", doubleClick(Qt::RightButton, 1), 0, 0},
        {"right drag", drag(Qt::RightButton, 1, 2), 0, 0},
        {"ctrl click on the selected entry", click(Qt::LeftButton, 0, Qt::ControlModifier), 0, 1},
        {"ctrl space", key(Qt::Key_Space, Qt::ControlModifier), 0, 0},
        {"ctrl click elsewhere", click(Qt::LeftButton, 2, Qt::ControlModifier), 2, 1},
        {"shift click", click(Qt::LeftButton, 1, Qt::ShiftModifier), 1, 1},
        {"left double click", doubleClick(Qt::LeftButton, 1), 1, 1},
        {"left click below the last entry",
         [=] { QTest::mouseClick(port, Qt::LeftButton, {}, QPoint(5, port->height() - 2)); }, 0, 0},
        {"down", key(Qt::Key_Down), 1, 1},
        {"ctrl down", key(Qt::Key_Down, Qt::ControlModifier), 1, 1},
        {"end", key(Qt::Key_End), 2, 1},
        {"page down", key(Qt::Key_PageDown), 2, 1},
        {"wheel", wheel({}), 0, 0},
        {"ctrl wheel", wheel(Qt::ControlModifier), 0, 0},
        {"shift wheel", wheel(Qt::ShiftModifier), 0, 0},
        {"left drag", drag(Qt::LeftButton, 0, 2), 2, 2}, // the press, then the release
        {"right click, then down from the selected entry",
         both(click(Qt::RightButton, 2), key(Qt::Key_Down)), 1, 1},
        {"space after code cleared the selection",
         both([this] { box.list().clearSelection(); }, key(Qt::Key_Space)), 0, 1},
    };
    for (const Case& c : cases) {
        Select_List_Index(box.list(), 0);
        box.setFocus();
        QSignalSpy spy(&box, &SortedListBox::userSelected);
        c.act();
        EXPECT_EQ(box.list().selectedIndices(), std::vector<int>{c.selected}) << c.what;
        EXPECT_EQ(box.currentIndex().row(), c.selected) << c.what;
        EXPECT_EQ(spy.count(), c.reports) << c.what;
    }
}

TEST_F(ListBox, SelectionModeFollowsTheListKind) {
    EXPECT_EQ(box.selectionMode(), QAbstractItemView::SingleSelection);
    SortedListBox multi(SortedList::Selection::Multiple);
    EXPECT_EQ(multi.selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_EQ(multi.selectionModel(), multi.list().selectionModel());
}

TEST_F(ListBox, ScrollsSidewaysOverFifteenHundredPixels) {
    box.list().insert(QStringLiteral("/m/") + QString(400, QLatin1Char('x')));
    Set_List_Scroll_Width(box);
    QTest::qWait(0);
    box.doItemsLayout();
    QScrollBar* bar = box.horizontalScrollBar();
    EXPECT_EQ(bar->maximum(), 1500 - box.viewport()->width());
    EXPECT_EQ(box.visualRect(box.list().index(3)).width(), 1500);
}

// An entry of a megabyte is laid out from its start only (a whole layout on
// every paint took seconds), and the list still holds it whole.
TEST_F(ListBox, HugeEntryIsDrawnFromItsStart) {
    const QString huge = QString(1'000'000, QLatin1Char('x'));
    box.list().insert(huge);
    const QModelIndex index = box.list().index(box.list().indexOfExact(huge));
    QStyleOptionViewItem option;
    option.initFrom(&box);
    const int width = box.itemDelegate()->sizeHint(option, index).width();
    EXPECT_GT(width, 1500);
    EXPECT_LT(width, 1100 * box.fontMetrics().maxWidth());
    EXPECT_EQ(box.list().at(index.row()), huge);
}

// What a list or table draws of a long text: its start, or both its ends
// where the view elides in the middle (paths that share their start), never
// half a character.
TEST(ShortText, KeepsTheStartOrBothEndsAndWholeCharacters) {
    const QString face = QString::fromUtf8("\xF0\x9F\x98\x80"); // two UTF-16 units
    const struct {
        QString text;
        Qt::TextElideMode mode;
        QString expected;
    } cases[] = {
        {"abcdef", Qt::ElideRight, "abcdef"},
        {"abcdef", Qt::ElideMiddle, "abcdef"},
        {"abcdefgh", Qt::ElideRight, QString::fromUtf8("abcdef\u2026")},
        {"abcdefgh", Qt::ElideMiddle, QString::fromUtf8("abc\u2026fgh")},
        {"abcde" + face + "h", Qt::ElideRight, QString::fromUtf8("abcde\u2026")},
        {"ab" + face + "efgh", Qt::ElideMiddle, QString::fromUtf8("ab\u2026fgh")},
        {"abcd" + face + "gh", Qt::ElideMiddle, QString::fromUtf8("abc\u2026gh")},
        {"abcde" + face + "h", Qt::ElideMiddle, QString::fromUtf8("abc\u2026") + face + "h"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        EXPECT_EQ(ShortTextDelegate::shortText(c.text, c.mode, 6), c.expected);
    }
}

} // namespace
} // namespace jl
