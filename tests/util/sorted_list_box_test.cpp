#include "util/list_ops.h"
#include "util/widgets/sorted_list_box.h"

#include "qstring_printer.h"

#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

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

} // namespace
} // namespace jl
