// The scan for the next file without interesting items, through the window.

#include "items_fixture.h"
#include "support/item_pile.h"

#include "util/list_ops.h"

#include <QPushButton>
#include <QTimer>

namespace jl::test {
namespace {

class ScanWindowTest : public HarvestWindowTest {
protected:
    // The pile of support/item_pile.h.
    void makePile(const QString& pattern) { makeItemPile(files(), items(), messages, pattern); }
    int current() const { return Get_First_Selected_Index(files()); }
};

// Where the scan stops is the workspace's (tests/workspace); the window shows
// that file and gives the view the focus.
TEST_F(ScanWindowTest, ShowsTheFileWhereTheScanStops) {
    makePile("DDCD");
    Select_List_Index(files(), 0);
    focusElsewhere();
    dialogs.clear();
    button("BitBtn1")->click();
    EXPECT_EQ(current(), 2);
    EXPECT_EQ(caption(), "File 3 of 4 :  f002 ");
    EXPECT_TRUE(viewText().contains("hello"));
    EXPECT_FALSE(foundAny());
    EXPECT_TRUE(viewHasFocus());
    EXPECT_FALSE(form->isBusy());
    EXPECT_EQ(dialogs.count(), 0u);
}

TEST_F(ScanWindowTest, ClosingTheWindowDuringAScanStopsIt) {
    makePile("DDDDDDDDDD");
    Select_List_Index(files(), 0);
    const bool quitOnClose = QApplication::quitOnLastWindowClosed();
    QApplication::setQuitOnLastWindowClosed(false);
    QTimer::singleShot(0, form.get(), [this] { form->close(); });
    button("BitBtn1")->click();
    QApplication::setQuitOnLastWindowClosed(quitOnClose);
    EXPECT_FALSE(form->isVisible());
    EXPECT_LT(current(), 9);
    EXPECT_EQ(dialogs.count(), 0u);
}

} // namespace
} // namespace jl::test
