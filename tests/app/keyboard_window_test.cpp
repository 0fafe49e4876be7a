// The keyboard in the window: keys that move through the files and run the
// scan wherever the focus is on the page, the view included, while every key
// of the view keeps its effect; and the find bar (Ctrl+F, F3, Shift+F3).

#include "items_fixture.h"

#include "util/list_ops.h"
#include "view/widgets/find_bar.h"

#include <QLineEdit>
#include <QScrollBar>
#include <QTabWidget>
#include <QTextCursor>

namespace jl::test {
namespace {

class KeyboardWindowTest : public HarvestWindowTest {
protected:
    // Four files; only the first and the last hold no interesting item.
    const QStringList bodies = {"clean one", "spam-token", "SPAM-TOKEN", "clean two"};
    void makePile() {
        items().insert(QStringLiteral("spam-token"));
        for (int i = 0; i < 4; ++i)
            files().insert(message(QStringLiteral("m%1").arg(i), bodies[i].toLatin1() + "\r\n"));
    }
    void showFile(int index) {
        Select_List_Index(files(), index);
        form->Process_The_Selected_File_BitBtnClick();
    }
    static void press(QWidget* target, const char* keys) {
        QTest::keySequence(target, QKeySequence(QString::fromLatin1(keys)));
    }
    FindBar* bar() const { return control<FindBar>("findBar"); }
};

TEST_F(KeyboardWindowTest, KeysMoveThroughTheFilesFromTheViewAndFromTheLists) {
    makePile();
    struct Row {
        const char* keys;
        int from, to;
    };
    const Row rows[] = {{"Alt+Home", 3, 0},
                        {"Ctrl+,", 2, 1},
                        {"Ctrl+.", 1, 2},
                        {"Alt+End", 0, 3},
                        {"Alt+N", 0, 3}}; // the next file without items
    for (const Row& row : rows) {
        for (QWidget* focus :
             {static_cast<QWidget*>(view()),
              static_cast<QWidget*>(control<SortedListBox>("Interesting_Items_ListBox"))}) {
            SCOPED_TRACE(std::string(row.keys) + " from " + focus->objectName().toStdString());
            showFile(row.from);
            focus->setFocus();
            press(focus, row.keys);
            // The key clicks the button, which shows a moment later.
            EXPECT_TRUE(QTest::qWaitFor([&] { return current() == row.to; }, 2000)) << current();
            EXPECT_EQ(viewText().trimmed(), bodies[row.to]);
            EXPECT_TRUE(viewHasFocus());
        }
    }

    // Not while the window is busy, nor on another page.
    showFile(1);
    form->Set_Busy_State(false);
    press(form.get(), "Ctrl+.");
    QTest::qWait(500); // the click would have come by now
    EXPECT_EQ(current(), 1);
    form->Set_Busy_State(true);
    control<QTabWidget>("PageControl1")->setCurrentWidget(control("TabSheet2"));
    press(control<QTabWidget>("PageControl1"), "Ctrl+.");
    QTest::qWait(500);
    EXPECT_EQ(current(), 1);
}

TEST_F(KeyboardWindowTest, EveryKeyOfTheViewKeepsItsEffect) {
    makePile();
    showFile(1);
    const QString text =
        QStringLiteral("first line of the text\nsecond, longer line of the text\n").repeated(40);
    // The same view alone, where no key of the window can interfere.
    MessageView bare;
    bare.setFont(view()->font());
    bare.resize(view()->size());
    bare.show();
    auto reset = [&text](MessageView* target) {
        target->setWholeText(text);
        target->select(100, 4);
    };
    for (const char* keys :
         {"Right", "Shift+Left", "Down", "Shift+Up", "Home", "Shift+End", "PgDown", "Shift+PgUp",
          "Ctrl+Right", "Ctrl+Shift+Left", "Ctrl+Home", "Ctrl+Shift+End", "Ctrl+A"}) {
        SCOPED_TRACE(keys);
        reset(view());
        reset(&bare);
        view()->setFocus();
        press(view(), keys);
        press(&bare, keys);
        EXPECT_EQ(view()->textCursor().anchor(), bare.textCursor().anchor());
        EXPECT_EQ(view()->textCursor().position(), bare.textCursor().position());
        EXPECT_EQ(current(), 1);
    }
    // And the window's keys mean nothing to the view.
    for (const char* keys :
         {"Alt+Home", "Alt+End", "Ctrl+,", "Ctrl+.", "Alt+N", "Ctrl+F", "F3", "Shift+F3"}) {
        SCOPED_TRACE(keys);
        reset(&bare);
        const int scrolled = bare.verticalScrollBar()->value();
        press(&bare, keys);
        EXPECT_EQ(bare.textCursor().anchor(), 100);
        EXPECT_EQ(bare.textCursor().position(), 104);
        EXPECT_EQ(bare.verticalScrollBar()->value(), scrolled);
    }
}

TEST_F(KeyboardWindowTest, TheFindBarSelectsEachMatchExactlyAndLeavesTheColours) {
    // Widening on key and click, everything coloured, one item.
    setOptions(/*expand=*/2, /*filter=*/2, /*colour=*/3);
    items().insert(QStringLiteral("example.com"));
    //                           0         1         2         3         4         5         6
    //                           0123456789012345678901234567890123456789012345678901234567890123456
    showText(
        QStringLiteral("Received: from mx.EXAMPLE.com\nid Example-1; see example.com\nexample"));
    form->Colour_Code_File_Contents_BitBtnClick();
    auto colours = [this] {
        QString map;
        for (int i = 0; i < view()->textLength(); ++i)
            map += view()->colourAt(i).name();
        return map;
    };
    const QString before = colours();
    view()->setSelectionStart(0);
    view()->setFocus();

    struct Step {
        const char* what;
        const char* keys; // typed into the bar's field when it starts with '='
        int start, length;
        const char* status;
        bool inBar; // the keyboard in the bar's field (else in the view)
        bool shown = true;
    };
    const Step steps[] = {
        {"Ctrl widens the caret's item, taken as the term", "Ctrl+F", 0, 8, "1 of 1", true},
        {"typing finds from the selection", "=ample", 20, 5, "1 of 4", true},
        {"Enter: the next match", "Return", 35, 5, "2 of 4", true},
        {"Shift+Enter: the previous one", "Shift+Return", 20, 5, "1 of 4", true},
        {"round the start", "Shift+Return", 62, 5, "4 of 4, from the end", true},
        {"Escape closes the bar", "Esc", 62, 5, "4 of 4, from the end", false, false},
        {"F3 in the view: round the end, not widened", "F3", 20, 5, "1 of 4, from the top", false},
        {"Shift+F3 after Shift widened it", "Shift+F3", 62, 5, "4 of 4, from the end", false},
        {"Ctrl+F again with the item widened", "Ctrl+F", 60, 7, "4 of 4", true},
        {"a term found nowhere", "=zz", 60, 0, "No match", true},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        if (step.keys[0] == '=')
            QTest::keyClicks(bar()->termField(), QString::fromLatin1(step.keys + 1));
        else
            press(QApplication::focusWidget(), step.keys);
        EXPECT_EQ(view()->selectionStart(), step.start);
        EXPECT_EQ(view()->selectionLength(), step.length);
        EXPECT_EQ(bar()->status(), QString::fromLatin1(step.status));
        EXPECT_EQ(QApplication::focusWidget(),
                  step.inBar ? static_cast<QWidget*>(bar()->termField()) : view());
        // Shown below the text, never over it.
        EXPECT_EQ(bar()->isVisible(), step.shown);
        if (step.shown) {
            EXPECT_GT(bar()->y(), view()->viewport()->geometry().bottom());
        }
    }
    EXPECT_EQ(colours(), before);

    // Another text counts again.
    view()->setWholeText(QStringLiteral("zz zzz"));
    EXPECT_TRUE(QTest::qWaitFor([this] { return bar()->status() == "3 matches"; }, 2000))
        << bar()->status().toStdString();
}

} // namespace
} // namespace jl::test
